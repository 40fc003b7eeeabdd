// The device watch's thread.
#include "camera/device_watch.h"

#include "device/vxm_sdk_lib.h"

namespace zelcnv::camera {

bool DeviceWatch::Set(bool posting, bool resuming, Look look, void* owner) {
  const bool wanted = posting || resuming;
  posting_.store(posting);
  resuming_.store(resuming);
  if (!wanted) {
    worker_.Stop();
    return true;
  }
  if (worker_.Started()) return true;
  look_ = look;
  owner_ = owner;
  // Changes are counted from this call on, not from the moment the thread first runs.
  known_ = device::CVXMSdkLib::PresentDevices();
  return worker_.Start(&DeviceWatch::Run, this);
}

void DeviceWatch::Run(void* context) {
  auto& watch = *static_cast<DeviceWatch*>(context);
  while (!watch.worker_.WaitForStop(kDeviceLookMs)) {
    const uint32_t present = device::CVXMSdkLib::PresentDevices();
    watch.look_(watch.owner_, present, present ^ watch.known_);
    watch.known_ = present;
  }
}

}  // namespace zelcnv::camera
