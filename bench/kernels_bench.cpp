// YUYV to 24-bit colour with the row flip, at the two frame sizes the converter delivers: our
// reference and fast paths beside libyuv, OpenCV and a memcpy of the source frame; and each
// colour mode's conversion (24, 32, 48, 64 bits) beside the others. Each row reports its time per
// pixel; compare ratios measured in one run, not times across runs.
//
//   build/linux/bench/zelcnv_bench --benchmark_filter='Yuyv|Memcpy'
//       --benchmark_repetitions=5 --benchmark_report_aggregates_only=true   (one line)
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "imaging/kernel_variants.h"
#include "imaging/kernels.h"
#include "imaging/yuyv_exact.h"

#ifdef ZELCNV_BENCH_LIBYUV
#include <libyuv.h>
#endif
#ifdef ZELCNV_BENCH_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

using namespace zelcnv::imaging;

enum class Content { kNatural, kRarePairs };

// A YUYV frame. Natural: smooth luma and chroma gradients with noise, as a camera delivers.
// Rare pairs: every chroma pair one for which the reference lands just below a whole number
// somewhere, the fast paths' worst case.
struct Frame {
  int width, height;
  std::vector<uint8_t> yuyv;

  Frame(int w, int h, Content content) : width(w), height(h), yuyv(size_t(w) * h * 2) {
    std::mt19937 rng(5);
    std::vector<std::pair<int, int>> rare;
    const YuyvExactTables& t = YuyvTables();
    for (int u = 0; u < 256; ++u) {
      for (int v = 0; v < 256; ++v) {
        const bool green = (kGreenBias + kGreenU * u + kGreenV * v) % kGreenDivisor == 0;
        if ((green && t.greenRanges[u] != 0) || t.redRanges[v] != 0) rare.emplace_back(u, v);
      }
    }
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; x += 2) {
        uint8_t* p = &yuyv[(size_t(y) * w + x) * 2];
        p[0] = static_cast<uint8_t>(x * 200 / w + y / 8 + rng() % 16);
        p[2] = static_cast<uint8_t>(p[0] + rng() % 8);
        if (content == Content::kNatural) {
          p[1] = static_cast<uint8_t>(96 + x * 64 / w + rng() % 8);
          p[3] = static_cast<uint8_t>(160 - y * 64 / h + rng() % 8);
        } else {
          const auto [u, v] = rare[rng() % rare.size()];
          p[1] = static_cast<uint8_t>(u);
          p[3] = static_cast<uint8_t>(v);
        }
      }
    }
  }
};

// Time per pixel, shown in seconds with a prefix (ps: 1000 ps = 1 ns).
void ReportPixels(benchmark::State& state, const Frame& f) {
  state.counters["per_px"] =
      benchmark::Counter(double(f.width) * f.height, benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

void YuyvKernel(benchmark::State& state, BlitKernel kernel, Content content, uint16_t bytes = 3) {
  const Frame f(int(state.range(0)), int(state.range(1)), content);
  const int32_t stride = (f.width * bytes + 3) / 4 * 4;
  std::vector<uint8_t> out(size_t(stride) * f.height);
  for (auto _ : state) {
    kernel({out.data(), stride, bytes}, {f.yuyv.data(), f.width * 2, 2}, {0, 0, f.width, f.height},
           0, 0);
    benchmark::DoNotOptimize(out.data());
  }
  ReportPixels(state, f);
}

void BM_YuyvReference(benchmark::State& state) {
  YuyvKernel(state, reference::YuyvToBgr24Flip, Content::kNatural);
}

// Each fast path this processor runs; the last is the one the library uses.
void BM_YuyvFast(benchmark::State& state, BlitKernel kernel) {
  YuyvKernel(state, kernel, Content::kNatural);
}
void BM_YuyvFastRarePairs(benchmark::State& state, BlitKernel kernel) {
  YuyvKernel(state, kernel, Content::kRarePairs);
}

void BM_Memcpy(benchmark::State& state) {
  const Frame f(int(state.range(0)), int(state.range(1)), Content::kNatural);
  std::vector<uint8_t> out(f.yuyv.size());
  for (auto _ : state) {
    std::memcpy(out.data(), f.yuyv.data(), f.yuyv.size());
    benchmark::DoNotOptimize(out.data());
  }
  ReportPixels(state, f);
}

#ifdef ZELCNV_BENCH_LIBYUV
// This libyuv has no single YUY2 to RGB24 call: YUY2 to ARGB with a negative height (the flip),
// then ARGB to RGB24.
void BM_YuyvLibyuv(benchmark::State& state) {
  const Frame f(int(state.range(0)), int(state.range(1)), Content::kNatural);
  std::vector<uint8_t> argb(size_t(f.width) * f.height * 4), out(size_t(f.width) * f.height * 3);
  for (auto _ : state) {
    libyuv::YUY2ToARGB(f.yuyv.data(), f.width * 2, argb.data(), f.width * 4, f.width, -f.height);
    libyuv::ARGBToRGB24(argb.data(), f.width * 4, out.data(), f.width * 3, f.width, f.height);
    benchmark::DoNotOptimize(out.data());
  }
  ReportPixels(state, f);
}
BENCHMARK(BM_YuyvLibyuv)->Args({720, 576})->Args({640, 480});
#endif

#ifdef ZELCNV_BENCH_OPENCV
// One thread, no flip.
void BM_YuyvOpenCv(benchmark::State& state) {
  cv::setNumThreads(1);
  Frame f(int(state.range(0)), int(state.range(1)), Content::kNatural);
  const cv::Mat src(f.height, f.width, CV_8UC2, f.yuyv.data());
  cv::Mat out(f.height, f.width, CV_8UC3);
  for (auto _ : state) {
    cv::cvtColor(src, out, cv::COLOR_YUV2BGR_YUYV);
    benchmark::DoNotOptimize(out.data);
  }
  ReportPixels(state, f);
}
BENCHMARK(BM_YuyvOpenCv)->Args({720, 576})->Args({640, 480});
#endif

BENCHMARK(BM_YuyvReference)->Args({720, 576})->Args({640, 480});
BENCHMARK(BM_Memcpy)->Args({720, 576})->Args({640, 480});

// Each colour mode's conversion of the native frame, as the library runs it and as the reference
// defines it: 24-bit colour, BGRX, and 16-bit channels, per frame.
struct ModeKernel {
  int bits;
  BlitKernel kernel, referenceKernel;
};
constexpr ModeKernel kModeKernels[] = {
    {24, YuyvToBgr24Flip, reference::YuyvToBgr24Flip},
    {32, YuyvToBgrx32Flip, reference::YuyvToBgrx32Flip},
    {48, YuyvToBgr48Flip, reference::YuyvToBgr48Flip},
    {64, YuyvToBgra64Flip, reference::YuyvToBgra64Flip},
};

void BM_YuyvMode(benchmark::State& state, ModeKernel mode, bool referencePath) {
  YuyvKernel(state, referencePath ? mode.referenceKernel : mode.kernel, Content::kNatural,
             static_cast<uint16_t>(mode.bits / 8));
}

int RegisterFastPaths() {
  for (const ModeKernel& mode : kModeKernels) {
    for (bool referencePath : {false, true}) {
      const std::string name = "BM_YuyvMode" + std::to_string(mode.bits) + "/" +
                               (referencePath ? "reference" : ActiveVariantOf(mode.kernel));
      benchmark::RegisterBenchmark(name.c_str(), BM_YuyvMode, mode, referencePath)
          ->Args({720, 576})
          ->Args({640, 480})
          ->Unit(benchmark::kMicrosecond);
    }
  }
  for (const BlitVariant& v : VariantsOf(YuyvToBgr24Flip)) {
    if (std::strcmp(v.name, "reference") == 0) continue;
    const std::string name(v.name);
    benchmark::RegisterBenchmark(("BM_YuyvFast/" + name).c_str(), BM_YuyvFast, v.kernel)
        ->Args({720, 576})
        ->Args({640, 480});
    benchmark::RegisterBenchmark(("BM_YuyvFastRarePairs/" + name).c_str(), BM_YuyvFastRarePairs,
                                 v.kernel)
        ->Args({720, 576})
        ->Args({640, 480});
  }
  return 0;
}
const int registered = RegisterFastPaths();

}  // namespace
