// A simulated converter hosted in this process: the model on a std::mutex and steady_clock, and
// the device-file backend that serves it at its path.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "model/converter_model.h"
#include "platform/posix/device_namespace.h"

namespace zelsim {

class HostedDevice {
 public:
  // Null when the model cannot be created.
  static std::shared_ptr<HostedDevice> Create();
  ~HostedDevice();
  HostedDevice(const HostedDevice&) = delete;
  HostedDevice& operator=(const HostedDevice&) = delete;

  ConverterModel& Model() { return *model_; }
  // The model's clock in nanoseconds (the context is not used): where a transfer's deadline lies.
  static uint64_t NowNs(void* context);

 private:
  HostedDevice() = default;

  static void Lock(void* context);
  static void Unlock(void* context);
  static void Wait(void* context, uint64_t deadlineNs);
  static void WakeAll(void* context);
  static void* Alloc(void* context, size_t size);
  static void Free(void* context, void* block);

  std::mutex mutex_;
  std::condition_variable wake_;
  ConverterModel* model_ = nullptr;
};

// Serves one hosted device. Connections hold the device, so they outlive a detach safely.
class SimBackend final : public zelcnv::platform::DeviceBackend {
 public:
  explicit SimBackend(std::shared_ptr<HostedDevice> device) : device_(std::move(device)) {}
  std::unique_ptr<zelcnv::platform::DeviceConnection> Open() override;

 private:
  std::shared_ptr<HostedDevice> device_;
};

}  // namespace zelsim
