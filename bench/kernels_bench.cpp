// YUYV to 24-bit colour with the row flip, at the two frame sizes the converter delivers: our
// reference and fast paths beside libyuv (with all its instruction sets, and held to AVX2 as on a
// processor without AVX-512), OpenCV and a memcpy of the source frame; and each colour mode's
// conversion (24, 32, 48, 64 bits) beside the others and beside the same output made with OpenCV
// (and libyuv where it has one). Each row reports its time per pixel; the ratios after the table
// come from the same run.
//
//   ./run bench --benchmark_filter='Yuyv|Memcpy' --benchmark_repetitions=5
//       --benchmark_report_aggregates_only=true   (one line)
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "imaging/kernel_variants.h"
#include "imaging/kernels.h"
#include "imaging/yuyv_exact.h"
#include "ratios.h"

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

// A frame through `kernel` as the stream runs it: bottom-up output, rows a memory row apart.
void YuyvKernel(benchmark::State& state, RowFn* kernel, Content content, uint8_t bytes = 3) {
  const Frame f(int(state.range(0)), int(state.range(1)), content);
  const ptrdiff_t stride = (f.width * bytes + 3) / 4 * 4;
  std::vector<uint8_t> out(size_t(stride) * f.height);
  const RowKernel rows{kernel, 2, bytes};
  for (auto _ : state) {
    ConvertRows(rows, f.yuyv.data(), f.width * 2, out.data() + stride * (f.height - 1), -stride,
                f.width, f.height);
    benchmark::DoNotOptimize(out.data());
  }
  ReportPixels(state, f);
}

void BM_YuyvReference(benchmark::State& state) {
  YuyvKernel(state, reference::YuyvToBgr24, Content::kNatural);
}

// Each fast path this processor runs; the last is the one the library uses.
void BM_YuyvFast(benchmark::State& state, RowFn* kernel) {
  YuyvKernel(state, kernel, Content::kNatural);
}
void BM_YuyvFastRarePairs(benchmark::State& state, RowFn* kernel) {
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
// libyuv limited to the instruction sets up to `isa`, as on a processor without the wider ones.
struct LibyuvIsa {
  const char* name;
  int disabledFlags;
};
constexpr int kLibyuvAvx512Flags = libyuv::kCpuHasAVX512BW | libyuv::kCpuHasAVX512VL |
                                   libyuv::kCpuHasAVX512VNNI | libyuv::kCpuHasAVX512VBMI |
                                   libyuv::kCpuHasAVX512VBMI2 | libyuv::kCpuHasAVX512VBITALG |
                                   libyuv::kCpuHasAVX512VPOPCNTDQ;
constexpr LibyuvIsa kLibyuvIsas[] = {
    {"best", 0},
    {"avx2", kLibyuvAvx512Flags},
};

// This libyuv has no single YUY2 to RGB24 call: YUY2 to ARGB with a negative height (the flip),
// then ARGB to RGB24.
void BM_YuyvLibyuv(benchmark::State& state, LibyuvIsa isa) {
  const Frame f(int(state.range(0)), int(state.range(1)), Content::kNatural);
  std::vector<uint8_t> argb(size_t(f.width) * f.height * 4), out(size_t(f.width) * f.height * 3);
  libyuv::MaskCpuFlags(~isa.disabledFlags);
  for (auto _ : state) {
    libyuv::YUY2ToARGB(f.yuyv.data(), f.width * 2, argb.data(), f.width * 4, f.width, -f.height);
    libyuv::ARGBToRGB24(argb.data(), f.width * 4, out.data(), f.width * 3, f.width, f.height);
    benchmark::DoNotOptimize(out.data());
  }
  libyuv::MaskCpuFlags(-1);
  ReportPixels(state, f);
}
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

// Each colour mode's output made with OpenCV, one thread, no flip: BGR or BGRA, widened to 16-bit
// channels (times 257) for 48 and 64 bits.
void BM_YuyvOpenCvMode(benchmark::State& state, int bits) {
  cv::setNumThreads(1);
  Frame f(int(state.range(0)), int(state.range(1)), Content::kNatural);
  const cv::Mat src(f.height, f.width, CV_8UC2, f.yuyv.data());
  const bool four = bits == 32 || bits == 64;
  cv::Mat bgr(f.height, f.width, four ? CV_8UC4 : CV_8UC3), wide;
  for (auto _ : state) {
    cv::cvtColor(src, bgr, four ? cv::COLOR_YUV2BGRA_YUYV : cv::COLOR_YUV2BGR_YUYV);
    if (bits > 32) bgr.convertTo(wide, four ? CV_16UC4 : CV_16UC3, 257.0);
    benchmark::DoNotOptimize(bits > 32 ? wide.data : bgr.data);
  }
  ReportPixels(state, f);
}
#endif

#ifdef ZELCNV_BENCH_LIBYUV
// The modes libyuv has an output for, flipped: BGRA (32 bits) and 16-bit BGRA (64 bits).
void BM_YuyvLibyuvMode(benchmark::State& state, int bits) {
  const Frame f(int(state.range(0)), int(state.range(1)), Content::kNatural);
  std::vector<uint8_t> argb(size_t(f.width) * f.height * 4);
  std::vector<uint16_t> wide(size_t(f.width) * f.height * 4);
  for (auto _ : state) {
    libyuv::YUY2ToARGB(f.yuyv.data(), f.width * 2, argb.data(), f.width * 4, f.width, -f.height);
    if (bits == 64) {
      libyuv::ARGBToAR64(argb.data(), f.width * 4, wide.data(), f.width * 4, f.width, f.height);
    }
    benchmark::DoNotOptimize(argb.data());
    benchmark::DoNotOptimize(wide.data());
  }
  ReportPixels(state, f);
}
#endif

BENCHMARK(BM_YuyvReference)->Args({720, 576})->Args({640, 480});
BENCHMARK(BM_Memcpy)->Args({720, 576})->Args({640, 480});

// Each colour mode's conversion of the native frame, as the library runs it and as the reference
// defines it: 24-bit colour, BGRX, and 16-bit channels, per frame.
struct ModeKernel {
  int bits;
  RowFn *kernel, *referenceKernel;
};
constexpr ModeKernel kModeKernels[] = {
    {24, YuyvToBgr24, reference::YuyvToBgr24},
    {32, YuyvToBgrx32, reference::YuyvToBgrx32},
    {48, YuyvToBgr48, reference::YuyvToBgr48},
    {64, YuyvToBgra64, reference::YuyvToBgra64},
};

void BM_YuyvMode(benchmark::State& state, ModeKernel mode, bool referencePath, Content content) {
  YuyvKernel(state, referencePath ? mode.referenceKernel : mode.kernel, content,
             static_cast<uint8_t>(mode.bits / 8));
}

constexpr int kSizes[][2] = {{720, 576}, {640, 480}};

std::string SizeSuffix(const int (&size)[2]) {
  return "/" + std::to_string(size[0]) + "/" + std::to_string(size[1]);
}

// The ratios printed after the table: the path the library uses here, and the AVX2 path (as on a
// processor without AVX-512) against libyuv held to AVX2.
void AddKernelRatios() {
  using zelcnv::bench::AddRatio;
  const std::string active = ActiveVariantOf(YuyvToBgr24);
  for (const auto& size : kSizes) {
    const std::string at = SizeSuffix(size);
    const std::string label = " " + std::to_string(size[0]) + "x" + std::to_string(size[1]);
    const std::string libyuv = "BM_YuyvLibyuv/best" + at;
    AddRatio("YUYV->BGR24" + label + " natural, " + active + " / libyuv",
             "BM_YuyvFast/" + active + at, libyuv);
    AddRatio("YUYV->BGR24" + label + " all pairs rare, " + active + " / libyuv",
             "BM_YuyvFastRarePairs/" + active + at, libyuv);
    if (active != "avx2") {
      AddRatio("YUYV->BGR24" + label + " natural, avx2 / libyuv held to avx2",
               "BM_YuyvFast/avx2" + at, "BM_YuyvLibyuv/avx2" + at);
      AddRatio("YUYV->BGR24" + label + " all pairs rare, avx2 / libyuv held to avx2",
               "BM_YuyvFastRarePairs/avx2" + at, "BM_YuyvLibyuv/avx2" + at);
    }
    AddRatio("YUYV->BGR24" + label + " natural, " + active + " / OpenCV",
             "BM_YuyvFast/" + active + at, "BM_YuyvOpenCv" + at);
    for (int bits : {32, 48, 64}) {
      const std::string ours = "BM_YuyvMode" + std::to_string(bits) + "/" + active + at;
      const std::string rare = "BM_YuyvMode" + std::to_string(bits) + "RarePairs/" + active + at;
      const std::string mode = "mode " + std::to_string(bits) + label;
      AddRatio(mode + " natural, " + active + " / OpenCV", ours,
               "BM_YuyvOpenCvMode" + std::to_string(bits) + at);
      if (bits != 48) {
        const std::string peer = "BM_YuyvLibyuvMode" + std::to_string(bits) + at;
        AddRatio(mode + " natural, " + active + " / libyuv", ours, peer);
        AddRatio(mode + " all pairs rare, " + active + " / libyuv", rare, peer);
      }
    }
  }
}

template <class Function, class... Extra>
void RegisterAtBothSizes(const std::string& name, Function function, Extra... extra) {
  auto* b = benchmark::RegisterBenchmark(name.c_str(), function, extra...);
  for (const auto& size : kSizes) b->Args({size[0], size[1]});
}

int RegisterFastPaths() {
#ifdef ZELCNV_BENCH_LIBYUV
  for (const LibyuvIsa& isa : kLibyuvIsas) {
    RegisterAtBothSizes(std::string("BM_YuyvLibyuv/") + isa.name, BM_YuyvLibyuv, isa);
  }
  for (int bits : {32, 64}) {
    RegisterAtBothSizes("BM_YuyvLibyuvMode" + std::to_string(bits), BM_YuyvLibyuvMode, bits);
  }
#endif
#ifdef ZELCNV_BENCH_OPENCV
  for (int bits : {32, 48, 64}) {
    RegisterAtBothSizes("BM_YuyvOpenCvMode" + std::to_string(bits), BM_YuyvOpenCvMode, bits);
  }
#endif
  for (const ModeKernel& mode : kModeKernels) {
    const std::string bits = std::to_string(mode.bits);
    for (bool referencePath : {false, true}) {
      const std::string name =
          "BM_YuyvMode" + bits + "/" + (referencePath ? "reference" : ActiveVariantOf(mode.kernel));
      RegisterAtBothSizes(name, BM_YuyvMode, mode, referencePath, Content::kNatural);
    }
    RegisterAtBothSizes("BM_YuyvMode" + bits + "RarePairs/" + ActiveVariantOf(mode.kernel),
                        BM_YuyvMode, mode, false, Content::kRarePairs);
  }
  for (const Variant<RowFn>& v : VariantsOf(YuyvToBgr24)) {
    if (std::strcmp(v.name, "reference") == 0) continue;
    const std::string name(v.name);
    RegisterAtBothSizes("BM_YuyvFast/" + name, BM_YuyvFast, v.run);
    RegisterAtBothSizes("BM_YuyvFastRarePairs/" + name, BM_YuyvFastRarePairs, v.run);
  }
  AddKernelRatios();
  return 0;
}
const int registered = RegisterFastPaths();

}  // namespace
