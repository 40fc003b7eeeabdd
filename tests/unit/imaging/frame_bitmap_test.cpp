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

TEST(FrameBitmapCreateLike, TakesTheSourcesShapeAndRefusesAnEmptySource) {
  FrameBitmap empty, like, source;
  ASSERT_EQ(like.Create(8, 8, 24), 1);
  EXPECT_EQ(like.CreateLike(&empty), 0);
  EXPECT_EQ(like.CreateLike(nullptr), 0);
  EXPECT_EQ(like.Width(), 8) << "a refused CreateLike keeps the surface";

  ASSERT_EQ(source.Create(33, 7, 16), 1);
  ASSERT_EQ(like.CreateLike(&source), 1);
  EXPECT_EQ(0, std::memcmp(&like.Header().bmiHeader, &source.Header().bmiHeader, 40));
  EXPECT_EQ(like.Stride(), source.Stride());
  EXPECT_TRUE(like.HasSurface());
  EXPECT_NE(like.Bits(), source.Bits());
  // A bitmap shaped like itself gets a fresh surface of the same shape.
  ASSERT_EQ(like.CreateLike(&like), 1);
  EXPECT_EQ(like.Width(), 33);
  EXPECT_EQ(like.BitsPerPixel(), 16);
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

  const platform::RgbQuad custom[2] = {{1, 2, 3, 0}, {4, 5, 6, 0}};
  EXPECT_EQ(b.SetColorTable(FrameBitmap::kCallerTable, custom, 10, 2), 1);
  ASSERT_EQ(platform::GetDcColorTable(b.MemoryDc(), 10, 2, table), 2u);
  EXPECT_EQ(table[1].rgbRed, 6);
  EXPECT_EQ(b.SetColorTable(1, custom, 0, 2), 1) << "other modes do nothing";
  EXPECT_EQ(b.SetColorTable(FrameBitmap::kGreyRamp, nullptr, 0, 0), 1);
  ASSERT_EQ(platform::GetDcColorTable(b.MemoryDc(), 10, 1, table), 1u);
  EXPECT_EQ(table[0].rgbRed, 10);
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
  // Reset on a live bitmap frees it as well.
  ASSERT_EQ(b.Create(4, 4, 48), 1);
  b.Reset();
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

int RowMark(FrameBitmap& b, int x, int memoryRow) {
  const uint8_t* p = Pixel(b, x, memoryRow);
  return p[2] != static_cast<uint8_t>(x) ? -1 : p[0] | p[1] << 8;
}

TEST(FrameBitmapConvertFrom, CopiesTheTopLeftOfALargerSource) {
  FrameBitmap src, dst;
  ASSERT_EQ(src.Create(640, 480, 24), 1);
  ASSERT_EQ(dst.Create(320, 240, 24), 1);
  MarkRows(src);
  // Picture rows 0..239 are memory rows 479..240 of the source and 239..0 of the destination.
  EXPECT_TRUE(dst.ConvertFrom(CopyColor24, &src, nullptr, 0, 0));
  for (int i = 0; i < 240; ++i) {
    ASSERT_EQ(RowMark(dst, 0, i), 240 + i);
    ASSERT_EQ(RowMark(dst, 319, i), 240 + i);
  }
  // A flipped kernel reverses them: memory row 0 receives the source's top row. CopyGray8Flip
  // moves byte 0 of each pixel, the low byte of the row mark, which differs from the unflipped
  // copy's in every row.
  EXPECT_TRUE(dst.ConvertFrom(CopyGray8Flip, &src, nullptr, 0, 0));
  for (int i = 0; i < 240; ++i) ASSERT_EQ(Pixel(dst, 5, i)[0], static_cast<uint8_t>(479 - i));
}

TEST(FrameBitmapConvertFrom, ATallerSourceStaysUprightAlignedToTheTop) {
  FrameBitmap src, dst;
  ASSERT_EQ(src.Create(100, 300, 24), 1);
  ASSERT_EQ(dst.Create(100, 200, 24), 1);
  MarkRows(src);
  EXPECT_TRUE(dst.ConvertFrom(CopyColor24, &src, nullptr, 0, 0));
  // Destination picture row p (memory row 199 - p) shows source picture row p (memory 299 - p).
  for (int p = 0; p < 200; ++p) ASSERT_EQ(RowMark(dst, 7, 199 - p), 299 - p);
}

TEST(FrameBitmapConvertFrom, NothingLeftToCopyCallsNoKernel) {
  FrameBitmap src, dst;
  ASSERT_EQ(src.Create(8, 8, 24), 1);
  ASSERT_EQ(dst.Create(8, 8, 24), 1);
  MarkRows(src);
  const PixelRect outside{20, 0, 28, 8};
  EXPECT_FALSE(dst.ConvertFrom(CopyColor24, &src, nullptr, 8, 0));
  EXPECT_FALSE(dst.ConvertFrom(CopyColor24, &src, nullptr, 0, -8));
  EXPECT_FALSE(dst.ConvertFrom(CopyColor24, &src, &outside, 0, 0));
  EXPECT_FALSE(dst.ConvertFrom(nullptr, &src, nullptr, 0, 0));
  EXPECT_FALSE(dst.ConvertFrom(CopyColor24, nullptr, nullptr, 0, 0));
  EXPECT_TRUE(AllZero(dst));
  FrameBitmap empty;
  EXPECT_FALSE(dst.ConvertFrom(CopyColor24, &empty, nullptr, 0, 0));
}

struct Clip {
  PixelRect rect;
  int32_t x, y;
  int result;
};

Clip ClipOf(const FrameBitmap& dst, const FrameBitmap& src, PixelRect rect, int32_t x, int32_t y) {
  Clip c{rect, x, y, 0};
  c.result = dst.ClipToBounds(src, &c.rect, &c.x, &c.y);
  return c;
}

void ExpectClip(const Clip& c, PixelRect rect, int32_t x, int32_t y) {
  EXPECT_EQ(c.result, 1);
  EXPECT_EQ(c.rect.left, rect.left);
  EXPECT_EQ(c.rect.top, rect.top);
  EXPECT_EQ(c.rect.right, rect.right);
  EXPECT_EQ(c.rect.bottom, rect.bottom);
  EXPECT_EQ(c.x, x);
  EXPECT_EQ(c.y, y);
}

TEST(FrameBitmapClipToBounds, TurnsPictureAreasIntoMemoryRowsKeepingEveryPixelInPlace) {
  FrameBitmap dst, src;
  ASSERT_EQ(dst.Create(10, 10, 8), 1);
  ASSERT_EQ(src.Create(8, 6, 8), 1);
  {
    SCOPED_TRACE("whole source at the origin: it fills the top six rows");
    ExpectClip(ClipOf(dst, src, {0, 0, 8, 6}, 0, 0), {0, 0, 8, 6}, 0, 4);
  }
  {
    SCOPED_TRACE("cut by the destination's right and bottom");
    ExpectClip(ClipOf(dst, src, {0, 0, 8, 6}, 5, 7), {0, 3, 5, 6}, 5, 0);
  }
  {
    SCOPED_TRACE("negative position: the source's top-left is cut");
    ExpectClip(ClipOf(dst, src, {0, 0, 8, 6}, -2, -1), {2, 0, 8, 5}, 0, 5);
  }
  {
    SCOPED_TRACE("a rectangle reaching below the source: its rows 4 and 5 stay at rows 0 and 1");
    ExpectClip(ClipOf(dst, src, {0, 4, 8, 10}, 0, 0), {0, 0, 8, 2}, 0, 8);
  }
  {
    SCOPED_TRACE("a rectangle from (-3, -2): source (0, 0) lands at (3, 2)");
    ExpectClip(ClipOf(dst, src, {-3, -2, 5, 4}, 0, 0), {0, 2, 5, 6}, 3, 4);
  }
  const Clip none = ClipOf(dst, src, {0, 0, 8, 6}, 10, 0);
  EXPECT_EQ(none.result, 0);
  EXPECT_EQ(none.rect.right, 0);
  EXPECT_EQ(none.x, 0);
}

TEST(FrameBitmapStretchFrom, FillsTheWholeDestinationAndRefusesRectanglesOutsideIt) {
  FrameBitmap src, dst;
  ASSERT_EQ(src.Create(4, 4, 8), 1);
  ASSERT_EQ(dst.Create(8, 8, 8), 1);
  for (int r = 0; r < 4; ++r) {
    for (int x = 0; x < 4; ++x) *Pixel(src, x, r) = static_cast<uint8_t>(10 * r + x);
  }
  EXPECT_TRUE(dst.StretchFrom(StretchGray8, &src, nullptr, nullptr));
  for (int r = 0; r < 8; ++r) {
    for (int x = 0; x < 8; ++x) ASSERT_EQ(*Pixel(dst, x, r), 10 * (r / 2) + x / 2);
  }
  const PixelRect outside{4, 4, 9, 8};
  EXPECT_FALSE(dst.StretchFrom(StretchGray8, &src, nullptr, &outside));
  EXPECT_FALSE(dst.StretchFrom(nullptr, &src, nullptr, nullptr));
  FrameBitmap empty;
  EXPECT_FALSE(dst.StretchFrom(StretchGray8, &empty, nullptr, nullptr));
}

TEST(FrameBitmapBlitFrom, ConvertsDepthsThroughTheSurfaces) {
  FrameBitmap grey, colour;
  ASSERT_EQ(grey.Create(5, 3, 8), 1);
  ASSERT_EQ(colour.Create(5, 3, 24), 1);
  for (int r = 0; r < 3; ++r) {
    for (int x = 0; x < 5; ++x) *Pixel(grey, x, r) = static_cast<uint8_t>(40 * r + x);
  }
  // Through the grey ramp, index v becomes (v, v, v).
  colour.BlitFrom(&grey, nullptr, 0, 0);
  for (int r = 0; r < 3; ++r) {
    for (int x = 0; x < 5; ++x) {
      const uint8_t v = static_cast<uint8_t>(40 * r + x);
      ASSERT_EQ(std::vector<uint8_t>(Pixel(colour, x, r), Pixel(colour, x, r) + 3),
                (std::vector<uint8_t>{v, v, v}));
    }
  }
  // Through another table, index 41 (memory row 1, column 1) takes that table's colour.
  const platform::RgbQuad red = {0, 0, 200, 0};
  grey.SetColorTable(FrameBitmap::kCallerTable, &red, 41, 1);
  colour.BlitFrom(&grey, nullptr, 0, 0);
  EXPECT_EQ(std::vector<uint8_t>(Pixel(colour, 1, 1), Pixel(colour, 1, 1) + 3),
            (std::vector<uint8_t>{0, 0, 200}));

  // 32 bits to 24: the fourth byte is dropped.
  FrameBitmap wide, narrow;
  ASSERT_EQ(wide.Create(2, 2, 32), 1);
  ASSERT_EQ(narrow.Create(2, 2, 24), 1);
  const uint8_t quad[4] = {9, 8, 7, 6};
  std::memcpy(Pixel(wide, 1, 0), quad, 4);
  narrow.BlitFrom(&wide, nullptr, 0, 0);
  EXPECT_EQ(std::vector<uint8_t>(Pixel(narrow, 1, 0), Pixel(narrow, 1, 0) + 3),
            (std::vector<uint8_t>{9, 8, 7}));

  // A bitmap in plain memory takes part in no surface copy.
  FrameBitmap deep;
  ASSERT_EQ(deep.Create(2, 2, 48), 1);
  Pixel(deep, 0, 0)[0] = 1;
  narrow.BlitFrom(&deep, nullptr, 0, 0);
  deep.BlitFrom(&narrow, nullptr, 0, 0);
  EXPECT_EQ(Pixel(narrow, 1, 0)[0], 9);
  EXPECT_EQ(Pixel(deep, 1, 0)[0], 0);
}

}  // namespace
}  // namespace zelcnv::imaging
