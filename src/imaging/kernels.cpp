// The public kernels: each picks, once, the fastest implementation this processor runs, and
// falls back on the reference for pixel sizes that no fast path covers. Fast paths here move
// whole rows (memcpy, instruction-set row loops) and precompute stretch sample positions.
#include "imaging/kernels.h"

#include <cstring>
#include <iterator>

#include "imaging/cpu_features.h"
#include "imaging/kernel_support.h"
#include "imaging/kernel_variants.h"
#include "imaging/kernels_simd.h"
#include "imaging/yuyv_colour.h"
#include "imaging/yuyv_exact.h"

namespace zelcnv::imaging {
namespace {

#define ZELCNV_BLIT_ARGS Plane dst, ConstPlane src, const PixelRect &rect, int32_t x, int32_t y
#define ZELCNV_BLIT_PASS dst, src, rect, x, y
#define ZELCNV_STRETCH_ARGS                                                                        \
  Plane dst, ConstPlane src, const PixelRect &dstRect, const PixelRect &srcRect, int32_t srcWidth, \
      int32_t srcHeight
#define ZELCNV_STRETCH_PASS dst, src, dstRect, srcRect, srcWidth, srcHeight

// The rows of a rectangle as a row loop sees them: first rows and steps, flipped or straight.
// Only made for a rectangle with at least one pixel.
struct Rows {
  uint8_t* dst;
  const uint8_t* src;
  ptrdiff_t dstStep;
  ptrdiff_t srcStep;
  int32_t count;
  int32_t width;
};

bool HasPixels(const PixelRect& rect) {
  const int64_t width = RectWidth(rect);
  return RectHeight(rect) > 0 && width > 0 && width <= INT32_MAX;
}

Rows MakeRows(bool flipped, Plane dst, ConstPlane src, const PixelRect& rect, int32_t x,
              int32_t y) {
  const int32_t firstSourceRow = flipped ? rect.bottom - 1 : rect.top;
  return {dst.bits + PixelOffset(y, dst.stride, x, dst.bytesPerPixel),
          src.bits + PixelOffset(firstSourceRow, src.stride, rect.left, src.bytesPerPixel),
          dst.stride,
          flipped ? -static_cast<ptrdiff_t>(src.stride) : src.stride,
          static_cast<int32_t>(RectHeight(rect)),
          static_cast<int32_t>(RectWidth(rect))};
}

void CopyRowBytes(const Rows& rows, size_t bytes) {
  for (int32_t i = 0; i < rows.count; ++i) {
    std::memcpy(rows.dst + i * rows.dstStep, rows.src + i * rows.srcStep, bytes);
  }
}

// ---- copies: one memcpy per row where source and destination pixels are the same size ----

void CopyGray8FlipRows(ZELCNV_BLIT_ARGS) {
  if (dst.bytesPerPixel != 1 || src.bytesPerPixel != 1) {
    return reference::CopyGray8Flip(ZELCNV_BLIT_PASS);
  }
  if (!HasPixels(rect)) return;
  const Rows rows = MakeRows(true, dst, src, rect, x, y);
  CopyRowBytes(rows, static_cast<size_t>(rows.width));
}

void CopyYuv16FlipRows(ZELCNV_BLIT_ARGS) {
  if (dst.bytesPerPixel != 2) return reference::CopyYuv16Flip(ZELCNV_BLIT_PASS);
  if (!HasPixels(rect)) return;
  // The source is addressed with the destination's pixel size and stride.
  const Rows rows = MakeRows(true, dst, {src.bits, dst.stride, 2}, rect, x, y);
  CopyRowBytes(rows, 2 * static_cast<size_t>(rows.width));
}

template <Isa kIsa>
void CopyColor24Fast(ZELCNV_BLIT_ARGS) {
  const bool packed = dst.bytesPerPixel == 3 && src.bytesPerPixel == 3;
  const bool dropFourth = kIsa == Isa::kSsse3 && dst.bytesPerPixel == 3 && src.bytesPerPixel == 4;
  if (!packed && !dropFourth) return reference::CopyColor24(ZELCNV_BLIT_PASS);
  if (!HasPixels(rect)) return;
  const Rows rows = MakeRows(false, dst, src, rect, x, y);
  if (packed) {
    CopyRowBytes(rows, 3 * static_cast<size_t>(rows.width));
    return;
  }
  const int32_t done = simd::Color32To24RowsSsse3(rows.src, rows.srcStep, rows.dst, rows.dstStep,
                                                  rows.count, rows.width);
  for (int32_t i = 0; i < rows.count; ++i) {
    const uint8_t* s = rows.src + i * rows.srcStep + 4 * static_cast<ptrdiff_t>(done);
    uint8_t* d = rows.dst + i * rows.dstStep + 3 * static_cast<ptrdiff_t>(done);
    for (int32_t j = done; j < rows.width; ++j, s += 4, d += 3) std::memcpy(d, s, 3);
  }
}

// ---- YUYV: the exact integer formulation in SIMD, the row ends per pixel ----

// Converts `pixels` YUYV pixels of each of `rows` rows into packed blue, green, red: whole blocks
// with the instruction set's row loop, the rest per pixel. `done` is a whole number of blocks, so
// the rest starts on a chroma pair. An odd last pixel has no V byte and takes V = 0, as the
// reference's cleared work row gives it.
template <Isa kIsa>
void YuyvRowsToBgr24(const uint8_t* src, ptrdiff_t srcStep, uint8_t* dst, ptrdiff_t dstStep,
                     int32_t count, int32_t pixels) {
  int32_t done = 0;
  if constexpr (kIsa == Isa::kAvx512Vbmi) {
    done = simd::YuyvToBgr24RowsAvx512Vbmi(src, srcStep, dst, dstStep, count, pixels);
  } else if constexpr (kIsa == Isa::kAvx512) {
    done = simd::YuyvToBgr24RowsAvx512(src, srcStep, dst, dstStep, count, pixels);
  }
  // AVX-512 blocks are twice as wide; an AVX2 block may still fit in what they leave.
  if constexpr (kIsa == Isa::kAvx512Vbmi || kIsa == Isa::kAvx512 || kIsa == Isa::kAvx2) {
    done += simd::YuyvToBgr24RowsAvx2(src + 2 * done, srcStep, dst + 3 * done, dstStep, count,
                                      pixels - done);
  } else {
    done = simd::YuyvToBgr24RowsSsse3(src, srcStep, dst, dstStep, count, pixels);
  }
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* s = src + i * srcStep;
    uint8_t* d = dst + i * dstStep;
    for (int32_t j = done; j < pixels; j += 2) {
      const int u = s[2 * j + 1] - kChromaOffset;
      const bool pair = j + 1 < pixels;
      const int v = pair ? s[2 * j + 3] - kChromaOffset : 0;
      YuyvPixelToBgr(s[2 * j], u, v, d + 3 * j);
      if (pair) YuyvPixelToBgr(s[2 * j + 2], u, v, d + 3 * j + 3);
    }
  }
}

template <Isa kIsa, bool kFlipped>
void YuyvToBgr24Fast(ZELCNV_BLIT_ARGS) {
  if (dst.bytesPerPixel != 3 || src.bytesPerPixel != 2 || !YuyvTables().usable) {
    return (kFlipped ? reference::YuyvToBgr24Flip : reference::YuyvToBgr24)(ZELCNV_BLIT_PASS);
  }
  if (!HasPixels(rect)) return;
  const Rows rows = MakeRows(kFlipped, dst, src, rect, x, y);
  YuyvRowsToBgr24<kIsa>(rows.src, rows.srcStep, rows.dst, rows.dstStep, rows.count, rows.width);
}

constexpr uint16_t WidenedBytes(simd::Widening widening) {
  return widening == simd::Widening::kBgrx32 ? 4 : widening == simd::Widening::kBgr48 ? 6 : 8;
}

// The reference's widening of one pixel's blue, green, red.
void WidenPixel(const uint8_t* bgr, uint8_t* d, simd::Widening widening) {
  if (widening == simd::Widening::kBgrx32) {
    std::memcpy(d, bgr, 3);
    d[3] = 0;
    return;
  }
  for (int k = 0; k < 3; ++k) {
    const uint16_t word = Widen16(bgr[k]);
    std::memcpy(d + 2 * k, &word, 2);  // x86: words lie little-endian
  }
  if (widening == simd::Widening::kBgra64) std::memcpy(d + 6, &kOpaque16, 2);
}

// YUYV to the wide colour layouts: straight into them where the instruction set permutes bytes,
// else (and for what its blocks leave of each row) batches of rows go to packed 24-bit colour in
// a buffer small enough to stay in the cache, and are widened from there.
template <Isa kIsa, simd::Widening kWidening>
void YuyvToWideFlipFast(ZELCNV_BLIT_ARGS) {
  constexpr uint16_t kBytes = WidenedBytes(kWidening);
  const BlitKernel plain = kWidening == simd::Widening::kBgrx32  ? reference::YuyvToBgrx32Flip
                           : kWidening == simd::Widening::kBgr48 ? reference::YuyvToBgr48Flip
                                                                 : reference::YuyvToBgra64Flip;
  if (dst.bytesPerPixel != kBytes || src.bytesPerPixel != 2 || !YuyvTables().usable) {
    return plain(ZELCNV_BLIT_PASS);
  }
  if (!HasPixels(rect)) return;
  const Rows rows = MakeRows(true, dst, src, rect, x, y);
  constexpr int32_t kScratchBytes = 12 * 1024;
  // Even, so that pieces of a longer row never split a chroma pair.
  constexpr int32_t kPiecePixels = kScratchBytes / 3 / 2 * 2;
  alignas(32) uint8_t scratch[kScratchBytes];
  int32_t direct = 0;
  if constexpr (kIsa == Isa::kAvx512Vbmi) {
    direct = simd::YuyvToWideRowsAvx512Vbmi(rows.src, rows.srcStep, rows.dst, rows.dstStep,
                                            rows.count, rows.width, kWidening);
  }
  for (int32_t first = direct; first < rows.width; first += kPiecePixels) {
    const int32_t pixels = rows.width - first < kPiecePixels ? rows.width - first : kPiecePixels;
    const ptrdiff_t step = 3 * static_cast<ptrdiff_t>(pixels);
    const int32_t batch = static_cast<int32_t>(kScratchBytes / step);
    for (int32_t row = 0; row < rows.count; row += batch) {
      const int32_t count = rows.count - row < batch ? rows.count - row : batch;
      const uint8_t* s = rows.src + row * rows.srcStep + 2 * static_cast<ptrdiff_t>(first);
      uint8_t* d = rows.dst + row * rows.dstStep + kBytes * static_cast<ptrdiff_t>(first);
      YuyvRowsToBgr24<kIsa>(s, rows.srcStep, scratch, step, count, pixels);
      const int32_t done =
          simd::WidenBgr24RowsSsse3(scratch, step, d, rows.dstStep, count, pixels, kWidening);
      for (int32_t i = 0; i < count; ++i) {
        for (int32_t j = done; j < pixels; ++j) {
          WidenPixel(scratch + i * step + 3 * j, d + i * rows.dstStep + kBytes * j, kWidening);
        }
      }
    }
  }
}

// ---- stretch: sample columns computed once per call, equal rows copied whole ----

template <int kBytes>
void StretchTable(ZELCNV_STRETCH_ARGS) {
  const int64_t width = RectWidth(dstRect);
  const int64_t height = RectHeight(dstRect);
  if (height <= 0 || width <= 0) return;
  uint8_t* const dstBits = dst.bits;
  const uint8_t* const srcBits = src.bits;
  const int32_t dstStride = dst.stride, srcStride = src.stride;
  const uint16_t dstBpp = dst.bytesPerPixel, srcBpp = src.bytesPerPixel;
  const float xr = StretchRatio(RectWidth(srcRect), width);
  const float yr = StretchRatio(RectHeight(srcRect), height);
  constexpr int32_t kChunk = 1024;
  ptrdiff_t columns[kChunk];
  // Copying a finished row is only the same as sampling it again when the pixels hold nothing
  // but the sampled bytes.
  const bool rowsRepeat = dstBpp == kBytes;
  for (int64_t first = 0; first < width; first += kChunk) {
    const int32_t count = static_cast<int32_t>(width - first < kChunk ? width - first : kChunk);
    for (int32_t j = 0; j < count; ++j) {
      const int32_t sx = StretchSample(static_cast<int32_t>(first + j), xr, srcWidth);
      columns[j] = static_cast<ptrdiff_t>(sx) * srcBpp;
    }
    int32_t previousSy = -1;
    const uint8_t* previous = nullptr;
    for (int32_t i = 0; i < height; ++i) {
      const int32_t sy = StretchSample(i, yr, srcHeight);
      uint8_t* d = dstBits + PixelOffset(dstRect.top + i, dstStride, dstRect.left, dstBpp) +
                   static_cast<ptrdiff_t>(first) * dstBpp;
      if (rowsRepeat && sy == previousSy) {
        std::memmove(d, previous, static_cast<size_t>(count) * kBytes);
      } else {
        const uint8_t* s = srcBits + static_cast<ptrdiff_t>(sy) * srcStride;
        for (int32_t j = 0; j < count; ++j) std::memcpy(d + j * dstBpp, s + columns[j], kBytes);
      }
      previousSy = sy;
      previous = d;
    }
  }
}

// ---- the variants of each kernel, and the choice among them ----

// What a fast path stands on besides its instruction set.
enum class Needs {
  kNothing,
  kYuyvTables,        // YuyvTables(), unusable when the reference does not fit their formulation
  kYuyvSlots,         // those tables, with the green ranges placed in slots
  kYuyvSlotsHighRed,  // and every listed chroma byte a V byte of 128 or more
};

struct BlitFast {
  const char* name;
  Isa isa;
  BlitKernel kernel;
  Needs needs;
};

struct BlitEntry {
  BlitKernel publicKernel;
  BlitKernel referenceKernel;
  BlitFast fast[4];  // best last; unused entries have no kernel
};

const BlitEntry kBlitEntries[] = {
    {CopyGray8Flip,
     reference::CopyGray8Flip,
     {{"rows", Isa::kScalar, CopyGray8FlipRows, Needs::kNothing}}},
    {CopyYuv16Flip,
     reference::CopyYuv16Flip,
     {{"rows", Isa::kScalar, CopyYuv16FlipRows, Needs::kNothing}}},
    {YuyvToBgr24Flip,
     reference::YuyvToBgr24Flip,
     {{"ssse3", Isa::kSsse3, YuyvToBgr24Fast<Isa::kSsse3, true>, Needs::kYuyvTables},
      {"avx2", Isa::kAvx2, YuyvToBgr24Fast<Isa::kAvx2, true>, Needs::kYuyvTables},
      {"avx512", Isa::kAvx512, YuyvToBgr24Fast<Isa::kAvx512, true>, Needs::kYuyvSlots},
      {"avx512vbmi", Isa::kAvx512Vbmi, YuyvToBgr24Fast<Isa::kAvx512Vbmi, true>,
       Needs::kYuyvSlotsHighRed}}},
    {YuyvToBgr24,
     reference::YuyvToBgr24,
     {{"ssse3", Isa::kSsse3, YuyvToBgr24Fast<Isa::kSsse3, false>, Needs::kYuyvTables},
      {"avx2", Isa::kAvx2, YuyvToBgr24Fast<Isa::kAvx2, false>, Needs::kYuyvTables},
      {"avx512", Isa::kAvx512, YuyvToBgr24Fast<Isa::kAvx512, false>, Needs::kYuyvSlots},
      {"avx512vbmi", Isa::kAvx512Vbmi, YuyvToBgr24Fast<Isa::kAvx512Vbmi, false>,
       Needs::kYuyvSlotsHighRed}}},
    {YuyvToBgrx32Flip,
     reference::YuyvToBgrx32Flip,
     {{"ssse3", Isa::kSsse3, YuyvToWideFlipFast<Isa::kSsse3, simd::Widening::kBgrx32>,
       Needs::kYuyvTables},
      {"avx2", Isa::kAvx2, YuyvToWideFlipFast<Isa::kAvx2, simd::Widening::kBgrx32>,
       Needs::kYuyvTables},
      {"avx512", Isa::kAvx512, YuyvToWideFlipFast<Isa::kAvx512, simd::Widening::kBgrx32>,
       Needs::kYuyvSlots},
      {"avx512vbmi", Isa::kAvx512Vbmi,
       YuyvToWideFlipFast<Isa::kAvx512Vbmi, simd::Widening::kBgrx32>, Needs::kYuyvSlotsHighRed}}},
    {YuyvToBgr48Flip,
     reference::YuyvToBgr48Flip,
     {{"ssse3", Isa::kSsse3, YuyvToWideFlipFast<Isa::kSsse3, simd::Widening::kBgr48>,
       Needs::kYuyvTables},
      {"avx2", Isa::kAvx2, YuyvToWideFlipFast<Isa::kAvx2, simd::Widening::kBgr48>,
       Needs::kYuyvTables},
      {"avx512", Isa::kAvx512, YuyvToWideFlipFast<Isa::kAvx512, simd::Widening::kBgr48>,
       Needs::kYuyvSlots},
      {"avx512vbmi", Isa::kAvx512Vbmi, YuyvToWideFlipFast<Isa::kAvx512Vbmi, simd::Widening::kBgr48>,
       Needs::kYuyvSlotsHighRed}}},
    {YuyvToBgra64Flip,
     reference::YuyvToBgra64Flip,
     {{"ssse3", Isa::kSsse3, YuyvToWideFlipFast<Isa::kSsse3, simd::Widening::kBgra64>,
       Needs::kYuyvTables},
      {"avx2", Isa::kAvx2, YuyvToWideFlipFast<Isa::kAvx2, simd::Widening::kBgra64>,
       Needs::kYuyvTables},
      {"avx512", Isa::kAvx512, YuyvToWideFlipFast<Isa::kAvx512, simd::Widening::kBgra64>,
       Needs::kYuyvSlots},
      {"avx512vbmi", Isa::kAvx512Vbmi,
       YuyvToWideFlipFast<Isa::kAvx512Vbmi, simd::Widening::kBgra64>, Needs::kYuyvSlotsHighRed}}},
    {CopyColor24,
     reference::CopyColor24,
     {{"rows", Isa::kScalar, CopyColor24Fast<Isa::kScalar>, Needs::kNothing},
      {"ssse3", Isa::kSsse3, CopyColor24Fast<Isa::kSsse3>, Needs::kNothing}}},
};

bool Runs(const BlitFast& fast) {
  if (fast.kernel == nullptr || !CpuSupports(fast.isa)) return false;
  // Without the tables such a path would only call the reference; it is not offered.
  if (fast.needs == Needs::kNothing) return true;
  const YuyvExactTables& tables = YuyvTables();
  const bool highRed = fast.needs == Needs::kYuyvSlotsHighRed;
  const bool slots = fast.needs == Needs::kYuyvSlots || highRed;
  return tables.usable && (!slots || tables.greenSlotShift >= 0) &&
         (!highRed || tables.listedHighRed);
}

const BlitEntry* EntryOf(BlitKernel kernel) {
  for (const BlitEntry& entry : kBlitEntries) {
    if (entry.publicKernel == kernel) return &entry;
  }
  return nullptr;
}

struct Choice {
  const char* name;
  BlitKernel kernel;
};

Choice Choose(BlitKernel publicKernel) {
  const BlitEntry* entry = EntryOf(publicKernel);
  Choice choice{"reference", entry->referenceKernel};
  for (const BlitFast& fast : entry->fast) {
    if (Runs(fast)) choice = {fast.name, fast.kernel};
  }
  return choice;
}

// Each public kernel with fast paths keeps its choice in a function-local static, made once and
// thread-safely on first use.
template <BlitKernel kPublic>
const Choice& ChoiceFor() {
  static const Choice choice = Choose(kPublic);
  return choice;
}

}  // namespace

void CopyGray8Flip(ZELCNV_BLIT_ARGS) {
  CopyGray8FlipRows(ZELCNV_BLIT_PASS);
}
void CopyYuv16Flip(ZELCNV_BLIT_ARGS) {
  CopyYuv16FlipRows(ZELCNV_BLIT_PASS);
}
void YuyvToBgr24Flip(ZELCNV_BLIT_ARGS) {
  ChoiceFor<YuyvToBgr24Flip>().kernel(ZELCNV_BLIT_PASS);
}
void YuyvToBgr24(ZELCNV_BLIT_ARGS) {
  ChoiceFor<YuyvToBgr24>().kernel(ZELCNV_BLIT_PASS);
}
void YuyvToBgrx32Flip(ZELCNV_BLIT_ARGS) {
  ChoiceFor<YuyvToBgrx32Flip>().kernel(ZELCNV_BLIT_PASS);
}
void YuyvToBgr48Flip(ZELCNV_BLIT_ARGS) {
  ChoiceFor<YuyvToBgr48Flip>().kernel(ZELCNV_BLIT_PASS);
}
void YuyvToBgra64Flip(ZELCNV_BLIT_ARGS) {
  ChoiceFor<YuyvToBgra64Flip>().kernel(ZELCNV_BLIT_PASS);
}
void CopyColor24(ZELCNV_BLIT_ARGS) {
  ChoiceFor<CopyColor24>().kernel(ZELCNV_BLIT_PASS);
}
void Color48ToColor24(ZELCNV_BLIT_ARGS) {
  reference::Color48ToColor24(ZELCNV_BLIT_PASS);
}
void SwapColor24(ZELCNV_BLIT_ARGS) {
  reference::SwapColor24(ZELCNV_BLIT_PASS);
}
void InvertAlpha32(ZELCNV_BLIT_ARGS) {
  reference::InvertAlpha32(ZELCNV_BLIT_PASS);
}
void SwapColor48(ZELCNV_BLIT_ARGS) {
  reference::SwapColor48(ZELCNV_BLIT_PASS);
}
void SwapColor64(ZELCNV_BLIT_ARGS) {
  reference::SwapColor64(ZELCNV_BLIT_PASS);
}
void StretchGray8(ZELCNV_STRETCH_ARGS) {
  StretchTable<1>(ZELCNV_STRETCH_PASS);
}
void StretchColor24(ZELCNV_STRETCH_ARGS) {
  StretchTable<3>(ZELCNV_STRETCH_PASS);
}

std::vector<BlitVariant> VariantsOf(BlitKernel kernel) {
  std::vector<BlitVariant> variants;
  const BlitEntry* entry = EntryOf(kernel);
  if (entry == nullptr) {
    // Kernels without fast paths: the public function calls the reference.
    variants.push_back({"reference", kernel});
    return variants;
  }
  variants.push_back({"reference", entry->referenceKernel});
  for (const BlitFast& fast : entry->fast) {
    if (Runs(fast)) variants.push_back({fast.name, fast.kernel});
  }
  return variants;
}

std::vector<StretchVariant> VariantsOf(StretchKernel kernel) {
  if (kernel == StretchGray8) return {{"reference", reference::StretchGray8}, {"table", kernel}};
  if (kernel == StretchColor24) {
    return {{"reference", reference::StretchColor24}, {"table", kernel}};
  }
  return {{"reference", kernel}};
}

const char* ActiveVariantOf(BlitKernel kernel) {
  const BlitEntry* entry = EntryOf(kernel);
  return entry == nullptr ? "reference" : Choose(kernel).name;
}

const char* ActiveVariantOf(StretchKernel kernel) {
  return kernel == StretchGray8 || kernel == StretchColor24 ? "table" : "reference";
}

}  // namespace zelcnv::imaging
