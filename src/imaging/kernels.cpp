// The library's kernels: each picks, once, the fastest implementation this processor runs. The
// fast paths here finish the instruction-set row loops' rows per pixel, widen YUYV through a small
// buffer that stays in the cache, and precompute a stretch's sample columns.
#include "imaging/kernels.h"

#include <algorithm>
#include <cstring>

#include "imaging/cpu_features.h"
#include "imaging/kernel_support.h"
#include "imaging/kernel_variants.h"
#include "imaging/kernels_simd.h"
#include "imaging/yuyv_colour.h"
#include "imaging/yuyv_exact.h"

#if defined(__x86_64__) || defined(__i386__)
#define ZELCNV_FAST_PATHS 1
#else
#define ZELCNV_FAST_PATHS 0
#endif

namespace zelcnv::imaging {
namespace {

// What a fast path stands on besides its instruction set.
enum class Needs {
  kNothing,
  kYuyvTables,        // YuyvTables(), unusable when the reference does not fit their formulation
  kYuyvSlots,         // those tables, with the green ranges placed in slots
  kYuyvSlotsHighRed,  // and every listed chroma byte a V byte of 128 or more
};

struct Fast {
  const char* name;
  Isa isa;
  RowFn* row;
  Needs needs;
};

struct Entry {
  RowFn* kernel;
  RowFn* reference;
  Fast fast[4];  // best last; unused entries have no row function
};

#if ZELCNV_FAST_PATHS

// The rest of a YUYV row after an instruction set's blocks: `done` is a whole number of blocks,
// so the rest starts on a chroma pair.
void YuyvRowEnd(const uint8_t* s, uint8_t* d, int32_t done, int32_t pixels) {
  for (int32_t j = done; j < pixels; j += 2) {
    const int u = s[2 * j + 1] - kChromaOffset;
    const bool pair = j + 1 < pixels;
    const int v = pair ? s[2 * j + 3] - kChromaOffset : 0;
    YuyvPixelToBgr(s[2 * j], u, v, d + 3 * j);
    if (pair) YuyvPixelToBgr(s[2 * j + 2], u, v, d + 3 * j + 3);
  }
}

template <Isa kIsa>
void YuyvToBgr24Fast(const uint8_t* s, uint8_t* d, int32_t pixels) {
  int32_t done = 0;
  if constexpr (kIsa == Isa::kAvx512Vbmi) {
    done = simd::YuyvToBgr24RowAvx512Vbmi(s, d, pixels);
  } else if constexpr (kIsa == Isa::kAvx512) {
    done = simd::YuyvToBgr24RowAvx512(s, d, pixels);
  }
  // AVX-512 blocks are twice as wide; an AVX2 block may still fit in what they leave.
  if constexpr (kIsa == Isa::kSsse3) {
    done = simd::YuyvToBgr24RowSsse3(s, d, pixels);
  } else {
    done += simd::YuyvToBgr24RowAvx2(s + 2 * done, d + 3 * done, pixels - done);
  }
  YuyvRowEnd(s, d, done, pixels);
}

// YUYV to the wide colour layouts: straight into them where the instruction set permutes bytes,
// else (and for what its blocks leave) pieces of the row go to packed 24-bit colour in a buffer
// small enough to stay in the cache, and are widened from there.
template <Isa kIsa, int kBytes>
void YuyvToWideFast(const uint8_t* s, uint8_t* d, int32_t pixels) {
  // Even, so that pieces of a longer row never split a chroma pair.
  constexpr int32_t kPiecePixels = 2048;
  alignas(32) uint8_t scratch[3 * kPiecePixels];
  int32_t first = 0;
  if constexpr (kIsa == Isa::kAvx512Vbmi) {
    first = simd::YuyvToWideRowAvx512Vbmi(s, d, pixels, kBytes);
  }
  for (; first < pixels; first += kPiecePixels) {
    const int32_t count = std::min(kPiecePixels, pixels - first);
    uint8_t* out = d + ptrdiff_t{kBytes} * first;
    YuyvToBgr24Fast<kIsa>(s + 2 * ptrdiff_t{first}, scratch, count);
    const int32_t done = simd::WidenBgr24RowSsse3(scratch, out, count, kBytes);
    for (int32_t j = done; j < count; ++j) PutBgr<kBytes>(scratch + 3 * j, out + kBytes * j);
  }
}

template <int kBytes>
struct YuyvPath {
  template <Isa kIsa>
  static void Row(const uint8_t* s, uint8_t* d, int32_t pixels) {
    if constexpr (kBytes == 3) {
      YuyvToBgr24Fast<kIsa>(s, d, pixels);
    } else {
      YuyvToWideFast<kIsa, kBytes>(s, d, pixels);
    }
  }
};

template <int kBytes>
constexpr Entry YuyvEntry(RowFn* kernel, RowFn* referenceRow) {
  using P = YuyvPath<kBytes>;
  return {kernel,
          referenceRow,
          {{"ssse3", Isa::kSsse3, P::template Row<Isa::kSsse3>, Needs::kYuyvTables},
           {"avx2", Isa::kAvx2, P::template Row<Isa::kAvx2>, Needs::kYuyvTables},
           {"avx512", Isa::kAvx512, P::template Row<Isa::kAvx512>, Needs::kYuyvSlots},
           {"avx512vbmi", Isa::kAvx512Vbmi, P::template Row<Isa::kAvx512Vbmi>,
            Needs::kYuyvSlotsHighRed}}};
}

void Bgrx32ToBgr24Ssse3(const uint8_t* s, uint8_t* d, int32_t pixels) {
  const int32_t done = simd::Bgrx32ToBgr24RowSsse3(s, d, pixels);
  for (int32_t j = done; j < pixels; ++j) std::memcpy(d + 3 * j, s + 4 * j, 3);
}

const Entry kEntries[] = {
    YuyvEntry<3>(YuyvToBgr24, reference::YuyvToBgr24),
    YuyvEntry<4>(YuyvToBgrx32, reference::YuyvToBgrx32),
    YuyvEntry<6>(YuyvToBgr48, reference::YuyvToBgr48),
    YuyvEntry<8>(YuyvToBgra64, reference::YuyvToBgra64),
    {Bgrx32ToBgr24,
     reference::Bgrx32ToBgr24,
     {{"ssse3", Isa::kSsse3, Bgrx32ToBgr24Ssse3, Needs::kNothing}}},
};

#else

const Entry kEntries[] = {
    {YuyvToBgr24, reference::YuyvToBgr24, {}},     {YuyvToBgrx32, reference::YuyvToBgrx32, {}},
    {YuyvToBgr48, reference::YuyvToBgr48, {}},     {YuyvToBgra64, reference::YuyvToBgra64, {}},
    {Bgrx32ToBgr24, reference::Bgrx32ToBgr24, {}},
};

#endif

bool Runs(const Fast& fast) {
  if (fast.row == nullptr || !CpuSupports(fast.isa)) return false;
  // Without the tables such a path would be wrong; it is not offered.
  if (fast.needs == Needs::kNothing) return true;
  const YuyvExactTables& tables = YuyvTables();
  const bool highRed = fast.needs == Needs::kYuyvSlotsHighRed;
  const bool slots = fast.needs == Needs::kYuyvSlots || highRed;
  return tables.usable && (!slots || tables.greenSlotShift >= 0) &&
         (!highRed || tables.listedHighRed);
}

const Entry* EntryOf(RowFn* kernel) {
  for (const Entry& entry : kEntries) {
    if (entry.kernel == kernel) return &entry;
  }
  return nullptr;
}

Variant<RowFn> Choose(RowFn* kernel) {
  const Entry* entry = EntryOf(kernel);
  Variant<RowFn> choice{"reference", entry->reference};
  for (const Fast& fast : entry->fast) {
    if (Runs(fast)) choice = {fast.name, fast.row};
  }
  return choice;
}

// Each kernel with fast paths keeps its choice in a function-local static, made once and
// thread-safely on first use.
template <RowFn* kKernel>
void RunChoice(const uint8_t* s, uint8_t* d, int32_t width) {
  static const Variant<RowFn> choice = Choose(kKernel);
  choice.run(s, d, width);
}

// The stretch with sample columns computed once per call and equal rows copied whole.
template <int kBytes>
void StretchTable(const PictureRows<const uint8_t>& src, const PictureRows<uint8_t>& dst) {
  if (dst.height <= 0 || dst.width <= 0) return;
  const float xr = StretchRatio(src.width, dst.width);
  const float yr = StretchRatio(src.height, dst.height);
  constexpr int32_t kChunk = 1024;
  ptrdiff_t columns[kChunk];
  for (int32_t first = 0; first < dst.width; first += kChunk) {
    const int32_t count = std::min(kChunk, dst.width - first);
    for (int32_t j = 0; j < count; ++j) {
      columns[j] = ptrdiff_t{kBytes} * StretchSample(first + j, xr, src.width);
    }
    int32_t previousSy = -1;
    const uint8_t* previous = nullptr;
    for (int32_t i = 0; i < dst.height; ++i) {
      const int32_t sy = StretchSample(i, yr, src.height);
      uint8_t* d = dst.first + i * dst.step + ptrdiff_t{kBytes} * first;
      if (sy == previousSy) {
        std::memmove(d, previous, size_t(count) * kBytes);
      } else {
        const uint8_t* s = src.first + sy * src.step;
        for (int32_t j = 0; j < count; ++j) std::memcpy(d + kBytes * j, s + columns[j], kBytes);
      }
      previousSy = sy;
      previous = d;
    }
  }
}

}  // namespace

void ConvertRows(const RowKernel& kernel, const uint8_t* src, ptrdiff_t srcStep, uint8_t* dst,
                 ptrdiff_t dstStep, int32_t width, int32_t height) {
  for (int32_t i = 0; i < height; ++i) kernel.row(src + i * srcStep, dst + i * dstStep, width);
}

void YuyvToBgr24(const uint8_t* s, uint8_t* d, int32_t width) {
  RunChoice<YuyvToBgr24>(s, d, width);
}
void YuyvToBgrx32(const uint8_t* s, uint8_t* d, int32_t width) {
  RunChoice<YuyvToBgrx32>(s, d, width);
}
void YuyvToBgr48(const uint8_t* s, uint8_t* d, int32_t width) {
  RunChoice<YuyvToBgr48>(s, d, width);
}
void YuyvToBgra64(const uint8_t* s, uint8_t* d, int32_t width) {
  RunChoice<YuyvToBgra64>(s, d, width);
}
void Bgrx32ToBgr24(const uint8_t* s, uint8_t* d, int32_t width) {
  RunChoice<Bgrx32ToBgr24>(s, d, width);
}
void StretchGray8(const PictureRows<const uint8_t>& src, const PictureRows<uint8_t>& dst) {
  StretchTable<1>(src, dst);
}
void StretchBgr24(const PictureRows<const uint8_t>& src, const PictureRows<uint8_t>& dst) {
  StretchTable<3>(src, dst);
}

std::vector<Variant<RowFn>> VariantsOf(RowFn* kernel) {
  const Entry* entry = EntryOf(kernel);
  // Kernels without fast paths are their reference.
  if (entry == nullptr) return {{"reference", kernel}};
  std::vector<Variant<RowFn>> variants{{"reference", entry->reference}};
  for (const Fast& fast : entry->fast) {
    if (Runs(fast)) variants.push_back({fast.name, fast.row});
  }
  return variants;
}

std::vector<Variant<StretchFn>> VariantsOf(StretchFn* kernel) {
  if (kernel == StretchGray8) return {{"reference", reference::StretchGray8}, {"table", kernel}};
  if (kernel == StretchBgr24) return {{"reference", reference::StretchBgr24}, {"table", kernel}};
  return {{"reference", kernel}};
}

const char* ActiveVariantOf(RowFn* kernel) {
  return EntryOf(kernel) == nullptr ? "reference" : Choose(kernel).name;
}

const char* ActiveVariantOf(StretchFn* kernel) {
  return kernel == StretchGray8 || kernel == StretchBgr24 ? "table" : "reference";
}

}  // namespace zelcnv::imaging
