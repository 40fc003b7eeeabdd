// The live path's own processor time: what the library's threads (transfer and preview) spend on
// each frame between the device file and the application's buffer, read from their own thread
// clocks. The simulated converter produces its frames inside the transfer thread's device calls;
// a meter in front of it counts that time, and it is taken out (device_us shows it). Beside it,
// in the same run, libyuv's conversion of a frame of the same size (YUY2ToARGB with a negative
// height, then ARGBToRGB24, as kernels_bench.cpp times it) and the ratio of the two.
//
//   build/linux/bench/zelcnv_bench --benchmark_filter=LiveLibraryCpu
//       --benchmark_repetitions=5 --benchmark_report_aggregates_only=true   (one line)
//     library_cpu_us per frame for modes 8, 16 and 24 at 640x480 and x_libyuv (its ratio to
//     libyuv_us): /realtime at 30000/1001 frames/s with the shipped 10 ms wait, /paced with one
//     frame released after each delivered one (as fast as the path goes)
//   build/linux/bench/zelcnv_bench --benchmark_filter=Eight
//     eight converters streaming mode 24 in real time for 60 s: frames per converter (and the
//     frames due in that time), undelivered frames (0: every frame the converters made arrived),
//     and the library's share of one processor, without (library_pct) and with the simulated
//     devices' own work
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ZelCnvSim.h"
#include "camera/camera.h"
#include "live_support.h"
#include "platform/posix/message_windows.h"

#ifdef ZELCNV_BENCH_LIBYUV
#include <libyuv.h>
#endif

namespace {

using namespace zelcnv;
using bench::CallingThreadCpuNs;

constexpr int kNotifyWaitMs = 5000;
constexpr int kShippedWaitMs = 10;
constexpr int kWarmUpFrames = 15;
constexpr char kRealTime[] = "standard=525 input0=moving timing=realtime";
constexpr char kManual[] = "standard=525 input0=moving timing=manual";
constexpr char kFree[] = "standard=525 input0=moving timing=free";

// How frames come: as fast as the converter makes them (the preview thread never waits), one
// released after each delivered one, or at the 525-line frame rate.
enum Pacing : int { kPacingFree = 0, kPacingReleased = 1, kPacingRealTime = 2 };
constexpr const char* kPacingConfig[] = {kFree, kManual, kRealTime};
// The shipped wait between polls in real time; none where the benchmark wants every frame.
constexpr int kPacingWaitMs[] = {0, 0, kShippedWaitMs};

// One handle streaming from one metered converter into a buffer of its own, top row first.
class LiveStream {
 public:
  LiveStream(int device, int bits) : device_(device), bits_(bits) {}
  LiveStream(const LiveStream&) = delete;
  LiveStream& operator=(const LiveStream&) = delete;
  ~LiveStream() { Stop(); }

  // Converter attached and metered, before any handle (handles find converters when made).
  bool Attach(const char* config, const std::shared_ptr<bench::DeviceMeter>& meter) {
    if (ZelSim_Attach(device_, config) != 1) return false;
    attached_ = true;
    return bench::MeterConverter(device_, meter);
  }

  // A handle's initialisation resets converter 0: every handle is made before any streams.
  bool Initialize(int waitMs) {
    window_ = platform::CreateMessageWindow();
    camera_ = std::make_unique<camera::CZelCam>();
    return camera_->Initialize(nullptr) == 1 && camera_->SetDeviceNumber(device_) == 1 &&
           camera_->SetColorMode(bits_) == 1 && camera_->SetWaitTime(waitMs) == 1;
  }

  bool Start() {
    bytesPerPixel_ = bits_ / 8;
    stride_ = (camera_->Width() * bytesPerPixel_ + 3) / 4 * 4;
    buffer_.assign(static_cast<size_t>(stride_) * camera_->Height(), 0);
    return camera_->Preview(window_, buffer_.data(), static_cast<int32_t>(buffer_.size()), 1) == 1;
  }

  // The next frame notification: the sequence number the frame in the buffer carries (top and
  // bottom row agreeing), -1 for a frame without one or torn, -2 when none came in `waitMs`,
  // -3 for an error notification.
  int64_t NextFrame(int waitMs) {
    platform::QueuedMessage message{};
    if (platform::GetWindowMessage(window_, &message, waitMs) != 1) return -2;
    if (message.wParam == 0) return -3;
    const int64_t top = bench::RowSequence(buffer_.data(), bytesPerPixel_);
    const int64_t bottom = bench::RowSequence(
        &buffer_[static_cast<size_t>(camera_->Height() - 1) * stride_], bytesPerPixel_);
    return top == bottom ? top : -1;
  }

  // A recording of the running stream (the stream starts if need be; the frame notifications
  // stop, as a recording takes the callback over).
  bool Record(const std::string& path, int durationMs) {
    return camera_->Record(path.c_str(), durationMs, 0) == 1;
  }

  void Release() { ZelSim_InjectFault(device_, "release=1"); }
  camera::CZelCam::ThreadCpu Threads() const { return camera_->ThreadCpuTimes(); }
  int Width() const { return camera_->Width(); }
  int Height() const { return camera_->Height(); }

  void Stop() {
    if (camera_) {
      ZelSim_Configure(device_, "timing=free");  // a manual converter holds the transfer
      camera_.reset();
    }
    if (window_ != nullptr) platform::DestroyMessageWindow(window_);
    window_ = nullptr;
    if (attached_) ZelSim_Detach(device_);
    attached_ = false;
  }

 private:
  int device_;
  int bits_;
  bool attached_ = false;
  void* window_ = nullptr;
  std::unique_ptr<camera::CZelCam> camera_;
  std::vector<uint8_t> buffer_;
  int stride_ = 0;
  int bytesPerPixel_ = 0;
};

// libyuv's conversion of one YUYV frame to 24-bit colour with the flip, in processor nanoseconds
// of this thread: the median of many, one after another (hot), or each after `idleMs` asleep, as
// a frame in real time comes after the thread slept (this machine's caches and clocks are then
// slower: compare the real-time figures with this one too).
double LibyuvFrameNs(int width, int height, int idleMs = 0) {
#ifdef ZELCNV_BENCH_LIBYUV
  std::vector<uint8_t> yuyv(size_t(width) * height * 2), argb(size_t(width) * height * 4),
      out(size_t(width) * height * 3);
  for (size_t i = 0; i < yuyv.size(); ++i) {
    yuyv[i] =
        static_cast<uint8_t>(i % 2 == 0 ? (i / 2) % width * 200 / width + i % 13 : 96 + i % 61);
  }
  const int count = idleMs > 0 ? 31 : 101;
  std::vector<uint64_t> times;
  for (int k = 0; k < count; ++k) {
    if (idleMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(idleMs));
    const uint64_t start = CallingThreadCpuNs();
    libyuv::YUY2ToARGB(yuyv.data(), width * 2, argb.data(), width * 4, width, -height);
    libyuv::ARGBToRGB24(argb.data(), width * 4, out.data(), width * 3, width, height);
    benchmark::DoNotOptimize(out.data());
    times.push_back(CallingThreadCpuNs() - start);
  }
  std::nth_element(times.begin(), times.begin() + count / 2, times.end());
  return static_cast<double>(times[count / 2]);
#else
  (void)width;
  (void)height;
  (void)idleMs;
  return 0;
#endif
}

// Modes 8, 16, 24 at 640x480 (525 lines): per delivered frame, the library's threads' processor
// time less the simulated device's, and its parts.
void BM_LiveLibraryCpu(benchmark::State& state) {
  bench::UseScratchSettings();
  const int bits = static_cast<int>(state.range(0));
  const auto pacing = static_cast<Pacing>(state.range(1));
  const bool released = pacing == kPacingReleased;
  auto meter = std::make_shared<bench::DeviceMeter>();
  LiveStream stream(0, bits);
  if (!stream.Attach(kPacingConfig[pacing], meter) || !stream.Initialize(kPacingWaitMs[pacing]) ||
      !stream.Start()) {
    state.SkipWithError("streaming did not start");
    return;
  }
  int64_t last = -1, missed = 0, unreadable = 0;
  // A frame: released (when paced), delivered, its sequence number checked against the last.
  auto frame = [&] {
    if (released) stream.Release();
    const int64_t sequence = stream.NextFrame(kNotifyWaitMs);
    if (sequence < -1) return false;
    if (sequence < 0) {
      ++unreadable;
    } else {
      if (last >= 0 && sequence > last + 1) missed += sequence - last - 1;
      last = sequence;
    }
    return true;
  };
  for (int i = 0; i < kWarmUpFrames; ++i) {
    if (!frame()) {
      state.SkipWithError("no frame arrived");
      return;
    }
  }
  missed = 0;
  const camera::CZelCam::ThreadCpu before = stream.Threads();
  const uint64_t deviceBefore = meter->ns.load();
  int64_t frames = 0;
  for (auto _ : state) {
    if (!frame()) {
      state.SkipWithError("no frame arrived");
      break;
    }
    ++frames;
  }
  const camera::CZelCam::ThreadCpu after = stream.Threads();
  const double device = static_cast<double>(meter->ns.load() - deviceBefore);
  const int width = stream.Width(), height = stream.Height();
  stream.Stop();
  if (frames == 0) return;
  const double perFrameUs = 1e-3 / static_cast<double>(frames);
  const double transfer = static_cast<double>(after.transfer - before.transfer) - device;
  const double preview = static_cast<double>(after.preview - before.preview);
  const double library = transfer + preview;
  state.counters["library_cpu_us"] = library * perFrameUs;
  state.counters["preview_us"] = preview * perFrameUs;
  state.counters["transfer_us"] = transfer * perFrameUs;
  state.counters["device_us"] = device * perFrameUs;
  // Free-running frames are skipped by design, and the buffer is overwritten while it is read.
  if (pacing != kPacingFree) state.counters["skipped"] = static_cast<double>(missed + unreadable);
  const double libyuv = LibyuvFrameNs(width, height);
  if (libyuv > 0) {
    state.counters["libyuv_us"] = libyuv * 1e-3;
    state.counters["x_libyuv"] = library / static_cast<double>(frames) / libyuv;
  }
  if (pacing == kPacingRealTime) {
    const double idle = LibyuvFrameNs(width, height, 33);
    if (idle > 0) {
      state.counters["libyuv_idle_us"] = idle * 1e-3;
      state.counters["x_libyuv_idle"] = library / static_cast<double>(frames) / idle;
    }
  }
}
BENCHMARK(BM_LiveLibraryCpu)
    ->ArgNames({"bits", "pacing"})
    ->ArgsProduct({{8, 16, 24}, {kPacingFree, kPacingReleased}})
    ->Iterations(1000)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LiveLibraryCpu)
    ->ArgNames({"bits", "pacing"})
    ->ArgsProduct({{8, 16, 24}, {kPacingRealTime}})
    ->Iterations(150)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// Recording while streaming in real time (525 lines, the shipped wait) for range(1) seconds: per
// frame of the stream, the processor time of the preview thread (which converts each frame and
// hands it to the recorder) and of the recorder thread (which writes it), for the colour modes
// whose file frames are made from another picture.
void BM_LiveRecordingCpu(benchmark::State& state) {
  bench::UseScratchSettings();
  const int bits = static_cast<int>(state.range(0));
  const auto seconds = static_cast<double>(state.range(1));
  auto meter = std::make_shared<bench::DeviceMeter>();
  LiveStream stream(0, bits);
  const std::string path =
      (std::filesystem::temp_directory_path() / "zelcnv-bench" / "live-recording.avi").string();
  if (!stream.Attach(kRealTime, meter) || !stream.Initialize(kShippedWaitMs) ||
      !stream.Record(path, static_cast<int>(seconds * 1000) + 60000)) {
    state.SkipWithError("recording did not start");
    return;
  }
  std::this_thread::sleep_for(std::chrono::seconds(1));  // past the start
  const camera::CZelCam::ThreadCpu before = stream.Threads();
  const uint64_t deviceBefore = meter->ns.load();
  for (auto _ : state) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  }
  const camera::CZelCam::ThreadCpu after = stream.Threads();
  const double device = static_cast<double>(meter->ns.load() - deviceBefore);
  stream.Stop();
  std::remove(path.c_str());
  const double frames = seconds * 30000.0 / 1001.0;
  const double perFrameUs = 1e-3 / frames;
  const double preview = static_cast<double>(after.preview - before.preview);
  const double recorder = static_cast<double>(after.recorder - before.recorder);
  const double transfer = static_cast<double>(after.transfer - before.transfer) - device;
  state.counters["preview_us"] = preview * perFrameUs;
  state.counters["recorder_us"] = recorder * perFrameUs;
  state.counters["library_cpu_us"] = (preview + recorder + transfer) * perFrameUs;
}
BENCHMARK(BM_LiveRecordingCpu)
    ->ArgNames({"bits", "seconds"})
    ->ArgsProduct({{16, 32, 48, 64}, {5}})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

// Eight converters, devices 0..7, streaming mode 24 in real time at once for range(0) seconds:
// every frame each converter produces must reach its application buffer (sequence numbers
// without a gap), and the library's threads together take a share of one processor.
void BM_EightConvertersRealTime(benchmark::State& state) {
  constexpr int kConverters = 8;
  bench::UseScratchSettings();
  const auto seconds = std::chrono::seconds(state.range(0));
  auto meter = std::make_shared<bench::DeviceMeter>();
  std::vector<std::unique_ptr<LiveStream>> streams;
  for (int i = 0; i < kConverters; ++i) {
    streams.push_back(std::make_unique<LiveStream>(i, 24));
    if (!streams.back()->Attach(kRealTime, meter)) {
      state.SkipWithError("simulator attach failed");
      return;
    }
  }
  for (auto& stream : streams) {
    if (!stream->Initialize(kShippedWaitMs)) {
      state.SkipWithError("a handle could not be made");
      return;
    }
  }
  for (auto& stream : streams) {
    if (!stream->Start()) {
      state.SkipWithError("streaming did not start");
      return;
    }
  }

  // One reader per handle, as an application with a window per converter: each frame's sequence
  // number is read from the buffer when its notification comes.
  // While the measurement runs: frames delivered, and the first and last sequence number read.
  // Every frame the converter made in between reached the buffer when last - first + 1 frames
  // were delivered. A reader woken late finds the next frame in the buffer already (and reads it
  // twice): a skip in what it read, not in what was delivered.
  struct Tally {
    std::atomic<int64_t> counted{0};
    std::atomic<int64_t> first{-1};
    std::atomic<int64_t> last{-1};
    std::atomic<int64_t> lateReads{0};  // the same sequence number read twice
    std::atomic<int64_t> bad{0};        // frames without a readable, untorn stamp; errors
  };
  std::vector<Tally> tallies(kConverters);
  std::atomic<bool> counting{false}, done{false};
  std::vector<std::thread> readers;
  for (int i = 0; i < kConverters; ++i) {
    readers.emplace_back([&, i] {
      Tally& t = tallies[i];
      int64_t last = -1;
      while (!done.load()) {
        const int64_t sequence = streams[i]->NextFrame(200);
        if (sequence == -2) continue;
        if (sequence < 0) {
          t.bad.fetch_add(1);
          continue;
        }
        if (sequence == last) t.lateReads.fetch_add(1);
        last = sequence;
        if (!counting.load()) continue;
        t.counted.fetch_add(1);
        if (t.first.load() < 0) t.first.store(sequence);
        t.last.store(sequence);
      }
    });
  }

  std::this_thread::sleep_for(std::chrono::seconds(1));  // every stream past its start
  for (Tally& t : tallies) t.lateReads.store(0), t.bad.store(0);
  auto threadsNow = [&] {
    uint64_t total = 0;
    for (auto& stream : streams) total += stream->Threads().Total();
    return total;
  };
  uint64_t threads = 0, device = 0, process = 0, wall = 0;
  for (auto _ : state) {
    threads = threadsNow();
    device = meter->ns.load();
    process = bench::ClockNs(CLOCK_PROCESS_CPUTIME_ID);
    wall = bench::ClockNs(CLOCK_MONOTONIC);
    counting.store(true);
    std::this_thread::sleep_for(seconds);
    counting.store(false);
    threads = threadsNow() - threads;
    device = meter->ns.load() - device;
    process = bench::ClockNs(CLOCK_PROCESS_CPUTIME_ID) - process;
    wall = bench::ClockNs(CLOCK_MONOTONIC) - wall;
  }
  done.store(true);
  for (auto& reader : readers) reader.join();
  streams.clear();

  int64_t least = INT64_MAX, most = 0, undelivered = 0, late = 0, bad = 0;
  std::string perConverter;
  for (const Tally& t : tallies) {
    least = std::min(least, t.counted.load());
    most = std::max(most, t.counted.load());
    undelivered += std::max<int64_t>(0, t.last.load() - t.first.load() + 1 - t.counted.load());
    late += t.lateReads.load();
    bad += t.bad.load();
    perConverter += (perConverter.empty() ? "" : " ") + std::to_string(t.counted.load());
  }
  const double wallNs = static_cast<double>(wall);
  state.counters["frames_min"] = static_cast<double>(least);
  state.counters["frames_max"] = static_cast<double>(most);
  state.counters["frames_due"] = wallNs * 1e-9 * 30000.0 / 1001.0;
  state.counters["undelivered"] = static_cast<double>(undelivered);
  state.counters["late_reads"] = static_cast<double>(late);
  state.counters["bad"] = static_cast<double>(bad);
  state.counters["library_pct"] = 100.0 * (static_cast<double>(threads) - device) / wallNs;
  state.counters["with_device_pct"] = 100.0 * static_cast<double>(threads) / wallNs;
  state.counters["process_pct"] = 100.0 * static_cast<double>(process) / wallNs;
  state.SetLabel("frames per converter: " + perConverter);
}
BENCHMARK(BM_EightConvertersRealTime)
    ->Arg(60)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace
