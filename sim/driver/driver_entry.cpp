// The simulated-converter driver zqvdsim.sys: its entry point, its unload routine and the routing
// of each IRP to the control device or to the converter whose device it arrived on.
#include "control_device.h"
#include "kernel.h"
#include "simulated_converter.h"

namespace zqvdsim {

namespace {

// Set once by DriverEntry, cleared by the unload routine.
ControlDevice* g_control = nullptr;

DeviceKind KindOf(PDEVICE_OBJECT device) {
  return *static_cast<DeviceKind*>(device->DeviceExtension);
}

NTSTATUS NTAPI DispatchCreate(PDEVICE_OBJECT device, PIRP irp) {
  if (KindOf(device) == DeviceKind::kConverter) {
    return SimulatedConverter::DispatchCreate(
        static_cast<ConverterExtension*>(device->DeviceExtension), irp);
  }
  return CompleteIrp(irp, STATUS_SUCCESS, 0);
}

NTSTATUS NTAPI DispatchClose(PDEVICE_OBJECT device, PIRP irp) {
  if (KindOf(device) == DeviceKind::kConverter) return SimulatedConverter::DispatchClose(irp);
  return CompleteIrp(irp, STATUS_SUCCESS, 0);
}

// Nothing to release before the close itself.
NTSTATUS NTAPI DispatchCleanup(PDEVICE_OBJECT, PIRP irp) {
  return CompleteIrp(irp, STATUS_SUCCESS, 0);
}

NTSTATUS NTAPI DispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp) {
  if (KindOf(device) == DeviceKind::kConverter) {
    return SimulatedConverter::DispatchDeviceControl(irp);
  }
  return static_cast<ControlExtension*>(device->DeviceExtension)
      ->control->DispatchDeviceControl(irp);
}

NTSTATUS NTAPI DispatchUnsupported(PDEVICE_OBJECT, PIRP irp) {
  return CompleteIrp(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
}

void NTAPI Unload(PDRIVER_OBJECT) {
  if (g_control != nullptr) g_control->Destroy();
  g_control = nullptr;
}

}  // namespace

}  // namespace zqvdsim

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
  using namespace zqvdsim;
  for (int major = 0; major <= IRP_MJ_MAXIMUM_FUNCTION; ++major) {
    driver->MajorFunction[major] = &DispatchUnsupported;
  }
  driver->MajorFunction[IRP_MJ_CREATE] = &DispatchCreate;
  driver->MajorFunction[IRP_MJ_CLOSE] = &DispatchClose;
  driver->MajorFunction[IRP_MJ_CLEANUP] = &DispatchCleanup;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = &DispatchDeviceControl;
  const NTSTATUS status = ControlDevice::Create(driver, &g_control);
  if (!NT_SUCCESS(status)) return status;
  driver->DriverUnload = &Unload;
  return STATUS_SUCCESS;
}
