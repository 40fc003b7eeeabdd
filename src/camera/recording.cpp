// Timed AVI recording from the running stream. The preview thread hands over each frame as a
// 24-bit picture when the recorder has taken the previous one; the recorder thread appends it to
// the file and finishes the file once the recording time has passed.
#include "camera/camera.h"
#include "platform/clock.h"

namespace zelcnv::camera {

namespace {

constexpr uint32_t kRecorderPollMs = 10;
constexpr uint32_t kInitialRate = 30;
constexpr uint64_t kRateScale = 100000;  // frames per second in hundredths, per millisecond

}  // namespace

int CZelCam::Record(const char* fileName, int32_t durationMs, int32_t showWindow) {
  if (fileName == nullptr || *fileName == '\0') {
    PushError(kErrParameter);
    return 0;
  }
  // One recording at a time; a recorder that has finished its time is collected first.
  if (recorderThread_ != nullptr) {
    if (recording_.load() != 0) {
      PushError(kErrOperation);
      return 0;
    }
    StopRecording();
  }
  SetCallback(nullptr, nullptr, 0, 0);
  // A window that already shows the stream keeps showing it.
  if (showWindow != 0 && previewWindow_.load() == nullptr && !OpenPreviewWindow()) {
    PushError(kErrWindow);
    return 0;
  }
  if (!StartStreaming()) {
    Close();
    PushError(kErrOperation);
    return 0;
  }
  const imaging::FrameBitmap& output = *OutputBitmap();
  recorder_.frameWidth = output.Width();
  recorder_.frameHeight = output.Height();
  recorder_.sourceBitCount = static_cast<uint16_t>(output.BitsPerPixel());
  recorder_.rate = kInitialRate;
  recorder_.frameCount = 0;
  if (!recorder_.BeginFile(fileName)) {
    Close();
    PushError(kErrOperation);
    return 0;
  }
  if (!recordFrame_.Create(output.Width(), output.Height(), 24) ||
      !recordScratch_.Create(output.Width(), output.Height(), 24) ||
      !recordGrey_.Create(output.Width(), output.Height(), 8)) {
    recorder_.ResetRecorder();
    Close();
    PushError(kErrBuffer);
    PushError(kErrOperation);
    return 0;
  }
  recordStartTime_ = 0;
  recordEndTime_ = static_cast<uint32_t>(durationMs);
  // The preview thread fills the hand-over frame once it sees both flags, pictures made.
  frameReady_.store(0);
  recording_.store(1);
  recorderDoneEvent_ = platform::CreateManualEvent();
  if (recorderDoneEvent_ != nullptr) {
    recorderThread_ = platform::StartThread(&CZelCam::RecorderThreadEntry, this, false);
  }
  if (recorderThread_ == nullptr) {
    recording_.store(0);
    platform::CloseEvent(recorderDoneEvent_);
    recorderDoneEvent_ = nullptr;
    recorder_.ResetRecorder();
    Close();
    PushError(kErrThread);
    return 0;
  }
  return 1;
}

void CZelCam::HandFrameToRecorder() {
  if (recording_.load() == 0 || frameReady_.load() != 0) return;
  const int mode = streamColourMode_.load();
  const imaging::FrameBitmap* output = OutputBitmap();
  switch (kColourModeBits[mode]) {
    case 8:
      // Through the colour table into colour, then top row first.
      recordScratch_.BlitFrom(output, nullptr, 0, 0);
      recordFrame_.ConvertFrom(imaging::CopyColor24Flip, &recordScratch_, nullptr, 0, 0, 0, 0);
      break;
    case 16:
      recordGrey_.ConvertFrom(imaging::Gray10ToGray8Flip, output, nullptr, 0, 0, 0, 0);
      recordFrame_.BlitFrom(&recordGrey_, nullptr, 0, 0);
      break;
    case 48:
    case 64:
      recordFrame_.ConvertFrom(imaging::Color10ToColor24Flip, output, nullptr, 0, 0, 0, 0);
      break;
    default:
      recordFrame_.ConvertFrom(imaging::CopyColor24Flip, output, nullptr, 0, 0, 0, 0);
      break;
  }
  frameReady_.store(1);
}

void CZelCam::RecorderThreadEntry(void* camera) {
  CZelCam* self = static_cast<CZelCam*>(camera);
  self->RecorderLoop();
  platform::SignalEvent(self->recorderDoneEvent_);
}

void CZelCam::RecorderLoop() {
  while (recording_.load() != 0) {
    platform::SleepMs(kRecorderPollMs);
    if (frameReady_.load() == 0) continue;
    const uint32_t now = platform::MultimediaTimeMs();
    if (recordStartTime_ == 0) {
      recordEndTime_ += now;
      recordStartTime_ = now;
    }
    const int added = recorder_.AddFrame(recordFrame_.Bits());
    if (added == imaging::kAviOk) ++recorder_.frameCount;
    // Ending here leaves frameReady_ set, so that the preview thread stays off the hand-over
    // frame until a new recording has made it again.
    if (added != imaging::kAviOk) {
      // A full disk or file: keep what was written, readable, and say so.
      FinishRecording(now);
      PushError(kErrOperation);
      break;
    }
    if (recordEndTime_ < now) {
      FinishRecording(now);
      break;
    }
    frameReady_.store(0);
  }
  // Stopped before its time: the file ends with the frames written so far.
  if (recorder_.Writing()) FinishRecording(platform::MultimediaTimeMs());
}

void CZelCam::FinishRecording(uint32_t now) {
  const uint32_t elapsed = now - recordStartTime_;
  // 64 bits: a recording of more than 42,949 frames would overflow the product in 32.
  const uint64_t rate =
      recordStartTime_ != 0 && elapsed != 0 ? recorder_.frameCount * kRateScale / elapsed : 0;
  recorder_.rate = static_cast<uint32_t>(rate);
  if (recorder_.FinishFile() != imaging::kAviOk) PushError(kErrOperation);
  recorder_.rate = 0;
  recorder_.frameCount = 0;
  recordStartTime_ = 0;
  recordEndTime_ = 0;
  recording_.store(0);
}

void CZelCam::StopRecording() {
  if (recorderThread_ == nullptr) return;
  recording_.store(0);
  platform::WaitEvent(recorderDoneEvent_, platform::kWaitForever);
  platform::CloseThread(recorderThread_);
  recorderThread_ = nullptr;
  platform::CloseEvent(recorderDoneEvent_);
  recorderDoneEvent_ = nullptr;
}

}  // namespace zelcnv::camera
