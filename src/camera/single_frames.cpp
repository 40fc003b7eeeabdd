// Single frames, still images and recording: arming capture, reading one frame synchronously,
// copying the current image out, saving it as an image file, and starting a recording from the
// stream.
#include <algorithm>

#include "camera/camera.h"
#include "device/protocol.h"
#include "imaging/still_image.h"
#include "platform/text.h"

namespace zelcnv::camera {

namespace {

constexpr int kNameBytes = 1024;  // a converted file name with its terminator
// How long a snapshot waits for its frame beyond the wait time: ten frame periods of the slower,
// 625-line standard. A converter that sends nothing for that long has gone silent.
constexpr uint32_t kSnapShotFrameWaitMs = 10 * 40;

}  // namespace

const ColourModeTraits* CZelCam::ImageMode() const {
  const int chosen = settings_.Get().colourMode;
  const int held = stream_.ModeIndex();
  return held < 0 || held == chosen ? ModeTraits(chosen) : nullptr;
}

int CZelCam::Capture() {
  if (!device_) return Fail(kErrNotReady);
  switch (streamState_.load()) {
    case kStreamRunning:
      return 0;  // refused without an error
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
  if (!device_ || state == kStreamRunning) return Fail(kErrNotReady);
  if (state == kStreamIdle && !PrepareStream()) return Fail(kErrNotReady);
  const uint32_t waitMs =
      kSnapShotFrameWaitMs + static_cast<uint32_t>(std::max(0, settings_.Get().waitTime));
  if (device_->ReadSingleFrame(waitMs) != kStatusOk) return Fail(kErrCapture);
  device::FieldRows rows;
  if (device_->HeldSingleFrame(&rows) != kStatusOk || !stream_.WeaveIntoOutput(rows, {})) {
    errors_.Push(kErrCapture);
    callback_.Post(0, kErrCapture);
    return 0;
  }
  const imaging::FrameBitmap& output = stream_.Output().Publish();
  // The failed copy pushed the buffer error already; it is pushed again as the snapshot's own.
  if (buffer != nullptr && size != 0 && !stream_.CopyOut(output, topDown, buffer, size)) {
    return Fail(kErrBuffer);
  }
  return 1;
}

int CZelCam::GetImage(void* buffer, int32_t size, int32_t topDown) {
  if (!device_ || ImageMode() == nullptr) return Fail(kErrNotReady);
  // The newest whole frame, which the preview thread leaves alone while it is copied.
  const imaging::FrameBitmap* image = stream_.Output().Newest();
  if (image == nullptr || buffer == nullptr) return Fail(kErrBuffer);
  if (!stream_.CopyOut(*image, topDown, buffer, size)) return Fail(kErrBuffer);
  return 1;
}

int CZelCam::SaveImage(const char* fileName, uint32_t fileType) {
  const ColourModeTraits* mode = device_ ? ImageMode() : nullptr;
  if (mode == nullptr) return Fail(kErrNotReady);
  const imaging::FrameBitmap* image = stream_.Output().Newest();
  if (fileName == nullptr || image == nullptr) return 0;
  // The writers' failures show only in the result. A mode whose pictures are not colour to a
  // reader is saved as the colour picture it carries, except in raw files, which hold the
  // picture's own bytes.
  if (!mode->stillInColour || fileType == imaging::kFileRaw) {
    return imaging::SaveImageFile(fileName, image, fileType) ? 1 : 0;
  }
  imaging::FrameBitmap colour;
  if (!colour.Create(image->Width(), image->Height(), 24) ||
      !colour.ConvertFrom(*mode->toShown, *image)) {
    return 0;
  }
  return imaging::SaveImageFile(fileName, &colour, fileType) ? 1 : 0;
}

int CZelCam::SaveImageW(const char16_t* fileName, uint32_t fileType) {
  char name[kNameBytes];
  if (fileName == nullptr || platform::Utf16ToNarrow(fileName, name, kNameBytes) == 0) {
    return Fail(kErrNotReady);
  }
  return SaveImage(name, fileType);
}

int CZelCam::Record(const char* fileName, int32_t durationMs, int32_t showWindow) {
  if (fileName == nullptr || *fileName == '\0') return Fail(kErrParameter);
  if (recorder_.Recording()) return Fail(kErrOperation);  // one recording at a time
  callback_.Set(nullptr, nullptr, 0, 0);
  // A window that already shows the stream keeps showing it.
  if (showWindow != 0 && !window_.Exists() && !window_.Open(this, imageWidth_, imageHeight_)) {
    return Fail(kErrWindow);
  }
  if (!StartStreaming()) {
    Close();
    return Fail(kErrOperation);
  }
  const OutputPictures& output = stream_.Output();
  const Status started =
      recorder_.Start(fileName, durationMs, output.Width(), output.Height(), output.BitsPerPixel());
  if (started == kStatusOk) return 1;
  Close();
  switch (started) {
    case kStatusNoMemory:
      return Fail(kErrBuffer, kErrOperation);
    case kStatusThreadFailed:
      return Fail(kErrThread);
    default:  // the file could not be created
      return Fail(kErrOperation);
  }
}

int CZelCam::RecordW(const char16_t* fileName, int32_t durationMs, int32_t showWindow) {
  char name[kNameBytes];
  if (fileName == nullptr) return Record(nullptr, durationMs, showWindow);
  if (platform::Utf16ToNarrow(fileName, name, kNameBytes) == 0) return Fail(kErrOperation);
  return Record(name, durationMs, showWindow);
}

}  // namespace zelcnv::camera
