// FrameBitmap on the platform's surfaces; the same expectations hold on every platform.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "imaging/frame_bitmap.h"
#include "imaging/kernels.h"
#include "platform/surface.h"

namespace zelcnv::imaging {
namespace {

bool AllZero(const FrameBitmap& b) {
  const uint8_t* p = b.Bits();
  for (int64_t i = 0; i < int64_t{b.Stride()} * b.Height(); ++i) {
    if (p[i] != 0) return false;
  }
  return true;
}

uint8_t* Pixel(FrameBitmap& b, int x, int memoryRow) {
  return b.Bits() + memoryRow * b.Stride() + x * b.BytesPerPixel();
}

TEST(FrameBitmapCreate, StrideIsWholePixelBytesRoundedUpToFour) {
  struct Case {
    int32_t width, height;
    uint16_t bits;
    int32_t stride;
  };
  // 12 bits make one byte a pixel: the bit count is divided by 8 first, truncating.
  for (const Case& c : {Case{640, 480, 24, 1920}, Case{641, 480, 24, 1924}, Case{3, 1, 8, 4},
                        Case{1, 1, 16, 4}, Case{10, 10, 12, 12}, Case{5, 2, 48, 32}}) {
    SCOPED_TRACE(c.width);
    FrameBitmap b;
    ASSERT_EQ(b.Create(c.width, c.height, c.bits), 1);
    EXPECT_EQ(b.Stride(), c.stride);
    EXPECT_EQ(b.Width(), c.width);
    EXPECT_EQ(b.Height(), c.height);
    EXPECT_EQ(b.BitsPerPixel(), c.bits);
    const platform::BitmapInfoHeader& h = b.Header().bmiHeader;
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, c.width);
    EXPECT_EQ(h.biHeight, c.height);  // positive: bottom-up
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, c.bits);
    EXPECT_EQ(h.biCompression, 0u);
    EXPECT_EQ(h.biSizeImage + h.biClrUsed + h.biClrImportant, 0u);
    ASSERT_NE(b.Bits(), nullptr);
    EXPECT_TRUE(AllZero(b));
  }
}

TEST(FrameBitmapCreate, RefusedArgumentsKeepTheOldSurface) {
  FrameBitmap b;
  ASSERT_EQ(b.Create(64, 48, 24), 1);
  b.Bits()[5] = 7;
  uint8_t* bits = b.Bits();
  platform::SurfaceDc* dc = b.MemoryDc();
  struct Args {
    int32_t width, height;
    uint16_t bits;
  };
  for (const Args& a :
       {Args{0, 480, 24}, Args{640, -1, 24}, Args{640, 480, 0}, Args{INT32_MAX, INT32_MAX, 64}}) {
    EXPECT_EQ(b.Create(a.width, a.height, a.bits), 0);
    EXPECT_EQ(b.Bits(), bits);
    EXPECT_EQ(b.MemoryDc(), dc);
    EXPECT_EQ(b.Width(), 64);
    EXPECT_EQ(b.Bits()[5], 7);
  }
}

TEST(FrameBitmapCreate, SurfaceDepthsGetSurfacesAndOthersZeroedPlainMemory) {
  for (uint16_t bits : {8, 16, 24, 32}) {
    FrameBitmap b;
    ASSERT_EQ(b.Create(9, 5, bits), 1);
    EXPECT_TRUE(b.HasSurface()) << bits;
    EXPECT_NE(b.MemoryDc(), nullptr) << bits;
  }
  for (uint16_t bits : {12, 48, 64}) {
    FrameBitmap b;
    ASSERT_EQ(b.Create(9, 5, bits), 1);
    EXPECT_FALSE(b.HasSurface()) << bits;
    EXPECT_EQ(b.MemoryDc(), nullptr) << bits;
    EXPECT_TRUE(AllZero(b));
  }
}

TEST(FrameBitmapColorTable, NewEightBitSurfacesHoldTheGreyRamp) {
  FrameBitmap b;
  ASSERT_EQ(b.Create(16, 4, 8), 1);
  platform::RgbQuad table[256];
  ASSERT_EQ(platform::GetDcColorTable(b.MemoryDc(), 0, 256, table), 256u);
  for (int i = 0; i < 256; ++i) {
    ASSERT_EQ(table[i].rgbBlue, i);
    ASSERT_EQ(table[i].rgbGreen, i);
    ASSERT_EQ(table[i].rgbRed, i);
    ASSERT_EQ(table[i].rgbReserved, 0);
  }
}

TEST(FrameBitmapRelease, IsHarmlessTwiceAndOnAFreshBitmap) {
  FrameBitmap b;
  b.Release();
  ASSERT_EQ(b.Create(4, 4, 8), 1);
  b.Release();
  b.Release();
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.Bits(), nullptr);
  EXPECT_EQ(b.MemoryDc(), nullptr);
  platform::BitmapInfo zero = {};
  zero.bmiHeader.biSize = 40;
  EXPECT_EQ(0, std::memcmp(&b.Header(), &zero, sizeof zero));
  // Release on a bitmap in plain memory frees it as well.
  ASSERT_EQ(b.Create(4, 4, 48), 1);
  b.Release();
  EXPECT_EQ(b.Bits(), nullptr);
}

// Each memory row r holds (r mod 256, r / 256, column) in every pixel.
void MarkRows(FrameBitmap& b) {
  for (int r = 0; r < b.Height(); ++r) {
    for (int x = 0; x < b.Width(); ++x) {
      uint8_t* p = Pixel(b, x, r);
      p[0] = static_cast<uint8_t>(r);
      p[1] = static_cast<uint8_t>(r >> 8);
      p[2] = static_cast<uint8_t>(x);
    }
  }
}

TEST(FrameBitmapConvertFrom, CopiesTheTopLeftOfALargerSourceUpright) {
  FrameBitmap src, dst;
  ASSERT_EQ(src.Create(640, 480, 24), 1);
  ASSERT_EQ(dst.Create(320, 240, 24), 1);
  MarkRows(src);
  // Picture rows 0..239 are memory rows 479..240 of the source and 239..0 of the destination.
  EXPECT_TRUE(dst.ConvertFrom(kBgr24ToRgb24, src));
  for (int i = 0; i < 240; ++i) {
    // The kernel swaps bytes 0 and 2: the column lands in byte 0, the row mark's low byte in 2.
    ASSERT_EQ(Pixel(dst, 0, i)[2], static_cast<uint8_t>(240 + i));
    ASSERT_EQ(Pixel(dst, 319, i)[0], static_cast<uint8_t>(319));
    ASSERT_EQ(Pixel(dst, 5, i)[2], static_cast<uint8_t>(240 + i));
  }
}

TEST(FrameBitmapConvertFrom, ATallerSourceStaysUprightAlignedToTheTop) {
  FrameBitmap src, dst;
  ASSERT_EQ(src.Create(100, 300, 24), 1);
  ASSERT_EQ(dst.Create(100, 200, 24), 1);
  MarkRows(src);
  EXPECT_TRUE(dst.ConvertFrom(kBgr24ToRgb24, src));
  // Destination picture row p (memory row 199 - p) shows source picture row p (memory 299 - p),
  // its bytes swapped.
  for (int p = 0; p < 200; ++p) {
    const uint8_t* pixel = Pixel(dst, 7, 199 - p);
    ASSERT_EQ(pixel[0], 7);
    ASSERT_EQ(pixel[2] | pixel[1] << 8, 299 - p);
  }
}

TEST(FrameBitmapConvertFrom, RefusesPixelsOfOtherSizesThanTheKernels) {
  FrameBitmap src, dst;
  ASSERT_EQ(src.Create(8, 8, 32), 1);
  ASSERT_EQ(dst.Create(8, 8, 24), 1);
  MarkRows(src);
  EXPECT_FALSE(dst.ConvertFrom(kBgr48ToBgr24, src));
  EXPECT_FALSE(dst.ConvertFrom(kBgrx32ToBgra32, src));
  EXPECT_TRUE(AllZero(dst));
  FrameBitmap empty;
  EXPECT_FALSE(dst.ConvertFrom(kBgrx32ToBgr24, empty));
  EXPECT_FALSE(empty.ConvertFrom(kBgrx32ToBgr24, src));
}

TEST(FrameBitmapStretchFrom, FillsTheWholeDestinationAndRefusesOtherPixelSizes) {
  FrameBitmap src, dst;
  ASSERT_EQ(src.Create(4, 4, 8), 1);
  ASSERT_EQ(dst.Create(8, 8, 8), 1);
  for (int r = 0; r < 4; ++r) {
    for (int x = 0; x < 4; ++x) *Pixel(src, x, r) = static_cast<uint8_t>(10 * r + x);
  }
  EXPECT_TRUE(dst.StretchFrom(StretchGray8, src));
  for (int r = 0; r < 8; ++r) {
    for (int x = 0; x < 8; ++x) ASSERT_EQ(*Pixel(dst, x, r), 10 * (r / 2) + x / 2);
  }
  FrameBitmap colour, empty;
  ASSERT_EQ(colour.Create(8, 8, 24), 1);
  EXPECT_FALSE(colour.StretchFrom(StretchBgr24, src));
  EXPECT_FALSE(dst.StretchFrom(nullptr, src));
  EXPECT_FALSE(dst.StretchFrom(StretchGray8, empty));
}

TEST(FrameBitmapBlitFrom, ConvertsDepthsThroughTheSurfaces) {
  FrameBitmap grey, colour;
  ASSERT_EQ(grey.Create(5, 3, 8), 1);
  ASSERT_EQ(colour.Create(5, 3, 24), 1);
  for (int r = 0; r < 3; ++r) {
    for (int x = 0; x < 5; ++x) *Pixel(grey, x, r) = static_cast<uint8_t>(40 * r + x);
  }
  // Through the grey ramp, index v becomes (v, v, v).
  colour.BlitFrom(grey);
  for (int r = 0; r < 3; ++r) {
    for (int x = 0; x < 5; ++x) {
      const uint8_t v = static_cast<uint8_t>(40 * r + x);
      ASSERT_EQ(std::vector<uint8_t>(Pixel(colour, x, r), Pixel(colour, x, r) + 3),
                (std::vector<uint8_t>{v, v, v}));
    }
  }
  // 32 bits to 24: the fourth byte is dropped.
  FrameBitmap wide, narrow;
  ASSERT_EQ(wide.Create(2, 2, 32), 1);
  ASSERT_EQ(narrow.Create(2, 2, 24), 1);
  const uint8_t quad[4] = {9, 8, 7, 6};
  std::memcpy(Pixel(wide, 1, 0), quad, 4);
  narrow.BlitFrom(wide);
  EXPECT_EQ(std::vector<uint8_t>(Pixel(narrow, 1, 0), Pixel(narrow, 1, 0) + 3),
            (std::vector<uint8_t>{9, 8, 7}));

  // A bitmap in plain memory takes part in no surface copy.
  FrameBitmap deep;
  ASSERT_EQ(deep.Create(2, 2, 48), 1);
  Pixel(deep, 0, 0)[0] = 1;
  narrow.BlitFrom(deep);
  deep.BlitFrom(narrow);
  EXPECT_EQ(Pixel(narrow, 1, 0)[0], 9);
  EXPECT_EQ(Pixel(deep, 1, 0)[0], 0);
}

}  // namespace
}  // namespace zelcnv::imaging
