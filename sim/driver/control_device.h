// The driver's control device, \Device\ZQVDSIM (\\.\ZQVDSIM to applications): test programs
// attach, detach, configure and fault simulated converters through it and read their device-side
// state. The converters live in the driver, so they outlive the test process that attached them.
#pragma once

#include "ZelCnvSim.h"
#include "control_protocol.h"
#include "kernel.h"
#include "simulated_converter.h"

namespace zqvdsim {

class ControlDevice;

struct ControlExtension {
  DeviceKind kind;  // DeviceKind::kControl
  ControlDevice* control;
};

class ControlDevice {
 public:
  static NTSTATUS Create(PDRIVER_OBJECT driver, ControlDevice** control);
  // Unload: detaches every converter, waits until their workers have ended, deletes the device.
  void Destroy();

  NTSTATUS DispatchDeviceControl(PIRP irp);

 private:
  ControlDevice() = default;

  NTSTATUS Attach(uint32_t index, const char* config);
  NTSTATUS Detach(uint32_t index);
  // The converter attached at `index` with a reference the caller releases; null when none is.
  SimulatedConverter* Find(uint32_t index);
  NTSTATUS ApplyText(uint32_t code, uint32_t index, const char* text);

  PDRIVER_OBJECT driver_ = nullptr;
  PDEVICE_OBJECT device_ = nullptr;
  bool linked_ = false;
  UNICODE_STRING deviceName_ = {};
  UNICODE_STRING linkName_ = {};

  // Guards slots_; held across an attach so that two attaches of one index cannot both succeed.
  FAST_MUTEX lock_;
  SimulatedConverter* slots_[ZELSIM_MAX_DEVICES] = {};
};

}  // namespace zqvdsim
