// Image parameters: the four picture controls the converter's decoder supports, cached as bytes
// and written to the device when set and at every stream preparation.
#include "camera/camera.h"

namespace zelcnv::camera {

int CZelCam::SetFilterValue(uint32_t id, int value) {
  if (!device_) return Fail(kErrNotReady);
  const uint8_t byte = static_cast<uint8_t>(value);
  switch (id) {
    case kFilterBrightness:
      brightness_.store(byte);
      device_->SetBrightness(byte);
      break;
    case kFilterContrast:
      contrast_.store(byte);
      device_->SetContrast(byte);
      break;
    case kFilterHue:
      hue_.store(byte);
      device_->SetHue(byte);
      break;
    case kFilterSaturation:
      saturation_.store(byte);
      device_->SetSaturation(byte);
      break;
    default:
      return Fail(kErrParameter);
  }
  // Kept even when the write failed (no converter): it reaches the device with the next stream.
  return 1;
}

int CZelCam::GetFilterValue(uint32_t id, int* valid) {
  if (!device_) {
    if (valid != nullptr) *valid = 0;
    return Fail(kErrNotReady);
  }
  if (valid != nullptr) *valid = 1;
  switch (id) {
    case kFilterBrightness:
      return brightness_.load();
    case kFilterContrast:
      return contrast_.load();
    case kFilterHue:
      return hue_.load();
    case kFilterSaturation:
      return saturation_.load();
    default:
      if (valid != nullptr) *valid = 0;
      return Fail(kErrParameter);
  }
}

void CZelCam::ApplyPictureControls() {
  if (!device_) return;
  device_->SetBrightness(brightness_.load());
  device_->SetSaturation(saturation_.load());
  device_->SetHue(hue_.load());
  device_->SetContrast(contrast_.load());
}

}  // namespace zelcnv::camera
