// Streaming: preparing the device and the bitmaps, the preview thread that takes the newest frame
// from the device library's ring, converts it to the colour mode, draws it, copies it into the
// application's buffer and announces it, and the start and stop of all that.
#include <cstring>

#include "camera/camera.h"
#include "device/protocol.h"
#include "platform/clock.h"
#include "platform/preview_window.h"
#include "platform/window_messages.h"

namespace zelcnv::camera {

namespace {

constexpr uint32_t kFpsWindowMs = 1000;

}  // namespace

imaging::FrameBitmap* CZelCam::OutputBitmap() const {
  const int mode = streamColourMode_.load();
  if (mode < 0 || mode >= kColourModeCount) return nullptr;
  return bitmaps_[kBitmap8 + mode].get();
}

int CZelCam::SizeOutputBitmaps(int mode) {
  struct Need {
    bool wanted;
    int bitmap;
    uint16_t bits;
  };
  const Need needs[] = {
      {mode == kMode8 || mode == kMode16, kBitmap8, 8},
      {mode >= kMode16, kBitmap16, 16},
      {mode >= kMode24, kBitmap24, 24},
      {mode == kMode32, kBitmap32, 32},
      {mode == kMode48, kBitmap48, 48},
      {mode == kMode64, kBitmap64, 64},
  };
  for (const Need& need : needs) {
    if (!need.wanted) continue;
    imaging::FrameBitmap& bitmap = *bitmaps_[need.bitmap];
    if (!bitmap.Create(imageWidth_, imageHeight_, need.bits)) return 0;
  }
  // The native frame has the format of the 8-bit picture (grey) or of the 16-bit one (YUYV).
  const imaging::FrameBitmap* native = bitmaps_[mode == kMode8 ? kBitmap8 : kBitmap16].get();
  return bitmaps_[kNativeBitmap]->CreateLike(native);
}

int CZelCam::PrepareStream() {
  // An object whose initialisation ran out of memory has nothing to stream into.
  bool complete = frameInfo_ != nullptr;
  for (const auto& bitmap : bitmaps_) complete = complete && bitmap != nullptr;
  if (!complete) {
    PushError(kErrBuffer);
    return 0;
  }
  if (!device_->IsPresent(device_->GetDeviceIndex())) {
    PushError(kErrNoDevice);
    return 0;
  }
  device_->SetSamplingClock(NormalRate());
  const int format = FormatCode(device_->DetectVideoStandard());
  device_->SetVideoFormat(format);
  platform::SleepMs(kFormatSettleMs);
  int width = 0, height = 0;
  device_->GetFrameRect(nullptr, nullptr, &width, &height, nullptr);
  imageWidth_ = width;
  imageHeight_ = height;

  // A mode outside the table (a damaged stored setting) has no output bitmap to size.
  const int mode = colourMode_.load();
  if (mode < 0 || mode >= kColourModeCount || !SizeOutputBitmaps(mode)) {
    PushError(kErrBuffer);
    return 0;
  }
  streamColourMode_.store(mode);
  device_->SetSampleWidth(mode == kMode8 ? 0 : 1);
  ApplyPictureControls();

  int32_t clientWidth = 0, clientHeight = 0;
  if (previewWindow_ != nullptr && previewDC_ != nullptr &&
      platform::IsWindowShown(previewWindow_) &&
      platform::GetClientSize(previewWindow_, &clientWidth, &clientHeight) && clientWidth > 0 &&
      clientHeight > 0) {
    bitmaps_[kDisplayBitmap]->Create(clientWidth, clientHeight, mode <= kMode16 ? 8 : 24);
  }
  return 1;
}

int CZelCam::StartStreaming() {
  if (!device_) {
    PushError(kErrNotReady);
    return 0;
  }
  const int32_t state = streamState_.load();
  if (state == kStreamRunning) return 1;
  if (state == kStreamArmed) {
    PushError(kErrNotReady);
    return 0;
  }
  if (!PrepareStream()) {
    PushError(kErrNotReady);
    return 0;
  }
  previewRun_.store(1);
  previewDoneEvent_ = platform::CreateManualEvent();
  previewWakeEvent_ = platform::CreateManualEvent();
  if (previewDoneEvent_ != nullptr && previewWakeEvent_ != nullptr) {
    previewThread_ = platform::StartThread(&CZelCam::PreviewThreadEntry, this, false);
  }
  if (previewThread_ == nullptr) {
    StopStreaming();
    PushError(kErrThread);
    return 0;
  }
  if (device_->StartTransfer() != device::kStatusOk) {
    StopStreaming();
    PushError(kErrDeviceIo);
    return 0;
  }
  streamState_.store(kStreamRunning);
  return 1;
}

int CZelCam::StopStreaming() {
  if (!device_) {
    PushError(kErrNotReady);
    return 0;
  }
  previewRun_.store(0);
  // Whatever the wait between polls, the thread leaves at once instead of finishing it.
  platform::SignalEvent(previewWakeEvent_);
  if (previewThread_ != nullptr) {
    // The thread signals the event as its last act; closing the thread waits until it has left
    // the library's code. A start that failed left no thread.
    platform::WaitEvent(previewDoneEvent_, platform::kWaitForever);
    platform::CloseThread(previewThread_);
    previewThread_ = nullptr;
  }
  for (platform::Event** event : {&previewDoneEvent_, &previewWakeEvent_}) {
    platform::CloseEvent(*event);
    *event = nullptr;
  }
  // No more frames come: a recording ends with what it has.
  StopRecording();
  if (streamState_.load() != kStreamIdle) {
    streamState_.store(kStreamIdle);
    if (device_->StopTransfer() != device::kStatusOk) {
      PushError(kErrDeviceIo);
      return 0;
    }
  }
  return 1;
}

void CZelCam::PreviewThreadEntry(void* camera) {
  CZelCam* self = static_cast<CZelCam*>(camera);
  self->PreviewLoop();
  platform::SignalEvent(self->previewDoneEvent_);
}

void CZelCam::PostFrameNotify(uintptr_t wParam, intptr_t lParam) {
  if (WindowHandle window = callbackWindow_.load()) {
    platform::PostWindowMessage(window, kMsgFrameNotify, wParam, lParam);
  }
}

void CZelCam::PreviewLoop() {
  imaging::FrameBitmap& native = *bitmaps_[kNativeBitmap];
  const size_t nativeBytes = size_t(native.Stride()) * size_t(native.Height());
  while (previewRun_.load() != 0) {
    // A damaged stored interval below 0 would be an endless wait on Windows. A stop cuts the
    // wait short.
    const int32_t wait = waitTime_.load();
    if (platform::WaitEvent(previewWakeEvent_, static_cast<uint32_t>(wait > 0 ? wait : 0))) {
      continue;
    }
    if (previewRun_.load() != 1) continue;
    const int poll = device_->PollFrame();
    // A transfer thread that is no longer running while the stream is on ended by itself: it
    // could not open the converter (unplugged before the start). Without this the stream would
    // run on, reported as started, without a frame or an error.
    const bool endedByItself =
        poll == device::kPollNotRunning && streamState_.load() == kStreamRunning;
    if (poll == device::kPollTransferFailed || endedByItself) {
      previewRun_.store(0);
      // On the stack before it is announced: a window procedure reading the error on the
      // notification finds it.
      PushError(kErrTransferStopped);
      PostFrameNotify(0, kErrTransferStopped);
      break;
    }
    if (poll != device::kPollNewFrame) continue;
    if (device_->DecodeRingFrame(native.Bits(), nativeBytes, 0, 0, kDecodeSelector) !=
        device::kStatusOk) {
      PushError(kErrCapture);
      PostFrameNotify(0, kErrCapture);
      continue;
    }
    ConvertToOutput();
    HandFrameToRecorder();
    DrawFrame();
    DeliverFrame(native.Width(), native.Height());
  }
}

void CZelCam::DeliverFrame(int32_t width, int32_t height) {
  // The callback fields hold still from here until the frame is announced.
  std::lock_guard callback(callbackMutex_);
  void* const buffer = callbackBuffer_.load();
  const int32_t bufferSize = callbackBufferSize_.load();
  frameInfo_->size = sizeof(FrameInfo);
  frameInfo_->width = width;
  frameInfo_->height = height;
  frameInfo_->buffer = buffer;
  frameInfo_->bitsPerPixel = kColourModeBits[streamColourMode_.load()];
  UpdateFrameRate();
  frameInfo_->frameRate = fpsTenths_;
  if (buffer != nullptr && bufferSize != 0 &&
      !CopyOut(*OutputBitmap(), callbackTopDown_.load(), buffer, bufferSize)) {
    return;  // the failed copy was reported instead of the frame
  }
  PostFrameNotify(reinterpret_cast<uintptr_t>(frameInfo_), 0);
}

void CZelCam::UpdateFrameRate() {
  ++fpsFrameCount_;
  const uint32_t now = platform::MultimediaTimeMs();
  const uint32_t elapsed = now - fpsWindowStart_;
  if (elapsed > kFpsWindowMs) {
    fpsTenths_ = static_cast<int32_t>(static_cast<double>(fpsFrameCount_) * 10000.0 /
                                      static_cast<double>(elapsed));
    fpsFrameCount_ = 0;
    fpsWindowStart_ = now;
  }
}

void CZelCam::ConvertToOutput() {
  const imaging::FrameBitmap* native = bitmaps_[kNativeBitmap].get();
  imaging::FrameBitmap* output = OutputBitmap();
  imaging::BlitKernel kernel = nullptr;
  switch (streamColourMode_.load()) {
    case kMode8:
      kernel = imaging::CopyGray8Flip;
      break;
    case kMode16:
      kernel = imaging::CopyYuv16Flip;
      break;
    case kMode24:
      kernel = imaging::YuyvToBgr24Flip;
      break;
    default:
      return;  // 32, 48 and 64 bits: no conversion fills these pictures yet
  }
  output->ConvertFrom(kernel, native, nullptr, 0, 0, 0, 0);
}

int CZelCam::CopyOut(const imaging::FrameBitmap& bitmap, int32_t topDown, void* destination,
                     int32_t size) {
  const int64_t stride = bitmap.Stride();
  const int64_t needed = stride * bitmap.Height();
  if (size < 0 || size < needed) {
    PushError(kErrBuffer);
    PostFrameNotify(0, kErrBuffer);
    return 0;
  }
  uint8_t* out = static_cast<uint8_t*>(destination);
  const uint8_t* rows = bitmap.Bits();
  if (topDown == 0) {
    if (needed > 0) std::memcpy(out, rows, static_cast<size_t>(needed));
    return 1;
  }
  for (int32_t row = bitmap.Height() - 1; row >= 0; --row, out += stride) {
    std::memcpy(out, rows + row * stride, static_cast<size_t>(stride));
  }
  return 1;
}

void CZelCam::SetCallback(WindowHandle window, void* buffer, int32_t size, int32_t topDown) {
  // Waits for a frame being copied into the old buffer.
  std::lock_guard callback(callbackMutex_);
  callbackWindow_.store(window);
  callbackBuffer_.store(buffer);
  callbackBufferSize_.store(size);
  callbackTopDown_.store(topDown);
}

int CZelCam::Preview(WindowHandle window, void* buffer, int32_t size, int32_t topDown) {
  const int32_t state = streamState_.load();
  if (state == kStreamRunning || state == kStreamArmed) {
    PushError(kErrNotReady);
    return 0;
  }
  SetCallback(window, buffer, size, topDown);
  if (!OpenPreviewWindow()) {
    PushError(kErrWindow);
    return 0;
  }
  if (!StartStreaming()) {
    Close();
    PushError(kErrCapture);
    return 0;
  }
  return 1;
}

}  // namespace zelcnv::camera
