// What the live-path benchmarks share: settings in a scratch directory, a meter in front of a
// simulated converter that counts the processor time its device calls take (the simulated
// device's own work, which runs on the library's transfer thread on Linux), the calling thread's
// processor clock, and the device sequence number a delivered frame carries.
#pragma once

#include <time.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "model/frame_stamp.h"
#include "platform/posix/device_namespace.h"

namespace zelcnv::bench {

// Settings a benchmark's handles save go to a directory of their own.
inline void UseScratchSettings() {
  static const bool done = [] {
    const std::string dir = (std::filesystem::temp_directory_path() / "zelcnv-bench").string();
    std::filesystem::create_directories(dir);
    return ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1) == 0;
  }();
  (void)done;
}

inline uint64_t ClockNs(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<uint64_t>(t.tv_sec) * 1000000000u + static_cast<uint64_t>(t.tv_nsec);
}

inline uint64_t CallingThreadCpuNs() {
  return ClockNs(CLOCK_THREAD_CPUTIME_ID);
}

// Processor time spent inside the device calls of the converters it meters, whichever thread
// made them.
struct DeviceMeter {
  std::atomic<uint64_t> ns{0};
};

class MeteredBackend final : public platform::DeviceBackend {
 public:
  MeteredBackend(std::shared_ptr<platform::DeviceBackend> inner, std::shared_ptr<DeviceMeter> meter)
      : inner_(std::move(inner)), meter_(std::move(meter)) {}

  std::unique_ptr<platform::DeviceConnection> Open() override {
    std::unique_ptr<platform::DeviceConnection> inner = inner_->Open();
    if (!inner) return nullptr;
    return std::make_unique<Connection>(std::move(inner), meter_);
  }

 private:
  class Connection final : public platform::DeviceConnection {
   public:
    Connection(std::unique_ptr<platform::DeviceConnection> inner,
               std::shared_ptr<DeviceMeter> meter)
        : inner_(std::move(inner)), meter_(std::move(meter)) {}
    bool Control(uint32_t code, const void* in, uint32_t inLength, void* out, uint32_t outLength,
                 uint32_t* bytesMoved, uint32_t timeoutMs) override {
      const uint64_t start = CallingThreadCpuNs();
      const bool ok = inner_->Control(code, in, inLength, out, outLength, bytesMoved, timeoutMs);
      meter_->ns.fetch_add(CallingThreadCpuNs() - start, std::memory_order_relaxed);
      return ok;
    }
    void Cancel() override { inner_->Cancel(); }

   private:
    std::unique_ptr<platform::DeviceConnection> inner_;
    std::shared_ptr<DeviceMeter> meter_;
  };

  std::shared_ptr<platform::DeviceBackend> inner_;
  std::shared_ptr<DeviceMeter> meter_;
};

// Puts a metering backend in front of the simulated converter at `index` (attached already);
// ZelSim_Detach takes it away with the converter.
inline bool MeterConverter(int index, std::shared_ptr<DeviceMeter> meter) {
  const std::string path = "\\\\.\\ZQVD-" + std::to_string(index);
  std::shared_ptr<platform::DeviceBackend> inner = platform::DeviceBackendAt(path);
  if (!inner || !platform::UnregisterDevicePath(path)) return false;
  return platform::RegisterDevicePath(
      path, std::make_shared<MeteredBackend>(std::move(inner), std::move(meter)));
}

// The device sequence number in the stamp at the start of a delivered row with `bytesPerPixel`
// bytes a pixel (1: grey, 2: YUYV, 3 or more: colour, whose first channel carries the grey
// stamp), or -1 when the row carries none.
inline int64_t RowSequence(const uint8_t* row, int bytesPerPixel) {
  uint8_t luma[zelsim::kStampSamples * 2];
  int samples = bytesPerPixel;
  if (bytesPerPixel > 2) {
    for (int i = 0; i < zelsim::kStampSamples; ++i) luma[i] = row[i * bytesPerPixel];
    row = luma;
    samples = 1;
  }
  uint32_t sequence = 0;
  return zelsim::ReadFrameStamp(row, samples, &sequence) ? int64_t{sequence} : -1;
}

}  // namespace zelcnv::bench
