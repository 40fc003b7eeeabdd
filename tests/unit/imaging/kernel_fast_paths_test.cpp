// Every fast path against its reference: exhaustively for YUYV to colour, over randomized widths,
// row starts and strides for the rest.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "imaging/cpu_features.h"
#include "imaging/kernel_variants.h"
#include "imaging/kernels.h"
#include "imaging/yuyv_exact.h"
#include "pixel_buffer.h"

namespace zelcnv::imaging {
namespace {

using testing::Convert;
using testing::PixelBuffer;

template <class Fn>
std::vector<Variant<Fn>> FastVariants(Fn* kernel) {
  std::vector<Variant<Fn>> all = VariantsOf(kernel);
  return std::vector<Variant<Fn>>(all.begin() + 1, all.end());
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
  EXPECT_STREQ(ActiveVariantOf(YuyvToBgr24), expected);
  EXPECT_STREQ(ActiveVariantOf(YuyvToBgr48), expected);
  EXPECT_STREQ(ActiveVariantOf(StretchBgr24), "table");
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

// `kernel`'s fast paths against `referenceKernel`, a YUYV kernel into pixels of `bytes`.
void CompareAllYuyvCombinations(RowFn* kernel, RowFn* referenceKernel, int bytes,
                                Neighbours neighbours) {
  const std::vector<Variant<RowFn>> fast = FastVariants(kernel);
  const bool denseNeighbours = neighbours != Neighbours::kNone;
  constexpr int kPairs = 256, kWidth = 2 * kPairs, kSteps = 128;
  const YuyvExactTables& t = YuyvTables();
  ASSERT_GT(t.listedCount, 0);
  const int rows = denseNeighbours ? 2 * kSteps : kSteps;
  PixelBuffer src(kWidth, rows, 2), expected(kWidth, rows, bytes), actual(kWidth, rows, bytes);
  // Rows are converted from the last up, so that each follows its neighbour row.
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
    Convert(referenceKernel, expected, src, kWidth, rows, rows - 1, true);
    for (const Variant<RowFn>& v : fast) {
      Convert(v.run, actual, src, kWidth, rows, rows - 1, true);
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
    RowFn *kernel, *referenceKernel;
    int bytes;
  };
  for (const Layout& l : {Layout{YuyvToBgr24, reference::YuyvToBgr24, 3},
                          Layout{YuyvToBgrx32, reference::YuyvToBgrx32, 4},
                          Layout{YuyvToBgr48, reference::YuyvToBgr48, 6},
                          Layout{YuyvToBgra64, reference::YuyvToBgra64, 8}}) {
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

// Converts rows of `src` from column `left` (even or odd) through `kernel` and through
// `referenceKernel` into copies of a noisy destination, and compares the two.
void ExpectSameRows(RowFn* kernel, RowFn* referenceKernel, const PixelBuffer& src, int left,
                    int dstBpp, std::mt19937& rng) {
  const int width = src.Width() - left;
  PixelBuffer expected(width + 3, src.Height(), dstBpp, static_cast<int>(rng() % 7));
  expected.Randomize(rng);
  PixelBuffer actual = expected;
  for (int row = 0; row < src.Height(); ++row) {
    referenceKernel(src.At(left, row), expected.At(3, row), width);
    kernel(src.At(left, row), actual.At(3, row), width);
  }
  ASSERT_TRUE(expected == actual) << "width " << width << " from column " << left;
}

// Odd widths, odd first columns, and rows longer than the wide layouts' pieces: pictures of rare
// chroma pairs, so that corrected blocks fall at every position (block edges, row ends), in every
// colour layout.
TEST(YuyvFastPaths, AgreeWithTheReferenceOnRareChromaOddEdgesAndLongRows) {
  struct Pair {
    RowFn *kernel, *referenceKernel;
    int bytes;
  };
  std::mt19937 rng(12);
  for (const Pair& pair : {Pair{YuyvToBgr24, reference::YuyvToBgr24, 3},
                           Pair{YuyvToBgrx32, reference::YuyvToBgrx32, 4},
                           Pair{YuyvToBgr48, reference::YuyvToBgr48, 6},
                           Pair{YuyvToBgra64, reference::YuyvToBgra64, 8}}) {
    const std::vector<Variant<RowFn>> fast = FastVariants(pair.kernel);
    EXPECT_EQ(fast.empty(), FastVariants(YuyvToBgr24).empty());
    for (const Variant<RowFn>& v : fast) {
      SCOPED_TRACE(std::to_string(pair.bytes) + " bytes, " + v.name);
      for (int round = 0; round < 60; ++round) {
        const int width = round < 45   ? 1 + static_cast<int>(rng() % 300)
                          : round < 55 ? 2000 + static_cast<int>(rng() % 3000)
                                       : 16380 + static_cast<int>(rng() % 20);
        const int height = round < 45 ? 1 + static_cast<int>(rng() % 8) : 2;
        const PixelBuffer src = RareChromaPicture(width, height, static_cast<int>(rng() % 9), rng);
        ExpectSameRows(v.run, pair.referenceKernel, src, static_cast<int>(rng() % width),
                       pair.bytes, rng);
      }
    }
  }
}

TEST(CopyFastPaths, AgreeWithTheReferenceOnRandomWidthsAndStarts) {
  std::mt19937 rng(22);
  for (const Variant<RowFn>& v : FastVariants(Bgrx32ToBgr24)) {
    SCOPED_TRACE(v.name);
    for (int round = 0; round < 200; ++round) {
      PixelBuffer src(1 + static_cast<int>(rng() % 150), 1 + static_cast<int>(rng() % 4), 4);
      src.Randomize(rng);
      ExpectSameRows(v.run, reference::Bgrx32ToBgr24, src, static_cast<int>(rng() % src.Width()), 3,
                     rng);
    }
  }
}

TEST(StretchFastPaths, AgreeWithTheReferenceOnRandomSizes) {
  std::mt19937 rng(31);
  for (StretchFn* kernel : {StretchGray8, StretchBgr24}) {
    const int bytes = kernel == StretchGray8 ? 1 : 3;
    for (const Variant<StretchFn>& v : FastVariants(kernel)) {
      SCOPED_TRACE(v.name);
      for (int round = 0; round < 150; ++round) {
        const int sw = 1 + static_cast<int>(rng() % 90), sh = 1 + static_cast<int>(rng() % 40);
        // Wider than the fast path's column table now and then.
        const int dw = round % 10 == 0 ? 1000 + static_cast<int>(rng() % 1100)
                                       : 1 + static_cast<int>(rng() % 130);
        const int dh = 1 + static_cast<int>(rng() % 40);
        PixelBuffer src(sw, sh, bytes, static_cast<int>(rng() % 5));
        src.Randomize(rng);
        PixelBuffer expected(dw, dh, bytes, static_cast<int>(rng() % 5));
        expected.Randomize(rng);
        PixelBuffer actual = expected;
        v.run(std::as_const(src).Rows(), actual.Rows());
        VariantsOf(kernel)[0].run(std::as_const(src).Rows(), expected.Rows());
        ASSERT_TRUE(expected == actual) << "round " << round;
      }
    }
  }
}

}  // namespace
}  // namespace zelcnv::imaging
