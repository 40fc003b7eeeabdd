// One attached simulated converter inside the driver: the device model, the device object that
// serves it as \Device\ZQVD-<index> (\\.\ZQVD-<index> to applications), and the worker thread
// that completes its video transfers.
//
// The driver host dispatches one IRP at a time, so nothing in dispatch may wait for a frame: a
// video transfer is queued, marked pending and completed by the worker, and every other request
// is answered at once.
//
// Reference-counted: the attachment, every open handle, every queued transfer and the worker each
// hold a reference. A detach destroys the model as soon as no thread is inside it; what is left
// answers every request on a handle still open with "not connected" until the handle closes.
#pragma once

#include "control_protocol.h"
#include "kernel.h"
#include "kernel_host.h"
#include "model/converter_model.h"

namespace zqvdsim {

class SimulatedConverter;

struct ConverterExtension {
  DeviceKind kind;  // DeviceKind::kConverter
  SimulatedConverter* converter;
};

class SimulatedConverter {
 public:
  // Creates converter `index` with `config` applied and publishes its device. On success
  // the caller owns one reference. STATUS_INVALID_PARAMETER for a bad configuration word.
  static NTSTATUS Attach(PDRIVER_OBJECT driver, uint32_t index, const char* config,
                         SimulatedConverter** converter);

  // Stops serving: the device and its name go, transfers on the model fail at once, and the
  // worker ends when its queue is drained. The caller's reference stays its own.
  void Detach();
  // After Detach: returns once the worker thread has ended (the driver waits before unloading).
  void WaitForWorker();

  void AddRef();
  void Release();

  // Control-device requests; STATUS_NOT_FOUND once detached.
  NTSTATUS Configure(const char* words);
  NTSTATUS InjectFaults(const char* words);
  NTSTATUS ReadRegister(uint32_t address, int32_t* value);
  NTSTATUS QueryState(zelsim::control::DeviceState* state);

  // IRPs on a converter's device. Close and device control find the converter through the handle,
  // so they stay safe after a detach.
  static NTSTATUS DispatchCreate(ConverterExtension* extension, PIRP irp);
  static NTSTATUS DispatchClose(PIRP irp);
  static NTSTATUS DispatchDeviceControl(PIRP irp);

 private:
  struct Handle;

  SimulatedConverter() = default;
  ~SimulatedConverter();
  SimulatedConverter(const SimulatedConverter&) = delete;
  SimulatedConverter& operator=(const SimulatedConverter&) = delete;

  NTSTATUS Publish(PDRIVER_OBJECT driver, uint32_t index);
  void Unpublish();
  void FollowPlug(bool plugged);
  NTSTATUS StartWorker();

  // The model, or null once detached; every successful EnterModel is paired with a LeaveModel.
  zelsim::ConverterModel* EnterModel();
  void LeaveModel();

  void Transfer(uint32_t connection, PIRP irp, NTSTATUS* status, ULONG_PTR* moved,
                zelsim::TransferLimits* limits = nullptr);
  NTSTATUS QueueTransfer(PIRP irp, uint32_t connection);
  void CompleteTransfer(PIRP irp);
  PIRP NextTransfer();
  static void NTAPI CancelQueuedTransfer(PDEVICE_OBJECT device, PIRP irp);
  static void NTAPI CancelActiveTransfer(PDEVICE_OBJECT device, PIRP irp);
  static void NTAPI WorkerEntry(PVOID context);

  volatile LONG references_ = 1;
  volatile LONG openHandles_ = 0;
  volatile LONG waitingTransfers_ = 0;

  KernelHost host_;

  // Guards model_, modelUsers_ and retired_.
  KSPIN_LOCK modelLock_;
  zelsim::ConverterModel* model_ = nullptr;
  LONG modelUsers_ = 0;
  bool retired_ = false;

  // Video transfers waiting for the worker; guarded by queueLock_, like stopping_.
  KSPIN_LOCK queueLock_;
  LIST_ENTRY queue_;
  bool stopping_ = false;
  KEVENT workAvailable_;
  PKTHREAD worker_ = nullptr;

  // The transfer the worker is in (one at a time): its cancel routine aborts it in the model
  // through these limits, and signals cancelDone_ once it is done with them.
  zelsim::TransferLimits activeLimits_;
  KEVENT cancelDone_;

  // Guards device_ and linked_: the name comes and goes with unplug and replug.
  FAST_MUTEX publishLock_;
  PDEVICE_OBJECT device_ = nullptr;
  bool linked_ = false;
  WCHAR deviceNameBuffer_[24] = {};
  WCHAR linkNameBuffer_[24] = {};
  UNICODE_STRING deviceName_ = {};
  UNICODE_STRING linkName_ = {};
};

}  // namespace zqvdsim
