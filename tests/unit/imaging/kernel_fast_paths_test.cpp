// Every fast path against its reference: exhaustively for YUYV to colour, over randomized sizes,
// rectangles, pixel sizes and strides for the rest.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "imaging/cpu_features.h"
#include "imaging/kernel_variants.h"
#include "imaging/kernels.h"
#include "imaging/yuyv_exact.h"
#include "pixel_buffer.h"

namespace zelcnv::imaging {
namespace {

using testing::Blit;
using testing::PixelBuffer;
using testing::Stretch;

std::vector<BlitVariant> FastVariants(BlitKernel kernel) {
  std::vector<BlitVariant> all = VariantsOf(kernel);
  return std::vector<BlitVariant>(all.begin() + 1, all.end());
}

TEST(FastPathChoice, TheBestInstructionSetThisProcessorRunsIsUsed) {
  ASSERT_TRUE(YuyvTables().usable) << "the exact formulation no longer fits the reference";
  const bool slots = YuyvTables().greenSlotShift >= 0;
  // The reference's listed chroma bytes are V bytes of 128 and more, as the byte-permute path's
  // table needs.
  EXPECT_TRUE(YuyvTables().listedHighRed);
  const bool highRed = YuyvTables().listedHighRed;
  const char* expected = CpuSupports(Isa::kAvx512Vbmi) && slots && highRed ? "avx512vbmi"
                         : CpuSupports(Isa::kAvx512) && slots              ? "avx512"
                         : CpuSupports(Isa::kAvx2)                         ? "avx2"
                         : CpuSupports(Isa::kSsse3)                        ? "ssse3"
                                                                           : "reference";
  EXPECT_STREQ(ActiveVariantOf(YuyvToBgr24Flip), expected);
  EXPECT_STREQ(ActiveVariantOf(YuyvToBgr48Flip), expected);
  EXPECT_STREQ(ActiveVariantOf(StretchColor24), "table");
}

// Every (Y, U byte, V byte) combination, in rows where each chroma pair differs from its
// neighbours: for U offset `ub` and step `s`, pair k of a row holds U = ub + k, V = k and lumas
// k + s and k + s + 128 (all mod 256). Over ub = 0..255 and s = 0..127 each V meets each U and
// each luma once.
//
// The fast paths correct blocks one way in pictures where such blocks are sparse and others
// where they are dense: with neighbours, each row is converted right after a row made only of
// pairs with a listed chroma byte, or only of exact green pairs, which puts the fast path in the
// way it takes for such pictures.
enum class Neighbours { kNone, kListedChroma, kExactGreen };

// `kernel`'s fast paths against `referenceKernel`, a flipping YUYV kernel into pixels of `bytes`.
void CompareAllYuyvCombinations(BlitKernel kernel, BlitKernel referenceKernel, int bytes,
                                Neighbours neighbours) {
  const std::vector<BlitVariant> fast = FastVariants(kernel);
  const bool denseNeighbours = neighbours != Neighbours::kNone;
  constexpr int kPairs = 256, kWidth = 2 * kPairs, kSteps = 128;
  const YuyvExactTables& t = YuyvTables();
  ASSERT_GT(t.listedCount, 0);
  const int rows = denseNeighbours ? 2 * kSteps : kSteps;
  PixelBuffer src(kWidth, rows, 2), expected(kWidth, rows, bytes), actual(kWidth, rows, bytes);
  // The flipped kernels convert the source's bottom row first.
  auto rowOfStep = [&](int s) { return denseNeighbours ? rows - 2 - 2 * s : rows - 1 - s; };
  std::vector<std::pair<int, int>> exactGreen;
  for (int u = 0; u < 256; ++u) {
    for (int v = 0; v < 256; ++v) {
      const bool whole = (kGreenBias + kGreenU * u + kGreenV * v) % kGreenDivisor == 0;
      if (whole && u != kChromaOffset) exactGreen.emplace_back(u, v);
    }
  }
  if (denseNeighbours) {
    for (int s = 0; s < kSteps; ++s) {
      for (int k = 0; k < kPairs; ++k) {
        uint8_t* p = src.At(2 * k, rowOfStep(s) + 1);
        p[0] = p[2] = static_cast<uint8_t>(k);
        const auto [u, v] = exactGreen[k % exactGreen.size()];
        const bool listed = neighbours == Neighbours::kListedChroma;
        p[1] = static_cast<uint8_t>(listed ? k : u);
        p[3] = listed ? t.listed[0].chroma : static_cast<uint8_t>(v);
      }
    }
  }
  for (int ub = 0; ub < 256; ++ub) {
    for (int s = 0; s < kSteps; ++s) {
      for (int k = 0; k < kPairs; ++k) {
        uint8_t* p = src.At(2 * k, rowOfStep(s));
        p[0] = static_cast<uint8_t>(k + s);
        p[1] = static_cast<uint8_t>(ub + k);
        p[2] = static_cast<uint8_t>(k + s + 128);
        p[3] = static_cast<uint8_t>(k);
      }
    }
    Blit(referenceKernel, expected, src, {0, 0, kWidth, rows}, 0, 0);
    for (const BlitVariant& v : fast) {
      Blit(v.kernel, actual, src, {0, 0, kWidth, rows}, 0, 0);
      if (expected == actual) continue;
      for (int row = 0; row < rows; ++row) {
        for (int j = 0; j < kWidth; ++j) {
          if (std::memcmp(expected.At(j, rows - 1 - row), actual.At(j, rows - 1 - row), bytes) !=
              0) {
            const uint8_t* p = src.At(j & ~1, row);
            FAIL() << v.name << ": Y " << int{src.At(j, row)[0]} << " U " << int{p[1]} << " V "
                   << int{p[3]};
          }
        }
      }
    }
  }
}

// Every colour layout: the byte-permute path writes the wide ones, corrections included,
// straight from the conversion.
TEST(YuyvFastPaths, AgreeWithTheReferenceForEveryLumaAndChromaCombination) {
  struct Layout {
    BlitKernel kernel, referenceKernel;
    int bytes;
  };
  for (const Layout& l : {Layout{YuyvToBgr24Flip, reference::YuyvToBgr24Flip, 3},
                          Layout{YuyvToBgrx32Flip, reference::YuyvToBgrx32Flip, 4},
                          Layout{YuyvToBgr48Flip, reference::YuyvToBgr48Flip, 6},
                          Layout{YuyvToBgra64Flip, reference::YuyvToBgra64Flip, 8}}) {
    SCOPED_TRACE(l.bytes);
    for (Neighbours n : {Neighbours::kNone, Neighbours::kListedChroma, Neighbours::kExactGreen}) {
      SCOPED_TRACE(n == Neighbours::kNone           ? "sparse"
                   : n == Neighbours::kListedChroma ? "after listed chroma"
                                                    : "after exact green");
      CompareAllYuyvCombinations(l.kernel, l.referenceKernel, l.bytes, n);
    }
  }
}

// Chroma pairs that need the fast paths' corrections, mixed with ordinary ones, so that
// corrected blocks fall at every position: block edges, row ends, odd left edges.
PixelBuffer RareChromaPicture(int width, int height, int padding, std::mt19937& rng) {
  const YuyvExactTables& t = YuyvTables();
  std::vector<std::pair<int, int>> rare;
  for (int u = 0; u < 256; ++u) {
    for (int v = 0; v < 256; ++v) {
      const bool greenWhole = (kGreenBias + kGreenU * u + kGreenV * v) % kGreenDivisor == 0;
      if ((greenWhole && t.greenRanges[u] != 0) || t.redRanges[v] != 0 || t.blueRanges[u] != 0) {
        rare.emplace_back(u, v);
      }
    }
  }
  PixelBuffer b(width, height, 2, padding);
  b.Randomize(rng);
  for (int y = 0; y < height; ++y) {
    // Pairs start at an even or an odd column, to line up with either parity of left edge.
    for (int x = static_cast<int>(rng() % 2); x + 1 < width; x += 2) {
      if (rng() % 3 != 0) continue;
      const auto [u, v] = rare[rng() % rare.size()];
      b.At(x, y)[0] = static_cast<uint8_t>(rng() % 64);  // the corrections sit at low lumas
      b.At(x, y)[1] = static_cast<uint8_t>(u);
      b.At(x + 1, y)[1] = static_cast<uint8_t>(v);
    }
  }
  return b;
}

PixelRect RandomRect(int width, int height, std::mt19937& rng) {
  const int left = static_cast<int>(rng() % width), top = static_cast<int>(rng() % height);
  const int right = left + static_cast<int>(rng() % (width - left + 1));
  const int bottom = top + static_cast<int>(rng() % (height - top + 1));
  return {left, top, right, bottom};
}

TEST(YuyvFastPaths, AgreeWithTheReferenceOnOddWidthsOddEdgesAndLongRows) {
  std::mt19937 rng(11);
  for (const BlitVariant& v : FastVariants(YuyvToBgr24Flip)) {
    SCOPED_TRACE(v.name);
    for (int round = 0; round < 60; ++round) {
      const int width = round < 50 ? 1 + static_cast<int>(rng() % 200) : 2001 + round * 50;
      const int height = 1 + static_cast<int>(rng() % 6);
      const PixelBuffer src = RareChromaPicture(width, height, static_cast<int>(rng() % 9), rng);
      const PixelRect r =
          round % 2 == 0 ? PixelRect{0, 0, width, height} : RandomRect(width, height, rng);
      PixelBuffer expected(width + 3, height + 2, 3, static_cast<int>(rng() % 7));
      expected.Randomize(rng);
      PixelBuffer actual = expected;
      Blit(reference::YuyvToBgr24Flip, expected, src, r, 3, 2);
      Blit(v.kernel, actual, src, r, 3, 2);
      ASSERT_TRUE(expected == actual) << "width " << width << " rect " << r.left << "," << r.top
                                      << "," << r.right << "," << r.bottom;
    }
  }
}

// The other YUYV layouts share the 24-bit fast paths' conversion and widen its result in pieces
// of rows and columns: pictures of rare chroma pairs, narrow to wider than a piece.
TEST(YuyvFastPaths, OtherLayoutsAgreeWithTheReferenceOnRareChromaAndLongRows) {
  struct Pair {
    BlitKernel kernel, referenceKernel;
    int bytes;
  };
  std::mt19937 rng(12);
  for (const Pair& pair : {Pair{YuyvToBgr24, reference::YuyvToBgr24, 3},
                           Pair{YuyvToBgrx32Flip, reference::YuyvToBgrx32Flip, 4},
                           Pair{YuyvToBgr48Flip, reference::YuyvToBgr48Flip, 6},
                           Pair{YuyvToBgra64Flip, reference::YuyvToBgra64Flip, 8}}) {
    const std::vector<BlitVariant> fast = FastVariants(pair.kernel);
    EXPECT_EQ(fast.empty(), FastVariants(YuyvToBgr24Flip).empty());
    for (const BlitVariant& v : fast) {
      SCOPED_TRACE(v.name);
      for (int round = 0; round < 40; ++round) {
        const int width = round < 30   ? 1 + static_cast<int>(rng() % 300)
                          : round < 36 ? 2000 + static_cast<int>(rng() % 3000)
                                       : 16380 + static_cast<int>(rng() % 20);
        const int height = round < 30 ? 1 + static_cast<int>(rng() % 40) : 2;
        const PixelBuffer src = RareChromaPicture(width, height, static_cast<int>(rng() % 9), rng);
        const PixelRect r =
            round % 2 == 0 ? PixelRect{0, 0, width, height} : RandomRect(width, height, rng);
        PixelBuffer expected(width + 3, height + 2, pair.bytes, static_cast<int>(rng() % 7));
        expected.Randomize(rng);
        PixelBuffer actual = expected;
        Blit(pair.referenceKernel, expected, src, r, 3, 2);
        Blit(v.kernel, actual, src, r, 3, 2);
        ASSERT_TRUE(expected == actual)
            << pair.bytes << " bytes, width " << width << " rect " << r.left << "," << r.top << ","
            << r.right << "," << r.bottom;
      }
    }
  }
}

// Randomized rectangles, positions, pixel sizes and strides; the destination starts with noise
// so that bytes a kernel must leave alone are checked too.
void CompareRandomBlits(BlitKernel kernel, BlitKernel referenceKernel,
                        const std::vector<std::pair<int, int>>& pixelSizes, uint32_t seed) {
  std::mt19937 rng(seed);
  for (const BlitVariant& v : FastVariants(kernel)) {
    SCOPED_TRACE(v.name);
    for (int round = 0; round < 200; ++round) {
      const auto [dstBpp, srcBpp] = pixelSizes[round % pixelSizes.size()];
      const int width = 1 + static_cast<int>(rng() % 150), height = 1 + static_cast<int>(rng() % 7);
      PixelBuffer src(width, height, srcBpp, static_cast<int>(rng() % 9));
      src.Randomize(rng);
      const PixelRect r = RandomRect(width, height, rng);
      const int x = static_cast<int>(rng() % 5), y = static_cast<int>(rng() % 3);
      PixelBuffer expected(width + x, height + y, dstBpp, static_cast<int>(rng() % 9));
      expected.Randomize(rng);
      PixelBuffer actual = expected;
      Blit(v.kernel, actual, src, r, x, y);
      Blit(referenceKernel, expected, src, r, x, y);
      ASSERT_TRUE(expected == actual)
          << "bpp " << dstBpp << "/" << srcBpp << " width " << width << " rect " << r.left << ","
          << r.top << "," << r.right << "," << r.bottom;
    }
  }
}

TEST(CopyFastPaths, AgreeWithTheReferenceOnRandomRectanglesAndStrides) {
  CompareRandomBlits(CopyGray8Flip, reference::CopyGray8Flip, {{1, 1}, {1, 2}, {3, 1}}, 21);
  CompareRandomBlits(CopyColor24, reference::CopyColor24, {{3, 3}, {3, 4}, {4, 3}, {4, 4}}, 22);
}

TEST(CopyFastPaths, Yuv16CopiesUseTheDestinationGeometryLikeTheReference) {
  std::mt19937 rng(25);
  for (const BlitVariant& v : FastVariants(CopyYuv16Flip)) {
    for (int round = 0; round < 100; ++round) {
      const int width = 1 + static_cast<int>(rng() % 120), height = 1 + static_cast<int>(rng() % 6);
      const int dstBpp = round % 3 == 0 ? 3 : 2;
      PixelBuffer expected(width, height, dstBpp, static_cast<int>(rng() % 9));
      // The source is read with the destination's geometry, so it is made at least as large.
      PixelBuffer src(width, height, dstBpp, expected.Stride() - width * dstBpp);
      src.Randomize(rng);
      expected.Randomize(rng);
      PixelBuffer actual = expected;
      const PixelRect r = RandomRect(width, height, rng);
      v.kernel(actual.View(), {src.Base(), 1, 7}, r, 0, 0);
      reference::CopyYuv16Flip(expected.View(), {src.Base(), 1, 7}, r, 0, 0);
      ASSERT_TRUE(expected == actual) << v.name << " round " << round;
    }
  }
}

TEST(StretchFastPaths, AgreeWithTheReferenceOnRandomSizesAndRectangles) {
  std::mt19937 rng(31);
  for (StretchKernel kernel : {StretchGray8, StretchColor24}) {
    const std::vector<StretchVariant> variants = VariantsOf(kernel);
    const int bytes = kernel == StretchGray8 ? 1 : 3;
    for (size_t i = 1; i < variants.size(); ++i) {
      SCOPED_TRACE(variants[i].name);
      for (int round = 0; round < 150; ++round) {
        const int sw = 1 + static_cast<int>(rng() % 90), sh = 1 + static_cast<int>(rng() % 40);
        const int dw = 1 + static_cast<int>(rng() % 130), dh = 1 + static_cast<int>(rng() % 40);
        const int srcBpp = bytes + static_cast<int>(rng() % 2);
        const int dstBpp = bytes + static_cast<int>(rng() % 2);
        PixelBuffer src(sw, sh, srcBpp, static_cast<int>(rng() % 5));
        src.Randomize(rng);
        PixelBuffer expected(dw, dh, dstBpp, static_cast<int>(rng() % 5));
        expected.Randomize(rng);
        PixelBuffer actual = expected;
        // Any source size (samples past the buffer clamp); a destination rectangle inside it.
        const PixelRect from{0, 0, 1 + static_cast<int>(rng() % 120),
                             1 + static_cast<int>(rng() % 60)};
        const PixelRect to = RandomRect(dw, dh, rng);
        Stretch(variants[i].kernel, actual, src, to, from);
        Stretch(variants[0].kernel, expected, src, to, from);
        ASSERT_TRUE(expected == actual) << "round " << round;
      }
    }
  }
}

}  // namespace
}  // namespace zelcnv::imaging
