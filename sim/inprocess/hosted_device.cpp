#include "hosted_device.h"

#include "platform/thread.h"

#include <chrono>
#include <cstdlib>
#include <limits>
#include <new>

namespace zelsim {

namespace {

using Clock = std::chrono::steady_clock;

class SimConnection final : public zelcnv::platform::DeviceConnection {
 public:
  SimConnection(std::shared_ptr<HostedDevice> device, uint32_t id)
      : device_(std::move(device)), id_(id) {}

  bool Control(uint32_t code, const void* in, uint32_t inLength, void* out, uint32_t outLength,
               uint32_t* bytesMoved, uint32_t timeoutMs) override {
    limits_.deadlineNs = timeoutMs == zelcnv::platform::kWaitForever
                             ? kNoDeadline
                             : HostedDevice::NowNs(nullptr) + uint64_t{timeoutMs} * 1000000;
    return device_->Model().Control(id_, code, in, inLength, out, outLength, bytesMoved, &limits_);
  }

  void Cancel() override { device_->Model().Abort(&limits_); }

 private:
  std::shared_ptr<HostedDevice> device_;
  uint32_t id_;
  TransferLimits limits_;
};

HostedDevice& Self(void* context) {
  return *static_cast<HostedDevice*>(context);
}

}  // namespace

std::shared_ptr<HostedDevice> HostedDevice::Create() {
  std::shared_ptr<HostedDevice> device(new (std::nothrow) HostedDevice);
  if (!device) return nullptr;
  const SimHost host{device.get(), &NowNs, &Lock, &Unlock, &Wait, &WakeAll, &Alloc, &Free};
  device->model_ = ConverterModel::Create(host);
  if (device->model_ == nullptr) return nullptr;
  return device;
}

HostedDevice::~HostedDevice() {
  ConverterModel::Destroy(model_);
}

uint64_t HostedDevice::NowNs(void*) {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
          .count());
}

void HostedDevice::Lock(void* context) {
  Self(context).mutex_.lock();
}

void HostedDevice::Unlock(void* context) {
  Self(context).mutex_.unlock();
}

void HostedDevice::Wait(void* context, uint64_t deadlineNs) {
  HostedDevice& self = Self(context);
  // The model already holds the mutex; the wait gives it up and takes it back.
  std::unique_lock<std::mutex> lock(self.mutex_, std::adopt_lock);
  if (deadlineNs == kNoDeadline ||
      deadlineNs > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
    self.wake_.wait(lock);
  } else {
    const Clock::time_point deadline{std::chrono::duration_cast<Clock::duration>(
        std::chrono::nanoseconds(static_cast<int64_t>(deadlineNs)))};
    self.wake_.wait_until(lock, deadline);
  }
  lock.release();
}

void HostedDevice::WakeAll(void* context) {
  Self(context).wake_.notify_all();
}

void* HostedDevice::Alloc(void*, size_t size) {
  return std::malloc(size);
}

void HostedDevice::Free(void*, void* block) {
  std::free(block);
}

std::unique_ptr<zelcnv::platform::DeviceConnection> SimBackend::Open() {
  uint32_t id = 0;
  if (!device_->Model().Open(&id)) return nullptr;
  return std::unique_ptr<zelcnv::platform::DeviceConnection>(new (std::nothrow)
                                                                 SimConnection(device_, id));
}

}  // namespace zelsim
