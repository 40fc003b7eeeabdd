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

using testing::Blit;
using testing::PixelBuffer;
using testing::Stretch;

struct KernelInfo {
  const char* name;
  BlitKernel kernel;
  bool flipped;
  int dstBpp;
  int srcBpp;
};

const KernelInfo kBlitKernels[] = {
    {"CopyGray8Flip", CopyGray8Flip, true, 1, 1},
    {"CopyYuv16Flip", CopyYuv16Flip, true, 2, 2},
    {"YuyvToBgr24Flip", YuyvToBgr24Flip, true, 3, 2},
    {"YuyvToBgr24", YuyvToBgr24, false, 3, 2},
    {"YuyvToBgrx32Flip", YuyvToBgrx32Flip, true, 4, 2},
    {"YuyvToBgr48Flip", YuyvToBgr48Flip, true, 6, 2},
    {"YuyvToBgra64Flip", YuyvToBgra64Flip, true, 8, 2},
    {"CopyColor24", CopyColor24, false, 3, 4},
    {"Color48ToColor24", Color48ToColor24, false, 3, 6},
    {"SwapColor24", SwapColor24, false, 4, 3},
    {"InvertAlpha32", InvertAlpha32, false, 4, 4},
    {"SwapColor48", SwapColor48, false, 6, 6},
    {"SwapColor64", SwapColor64, false, 8, 8},
};

std::string Label(const char* kernel, const char* variant) {
  return std::string(kernel) + " (" + variant + ")";
}

// Runs `check` on every implementation of `kernel`.
template <class Check>
void ForEachVariant(BlitKernel kernel, const char* name, Check check) {
  for (const BlitVariant& v : VariantsOf(kernel)) {
    SCOPED_TRACE(Label(name, v.name));
    check(v.kernel);
  }
}

TEST(KernelWalk, EmptyRectanglesWriteNothing) {
  std::mt19937 rng(1);
  for (const KernelInfo& info : kBlitKernels) {
    ForEachVariant(info.kernel, info.name, [&](BlitKernel kernel) {
      PixelBuffer src(40, 6, info.srcBpp, 4), dst(40, 6, info.dstBpp, 4);
      src.Randomize(rng);
      dst.Randomize(rng);
      const PixelBuffer before = dst;
      Blit(kernel, dst, src, {2, 3, 34, 3}, 0, 0);  // height 0
      Blit(kernel, dst, src, {2, 4, 34, 1}, 0, 0);  // negative height
      Blit(kernel, dst, src, {5, 0, 5, 6}, 1, 0);   // width 0
      Blit(kernel, dst, src, {9, 0, 5, 6}, 1, 0);   // negative width
      EXPECT_TRUE(dst == before);
    });
  }
}

TEST(KernelWalk, FlippedKernelsReverseTheRectanglesRowsAndStraightOnesKeepThem) {
  std::mt19937 rng(2);
  for (const KernelInfo& info : kBlitKernels) {
    ForEachVariant(info.kernel, info.name, [&](BlitKernel kernel) {
      PixelBuffer src(24, 7, info.srcBpp, 2);
      src.Randomize(rng);
      PixelBuffer all(24, 6, info.dstBpp, 2), single = all;
      // Source rows 2, 3, 4 into destination rows 1, 2, 3.
      Blit(kernel, all, src, {3, 2, 21, 5}, 2, 1);
      for (int i = 0; i < 3; ++i) {
        const int row = info.flipped ? 4 - i : 2 + i;
        Blit(kernel, single, src, {3, row, 21, row + 1}, 2, 1 + i);
      }
      EXPECT_TRUE(all == single);
      EXPECT_TRUE(all.GuardsIntact());
    });
  }
}

TEST(CopyYuv16Flip, StepsTheSourceWithTheDestinationsGeometry) {
  PixelBuffer dst(4, 2, 2, 4);  // stride 12
  std::vector<uint8_t> src(64);
  for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i);
  // Source rows 0 and 1 as the destination lays them out: 12 bytes apart, 2 bytes a pixel.
  ForEachVariant(CopyYuv16Flip, "CopyYuv16Flip", [&](BlitKernel kernel) {
    kernel(dst.View(), {src.data(), 40, 3}, {1, 0, 3, 2}, 0, 0);
    EXPECT_EQ(dst.At(0, 0)[0], 12 + 2);  // last rectangle row first
    EXPECT_EQ(dst.At(1, 0)[1], 12 + 5);
    EXPECT_EQ(dst.At(0, 1)[0], 2);
  });
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

TEST(YuyvToBgr24Flip, ColourValuesTruncateTowardZeroAndClamp) {
  const std::vector<Yuv> pairs = {
      {0, 0, 0}, {100, 128, 128}, {255, 128, 128}, {128, 255, 128}, {81, 90, 240}};
  const std::array<Bgr, 5> expected = {Bgr{0, 124, 0},  // green 124.928
                                       Bgr{100, 100, 100}, Bgr{255, 255, 255},
                                       Bgr{255, 77, 128},  // blue 386.064
                                       Bgr{3, 30, 208}};
  ForEachVariant(YuyvToBgr24Flip, "YuyvToBgr24Flip", [&](BlitKernel kernel) {
    // Long enough for every fast path's blocks, and ending in a row end of their own.
    for (int width : {10, 80, 90}) {
      const PixelBuffer src = YuyvRow(pairs, width);
      PixelBuffer dst(width, 1, 3);
      Blit(kernel, dst, src, {0, 0, width, 1}, 0, 0);
      for (int j = 0; j < width; ++j) {
        ASSERT_EQ(PixelOf(dst, j), expected[(j / 2) % 5]) << "width " << width << " pixel " << j;
      }
    }
  });
}

TEST(YuyvToBgr24Flip, OddWidthsGiveTheLastPixelNoV) {
  ForEachVariant(YuyvToBgr24Flip, "YuyvToBgr24Flip", [&](BlitKernel kernel) {
    for (int width : {1, 3, 17, 33, 49}) {
      // The last pixel: luma 100, its own chroma byte 178 as U (+50), V = 0:
      // blue 201.6, green 80.25, red 100. With the pair's V of 20 (-108) it would differ.
      PixelBuffer src = YuyvRow({{100, 178, 20}}, width + 1);
      PixelBuffer dst(width, 1, 3);
      Blit(kernel, dst, src, {0, 0, width, 1}, 0, 0);
      EXPECT_EQ(PixelOf(dst, width - 1), (Bgr{201, 80, 100})) << "width " << width;
      EXPECT_TRUE(dst.GuardsIntact());
    }
  });
}

TEST(YuyvToBgr24Flip, ChromaPairsStartAtTheRectanglesLeftEdge) {
  // Columns alternate chroma bytes 178 (+50) and 78 (-50); from an odd column, 78 is U.
  PixelBuffer src = YuyvRow({{100, 178, 78}}, 40);
  ForEachVariant(YuyvToBgr24Flip, "YuyvToBgr24Flip", [&](BlitKernel kernel) {
    PixelBuffer dst(38, 1, 3);
    Blit(kernel, dst, src, {1, 0, 39, 1}, 0, 0);
    // u = -50, v = +50: blue -1.6, green 100 + 19.75 - 29.05 = 90.7, red 157.
    for (int j = 0; j < 38; ++j) ASSERT_EQ(PixelOf(dst, j), (Bgr{0, 90, 157})) << "pixel " << j;
  });
}

TEST(YuyvToBgr24Flip, RowsWiderThanTheWorkRowsConvertInPiecesLikeNarrowerRows) {
  std::mt19937 rng(4);
  constexpr int kWidth = 4003;
  PixelBuffer src(kWidth, 2, 2);
  src.Randomize(rng);
  ForEachVariant(YuyvToBgr24Flip, "YuyvToBgr24Flip", [&](BlitKernel kernel) {
    PixelBuffer whole(kWidth, 2, 3), pieces(kWidth, 2, 3);
    Blit(kernel, whole, src, {0, 0, kWidth, 2}, 0, 0);
    for (int left : {0, 2000, 4000}) {
      const int right = left + 2000 < kWidth ? left + 2000 : kWidth;
      Blit(kernel, pieces, src, {left, 0, right, 2}, left, 0);
    }
    EXPECT_TRUE(whole == pieces);
    EXPECT_TRUE(whole.GuardsIntact());
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

// The other YUYV layouts hold the 24-bit colour: rows in order, a fourth byte of 0, or each
// channel widened to 16 bits as value * 257 with an opaque fourth channel.
TEST(YuyvColourLayouts, HoldTheTwentyFourBitColourInTheirOwnLayout) {
  std::mt19937 rng(5);
  for (int width : {1, 7, 64, 333}) {
    constexpr int kRows = 3;
    PixelBuffer src(width, kRows, 2, 2);
    src.Randomize(rng);
    PixelBuffer colour(width, kRows, 3);
    Blit(reference::YuyvToBgr24Flip, colour, src, {0, 0, width, kRows}, 0, 0);
    struct Layout {
      const char* name;
      BlitKernel kernel;
      int bytes;
      bool flipped;
    };
    for (const Layout& layout : {Layout{"YuyvToBgr24", YuyvToBgr24, 3, false},
                                 Layout{"YuyvToBgrx32Flip", YuyvToBgrx32Flip, 4, true},
                                 Layout{"YuyvToBgr48Flip", YuyvToBgr48Flip, 6, true},
                                 Layout{"YuyvToBgra64Flip", YuyvToBgra64Flip, 8, true}}) {
      ForEachVariant(layout.kernel, layout.name, [&](BlitKernel kernel) {
        PixelBuffer dst(width, kRows, layout.bytes, 1, 0x5A);
        Blit(kernel, dst, src, {0, 0, width, kRows}, 0, 0);
        ASSERT_TRUE(dst.GuardsIntact());
        for (int row = 0; row < kRows; ++row) {
          const int colourRow = layout.flipped ? row : kRows - 1 - row;
          for (int j = 0; j < width; ++j) {
            const uint8_t* c = colour.At(j, colourRow);
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
  Blit(Color48ToColor24, c24, colour, {0, 0, 1, 1}, 0, 0);
  EXPECT_EQ(PixelOf(c24, 0), (Bgr{0x03, 0x00, 0x04}));

  // The 64-bit swap writes 0xFFFF as the fourth word, whatever the source holds there.
  PixelBuffer c64(1, 1, 8);
  Blit(SwapColor64, c64, colour, {0, 0, 1, 1}, 0, 0);
  EXPECT_EQ(WordAt(c64.At(0, 0), 0), 0x0400);
  EXPECT_EQ(WordAt(c64.At(0, 0), 1), 0x0001);
  EXPECT_EQ(WordAt(c64.At(0, 0), 2), 0x03FF);
  EXPECT_EQ(WordAt(c64.At(0, 0), 3), 0xFFFF);
}

TEST(ByteKernels, SwapAndAlphaTouchOnlyTheirBytes) {
  PixelBuffer src(1, 1, 4), dst(1, 1, 4, 0, 0x77);
  const uint8_t pixel[4] = {1, 2, 3, 40};
  std::memcpy(src.At(0, 0), pixel, 4);
  Blit(SwapColor24, dst, src, {0, 0, 1, 1}, 0, 0);
  EXPECT_EQ(std::vector<uint8_t>(dst.At(0, 0), dst.At(0, 0) + 4),
            (std::vector<uint8_t>{3, 2, 1, 0x77}));
  Blit(InvertAlpha32, dst, src, {0, 0, 1, 1}, 0, 0);
  EXPECT_EQ(std::vector<uint8_t>(dst.At(0, 0), dst.At(0, 0) + 4),
            (std::vector<uint8_t>{1, 2, 3, 215}));
}

// ---- stretch ----

template <class Check>
void ForEachStretch(Check check) {
  for (StretchKernel kernel : {StretchGray8, StretchColor24}) {
    for (const StretchVariant& v : VariantsOf(kernel)) {
      SCOPED_TRACE(Label(kernel == StretchGray8 ? "StretchGray8" : "StretchColor24", v.name));
      check(v.kernel, kernel == StretchGray8 ? 1 : 3);
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

TEST(StretchKernels, SampleNearestColumnsAndRowsFromTheSourceOrigin) {
  ForEachStretch([](StretchKernel kernel, int bpp) {
    const PixelBuffer src = Coordinates(8, 8, bpp);
    PixelBuffer wide(8, 1, bpp);
    Stretch(kernel, wide, src, {0, 0, 8, 1}, {0, 0, 4, 1});
    PixelBuffer narrow(4, 1, bpp);
    Stretch(kernel, narrow, src, {0, 0, 4, 1}, {0, 0, 8, 1});
    for (int j = 0; j < 8; ++j) EXPECT_EQ(wide.At(j, 0)[0], j / 2);
    for (int j = 0; j < 4; ++j) EXPECT_EQ(narrow.At(j, 0)[0], 2 * j);
    if (bpp == 3) {
      PixelBuffer tall(1, 8, 3);
      Stretch(kernel, tall, src, {0, 0, 1, 8}, {0, 0, 1, 4});
      for (int i = 0; i < 8; ++i) EXPECT_EQ(tall.At(0, i)[1], i / 2);
    }
    // The source rectangle gives only a size: an offset one still samples from column 0.
    Stretch(kernel, narrow, src, {0, 0, 4, 1}, {5, 5, 13, 6});
    EXPECT_EQ(narrow.At(0, 0)[0], 0);
  });
}

TEST(StretchKernels, SamplesBeyondTheSourceTakeItsLastColumnAndRow) {
  ForEachStretch([](StretchKernel kernel, int bpp) {
    const PixelBuffer src = Coordinates(4, 4, bpp);
    PixelBuffer dst(8, 8, bpp, 1);
    // A source size of 16 x 16 on a 4 x 4 source: columns 0, 2, 4, ... clamp to 3.
    Stretch(kernel, dst, src, {0, 0, 8, 8}, {0, 0, 16, 16});
    EXPECT_EQ(dst.At(1, 0)[0], 2);
    EXPECT_EQ(dst.At(2, 0)[0], 3);
    EXPECT_EQ(dst.At(7, 0)[0], 3);
    if (bpp == 3) {
      EXPECT_EQ(dst.At(0, 7)[1], 3);
    }
    EXPECT_TRUE(dst.GuardsIntact());
    // Nothing is written for an empty destination rectangle.
    PixelBuffer untouched(8, 8, bpp, 1);
    const PixelBuffer before = untouched;
    Stretch(kernel, untouched, src, {2, 2, 2, 8}, {0, 0, 4, 4});
    Stretch(kernel, untouched, src, {2, 5, 8, 4}, {0, 0, 4, 4});
    EXPECT_TRUE(untouched == before);
  });
}

}  // namespace
}  // namespace zelcnv::imaging
