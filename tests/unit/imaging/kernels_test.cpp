// What each kernel does, checked on every implementation of it that this processor runs.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "imaging/kernel_variants.h"
#include "imaging/kernels.h"
#include "pixel_buffer.h"

namespace zelcnv::imaging {
namespace {

using testing::Convert;
using testing::PixelBuffer;

struct KernelInfo {
  const char* name;
  RowFn* kernel;
  int srcBpp;
  int dstBpp;
};

const KernelInfo kRowKernels[] = {
    {"YuyvToBgr24", YuyvToBgr24, 2, 3},
    {"YuyvToBgrx32", YuyvToBgrx32, 2, 4},
    {"YuyvToBgr48", YuyvToBgr48, 2, 6},
    {"YuyvToBgra64", YuyvToBgra64, 2, 8},
    {"Bgrx32ToBgr24", Bgrx32ToBgr24, 4, 3},
    {"Bgr48ToBgr24", reference::Bgr48ToBgr24, 6, 3},
    {"Bgra64ToBgr24", reference::Bgra64ToBgr24, 8, 3},
    {"Bgr24ToRgb24", reference::Bgr24ToRgb24, 3, 3},
    {"Bgrx32ToRgbx32", reference::Bgrx32ToRgbx32, 4, 4},
    {"Bgr48ToRgb48", reference::Bgr48ToRgb48, 6, 6},
    {"Bgra64ToRgba64", reference::Bgra64ToRgba64, 8, 8},
    {"Bgrx32ToBgra32", reference::Bgrx32ToBgra32, 4, 4},
};

std::string Label(const char* kernel, const char* variant) {
  return std::string(kernel) + " (" + variant + ")";
}

// Runs `check` on every implementation of `kernel`.
template <class Check>
void ForEachVariant(RowFn* kernel, const char* name, Check check) {
  for (const Variant<RowFn>& v : VariantsOf(kernel)) {
    SCOPED_TRACE(Label(name, v.name));
    check(v.run);
  }
}

TEST(KernelRows, EachRowWritesItsWidthAndNothingElseAndANegativeStepFlips) {
  std::mt19937 rng(2);
  for (const KernelInfo& info : kRowKernels) {
    ForEachVariant(info.kernel, info.name, [&](RowFn* kernel) {
      PixelBuffer src(40, 7, info.srcBpp, 2);
      src.Randomize(rng);
      PixelBuffer dst(40, 6, info.dstBpp, 3, 0x5A);
      const PixelBuffer before = dst;
      Convert(kernel, dst, src, 0, 6);  // rows without pixels
      EXPECT_TRUE(dst == before);
      // Source rows 4, 3, 2 (flipped), 34 pixels from column 3, each also converted alone.
      Convert(kernel, dst, src, 34, 3, 4, true, 3);
      PixelBuffer single(40, 6, info.dstBpp, 3, 0x5A);
      for (int i = 0; i < 3; ++i) {
        kernel(src.At(3, 4 - i), single.At(3, i), 34);
      }
      EXPECT_TRUE(dst == single);
      EXPECT_TRUE(dst.GuardsIntact());
      // Columns before and after the row's pixels, padding included, are left as they were.
      for (int row = 0; row < 6; ++row) {
        for (int b = 0; b < 3 * info.dstBpp; ++b) ASSERT_EQ(dst.At(0, row)[b], 0x5A);
        for (int b = 37 * info.dstBpp; b < dst.Stride(); ++b) ASSERT_EQ(dst.At(0, row)[b], 0x5A);
      }
    });
  }
}

// ---- YUYV ----

struct Yuv {
  uint8_t y, u, v;
};
struct Bgr {
  int b, g, r;
  bool operator==(const Bgr&) const = default;
};

// One row of YUYV pixel pairs sharing (u, v) per pair, of any width.
PixelBuffer YuyvRow(const std::vector<Yuv>& pairs, int width) {
  PixelBuffer row(width, 1, 2);
  for (int j = 0; j < width; ++j) {
    const Yuv& p = pairs[(j / 2) % pairs.size()];
    row.At(j, 0)[0] = p.y;
    row.At(j, 0)[1] = j % 2 == 0 ? p.u : p.v;
  }
  return row;
}

Bgr PixelOf(const PixelBuffer& b, int x, int row = 0) {
  return {b.At(x, row)[0], b.At(x, row)[1], b.At(x, row)[2]};
}

TEST(YuyvToBgr24, ColourValuesTruncateTowardZeroAndClamp) {
  const std::vector<Yuv> pairs = {
      {0, 0, 0}, {100, 128, 128}, {255, 128, 128}, {128, 255, 128}, {81, 90, 240}};
  const std::array<Bgr, 5> expected = {Bgr{0, 124, 0},  // green 124.928
                                       Bgr{100, 100, 100}, Bgr{255, 255, 255},
                                       Bgr{255, 77, 128},  // blue 386.064
                                       Bgr{3, 30, 208}};
  ForEachVariant(YuyvToBgr24, "YuyvToBgr24", [&](RowFn* kernel) {
    // Long enough for every fast path's blocks, and ending in a row end of their own.
    for (int width : {10, 80, 90}) {
      const PixelBuffer src = YuyvRow(pairs, width);
      PixelBuffer dst(width, 1, 3);
      Convert(kernel, dst, src, width, 1);
      for (int j = 0; j < width; ++j) {
        ASSERT_EQ(PixelOf(dst, j), expected[(j / 2) % 5]) << "width " << width << " pixel " << j;
      }
    }
  });
}

TEST(YuyvToBgr24, OddWidthsGiveTheLastPixelNoV) {
  ForEachVariant(YuyvToBgr24, "YuyvToBgr24", [&](RowFn* kernel) {
    for (int width : {1, 3, 17, 33, 49}) {
      // The last pixel: luma 100, its own chroma byte 178 as U (+50), V = 0:
      // blue 201.6, green 80.25, red 100. With the pair's V of 20 (-108) it would differ.
      PixelBuffer src = YuyvRow({{100, 178, 20}}, width + 1);
      PixelBuffer dst(width, 1, 3);
      Convert(kernel, dst, src, width, 1);
      EXPECT_EQ(PixelOf(dst, width - 1), (Bgr{201, 80, 100})) << "width " << width;
      EXPECT_TRUE(dst.GuardsIntact());
    }
  });
}

TEST(YuyvToBgr24, ChromaPairsStartAtTheRowsFirstPixel) {
  // Columns alternate chroma bytes 178 (+50) and 78 (-50); from an odd column, 78 is U.
  PixelBuffer src = YuyvRow({{100, 178, 78}}, 40);
  ForEachVariant(YuyvToBgr24, "YuyvToBgr24", [&](RowFn* kernel) {
    PixelBuffer dst(38, 1, 3);
    kernel(src.At(1, 0), dst.At(0, 0), 38);
    // u = -50, v = +50: blue -1.6, green 100 + 19.75 - 29.05 = 90.7, red 157.
    for (int j = 0; j < 38; ++j) ASSERT_EQ(PixelOf(dst, j), (Bgr{0, 90, 157})) << "pixel " << j;
  });
}

// ---- sample widths ----

uint16_t WordAt(const uint8_t* p, int k) {
  return static_cast<uint16_t>(p[2 * k] | p[2 * k + 1] << 8);
}
void PutWordAt(uint8_t* p, int k, uint16_t v) {
  p[2 * k] = static_cast<uint8_t>(v);
  p[2 * k + 1] = static_cast<uint8_t>(v >> 8);
}

// Every YUYV layout holds the reference's 24-bit colour: as it is, with a fourth byte of 0, or each
// channel widened to 16 bits as value * 257 with an opaque fourth channel.
TEST(YuyvColourLayouts, HoldTheTwentyFourBitColourInTheirOwnLayout) {
  std::mt19937 rng(5);
  // Rows wider than the fast paths' pieces (2048 pixels) too.
  for (int width : {1, 7, 64, 333, 4103}) {
    constexpr int kRows = 3;
    PixelBuffer src(width, kRows, 2, 2);
    src.Randomize(rng);
    PixelBuffer colour(width, kRows, 3);
    Convert(reference::YuyvToBgr24, colour, src, width, kRows);
    struct Layout {
      const char* name;
      RowFn* kernel;
      int bytes;
    };
    for (const Layout& layout :
         {Layout{"YuyvToBgr24", YuyvToBgr24, 3}, Layout{"YuyvToBgrx32", YuyvToBgrx32, 4},
          Layout{"YuyvToBgr48", YuyvToBgr48, 6}, Layout{"YuyvToBgra64", YuyvToBgra64, 8}}) {
      ForEachVariant(layout.kernel, layout.name, [&](RowFn* kernel) {
        PixelBuffer dst(width, kRows, layout.bytes, 1, 0x5A);
        Convert(kernel, dst, src, width, kRows);
        ASSERT_TRUE(dst.GuardsIntact());
        for (int row = 0; row < kRows; ++row) {
          for (int j = 0; j < width; ++j) {
            const uint8_t* c = colour.At(j, row);
            const uint8_t* d = dst.At(j, row);
            for (int k = 0; k < 3; ++k) {
              const int got = layout.bytes >= 6 ? WordAt(d, k) : d[k];
              const int want = layout.bytes >= 6 ? c[k] * 257 : c[k];
              ASSERT_EQ(got, want) << "width " << width << " row " << row << " pixel " << j;
            }
            if (layout.bytes == 4) {
              ASSERT_EQ(d[3], 0);
            }
            if (layout.bytes == 8) {
              ASSERT_EQ(WordAt(d, 3), 0xFFFF);
            }
          }
          // Row padding is left as it was.
          ASSERT_EQ(dst.At(0, row)[width * layout.bytes], 0x5A);
        }
      });
    }
  }
  EXPECT_EQ(Widen16(0), 0);
  EXPECT_EQ(Widen16(128), 0x8080);
  EXPECT_EQ(Widen16(255), 0xFFFF);
}

TEST(SampleKernels, NarrowingKeepsHighBytesAndSwapsMoveWholeWords) {
  PixelBuffer colour(1, 1, 8);
  const uint16_t words[4] = {0x03FF, 0x0001, 0x0400, 0x1234};
  for (int k = 0; k < 4; ++k) PutWordAt(colour.At(0, 0), k, words[k]);
  PixelBuffer c24(1, 1, 3);
  reference::Bgra64ToBgr24(colour.At(0, 0), c24.At(0, 0), 1);
  EXPECT_EQ(PixelOf(c24, 0), (Bgr{0x03, 0x00, 0x04}));
  reference::Bgr48ToBgr24(colour.At(0, 0), c24.At(0, 0), 1);
  EXPECT_EQ(PixelOf(c24, 0), (Bgr{0x03, 0x00, 0x04}));

  PixelBuffer c64(1, 1, 8), c48(1, 1, 6);
  reference::Bgra64ToRgba64(colour.At(0, 0), c64.At(0, 0), 1);
  reference::Bgr48ToRgb48(colour.At(0, 0), c48.At(0, 0), 1);
  // The 64-bit swap writes 0xFFFF as the fourth word, whatever the source holds there.
  const uint16_t swapped[4] = {0x0400, 0x0001, 0x03FF, 0xFFFF};
  for (int k = 0; k < 4; ++k) EXPECT_EQ(WordAt(c64.At(0, 0), k), swapped[k]);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(WordAt(c48.At(0, 0), k), swapped[k]);
}

TEST(ByteKernels, SwapAndAlphaTouchOnlyTheirBytes) {
  const uint8_t src[4] = {1, 2, 3, 40};
  uint8_t dst[4] = {0x77, 0x77, 0x77, 0x77};
  reference::Bgr24ToRgb24(src, dst, 1);
  EXPECT_EQ(std::vector<uint8_t>(dst, dst + 4), (std::vector<uint8_t>{3, 2, 1, 0x77}));
  reference::Bgrx32ToRgbx32(src, dst, 1);
  EXPECT_EQ(std::vector<uint8_t>(dst, dst + 4), (std::vector<uint8_t>{3, 2, 1, 0}));
  reference::Bgrx32ToBgra32(src, dst, 1);
  EXPECT_EQ(std::vector<uint8_t>(dst, dst + 4), (std::vector<uint8_t>{1, 2, 3, 215}));
  Bgrx32ToBgr24(src, dst, 1);
  EXPECT_EQ(std::vector<uint8_t>(dst, dst + 4), (std::vector<uint8_t>{1, 2, 3, 215}));
}

// ---- stretch ----

template <class Check>
void ForEachStretch(Check check) {
  for (StretchFn* kernel : {StretchGray8, StretchBgr24}) {
    for (const Variant<StretchFn>& v : VariantsOf(kernel)) {
      SCOPED_TRACE(Label(kernel == StretchGray8 ? "StretchGray8" : "StretchBgr24", v.name));
      check(v.run, kernel == StretchGray8 ? 1 : 3);
    }
  }
}

// Source pixel (x, y) holds x in byte 0 and y in byte 1 (and 2).
PixelBuffer Coordinates(int width, int height, int bpp) {
  PixelBuffer b(width, height, bpp, 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      b.At(x, y)[0] = static_cast<uint8_t>(x);
      if (bpp > 1) b.At(x, y)[1] = b.At(x, y)[2] = static_cast<uint8_t>(y);
    }
  }
  return b;
}

TEST(StretchKernels, SampleTheNearestColumnsAndRowsFromTheFirst) {
  ForEachStretch([](StretchFn* kernel, int bpp) {
    const PixelBuffer src = Coordinates(8, 8, bpp);
    PixelBuffer wide(16, 1, bpp);
    kernel(src.Rows(), wide.Rows());
    PixelBuffer narrow(4, 1, bpp);
    kernel(src.Rows(), narrow.Rows());
    for (int j = 0; j < 16; ++j) EXPECT_EQ(wide.At(j, 0)[0], j / 2);
    for (int j = 0; j < 4; ++j) EXPECT_EQ(narrow.At(j, 0)[0], 2 * j);
    if (bpp == 3) {
      PixelBuffer tall(1, 16, 3);
      kernel(src.Rows(), tall.Rows());
      for (int i = 0; i < 16; ++i) EXPECT_EQ(tall.At(0, i)[1], i / 2);
    }
  });
}

TEST(StretchKernels, WriteOnlyTheDestinationsPixelsAndNothingWithoutAny) {
  ForEachStretch([](StretchFn* kernel, int bpp) {
    const PixelBuffer src = Coordinates(5, 3, bpp);
    PixelBuffer dst(13, 9, bpp, 1, 0x5A);
    kernel(src.Rows(), dst.Rows());
    EXPECT_TRUE(dst.GuardsIntact());
    for (int row = 0; row < 9; ++row) ASSERT_EQ(dst.At(13, row)[0], 0x5A);  // the padding
    EXPECT_EQ(dst.At(12, 8)[0], 4);
    PixelBuffer untouched(8, 8, bpp, 1);
    const PixelBuffer before = untouched;
    kernel(src.Rows(), {untouched.Base(), untouched.Stride(), 0, 8});
    kernel(src.Rows(), {untouched.Base(), untouched.Stride(), 8, 0});
    EXPECT_TRUE(untouched == before);
  });
}

}  // namespace
}  // namespace zelcnv::imaging
