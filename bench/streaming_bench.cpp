// Frames through the whole streaming path, as the application receives them: the transfer thread
// fills the ring, the preview thread decodes, converts and copies each frame into the
// application's buffer and posts the notification. Real time per delivered frame, and the whole
// process's processor time per frame (which includes the simulated converter's own work).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ZelCnvSim.h"
#include "camera/camera.h"
#include "platform/posix/message_windows.h"

namespace {

using namespace zelcnv;

constexpr int kDevice = 0;
constexpr int kNotifyWaitMs = 5000;

// Settings a benchmark's handles save go to a directory of their own.
void UseScratchSettings() {
  static const bool done = [] {
    const std::string dir = (std::filesystem::temp_directory_path() / "zelcnv-bench").string();
    std::filesystem::create_directories(dir);
    return ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1) == 0;
  }();
  (void)done;
}

void StreamFrames(benchmark::State& state, const char* config, int colourBits, int waitMs) {
  UseScratchSettings();
  if (ZelSim_Attach(kDevice, config) != 1) {
    state.SkipWithError("simulator attach failed");
    return;
  }
  void* window = platform::CreateMessageWindow();
  auto camera = std::make_unique<camera::CZelCam>();
  camera->Initialize(nullptr);
  camera->SetColorMode(colourBits);
  camera->SetWaitTime(waitMs);
  const int stride = (camera->Width() * colourBits / 8 + 3) / 4 * 4;
  std::vector<uint8_t> buffer(static_cast<size_t>(stride) * camera->Height());
  if (camera->Preview(window, buffer.data(), static_cast<int32_t>(buffer.size()), 1) != 1) {
    state.SkipWithError("streaming did not start");
  } else {
    platform::QueuedMessage message{};
    for (auto _ : state) {
      do {
        if (platform::GetWindowMessage(window, &message, kNotifyWaitMs) != 1) {
          state.SkipWithError("no frame arrived");
          break;
        }
      } while (message.wParam == 0);
    }
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["width"] = camera->Width();
    state.counters["height"] = camera->Height();
  }
  camera.reset();
  platform::DestroyMessageWindow(window);
  ZelSim_Detach(kDevice);
}

// As fast as the path goes: the converter free-running, the preview thread polling without pause.
void BM_StreamFreeRunning(benchmark::State& state) {
  StreamFrames(state, "standard=525 input0=moving timing=free", static_cast<int>(state.range(0)),
               0);
}
BENCHMARK(BM_StreamFreeRunning)
    ->Arg(8)
    ->Arg(16)
    ->Arg(24)
    ->Arg(32)
    ->Arg(48)
    ->Arg(64)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

// Live video as shipped: 525-line real time (29.97 frames/s), default 10 ms poll, 24-bit colour.
// Processor time per frame over real time per frame is the share of one processor it takes.
void BM_StreamRealTime(benchmark::State& state) {
  StreamFrames(state, "standard=525 input0=moving timing=realtime", 24, 10);
}
BENCHMARK(BM_StreamRealTime)
    ->Iterations(90)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
