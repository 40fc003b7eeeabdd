// The streaming state machine: preparing the device and the pictures, starting and stopping the
// preview thread (preview_stream.cpp) and the device's transfer, and the preview windows around
// them.
#include "camera/camera.h"
#include "device/protocol.h"
#include "platform/clock.h"

namespace zelcnv::camera {

bool CZelCam::PrepareStream(int* standardFound) {
  // An object whose initialisation ran out of memory has nothing to stream into.
  if (!callback_.Ready()) return Refuse(kErrBuffer);
  if (!device_->IsPresent(device_->GetDeviceIndex())) return Refuse(kErrNoDevice);
  device_->SetSamplingClock(NormalRate());
  const int standard = device_->DetectVideoStandard();
  device_->SetFramePeriod(standard % 2 == 1 ? device::kPeriod625 : device::kPeriod525);
  if (standardFound != nullptr) *standardFound = standard;
  const int format = FormatCode(standard);
  device_->SetVideoFormat(format);
  platform::SleepMs(kFormatSettleMs);
  int width = 0, height = 0;
  device_->GetFrameRect(nullptr, nullptr, &width, &height, nullptr);
  imageWidth_ = width;
  imageHeight_ = height;

  // A mode outside the table (a damaged stored setting) has no pictures to size.
  const int index = settings_.Get().colourMode;
  if (!stream_.SizePictures(imageWidth_, imageHeight_, index)) return Refuse(kErrBuffer);
  const ColourModeTraits& mode = *stream_.Mode();
  device_->SetSampleWidth(mode.twoByteSamples);
  ApplyPictureControls();
  window_.FitDisplay(mode.displayBits);
  return true;
}

bool CZelCam::StartStreaming(bool resumed) {
  if (!device_) return Refuse(kErrNotReady);
  const int32_t state = streamState_.load();
  if (state == kStreamRunning) return true;
  if (state == kStreamArmed) return Refuse(kErrNotReady);
  // A stream the application starts itself is no longer waiting for its converter.
  if (!resumed) resumePending_.store(false);
  int standard = 0;
  if (!PrepareStream(&standard)) return Refuse(kErrNotReady);
  stream_.Facts().Begin(standard, resumed);
  if (!stream_.Start()) {
    StopStreaming(resumed);
    return Refuse(kErrThread);
  }
  if (device_->StartTransfer() != kStatusOk) {
    StopStreaming(resumed);
    return Refuse(kErrDeviceIo);
  }
  streamState_.store(kStreamRunning);
  stream_.Tap().Run();
  return true;
}

bool CZelCam::StopStreaming(bool forResume) {
  if (!device_) return Refuse(kErrNotReady);
  stream_.Stop();
  stream_.Facts().End();
  if (!forResume) {
    resumePending_.store(false);
    stream_.Tap().Stopped();
  }
  // No more frames come: a recording ends with what it has.
  recorder_.Stop();
  if (streamState_.load() != kStreamIdle) {
    streamState_.store(kStreamIdle);
    if (device_->StopTransfer() != kStatusOk) return Refuse(kErrDeviceIo);
  }
  return true;
}

int CZelCam::Preview(WindowHandle window, void* buffer, int32_t size, int32_t topDown) {
  const int32_t state = streamState_.load();
  if (state == kStreamRunning || state == kStreamArmed) return Fail(kErrNotReady);
  callback_.Set(window, buffer, size, topDown);
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

CZelCam::ThreadCpu CZelCam::ThreadCpuTimes() const {
  ThreadCpu times;
  if (!stream_.CpuTimeNs(&times.preview)) times.preview = 0;
  if (!device_ || !device_->TransferThreadCpuNs(&times.transfer)) times.transfer = 0;
  if (!recorder_.ThreadCpuNs(&times.recorder)) times.recorder = 0;
  return times;
}

}  // namespace zelcnv::camera
