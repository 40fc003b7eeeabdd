// The recorder thread and the hand-over of frames to it.
#include "camera/recorder.h"

#include "platform/clock.h"

namespace zelcnv::camera {

namespace {

constexpr uint32_t kInitialRate = 30;
constexpr uint64_t kRateScale = 100000;  // frames per second in hundredths, per millisecond

}  // namespace

Status Recorder::Start(const char* fileName, int32_t durationMs, int32_t width, int32_t height,
                       int bits) {
  worker_.Stop();  // a recording that has ended leaves its thread to collect
  avi_.frameWidth = width;
  avi_.frameHeight = height;
  avi_.sourceBitCount = static_cast<uint16_t>(bits);
  avi_.rate = kInitialRate;
  avi_.frameCount = 0;
  avi_.plannedDurationMs = static_cast<uint32_t>(durationMs > 0 ? durationMs : 0);
  if (avi_.BeginFile(fileName) != kStatusOk) return kStatusOpenFailed;
  if (!frame_.Create(width, height, 24)) {
    avi_.ResetRecorder();
    return kStatusNoMemory;
  }
  startTime_ = 0;
  endTime_ = static_cast<uint32_t>(durationMs);
  frameReady_.store(0);
  if (!worker_.Start(&Recorder::ThreadEntry, this)) {
    avi_.ResetRecorder();
    return kStatusThreadFailed;
  }
  // The preview thread offers frames, and wakes the thread, once it sees this.
  recording_.store(1);
  return kStatusOk;
}

void Recorder::Stop() {
  recording_.store(0);
  worker_.Stop();
}

void Recorder::Offer(ColourPicture& colour) {
  if (!WantsFrame()) return;
  colour.CopyInto(&frame_);
  frameReady_.store(1);
  worker_.Wake();
}

void Recorder::ThreadEntry(void* recorder) {
  static_cast<Recorder*>(recorder)->Loop();
}

void Recorder::Loop() {
  // Asleep until a frame is handed over or the recorder is stopped.
  while (worker_.WaitForWake()) {
    if (frameReady_.load() == 0) continue;
    const uint32_t now = platform::MultimediaTimeMs();
    if (startTime_ == 0) {
      endTime_ += now;
      startTime_ = now;
    }
    const Status added = avi_.AddFrame(frame_.Bits());
    if (added != kStatusOk) {
      // A full disk or file: keep what was written, readable, and say so. frameReady_ stays set,
      // so that the preview thread stays off the hand-over frame until a new recording.
      Finish(now);
      errors_.Push(kErrOperation);
      break;
    }
    ++avi_.frameCount;
    if (endTime_ < now) {
      Finish(now);
      break;
    }
    frameReady_.store(0);
  }
  // Stopped before its time: the file ends with the frames written so far.
  if (avi_.Writing()) Finish(platform::MultimediaTimeMs());
}

void Recorder::Finish(uint32_t now) {
  const uint32_t elapsed = now - startTime_;
  // 64 bits: a recording of more than 42,949 frames would overflow the product in 32.
  const uint64_t rate =
      startTime_ != 0 && elapsed != 0 ? avi_.frameCount * kRateScale / elapsed : 0;
  avi_.rate = static_cast<uint32_t>(rate);
  if (avi_.FinishFile() != kStatusOk) errors_.Push(kErrOperation);
  avi_.rate = 0;
  avi_.frameCount = 0;
  startTime_ = 0;
  endTime_ = 0;
  recording_.store(0);
}

}  // namespace zelcnv::camera
