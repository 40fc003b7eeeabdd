// The ZelSim_* functions on Linux: up to eight hosted converters, each served at its own path.
#include <mutex>
#include <string>

#include "ZelCnvSim.h"
#include "hosted_device.h"
#include "sim_inprocess.h"

namespace zelsim {

namespace {

constexpr char kPathPrefix[] = "\\\\.\\ZQVD-";

struct Registry {
  std::mutex mutex;
  std::shared_ptr<HostedDevice> devices[ZELSIM_MAX_DEVICES];
};

Registry& Devices() {
  // Never destroyed: a test thread may still call in while static destructors run.
  static Registry* registry = new Registry;
  return *registry;
}

bool ValidIndex(int index) {
  return index >= 0 && index < ZELSIM_MAX_DEVICES;
}

std::shared_ptr<HostedDevice> Find(int index) {
  if (!ValidIndex(index)) return nullptr;
  Registry& registry = Devices();
  std::lock_guard lock(registry.mutex);
  return registry.devices[index];
}

}  // namespace

std::string DevicePath(int index) {
  return kPathPrefix + std::to_string(index);
}

bool GetDevicePictureParams(int index, PictureParams* params) {
  if (params == nullptr) return false;
  std::shared_ptr<HostedDevice> device = Find(index);
  if (!device) return false;
  *params = device->Model().CurrentPictureParams();
  return true;
}

}  // namespace zelsim

using zelsim::Devices;
using zelsim::Find;
using zelsim::HostedDevice;

extern "C" {

int ZelSim_Attach(int index, const char* config) {
  if (!zelsim::ValidIndex(index)) return 0;
  try {
    zelsim::Registry& registry = Devices();
    std::lock_guard lock(registry.mutex);
    if (registry.devices[index]) return 0;
    std::shared_ptr<HostedDevice> device = HostedDevice::Create();
    if (!device || !device->Model().Configure(config)) return 0;
    auto backend = std::make_shared<zelsim::SimBackend>(device);
    if (!zelcnv::platform::RegisterDevicePath(zelsim::DevicePath(index), backend)) return 0;
    registry.devices[index] = std::move(device);
    return 1;
  } catch (...) {
    return 0;
  }
}

int ZelSim_Detach(int index) {
  if (!zelsim::ValidIndex(index)) return 0;
  try {
    std::shared_ptr<HostedDevice> device;
    {
      zelsim::Registry& registry = Devices();
      std::lock_guard lock(registry.mutex);
      if (!registry.devices[index]) return 0;
      zelcnv::platform::UnregisterDevicePath(zelsim::DevicePath(index));
      device = std::move(registry.devices[index]);
    }
    // Open connections keep the device alive; from now on they only fail.
    device->Model().Detach();
    return 1;
  } catch (...) {
    return 0;
  }
}

int ZelSim_Configure(int index, const char* config) {
  std::shared_ptr<HostedDevice> device = Find(index);
  return device && device->Model().Configure(config) ? 1 : 0;
}

int ZelSim_InjectFault(int index, const char* fault) {
  std::shared_ptr<HostedDevice> device = Find(index);
  return device && device->Model().InjectFaults(fault) ? 1 : 0;
}

int ZelSim_ReadDeviceRegister(int index, int reg) {
  std::shared_ptr<HostedDevice> device = Find(index);
  return device ? device->Model().ReadRegister(reg) : -1;
}

}  // extern "C"
