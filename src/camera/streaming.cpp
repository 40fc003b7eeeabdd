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
  if (previewDoneEvent_ != nullptr) {
    previewThread_ = platform::StartThread(&CZelCam::PreviewThreadEntry, this, false);
  }
  if (previewDoneEvent_ == nullptr || previewThread_ == nullptr) {
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
  if (previewThread_ != nullptr) {
    // The thread signals the event as its last act; a thread that never started has no event
    // to wait for, and a start that failed left no thread.
    platform::WaitEvent(previewDoneEvent_, platform::kWaitForever);
    platform::CloseThread(previewThread_);
    previewThread_ = nullptr;
  }
  if (previewDoneEvent_ != nullptr) {
    platform::CloseEvent(previewDoneEvent_);
    previewDoneEvent_ = nullptr;
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
  while (previewRun_.load() != 0) {
    // A damaged stored interval below 0 would be an endless sleep on Windows.
    const int32_t wait = waitTime_.load();
    platform::SleepMs(static_cast<uint32_t>(wait > 0 ? wait : 0));
    if (previewRun_.load() != 1) continue;
    const int poll = device_->PollFrame();
    if (poll == device::kPollTransferFailed) {
      previewRun_.store(0);
      PostFrameNotify(0, kErrTransferStopped);
      PushError(kErrTransferStopped);
      break;
    }
    if (poll != device::kPollNewFrame) continue;
    if (device_->DecodeRingFrame(native.Bits(), 0, 0, kDecodeSelector) != device::kStatusOk) {
      PostFrameNotify(0, kErrCapture);
      PushError(kErrCapture);
      continue;
    }
    frameInfo_.size = sizeof(FrameInfo);
    frameInfo_.width = native.Width();
    frameInfo_.height = native.Height();
    // The callback fields as one set for this frame (a recording start may clear them).
    void* const buffer = callbackBuffer_.load();
    const int32_t bufferSize = callbackBufferSize_.load();
    const int32_t topDown = callbackTopDown_.load();
    frameInfo_.buffer = buffer;
    frameInfo_.bitsPerPixel = kColourModeBits[streamColourMode_.load()];
    UpdateFrameRate();
    frameInfo_.frameRate = fpsTenths_;
    ConvertToOutput();
    HandFrameToRecorder();
    DrawFrame();
    if (buffer != nullptr && bufferSize != 0 &&
        !CopyOut(*OutputBitmap(), topDown, buffer, bufferSize)) {
      continue;  // the failed copy was reported instead of the frame
    }
    PostFrameNotify(reinterpret_cast<uintptr_t>(&frameInfo_), 0);
  }
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
    PostFrameNotify(0, kErrBuffer);
    PushError(kErrBuffer);
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
