// Image parameters: the four picture controls the converter's decoder supports, cached as bytes
// and written to the device when set and at every stream preparation.
#include "camera/camera.h"

namespace zelcnv::camera {

namespace {

// The index of a picture control in the settings, or -1 for an identifier the converter lacks.
int ControlIndex(uint32_t id) {
  return id >= kFilterBrightness && id <= kFilterSaturation ? static_cast<int>(id) - 1 : -1;
}

}  // namespace

int CZelCam::SetFilterValue(uint32_t id, int value) {
  if (!device_) return Fail(kErrNotReady);
  const int index = ControlIndex(id);
  if (index < 0) return Fail(kErrParameter);
  const uint8_t byte = static_cast<uint8_t>(value);
  settings_.Update([&](settings::CameraSettings& s) { s.PictureControl(index) = byte; });
  // Kept even when the write failed (no converter): it reaches the device with the next stream.
  WritePictureControl(*device_, index, byte);
  return 1;
}

int CZelCam::GetFilterValue(uint32_t id, int* valid) {
  const int index = ControlIndex(id);
  if (valid != nullptr) *valid = device_ && index >= 0 ? 1 : 0;
  if (!device_) return Fail(kErrNotReady);
  if (index < 0) return Fail(kErrParameter);
  return settings_.Get().PictureControl(index);
}

void WritePictureControl(device::CZelCnvSdk& device, int index, uint8_t value) {
  switch (index) {
    case 0:
      device.SetBrightness(value);
      break;
    case 1:
      device.SetContrast(value);
      break;
    case 2:
      device.SetHue(value);
      break;
    default:
      device.SetSaturation(value);
      break;
  }
}

void CZelCam::ApplyPictureControls() {
  if (!device_) return;
  const settings::CameraSettings values = settings_.Get();
  // The order the converter's decoder takes them in.
  for (const int index : {0, 3, 2, 1})
    WritePictureControl(*device_, index, values.PictureControl(index));
}

}  // namespace zelcnv::camera
