// Frames per second through the transfer thread from a free-running simulated converter, the
// simulator's own cost per frame, and a plain copy of the same bytes for scale.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "ZelCnvSim.h"
#include "device/protocol.h"
#include "device/transport.h"
#include "device/vxm_sdk_lib.h"
#include "platform/clock.h"

namespace {

using namespace zelcnv;

constexpr int kDevice = 0;
// 625-line timing with 720-sample lines (table B row 2): the largest two-byte frame streamed.
constexpr uint32_t kSamplesPerFrame = 531456;
constexpr uint32_t kFrameBytes = 2 * kSamplesPerFrame;

// Attaches a free-running converter and tells it the frame size and sample width.
bool AttachFreeRunning(device::CVXMSdkLib& lib) {
  if (ZelSim_Attach(kDevice, "standard=625 input0=moving timing=free") != 1) return false;
  lib.SetAlternateCodes(true, true);
  platform::DeviceFile* handle = platform::OpenDeviceFile(lib.DevicePath());
  if (handle == nullptr) return false;
  bool ok = device::SendFrameSizeRequest(handle, kSamplesPerFrame) == 0;
  platform::CloseDeviceFile(handle);
  lib.SetSampleWidth(1);
  return ok && lib.AllocateFrameMemory(kSamplesPerFrame) == 0;
}

// The transfer thread runs flat out for the benchmark's duration; the counter is what it moved.
void BM_TransferThreadFreeRunning(benchmark::State& state) {
  device::CVXMSdkLib lib(10);
  if (!AttachFreeRunning(lib)) {
    state.SkipWithError("simulator attach failed");
    return;
  }
  if (lib.StartTransfer() != kStatusOk) {
    state.SkipWithError("the transfer did not start");
    return;
  }
  for (auto _ : state) platform::SleepMs(100);
  lib.StopTransfer();
  const int transfers = lib.Transfer().transferCount.load();
  const double seconds = lib.LastTransferTicks() / 1000.0;
  state.counters["frames_per_s"] = seconds > 0 ? transfers / seconds : 0;
  state.counters["MB_per_s"] = seconds > 0 ? transfers * double{kFrameBytes} / seconds / 1e6 : 0;
  ZelSim_Detach(kDevice);
}
BENCHMARK(BM_TransferThreadFreeRunning)
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// One frame transfer on the video pipe: the simulator producing a frame plus the device seam.
void BM_SimulatorFrame(benchmark::State& state) {
  device::CVXMSdkLib lib(10);
  if (!AttachFreeRunning(lib)) {
    state.SkipWithError("simulator attach failed");
    return;
  }
  platform::DeviceFile* handle = platform::OpenDeviceFile(lib.DevicePath());
  std::vector<uint8_t> frame(kFrameBytes);
  for (auto _ : state) {
    uint32_t moved = 0;
    if (device::PipeTransfer(handle, device::kVideoPipe, kFrameBytes, frame.data(), &moved, 1,
                             true) != kStatusOk) {
      state.SkipWithError("a frame transfer failed");
      break;
    }
    benchmark::DoNotOptimize(frame.data());
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kFrameBytes});
  platform::CloseDeviceFile(handle);
  ZelSim_Detach(kDevice);
}
BENCHMARK(BM_SimulatorFrame)->Unit(benchmark::kMicrosecond);

// A plain copy of one frame's bytes: what producing a frame should cost at best.
void BM_MemcpyFrame(benchmark::State& state) {
  std::vector<uint8_t> source(kFrameBytes, 0x80), frame(kFrameBytes);
  for (auto _ : state) {
    std::memcpy(frame.data(), source.data(), kFrameBytes);
    benchmark::DoNotOptimize(frame.data());
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kFrameBytes});
}
BENCHMARK(BM_MemcpyFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
