// The camera object's side of the two settings dialogs: streaming stopped and restored around
// the video format dialog and the converter re-programmed after it, and the image parameter bytes
// handed to the image dialog, with the device only while the camera streams or has a capture
// armed.
#include "camera/camera.h"
#include "device/register_map.h"
#include "platform/clock.h"
#include "settings/image_dialog.h"
#include "settings/video_format_dialog.h"

namespace zelcnv::camera {

namespace {

constexpr int kAccepted = 1;
constexpr int kCancelled = 2;

// The picture-control writes of the image dialog, from the thread that runs it, while the preview
// and transfer threads may stream: each write is one request on its own device handle, which the
// driver takes whole.
class DevicePictureControls final : public settings::PictureDevice {
 public:
  explicit DevicePictureControls(device::CZelCnvSdk& device) : device_(device) {}

  void Write(settings::ImageParameter parameter, uint8_t value) override {
    WritePictureControl(device_, parameter, value);
  }

  uint8_t RegisterDefault(settings::ImageParameter parameter) override {
    static constexpr uint8_t kRegisters[settings::kImageParameterCount] = {
        device::kRegBrightness, device::kRegContrast, device::kRegHue, device::kRegSaturation};
    return static_cast<uint8_t>(device_.GetRegisterDefault(kRegisters[parameter]));
  }

 private:
  device::CZelCnvSdk& device_;
};

bool Shown(int result) {
  return result == kAccepted || result == kCancelled;
}

}  // namespace

int CZelCam::SetCameraDlg(WindowHandle owner) {
  if (!device_) return Fail(kErrNotReady);
  settings::VideoFormatDialog dialog;
  // Checked before streaming stops: a dialog that cannot be shown leaves the stream alone.
  if (!dialog.CanRun()) return Fail(kErrWindow);
  const int32_t state = streamState_.load();
  if (state == kStreamRunning || state == kStreamArmed) StopStreaming();
  int result;
  {
    // Other threads' calls on this object go on while the user has the dialog.
    const SuspendedTurn away(turn_);
    result = dialog.Run(owner);
  }
  // Another thread may have started a stream while the user had the dialog: the device is not
  // reprogrammed under it either.
  const int32_t during = streamState_.load();
  if (result == kAccepted && (during == kStreamRunning || during == kStreamArmed)) {
    StopStreaming();
  }
  if (result == kAccepted) {
    LoadSettings();
    device_->SetSamplingClock(NormalRate());
    const int format = FormatCode(device_->DetectVideoStandard());
    device_->Reset(device_->GetDeviceIndex());
    platform::SleepMs(kFormatSettleMs);
    device_->SetVideoFormat(format);
    ReadBackFrameSize();
  }
  // Failures here are on the error stack; the dialog itself did what it was asked.
  if (state == kStreamRunning || during == kStreamRunning) {
    (void)StartStreaming();
  } else if (state == kStreamArmed || during == kStreamArmed) {
    (void)Capture();
  }
  if (!Shown(result)) return Fail(kErrWindow);
  return 1;
}

int CZelCam::SetImageDlg(WindowHandle owner) {
  if (!device_) return Fail(kErrNotReady);
  const settings::CameraSettings saved = settings_.Get();
  DevicePictureControls controls(*device_);
  settings::ImageSheet sheet(streamState_.load() != kStreamIdle ? &controls : nullptr, settings_);
  if (!sheet.CanRun()) return Fail(kErrWindow);
  int result;
  {
    const SuspendedTurn away(turn_);
    result = sheet.Run(owner);
  }
  if (result != kAccepted) {
    settings_.Update([&](settings::CameraSettings& s) {
      for (int i = 0; i < settings::kImageParameterCount; ++i) {
        s.PictureControl(i) = saved.PictureControl(i);
      }
    });
  }
  if (!Shown(result)) return Fail(kErrWindow);
  return 1;
}

}  // namespace zelcnv::camera
