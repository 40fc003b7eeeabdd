// The streaming state machine: preparing the device and the pictures, starting and stopping the
// preview thread and the device's transfer, the preview windows around them, and the preview
// thread itself, which takes the newest frame from the ring, converts it to the colour mode,
// draws it, offers it to the recorder, copies it into the application's buffer and announces it.
#include <cstring>

#include "camera/camera.h"
#include "device/protocol.h"
#include "platform/clock.h"
#include "platform/window_messages.h"

namespace zelcnv::camera {

namespace {

constexpr uint32_t kFpsWindowMs = 1000;

}  // namespace

bool CZelCam::SizeBitmaps(const ColourModeTraits& mode) {
  if (!output_.Create(imageWidth_, imageHeight_, static_cast<uint16_t>(mode.bitsPerPixel))) {
    return false;
  }
  if (mode.toShown != nullptr && !bitmaps_[kShownBitmap]->Create(imageWidth_, imageHeight_, 24)) {
    return false;
  }
  return bitmaps_[kNativeBitmap]->Create(imageWidth_, imageHeight_, mode.nativeBits) != 0;
}

bool CZelCam::PrepareStream() {
  // An object whose initialisation ran out of memory has nothing to stream into.
  bool complete = frameInfo_ != nullptr;
  for (const auto& bitmap : bitmaps_) complete = complete && bitmap != nullptr;
  if (!complete) return Fail(kErrBuffer);
  if (!device_->IsPresent(device_->GetDeviceIndex())) return Fail(kErrNoDevice);
  device_->SetSamplingClock(NormalRate());
  const int format = FormatCode(device_->DetectVideoStandard());
  device_->SetVideoFormat(format);
  platform::SleepMs(kFormatSettleMs);
  int width = 0, height = 0;
  device_->GetFrameRect(nullptr, nullptr, &width, &height, nullptr);
  imageWidth_ = width;
  imageHeight_ = height;

  // A mode outside the table (a damaged stored setting) has no pictures to size.
  const int index = colourMode_.load();
  const ColourModeTraits* mode = ModeTraits(index);
  if (mode == nullptr || !SizeBitmaps(*mode)) return Fail(kErrBuffer);
  streamColourMode_.store(index);
  device_->SetSampleWidth(mode->twoByteSamples);
  ApplyPictureControls();
  window_.FitDisplay(mode->displayBits);
  return true;
}

bool CZelCam::StartStreaming() {
  if (!device_) return Fail(kErrNotReady);
  const int32_t state = streamState_.load();
  if (state == kStreamRunning) return true;
  if (state == kStreamArmed) return Fail(kErrNotReady);
  if (!PrepareStream()) return Fail(kErrNotReady);
  previewRun_.store(1);
  if (!previewWorker_.Start(&CZelCam::PreviewThreadEntry, this)) {
    StopStreaming();
    return Fail(kErrThread);
  }
  if (device_->StartTransfer() != device::kStatusOk) {
    StopStreaming();
    return Fail(kErrDeviceIo);
  }
  streamState_.store(kStreamRunning);
  return true;
}

bool CZelCam::StopStreaming() {
  if (!device_) return Fail(kErrNotReady);
  previewRun_.store(0);
  // Whatever the wait between polls, the thread leaves at once instead of finishing it.
  previewWorker_.Stop();
  // No more frames come: a recording ends with what it has.
  recorder_.Stop();
  if (streamState_.load() != kStreamIdle) {
    streamState_.store(kStreamIdle);
    if (device_->StopTransfer() != device::kStatusOk) return Fail(kErrDeviceIo);
  }
  return true;
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
  if (state == kStreamRunning || state == kStreamArmed) return Fail(kErrNotReady);
  SetCallback(window, buffer, size, topDown);
  if (!window_.Open(this, imageWidth_, imageHeight_)) return Fail(kErrWindow);
  if (!StartStreaming()) {
    Close();
    return Fail(kErrCapture);
  }
  return 1;
}

int CZelCam::SetPreviewWindow(WindowHandle parent, int32_t x, int32_t y, int32_t width,
                              int32_t height) {
  if (!device_) return Fail(kErrNotReady);
  window_.Place(parent, x, y, width, height);
  return 1;
}

int CZelCam::Close() {
  // The stream stops first, so that no frame is being drawn with the context released below.
  StopStreaming();
  window_.Close();
  return 1;
}

void CZelCam::PreviewThreadEntry(void* camera) {
  static_cast<CZelCam*>(camera)->PreviewLoop();
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
    if (previewWorker_.WaitForStop(static_cast<uint32_t>(wait > 0 ? wait : 0))) continue;
    if (previewRun_.load() != 1) continue;
    const device::PollResult poll = device_->PollFrame();
    // A transfer thread that is no longer running while the stream is on ended by itself: it
    // could not open the converter (unplugged before the start). Without this the stream would
    // run on, reported as started, without a frame or an error.
    const bool endedByItself =
        poll == device::kPollNotRunning && streamState_.load() == kStreamRunning;
    if (poll == device::kPollTransferFailed || endedByItself) {
      previewRun_.store(0);
      // On the stack before it is announced: a window procedure reading the error on the
      // notification finds it.
      errors_.Push(kErrTransferStopped);
      PostFrameNotify(0, kErrTransferStopped);
      break;
    }
    if (poll != device::kPollNewFrame) continue;
    if (device_->DecodeRingFrame(native.Bits(), nativeBytes, 0, 0, kDecodeSelector) !=
        device::kStatusOk) {
      errors_.Push(kErrCapture);
      PostFrameNotify(0, kErrCapture);
      continue;
    }
    const imaging::FrameBitmap& output = ConvertToOutput();
    recorder_.Offer(output, StreamMode()->record);
    DrawFrame(output);
    DeliverFrame(output, native.Width(), native.Height());
  }
}

void CZelCam::DeliverFrame(const imaging::FrameBitmap& output, int32_t width, int32_t height) {
  // The callback fields hold still from here until the frame is announced.
  std::lock_guard callback(callbackMutex_);
  void* const buffer = callbackBuffer_.load();
  const int32_t bufferSize = callbackBufferSize_.load();
  frameInfo_->size = sizeof(FrameInfo);
  frameInfo_->width = width;
  frameInfo_->height = height;
  frameInfo_->buffer = buffer;
  frameInfo_->bitsPerPixel = StreamMode()->bitsPerPixel;
  UpdateFrameRate();
  frameInfo_->frameRate = fpsTenths_;
  if (buffer != nullptr && bufferSize != 0 &&
      !CopyOut(output, callbackTopDown_.load(), buffer, bufferSize)) {
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

const imaging::FrameBitmap& CZelCam::ConvertToOutput() {
  // Refused only where a picture has no pixels; the output picture then stays as it was.
  static_cast<void>(output_.Back().ConvertFrom(StreamMode()->toOutput,
                                               bitmaps_[kNativeBitmap].get(), nullptr, 0, 0));
  return output_.Publish();
}

void CZelCam::DrawFrame(const imaging::FrameBitmap& output) {
  // Without a window there is nothing to prepare a picture for.
  if (!window_.Exists()) return;
  const ColourModeTraits& mode = *StreamMode();
  const imaging::FrameBitmap* shown = &output;
  if (mode.toShown != nullptr) {
    imaging::FrameBitmap& colour = *bitmaps_[kShownBitmap];
    // Refused only where a picture has no pixels; the shown picture is drawn as it stands.
    static_cast<void>(colour.ConvertFrom(mode.toShown, &output, nullptr, 0, 0));
    shown = &colour;
  }
  window_.Draw(*shown, mode.displayBits, mode.stretch);
}

bool CZelCam::CopyOut(const imaging::FrameBitmap& bitmap, int32_t topDown, void* destination,
                      int32_t size) {
  const int64_t stride = bitmap.Stride();
  const int64_t needed = stride * bitmap.Height();
  if (size < 0 || size < needed) {
    errors_.Push(kErrBuffer);
    PostFrameNotify(0, kErrBuffer);
    return false;
  }
  uint8_t* out = static_cast<uint8_t*>(destination);
  const uint8_t* rows = bitmap.Bits();
  if (topDown == 0) {
    if (needed > 0) std::memcpy(out, rows, static_cast<size_t>(needed));
    return true;
  }
  for (int32_t row = bitmap.Height() - 1; row >= 0; --row, out += stride) {
    std::memcpy(out, rows + row * stride, static_cast<size_t>(stride));
  }
  return true;
}

}  // namespace zelcnv::camera
