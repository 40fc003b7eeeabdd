// How long a frame takes from its arrival (its capture time: the moment its last byte was read
// from the converter) to the application: to the return of a thread waiting in WaitFrame, and to
// the receipt of its frame notification (the application asks for the frame's details there).
// Beside them, in the same run, the conversion's own time: the stream's own figure (its median
// over the last second), the weave of the frame from the ring slot with its copies into the
// application's buffer and the waiting thread's, which happen before either can; and the bare
// kernel on a frame already in the cache. Mode 24 at 640x480, the converter free-running (the
// preview thread never pauses) and in real time (29.97 frames/s, the shipped 10 ms wait).
//
//   build/linux/bench/zelcnv_bench --benchmark_filter=FrameLatency
//     wait_med_us, wait_p99_us, notify_med_us, notify_p99_us, convert_us, kernel_us (medians and
//     99th percentiles in microseconds), wait_over_convert_us (the median's margin over the
//     conversion)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "ZelCnvSim.h"
#include "camera/camera.h"
#include "imaging/kernels.h"
#include "platform/clock.h"
#include "platform/posix/message_windows.h"

namespace {

using namespace zelcnv;

constexpr int kDevice = 0;
constexpr int kWaitMs = 5000;
constexpr int kWarmUpFrames = 10;

double Percentile(std::vector<int64_t> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t at = std::min(values.size() - 1, static_cast<size_t>(fraction * values.size()));
  return static_cast<double>(values[at]) / 10.0;  // 100 ns units to microseconds
}

// The median time of the mode-24 kernel over a picture already in the cache, in 100 ns units.
int64_t KernelTime(int width, int height) {
  std::vector<uint8_t> yuyv(static_cast<size_t>(width) * height * 2);
  for (size_t i = 0; i < yuyv.size(); ++i) yuyv[i] = static_cast<uint8_t>(i * 7 + i / 1280);
  const ptrdiff_t stride = (width * 3 + 3) / 4 * 4;
  std::vector<uint8_t> out(static_cast<size_t>(stride) * height);
  std::vector<int64_t> times;
  for (int i = 0; i < 101; ++i) {
    const int64_t start = platform::MonotonicNow100ns();
    imaging::ConvertRows(imaging::kYuyvToBgr24, yuyv.data(), width * 2, out.data(), stride, width,
                         height);
    benchmark::DoNotOptimize(out.data());
    times.push_back(platform::MonotonicNow100ns() - start);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

void FrameLatency(benchmark::State& state, const char* config, int waitMs) {
  if (ZelSim_Attach(kDevice, config) != 1) {
    state.SkipWithError("simulator attach failed");
    return;
  }
  void* window = platform::CreateMessageWindow();
  auto camera = std::make_unique<camera::CZelCam>();
  camera->Initialize(nullptr);
  camera->SetColorMode(24);
  camera->SetWaitTime(waitMs);
  const int width = camera->Width(), height = camera->Height();
  const size_t bytes = static_cast<size_t>((width * 3 + 3) / 4 * 4) * height;
  std::vector<uint8_t> buffer(bytes), waited(bytes);
  const int64_t kernel = KernelTime(width, height);
  int64_t convert = 0;
  std::vector<int64_t> waits, notifies;
  std::atomic<bool> done{false};
  // The notifications are read where an application reads them, on a thread of their own.
  std::thread reader([&] {
    platform::QueuedMessage message{};
    while (!done.load()) {
      if (platform::GetWindowMessage(window, &message, 100) != 1 || message.wParam == 0) continue;
      camera::FrameDetails details{};
      details.size = sizeof details;
      if (camera->GetFrameDetails(&details) == 1) {
        notifies.push_back(platform::MonotonicNow100ns() - details.captureTime);
      }
    }
  });
  if (camera->Preview(window, buffer.data(), static_cast<int32_t>(bytes), 1) != 1) {
    state.SkipWithError("streaming did not start");
  } else {
    int seen = 0;
    for (auto _ : state) {
      camera::FrameDetails details{};
      details.size = sizeof details;
      if (camera->WaitFrame(waited.data(), static_cast<int32_t>(bytes), 1, kWaitMs, &details) !=
          1) {
        state.SkipWithError("no frame arrived");
        break;
      }
      const int64_t latency = platform::MonotonicNow100ns() - details.captureTime;
      if (++seen > kWarmUpFrames) waits.push_back(latency);
    }
    camera::StreamStats stats{};
    stats.size = sizeof stats;
    if (camera->GetStreamStats(&stats) == 1) convert = stats.conversionMedian;
  }
  camera->Close();
  done.store(true);
  reader.join();
  if (notifies.size() > kWarmUpFrames)
    notifies.erase(notifies.begin(), notifies.begin() + kWarmUpFrames);
  state.counters["wait_med_us"] = Percentile(waits, 0.5);
  state.counters["wait_p99_us"] = Percentile(waits, 0.99);
  state.counters["notify_med_us"] = Percentile(notifies, 0.5);
  state.counters["notify_p99_us"] = Percentile(notifies, 0.99);
  state.counters["convert_us"] = static_cast<double>(convert) / 10.0;
  state.counters["kernel_us"] = static_cast<double>(kernel) / 10.0;
  state.counters["wait_over_convert_us"] =
      Percentile(waits, 0.5) - static_cast<double>(convert) / 10.0;
  camera.reset();
  platform::DestroyMessageWindow(window);
  ZelSim_Detach(kDevice);
}

void BM_FrameLatencyFree(benchmark::State& state) {
  FrameLatency(state, "standard=525 input0=moving timing=free", 0);
}
BENCHMARK(BM_FrameLatencyFree)->Iterations(1000)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_FrameLatencyRealTime(benchmark::State& state) {
  FrameLatency(state, "standard=525 input0=moving timing=realtime", 10);
}
BENCHMARK(BM_FrameLatencyRealTime)->Iterations(300)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
