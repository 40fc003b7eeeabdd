#include "simulated_converter.h"

#include <new>

#include "model/wire_protocol.h"

namespace zqvdsim {

namespace {

constexpr WCHAR kDevicePrefix[] = L"\\Device\\ZQVD-";
constexpr WCHAR kLinkPrefix[] = L"\\DosDevices\\ZQVD-";

// `prefix` followed by `index` in decimal, in `buffer` of `capacity` characters.
void MakeName(const WCHAR* prefix, uint32_t index, WCHAR* buffer, size_t capacity,
              UNICODE_STRING* name) {
  size_t length = 0;
  while (prefix[length] != L'\0' && length + 1 < capacity) {
    buffer[length] = prefix[length];
    ++length;
  }
  WCHAR digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<WCHAR>(L'0' + index % 10);
    index /= 10;
  } while (index != 0);
  while (count > 0 && length + 1 < capacity) buffer[length++] = digits[--count];
  buffer[length] = L'\0';
  name->Buffer = buffer;
  name->Length = static_cast<USHORT>(length * sizeof(WCHAR));
  name->MaximumLength = static_cast<USHORT>(capacity * sizeof(WCHAR));
}

bool IsTransferCode(ULONG code) {
  return code == zelsim::kCodeOutDirect || code == zelsim::kCodeInDirect ||
         code == zelsim::kCodeAltOutDirect || code == zelsim::kCodeAltInDirect;
}

// The pipe a transfer names, or false when its input is not a pipe number.
bool PipeOf(PIRP irp, PIO_STACK_LOCATION stack, uint32_t* pipe) {
  const auto* in = static_cast<const uint8_t*>(irp->AssociatedIrp.SystemBuffer);
  if (in == nullptr ||
      stack->Parameters.DeviceIoControl.InputBufferLength != zelsim::kPipeNumberBytes) {
    return false;
  }
  *pipe = static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
          static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
  return true;
}

}  // namespace

// What an open handle carries in its file object: the converter it was opened on and the model's
// connection token for it.
struct SimulatedConverter::Handle {
  SimulatedConverter* converter;
  uint32_t connection;
};

NTSTATUS SimulatedConverter::Attach(PDRIVER_OBJECT driver, uint32_t index, const char* config,
                                    SimulatedConverter** converter) {
  *converter = nullptr;
  void* memory = AllocatePool(NonPagedPool, sizeof(SimulatedConverter));
  if (memory == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  SimulatedConverter* self = new (memory) SimulatedConverter;
  KeInitializeSpinLock(&self->modelLock_);
  KeInitializeSpinLock(&self->queueLock_);
  ExInitializeFastMutex(&self->publishLock_);
  InitializeListHead(&self->queue_);
  KeInitializeEvent(&self->workAvailable_, SynchronizationEvent, FALSE);
  KeInitializeEvent(&self->cancelDone_, NotificationEvent, FALSE);

  self->model_ = zelsim::ConverterModel::Create(self->host_.Host());
  NTSTATUS status = STATUS_INSUFFICIENT_RESOURCES;
  if (self->model_ != nullptr) {
    status = self->model_->Configure(config) ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER;
  }
  if (NT_SUCCESS(status)) status = self->Publish(driver, index);
  if (NT_SUCCESS(status)) {
    status = self->StartWorker();
    if (!NT_SUCCESS(status)) self->Unpublish();
  }
  if (!NT_SUCCESS(status)) {
    self->Release();
    return status;
  }
  *converter = self;
  return STATUS_SUCCESS;
}

SimulatedConverter::~SimulatedConverter() {
  zelsim::ConverterModel::Destroy(model_);
  if (worker_ != nullptr) ObDereferenceObject(worker_);
}

NTSTATUS SimulatedConverter::Publish(PDRIVER_OBJECT driver, uint32_t index) {
  MakeName(kDevicePrefix, index, deviceNameBuffer_, ARRAYSIZE(deviceNameBuffer_), &deviceName_);
  MakeName(kLinkPrefix, index, linkNameBuffer_, ARRAYSIZE(linkNameBuffer_), &linkName_);
  NTSTATUS status = IoCreateDevice(driver, sizeof(ConverterExtension), &deviceName_,
                                   FILE_DEVICE_UNKNOWN, FILE_DEVICE_SECURE_OPEN, FALSE, &device_);
  if (!NT_SUCCESS(status)) {
    device_ = nullptr;
    return status;
  }
  auto* extension = static_cast<ConverterExtension*>(device_->DeviceExtension);
  extension->kind = DeviceKind::kConverter;
  extension->converter = this;
  status = IoCreateSymbolicLink(&linkName_, &deviceName_);
  if (!NT_SUCCESS(status)) {
    Unpublish();
    return status;
  }
  linked_ = true;
  device_->Flags &= ~DO_DEVICE_INITIALIZING;
  return STATUS_SUCCESS;
}

void SimulatedConverter::Unpublish() {
  ExAcquireFastMutex(&publishLock_);
  if (linked_) IoDeleteSymbolicLink(&linkName_);
  linked_ = false;
  if (device_ != nullptr) IoDeleteDevice(device_);
  device_ = nullptr;
  ExReleaseFastMutex(&publishLock_);
}

// Wine's driver host hands out a handle whatever the driver answers to IRP_MJ_CREATE, so an
// unplugged converter also takes its name away: opening its path fails as it would once a real
// converter's device is gone.
void SimulatedConverter::FollowPlug(bool plugged) {
  ExAcquireFastMutex(&publishLock_);
  if (device_ != nullptr && plugged != linked_) {
    if (plugged) {
      linked_ = NT_SUCCESS(IoCreateSymbolicLink(&linkName_, &deviceName_));
    } else {
      IoDeleteSymbolicLink(&linkName_);
      linked_ = false;
    }
  }
  ExReleaseFastMutex(&publishLock_);
}

NTSTATUS SimulatedConverter::StartWorker() {
  HANDLE thread = nullptr;
  AddRef();  // the worker's, dropped as it ends
  NTSTATUS status = PsCreateSystemThread(&thread, THREAD_ALL_ACCESS, nullptr, nullptr, nullptr,
                                         &WorkerEntry, this);
  if (!NT_SUCCESS(status)) {
    Release();
    return status;
  }
  // The thread object, so that unloading can wait for the worker to be gone from our code. No
  // object type: mingw-w64's DDK declares PsThreadType with one indirection too many for an
  // import, and a handle just returned by PsCreateSystemThread needs no type check.
  PVOID object = nullptr;
  status = ObReferenceObjectByHandle(thread, SYNCHRONIZE, nullptr, KernelMode, &object, nullptr);
  ZwClose(thread);
  if (NT_SUCCESS(status)) worker_ = static_cast<PKTHREAD>(object);
  return STATUS_SUCCESS;
}

void SimulatedConverter::Detach() {
  KIRQL irql;
  KeAcquireSpinLock(&modelLock_, &irql);
  zelsim::ConverterModel* model = retired_ ? nullptr : model_;
  retired_ = true;
  if (model != nullptr) ++modelUsers_;
  KeReleaseSpinLock(&modelLock_, irql);
  if (model != nullptr) {
    model->Detach();  // transfers blocked in the model return now
    LeaveModel();
  }

  KeAcquireSpinLock(&queueLock_, &irql);
  stopping_ = true;
  KeReleaseSpinLock(&queueLock_, irql);
  KeSetEvent(&workAvailable_, IO_NO_INCREMENT, FALSE);

  Unpublish();
}

void SimulatedConverter::WaitForWorker() {
  if (worker_ != nullptr) KeWaitForSingleObject(worker_, Executive, KernelMode, FALSE, nullptr);
}

void SimulatedConverter::AddRef() {
  InterlockedIncrement(&references_);
}

void SimulatedConverter::Release() {
  if (InterlockedDecrement(&references_) != 0) return;
  this->~SimulatedConverter();
  FreePool(this);
}

zelsim::ConverterModel* SimulatedConverter::EnterModel() {
  KIRQL irql;
  KeAcquireSpinLock(&modelLock_, &irql);
  zelsim::ConverterModel* model = retired_ ? nullptr : model_;
  if (model != nullptr) ++modelUsers_;
  KeReleaseSpinLock(&modelLock_, irql);
  return model;
}

// The last thread out of a detached model destroys it, so a converter whose handles are never
// closed costs only this small object.
void SimulatedConverter::LeaveModel() {
  KIRQL irql;
  KeAcquireSpinLock(&modelLock_, &irql);
  zelsim::ConverterModel* finished = nullptr;
  if (--modelUsers_ == 0 && retired_) {
    finished = model_;
    model_ = nullptr;
  }
  KeReleaseSpinLock(&modelLock_, irql);
  zelsim::ConverterModel::Destroy(finished);
}

NTSTATUS SimulatedConverter::Configure(const char* words) {
  zelsim::ConverterModel* model = EnterModel();
  if (model == nullptr) return STATUS_NOT_FOUND;
  const bool ok = model->Configure(words);
  LeaveModel();
  return ok ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER;
}

NTSTATUS SimulatedConverter::InjectFaults(const char* words) {
  zelsim::ConverterModel* model = EnterModel();
  if (model == nullptr) return STATUS_NOT_FOUND;
  const bool ok = model->InjectFaults(words);
  uint32_t unused = 0;
  const bool plugged = model->Open(&unused);  // refused exactly while unplugged
  LeaveModel();
  FollowPlug(plugged);
  return ok ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER;
}

NTSTATUS SimulatedConverter::ReadRegister(uint32_t address, int32_t* value) {
  if (address >= static_cast<uint32_t>(zelsim::kRegisterCount)) return STATUS_INVALID_PARAMETER;
  zelsim::ConverterModel* model = EnterModel();
  if (model == nullptr) return STATUS_NOT_FOUND;
  *value = model->ReadRegister(static_cast<int>(address));
  LeaveModel();
  return STATUS_SUCCESS;
}

NTSTATUS SimulatedConverter::QueryState(zelsim::control::DeviceState* state) {
  zelsim::ConverterModel* model = EnterModel();
  if (model == nullptr) return STATUS_NOT_FOUND;
  const zelsim::PictureParams params = model->CurrentPictureParams();
  LeaveModel();
  state->openHandles = static_cast<uint32_t>(openHandles_);
  state->waitingTransfers = static_cast<uint32_t>(waitingTransfers_);
  state->samplesPerFrame = params.samplesPerFrame;
  state->standard = params.standard;
  state->squarePixels = params.squarePixels ? 1 : 0;
  state->bytesPerSample = params.bytesPerSample;
  state->content = static_cast<uint8_t>(params.content);
  state->brightness = params.brightness;
  state->saturation = params.saturation;
  state->hue = params.hue;
  state->contrast = params.contrast;
  return STATUS_SUCCESS;
}

NTSTATUS SimulatedConverter::DispatchCreate(ConverterExtension* extension, PIRP irp) {
  SimulatedConverter* self = extension->converter;
  PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
  if (file == nullptr) return CompleteIrp(irp, STATUS_INVALID_PARAMETER, 0);
  zelsim::ConverterModel* model = self->EnterModel();
  uint32_t connection = 0;
  const bool open = model != nullptr && model->Open(&connection);
  if (model != nullptr) self->LeaveModel();
  // Unplugged or detached: the converter is not there to open.
  if (!open) return CompleteIrp(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
  auto* handle = static_cast<Handle*>(AllocatePool(NonPagedPool, sizeof(Handle)));
  if (handle == nullptr) return CompleteIrp(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
  handle->converter = self;
  handle->connection = connection;
  self->AddRef();
  InterlockedIncrement(&self->openHandles_);
  file->FsContext = handle;
  return CompleteIrp(irp, STATUS_SUCCESS, 0);
}

NTSTATUS SimulatedConverter::DispatchClose(PIRP irp) {
  PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
  auto* handle = file != nullptr ? static_cast<Handle*>(file->FsContext) : nullptr;
  CompleteIrp(irp, STATUS_SUCCESS, 0);
  if (handle != nullptr) {
    file->FsContext = nullptr;
    SimulatedConverter* self = handle->converter;
    FreePool(handle);
    InterlockedDecrement(&self->openHandles_);
    self->Release();
  }
  return STATUS_SUCCESS;
}

NTSTATUS SimulatedConverter::DispatchDeviceControl(PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  auto* handle =
      stack->FileObject != nullptr ? static_cast<Handle*>(stack->FileObject->FsContext) : nullptr;
  if (handle == nullptr) return CompleteIrp(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
  const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
  uint32_t pipe = 0;
  if (IsTransferCode(code) && PipeOf(irp, stack, &pipe) && pipe == zelsim::kVideoPipe) {
    return handle->converter->QueueTransfer(irp, handle->connection);
  }
  // Requests and answers never wait inside the model.
  NTSTATUS status;
  ULONG_PTR moved;
  handle->converter->Transfer(handle->connection, irp, &status, &moved);
  return CompleteIrp(irp, status, moved);
}

// One control transfer through the model, with the IRP's buffers: the pipe number from the
// system buffer, the data through the MDL.
void SimulatedConverter::Transfer(uint32_t connection, PIRP irp, NTSTATUS* status, ULONG_PTR* moved,
                                  zelsim::TransferLimits* limits) {
  *moved = 0;
  zelsim::ConverterModel* model = EnterModel();
  if (model == nullptr) {
    *status = STATUS_DEVICE_NOT_CONNECTED;
    return;
  }
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  const void* in = irp->AssociatedIrp.SystemBuffer;
  const uint32_t inLength = in != nullptr ? stack->Parameters.DeviceIoControl.InputBufferLength : 0;
  void* out = nullptr;
  uint32_t outLength = 0;
  if (irp->MdlAddress != nullptr) {
    outLength = MmGetMdlByteCount(irp->MdlAddress);
    if (outLength != 0) {
      out = MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority);
      if (out == nullptr) outLength = 0;
    }
  }
  uint32_t bytes = 0;
  const bool ok = model->Control(connection, stack->Parameters.DeviceIoControl.IoControlCode, in,
                                 inLength, out, outLength, &bytes, limits);
  uint32_t unused = 0;
  // A refused transfer on a converter that has gone away reads as such; any other refusal is the
  // device's plain failure.
  const bool present = ok || model->Open(&unused);
  LeaveModel();
  *moved = bytes;
  *status = ok ? STATUS_SUCCESS : present ? STATUS_UNSUCCESSFUL : STATUS_DEVICE_NOT_CONNECTED;
}

NTSTATUS SimulatedConverter::QueueTransfer(PIRP irp, uint32_t connection) {
  irp->Tail.Overlay.DriverContext[0] = this;
  irp->Tail.Overlay.DriverContext[1] = reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(connection));
  KIRQL irql;
  KeAcquireSpinLock(&queueLock_, &irql);
  if (stopping_) {
    KeReleaseSpinLock(&queueLock_, irql);
    return CompleteIrp(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
  }
  (void)IoSetCancelRoutine(irp, &CancelQueuedTransfer);
  if (irp->Cancel && IoSetCancelRoutine(irp, nullptr) != nullptr) {
    KeReleaseSpinLock(&queueLock_, irql);
    return CompleteIrp(irp, STATUS_CANCELLED, 0);
  }
  AddRef();  // the transfer's, dropped when it completes
  InterlockedIncrement(&waitingTransfers_);
  IoMarkIrpPending(irp);
  if (irp->Cancel) {
    // Cancelled between the two exchanges: the cancel routine is on its way and completes it;
    // a self-linked entry lets it unlink without a queue.
    InitializeListHead(&irp->Tail.Overlay.ListEntry);
  } else {
    InsertTailList(&queue_, &irp->Tail.Overlay.ListEntry);
  }
  KeReleaseSpinLock(&queueLock_, irql);
  KeSetEvent(&workAvailable_, IO_NO_INCREMENT, FALSE);
  return STATUS_PENDING;
}

void NTAPI SimulatedConverter::CancelQueuedTransfer(PDEVICE_OBJECT, PIRP irp) {
  IoReleaseCancelSpinLock(irp->CancelIrql);
  auto* self = static_cast<SimulatedConverter*>(irp->Tail.Overlay.DriverContext[0]);
  KIRQL irql;
  KeAcquireSpinLock(&self->queueLock_, &irql);
  RemoveEntryList(&irp->Tail.Overlay.ListEntry);
  KeReleaseSpinLock(&self->queueLock_, irql);
  InterlockedDecrement(&self->waitingTransfers_);
  CompleteIrp(irp, STATUS_CANCELLED, 0);
  self->Release();
}

// The next queued transfer that is not being cancelled; null once the converter stops and the
// queue is empty.
PIRP SimulatedConverter::NextTransfer() {
  for (;;) {
    KIRQL irql;
    KeAcquireSpinLock(&queueLock_, &irql);
    while (!IsListEmpty(&queue_)) {
      PLIST_ENTRY entry = RemoveHeadList(&queue_);
      PIRP irp = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
      if (IoSetCancelRoutine(irp, nullptr) != nullptr) {
        KeReleaseSpinLock(&queueLock_, irql);
        return irp;
      }
      // Its cancel routine is about to run and unlinks the entry: leave it linked to itself.
      InitializeListHead(entry);
    }
    const bool stopping = stopping_;
    KeReleaseSpinLock(&queueLock_, irql);
    if (stopping) return nullptr;
    KeWaitForSingleObject(&workAvailable_, Executive, KernelMode, FALSE, nullptr);
  }
}

// A video transfer waits inside the model until its frame is due, fails once the converter is
// unplugged or detached, and ends with STATUS_CANCELLED when its requester cancels it meanwhile
// (a stop that will not wait for a converter gone silent).
void SimulatedConverter::CompleteTransfer(PIRP irp) {
  const auto connection =
      static_cast<uint32_t>(reinterpret_cast<ULONG_PTR>(irp->Tail.Overlay.DriverContext[1]));
  NTSTATUS status = STATUS_CANCELLED;
  ULONG_PTR moved = 0;
  // No cancel routine of an earlier transfer is left running (the last one was waited for).
  activeLimits_ = zelsim::TransferLimits{};
  KeClearEvent(&cancelDone_);
  (void)IoSetCancelRoutine(irp, &CancelActiveTransfer);
  if (!irp->Cancel || IoSetCancelRoutine(irp, nullptr) == nullptr) {
    Transfer(connection, irp, &status, &moved, &activeLimits_);
    if (IoSetCancelRoutine(irp, nullptr) == nullptr) {
      // The cancel routine has run or is running: the IRP stays ours to complete, but only once
      // the routine is done with the limits.
      KeWaitForSingleObject(&cancelDone_, Executive, KernelMode, FALSE, nullptr);
      if (!NT_SUCCESS(status)) {
        status = STATUS_CANCELLED;
        moved = 0;
      }
    }
  }
  InterlockedDecrement(&waitingTransfers_);
  CompleteIrp(irp, status, moved);
  Release();
}

// Runs when the transfer the worker is in is cancelled. The I/O manager cancels a user's request
// (CancelIoEx, a closing handle) from below DISPATCH_LEVEL, which is where the IRQL returns once
// the cancel spin lock is released: the model's mutex may be taken there.
void NTAPI SimulatedConverter::CancelActiveTransfer(PDEVICE_OBJECT, PIRP irp) {
  IoReleaseCancelSpinLock(irp->CancelIrql);
  auto* self = static_cast<SimulatedConverter*>(irp->Tail.Overlay.DriverContext[0]);
  if (zelsim::ConverterModel* model = self->EnterModel()) {
    model->Abort(&self->activeLimits_);
    self->LeaveModel();
  }
  KeSetEvent(&self->cancelDone_, IO_NO_INCREMENT, FALSE);
}

void NTAPI SimulatedConverter::WorkerEntry(PVOID context) {
  auto* self = static_cast<SimulatedConverter*>(context);
  while (PIRP irp = self->NextTransfer()) self->CompleteTransfer(irp);
  self->Release();
  PsTerminateSystemThread(STATUS_SUCCESS);
}

}  // namespace zqvdsim
