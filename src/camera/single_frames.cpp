// Single frames and still images: arming capture, reading one frame synchronously, copying the
// current image out and saving it as an image file.
#include "camera/camera.h"
#include "device/protocol.h"
#include "imaging/still_image.h"
#include "platform/text.h"

namespace zelcnv::camera {

namespace {

constexpr int kNameBytes = 1024;  // a converted file name with its terminator

}  // namespace

imaging::FrameBitmap* CZelCam::CurrentImage() const {
  int mode = streamColourMode_.load();
  if (mode < 0) mode = colourMode_.load();
  if (mode < 0 || mode >= kColourModeCount) return nullptr;
  return bitmaps_[kBitmap8 + mode].get();
}

int CZelCam::Capture() {
  if (!device_) {
    PushError(kErrNotReady);
    return 0;
  }
  switch (streamState_.load()) {
    case kStreamRunning:
      return 0;
    case kStreamArmed:
      return 1;
    default:
      break;
  }
  if (!PrepareStream()) return 0;
  streamState_.store(kStreamArmed);
  return 1;
}

int CZelCam::SnapShot(void* buffer, int32_t size, int32_t topDown) {
  const int32_t state = streamState_.load();
  if (!device_ || state == kStreamRunning) {
    PushError(kErrNotReady);
    return 0;
  }
  if (state == kStreamIdle && !PrepareStream()) {
    PushError(kErrNotReady);
    return 0;
  }
  if (device_->ReadSingleFrame() != device::kStatusOk) {
    PushError(kErrCapture);
    return 0;
  }
  imaging::FrameBitmap& native = *bitmaps_[kNativeBitmap];
  const size_t nativeBytes = size_t(native.Stride()) * size_t(native.Height());
  if (device_->DecodeSingleFrame(native.Bits(), nativeBytes, 0, 0, kDecodeSelector) !=
      device::kStatusOk) {
    PushError(kErrCapture);
    PostFrameNotify(0, kErrCapture);
    return 0;
  }
  ConvertToOutput();
  if (buffer != nullptr && size != 0 && !CopyOut(*OutputBitmap(), topDown, buffer, size)) {
    PushError(kErrBuffer);
    return 0;
  }
  return 1;
}

int CZelCam::GetImage(void* buffer, int32_t size, int32_t topDown) {
  const imaging::FrameBitmap* image = device_ ? CurrentImage() : nullptr;
  if (image == nullptr) {
    PushError(kErrNotReady);
    return 0;
  }
  if (image->Bits() == nullptr || buffer == nullptr) {
    PushError(kErrBuffer);
    return 0;
  }
  if (!CopyOut(*image, topDown, buffer, size)) {
    PushError(kErrBuffer);
    return 0;
  }
  return 1;
}

int CZelCam::SaveImage(const char* fileName, uint32_t fileType) {
  const imaging::FrameBitmap* image = device_ ? CurrentImage() : nullptr;
  if (image == nullptr) {
    PushError(kErrNotReady);
    return 0;
  }
  // The writers take the picture upright; their failures show only in the result.
  imaging::FrameBitmap upright;
  if (fileName == nullptr || !imaging::MakeUprightCopy(*image, &upright)) return 0;
  return imaging::SaveImageFile(fileName, &upright, fileType);
}

int CZelCam::SaveImageW(const char16_t* fileName, uint32_t fileType) {
  char name[kNameBytes];
  if (fileName == nullptr || platform::Utf16ToNarrow(fileName, name, kNameBytes) == 0) {
    PushError(kErrNotReady);
    return 0;
  }
  return SaveImage(name, fileType);
}

int CZelCam::RecordW(const char16_t* fileName, int32_t durationMs, int32_t showWindow) {
  char name[kNameBytes];
  if (fileName == nullptr) return Record(nullptr, durationMs, showWindow);
  if (platform::Utf16ToNarrow(fileName, name, kNameBytes) == 0) {
    PushError(kErrOperation);
    return 0;
  }
  return Record(name, durationMs, showWindow);
}

}  // namespace zelcnv::camera
