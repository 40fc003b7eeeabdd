// zelcnvsrc beside GStreamer's own live test source at the same caps (640 x 480 BGR, 29.97
// frames/s, real time): the process's CPU time per frame into a fakesink, from the tenth buffer on
// (the converter's start-up is not a frame's cost). The converter is simulated in this process, so
// its figure also carries the simulator's rendering of every frame, which hardware does itself.
#include <benchmark/benchmark.h>
#include <gst/gst.h>
#include <time.h>

#include <atomic>
#include <string>

#include "registration.h"

namespace {

constexpr int kWarmFrames = 10;
constexpr int kFrames = 160;
constexpr const char* kCaps =
    "video/x-raw,format=BGR,width=640,height=480,framerate=30000/1001 ! fakesink name=sink";

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + t.tv_nsec / 1e9;
}

double WallSeconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return double(t.tv_sec) + t.tv_nsec / 1e9;
}

struct Span {
  std::atomic<int> buffers{0};
  double cpu0 = 0, wall0 = 0, cpu1 = 0, wall1 = 0;
};

GstPadProbeReturn CountBuffer(GstPad*, GstPadProbeInfo*, gpointer data) {
  auto* span = static_cast<Span*>(data);
  const int n = ++span->buffers;
  if (n == kWarmFrames) {
    span->cpu0 = CpuSeconds();
    span->wall0 = WallSeconds();
  } else if (n == kFrames) {
    span->cpu1 = CpuSeconds();
    span->wall1 = WallSeconds();
  }
  return GST_PAD_PROBE_OK;
}

void RunPipeline(benchmark::State& state, const std::string& source) {
  const std::string description =
      source + " num-buffers=" + std::to_string(kFrames) + " ! " + kCaps;
  double cpu = 0, wall = 0;
  int runs = 0;
  for (auto _ : state) {
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    if (pipeline == nullptr) {
      state.SkipWithError(error != nullptr ? error->message : "no pipeline");
      g_clear_error(&error);
      return;
    }
    Span span;
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    GstPad* pad = gst_element_get_static_pad(sink, "sink");
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, CountBuffer, &span, nullptr);
    gst_object_unref(pad);
    gst_object_unref(sink);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* end = gst_bus_timed_pop_filtered(
        bus, 30 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool ok = end != nullptr && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS;
    if (end != nullptr) gst_message_unref(end);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    if (!ok || span.buffers.load() != kFrames) {
      state.SkipWithError("the pipeline did not deliver its frames");
      return;
    }
    cpu += span.cpu1 - span.cpu0;
    wall += span.wall1 - span.wall0;
    ++runs;
  }
  const int frames = runs * (kFrames - kWarmFrames);
  state.counters["cpu_us_per_frame"] = cpu / frames * 1e6;
  state.counters["frames_per_s"] = frames / wall;
}

void ZelCnvSrc(benchmark::State& state) {
  RunPipeline(state, "zelcnvsrc simulate=\"standard=525\"");
}
void VideoTestSrcSmpte(benchmark::State& state) {
  RunPipeline(state, "videotestsrc is-live=true pattern=smpte");
}
void VideoTestSrcBall(benchmark::State& state) {
  RunPipeline(state, "videotestsrc is-live=true pattern=ball");
}

BENCHMARK(ZelCnvSrc)->Name("GstLiveSource/zelcnvsrc")->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(VideoTestSrcSmpte)
    ->Name("GstLiveSource/videotestsrc_smpte")
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(VideoTestSrcBall)
    ->Name("GstLiveSource/videotestsrc_ball")
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  gst_init(&argc, &argv);
  gst_plugin_register_static(GST_VERSION_MAJOR, GST_VERSION_MINOR, "zelcnv", "ZelCnv converters",
                             zelcnv::gst::RegisterFeatures, "0", "Proprietary", "zelcnvsdk",
                             "zelcnvsdk", "bench");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
