// Camera object: construction, initialisation, settings and teardown.
#include "camera/camera.h"

#include <new>

#include "platform/clock.h"
#include "settings/sampling_code.h"
#include "settings/settings_store.h"

namespace zelcnv::camera {

CZelCam::CZelCam() = default;

CZelCam::~CZelCam() {
  // The watch calls into the parts below: it goes first.
  watch_.Stop();
  SaveSettings();
  // Streaming, the recorder and the preview window go before the device and the bitmaps they
  // use.
  if (device_) StopStreaming();
  window_.Close();
  device_.reset();
}

int CZelCam::Initialize(WindowHandle appWindow) {
  device_.reset(new (std::nothrow) device::CZelCnvSdk(kRingSlots));
  errors_.SetWindow(appWindow);  // before any check, so the error below reaches the window
  bool complete = device_ != nullptr && callback_.Ready();
  if (!complete) return Fail(kErrBuffer);
  LoadSettings();
  device_->SetSamplingClock(NormalRate());
  const int format = FormatCode(device_->DetectVideoStandard());
  device_->Reset(0);
  platform::SleepMs(kFormatSettleMs);
  device_->SetVideoFormat(format);
  platform::SleepMs(kFormatSettleMs);
  ReadBackFrameSize();
  return 1;
}

void CZelCam::ReadBackFrameSize() {
  int width = 0, height = 0;
  device_->GetFrameRect(nullptr, nullptr, &width, &height, nullptr);
  imageWidth_ = width;
  imageHeight_ = height;
  window_.Fit(width, height);
}

int CZelCam::FormatCode(int standard) const {
  const settings::CameraSettings values = settings_.Get();
  int rate;
  if (values.hiRate == 1) {
    rate = values.samplingRate == 1 ? device::kModeNormalHiSpeed : device::kModeWideHiSpeed;
  } else {
    rate = values.samplingRate == 1 ? device::kModeNormalLowSpeed : device::kModeWideLowSpeed;
  }
  return (standard & 0x0F) | rate;
}

int CZelCam::SetColorMode(int bitsPerPixel) {
  const int index = ModeIndexOfBits(bitsPerPixel);
  if (index < 0) return Fail(kErrParameter);
  settings_.Update([&](settings::CameraSettings& s) { s.colourMode = index; });
  return 1;
}

int CZelCam::GetColorMode() const {
  const ColourModeTraits* mode = ModeTraits(settings_.Get().colourMode);
  return mode != nullptr ? mode->bitsPerPixel : -1;
}

int CZelCam::SetSamplingRate(int code) {
  settings::SamplingFlags flags{};
  if (!settings::SamplingFlagsFromCode(code, &flags)) return Fail(kErrParameter);
  settings_.Update([&](settings::CameraSettings& s) {
    s.samplingRate = flags.samplingRate;
    s.hiRate = flags.hiRate;
  });
  return 1;
}

int CZelCam::GetSamplingRate(int* valid) const {
  const settings::CameraSettings values = settings_.Get();
  const int32_t code = settings::SamplingCodeFromFlags(values.samplingRate, values.hiRate);
  const bool known = code != settings::kNoSamplingCode;
  if (valid != nullptr) *valid = known ? 1 : 0;
  return known ? code : 0;
}

int CZelCam::SetWaitTime(int milliseconds) {
  if (milliseconds < 0) return 0;
  settings_.Update([&](settings::CameraSettings& s) { s.waitTime = milliseconds; });
  return 1;
}

void CZelCam::LoadSettings() {
  settings_.Update([](settings::CameraSettings& s) { settings::LoadSettings(s); });
}

void CZelCam::SaveSettings() {
  settings::SaveSettings(settings_.Get());
}

}  // namespace zelcnv::camera
