// The device watch's thread.
#include "camera/device_watch.h"

namespace zelcnv::camera {

bool DeviceWatch::Set(bool posting, bool resuming, Owner& owner) {
  const bool wanted = posting || resuming;
  posting_.store(posting);
  resuming_.store(resuming);
  if (!wanted) {
    worker_.Stop();
    return true;
  }
  if (worker_.Started()) return true;
  owner_ = &owner;
  // Changes are counted from this call on, not from the moment the thread first runs.
  known_ = owner.ConvertersPresent();
  return worker_.Start(&DeviceWatch::Run, this);
}

void DeviceWatch::Run(void* context) {
  auto& watch = *static_cast<DeviceWatch*>(context);
  while (!watch.worker_.WaitForStop(kDeviceLookMs)) {
    const uint32_t present = watch.owner_->ConvertersPresent();
    watch.owner_->Looked(present, present ^ watch.known_);
    watch.known_ = present;
  }
}

}  // namespace zelcnv::camera
