#include "control_device.h"

#include <new>
#include <string.h>

namespace zqvdsim {

namespace {

using zelsim::control::DeviceState;
using zelsim::control::IndexRequest;
using zelsim::control::RegisterRequest;
using zelsim::control::TextRequestHeader;

constexpr WCHAR kDeviceName[] = L"\\Device\\ZQVDSIM";
constexpr WCHAR kLinkName[] = L"\\DosDevices\\ZQVDSIM";

bool ValidIndex(uint32_t index) {
  return index < ZELSIM_MAX_DEVICES;
}

// The text of a text request, or null when the request is malformed: too short, no terminator
// as its last byte, a NUL before that, or longer than the protocol allows.
const char* RequestText(const uint8_t* buffer, ULONG length, uint32_t* index) {
  if (buffer == nullptr || length < sizeof(TextRequestHeader) + 1) return nullptr;
  const ULONG textBytes = length - sizeof(TextRequestHeader);
  if (textBytes - 1 > zelsim::control::kMaxTextLength) return nullptr;
  const char* text = reinterpret_cast<const char*>(buffer + sizeof(TextRequestHeader));
  for (ULONG i = 0; i + 1 < textBytes; ++i) {
    if (text[i] == '\0') return nullptr;
  }
  if (text[textBytes - 1] != '\0') return nullptr;
  TextRequestHeader header;
  memcpy(&header, buffer, sizeof header);
  *index = header.index;
  return text;
}

}  // namespace

NTSTATUS ControlDevice::Create(PDRIVER_OBJECT driver, ControlDevice** control) {
  *control = nullptr;
  void* memory = AllocatePool(NonPagedPool, sizeof(ControlDevice));
  if (memory == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  ControlDevice* self = new (memory) ControlDevice;
  self->driver_ = driver;
  ExInitializeFastMutex(&self->lock_);
  RtlInitUnicodeString(&self->deviceName_, kDeviceName);
  RtlInitUnicodeString(&self->linkName_, kLinkName);
  NTSTATUS status =
      IoCreateDevice(driver, sizeof(ControlExtension), &self->deviceName_, FILE_DEVICE_UNKNOWN,
                     FILE_DEVICE_SECURE_OPEN, FALSE, &self->device_);
  if (NT_SUCCESS(status)) {
    auto* extension = static_cast<ControlExtension*>(self->device_->DeviceExtension);
    extension->kind = DeviceKind::kControl;
    extension->control = self;
    status = IoCreateSymbolicLink(&self->linkName_, &self->deviceName_);
    self->linked_ = NT_SUCCESS(status);
  } else {
    self->device_ = nullptr;
  }
  if (!NT_SUCCESS(status)) {
    self->Destroy();
    return status;
  }
  self->device_->Flags &= ~DO_DEVICE_INITIALIZING;
  *control = self;
  return STATUS_SUCCESS;
}

void ControlDevice::Destroy() {
  for (uint32_t index = 0; index < ZELSIM_MAX_DEVICES; ++index) {
    ExAcquireFastMutex(&lock_);
    SimulatedConverter* converter = slots_[index];
    slots_[index] = nullptr;
    ExReleaseFastMutex(&lock_);
    if (converter == nullptr) continue;
    converter->Detach();
    converter->WaitForWorker();
    converter->Release();
  }
  if (linked_) IoDeleteSymbolicLink(&linkName_);
  if (device_ != nullptr) IoDeleteDevice(device_);
  this->~ControlDevice();
  FreePool(this);
}

NTSTATUS ControlDevice::Attach(uint32_t index, const char* config) {
  if (!ValidIndex(index)) return STATUS_INVALID_PARAMETER;
  ExAcquireFastMutex(&lock_);
  NTSTATUS status = STATUS_OBJECT_NAME_COLLISION;
  if (slots_[index] == nullptr) {
    SimulatedConverter* converter = nullptr;
    status = SimulatedConverter::Attach(driver_, index, config, &converter);
    if (NT_SUCCESS(status)) slots_[index] = converter;
  }
  ExReleaseFastMutex(&lock_);
  return status;
}

NTSTATUS ControlDevice::Detach(uint32_t index) {
  if (!ValidIndex(index)) return STATUS_INVALID_PARAMETER;
  ExAcquireFastMutex(&lock_);
  SimulatedConverter* converter = slots_[index];
  slots_[index] = nullptr;
  ExReleaseFastMutex(&lock_);
  if (converter == nullptr) return STATUS_NOT_FOUND;
  converter->Detach();
  converter->Release();
  return STATUS_SUCCESS;
}

SimulatedConverter* ControlDevice::Find(uint32_t index) {
  if (!ValidIndex(index)) return nullptr;
  ExAcquireFastMutex(&lock_);
  SimulatedConverter* converter = slots_[index];
  if (converter != nullptr) converter->AddRef();
  ExReleaseFastMutex(&lock_);
  return converter;
}

NTSTATUS ControlDevice::ApplyText(uint32_t code, uint32_t index, const char* text) {
  if (code == zelsim::control::kCodeAttach) return Attach(index, text);
  if (!ValidIndex(index)) return STATUS_INVALID_PARAMETER;
  SimulatedConverter* converter = Find(index);
  if (converter == nullptr) return STATUS_NOT_FOUND;
  const NTSTATUS status = code == zelsim::control::kCodeConfigure ? converter->Configure(text)
                                                                  : converter->InjectFaults(text);
  converter->Release();
  return status;
}

// METHOD_BUFFERED: the input arrives in the system buffer, and the output goes back through the
// same buffer, so every input field is read before any output is written.
NTSTATUS ControlDevice::DispatchDeviceControl(PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
  auto* buffer = static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer);
  const ULONG inLength =
      buffer != nullptr ? stack->Parameters.DeviceIoControl.InputBufferLength : 0;
  const ULONG outLength =
      buffer != nullptr ? stack->Parameters.DeviceIoControl.OutputBufferLength : 0;

  switch (code) {
    case zelsim::control::kCodeAttach:
    case zelsim::control::kCodeConfigure:
    case zelsim::control::kCodeInjectFault: {
      uint32_t index = 0;
      const char* text = RequestText(buffer, inLength, &index);
      if (text == nullptr) return CompleteIrp(irp, STATUS_INVALID_PARAMETER, 0);
      return CompleteIrp(irp, ApplyText(code, index, text), 0);
    }
    case zelsim::control::kCodeDetach: {
      if (inLength != sizeof(IndexRequest)) return CompleteIrp(irp, STATUS_INVALID_PARAMETER, 0);
      IndexRequest request;
      memcpy(&request, buffer, sizeof request);
      return CompleteIrp(irp, Detach(request.index), 0);
    }
    case zelsim::control::kCodeReadRegister: {
      if (inLength != sizeof(RegisterRequest)) return CompleteIrp(irp, STATUS_INVALID_PARAMETER, 0);
      if (outLength < sizeof(int32_t)) return CompleteIrp(irp, STATUS_BUFFER_TOO_SMALL, 0);
      RegisterRequest request;
      memcpy(&request, buffer, sizeof request);
      if (!ValidIndex(request.index)) return CompleteIrp(irp, STATUS_INVALID_PARAMETER, 0);
      SimulatedConverter* converter = Find(request.index);
      if (converter == nullptr) return CompleteIrp(irp, STATUS_NOT_FOUND, 0);
      int32_t value = -1;
      const NTSTATUS status = converter->ReadRegister(request.address, &value);
      converter->Release();
      if (!NT_SUCCESS(status)) return CompleteIrp(irp, status, 0);
      memcpy(buffer, &value, sizeof value);
      return CompleteIrp(irp, STATUS_SUCCESS, sizeof value);
    }
    case zelsim::control::kCodeQueryDevice: {
      if (inLength != sizeof(IndexRequest)) return CompleteIrp(irp, STATUS_INVALID_PARAMETER, 0);
      if (outLength < sizeof(DeviceState)) return CompleteIrp(irp, STATUS_BUFFER_TOO_SMALL, 0);
      IndexRequest request;
      memcpy(&request, buffer, sizeof request);
      if (!ValidIndex(request.index)) return CompleteIrp(irp, STATUS_INVALID_PARAMETER, 0);
      SimulatedConverter* converter = Find(request.index);
      if (converter == nullptr) return CompleteIrp(irp, STATUS_NOT_FOUND, 0);
      DeviceState state = {};
      const NTSTATUS status = converter->QueryState(&state);
      converter->Release();
      if (!NT_SUCCESS(status)) return CompleteIrp(irp, status, 0);
      memcpy(buffer, &state, sizeof state);
      return CompleteIrp(irp, STATUS_SUCCESS, sizeof state);
    }
    default:
      return CompleteIrp(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
  }
}

}  // namespace zqvdsim
