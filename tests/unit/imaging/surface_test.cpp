// The surface seam, held to the same results on every platform.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "platform/surface.h"
#include "test_surface.h"

namespace zelcnv::platform {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(Surfaces, ASectionBelongsToOneDeviceContextAndOutlivesADeleteWhileSelected) {
  Surface a(4, 4, 24);
  ASSERT_TRUE(a.Ready());
  SurfaceDc* other = CreateMemoryDc();
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(SelectDibSection(other, a.Section()), nullptr) << "already held by another DC";
  // Deleting a selected section is refused or deferred; either way it stays usable while held.
  DeleteDibSection(a.Section());
  a.At(0, 0)[0] = 42;
  Surface b(4, 4, 24);
  ASSERT_TRUE(BlitSurface(b.Dc(), 0, 0, 4, 4, a.Dc(), 0, 0));
  EXPECT_EQ(b.At(0, 0)[0], 42);
  EXPECT_TRUE(DeleteMemoryDc(other));
  // A deleted device context takes part in nothing.
  EXPECT_FALSE(BlitSurface(a.Dc(), 0, 0, 1, 1, other, 0, 0));
  uint8_t* bits = nullptr;
  BitmapInfo deep = {};
  deep.bmiHeader = {kBitmapInfoHeaderSize, 4, 4, 1, 48, kBitmapCompressionRgb, 0, 0, 0, 0, 0};
  EXPECT_EQ(CreateDibSection(nullptr, deep, &bits), nullptr);
  EXPECT_EQ(bits, nullptr);
}

TEST(Surfaces, ColourTablesAreClippedToTheTableAndBelongToEightBitSections) {
  Surface grey(2, 2, 8), colour(2, 2, 24);
  ASSERT_TRUE(grey.Ready() && colour.Ready());
  // The sections were made with the grey ramp.
  RgbQuad back[4] = {};
  EXPECT_EQ(GetDcColorTable(grey.Dc(), 254, 4, back), 2u);
  EXPECT_EQ(back[1].rgbRed, 255);
  EXPECT_EQ(GetDcColorTable(grey.Dc(), 256, 1, back), 0u);
  EXPECT_EQ(GetDcColorTable(colour.Dc(), 0, 1, back), 0u);
}

TEST(Surfaces, BlitsTouchOnlyWhatLiesInsideBothSurfaces) {
  Surface src(4, 4, 24), dst(6, 6, 24);
  ASSERT_TRUE(src.Ready() && dst.Ready());
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      uint8_t* p = src.At(x, y);
      p[0] = static_cast<uint8_t>(x);
      p[1] = static_cast<uint8_t>(y);
      p[2] = 0x77;
    }
  }
  dst.Fill(0x11);
  // Source columns and rows 1..3 exist; 4 and 5 do not.
  BlitSurface(dst.Dc(), 0, 0, 5, 5, src.Dc(), 1, 1);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 6; ++x) {
      const Bytes expected =
          x < 3 && y < 3 ? Bytes{static_cast<uint8_t>(x + 1), static_cast<uint8_t>(y + 1), 0x77}
                         : Bytes{0x11, 0x11, 0x11};
      ASSERT_EQ(dst.PixelAt(x, y), expected) << x << "," << y;
    }
  }
  // Destination pixels beyond its edge are simply not there.
  dst.Fill(0x11);
  BlitSurface(dst.Dc(), 4, 5, 4, 4, src.Dc(), 0, 0);
  EXPECT_EQ(dst.PixelAt(4, 5), (Bytes{0, 0, 0x77}));
  EXPECT_EQ(dst.PixelAt(5, 5), (Bytes{1, 0, 0x77}));
  EXPECT_EQ(dst.PixelAt(3, 5), (Bytes{0x11, 0x11, 0x11}));
  EXPECT_EQ(dst.PixelAt(4, 4), (Bytes{0x11, 0x11, 0x11}));
}

TEST(Surfaces, ANegativeSourceHeightTurnsThePictureUpsideDown) {
  for (uint16_t bits : {8, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    Surface src(3, 4, bits), dst(3, 4, bits);
    ASSERT_TRUE(src.Ready() && dst.Ready());
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 3; ++x) std::memset(src.At(x, y), 10 * y + x, bits / 8);
    }
    ASSERT_TRUE(StretchSurface(dst.Dc(), 0, 0, 3, 4, src.Dc(), 0, 3, 3, -4));
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 3; ++x) {
        ASSERT_EQ(dst.At(x, y)[0], 10 * (3 - y) + x) << x << "," << y;
      }
    }
  }
}

TEST(Surfaces, EqualDepthsCopyBitsAndColourDepthsConvert) {
  Surface grey(2, 1, 8), grey2(2, 1, 8), yuv(2, 1, 16), yuv2(2, 1, 16);
  Surface rgb(2, 1, 24), rgb2(2, 1, 24), quad(2, 1, 32);
  ASSERT_TRUE(grey.Ready() && grey2.Ready() && yuv.Ready() && yuv2.Ready() && rgb.Ready() &&
              rgb2.Ready() && quad.Ready());
  grey.At(1, 0)[0] = 200;
  const uint8_t word[2] = {0x34, 0x92};  // a YUYV sample is copied, not read as a colour
  std::memcpy(yuv.At(1, 0), word, 2);
  const uint8_t colour[3] = {1, 2, 3};
  std::memcpy(rgb.At(1, 0), colour, 3);

  EXPECT_TRUE(BlitSurface(grey2.Dc(), 0, 0, 2, 1, grey.Dc(), 0, 0));
  EXPECT_EQ(grey2.PixelAt(1, 0), Bytes{200});
  EXPECT_TRUE(BlitSurface(yuv2.Dc(), 0, 0, 2, 1, yuv.Dc(), 0, 0));
  EXPECT_EQ(yuv2.PixelAt(1, 0), (Bytes{0x34, 0x92}));
  EXPECT_TRUE(BlitSurface(rgb2.Dc(), 0, 0, 2, 1, rgb.Dc(), 0, 0));
  EXPECT_EQ(rgb2.PixelAt(1, 0), (Bytes{1, 2, 3}));
  EXPECT_TRUE(BlitSurface(rgb2.Dc(), 0, 0, 2, 1, grey.Dc(), 0, 0));
  EXPECT_EQ(rgb2.PixelAt(1, 0), (Bytes{200, 200, 200}));
  EXPECT_TRUE(BlitSurface(quad.Dc(), 0, 0, 2, 1, rgb.Dc(), 0, 0));
  EXPECT_EQ(quad.PixelAt(1, 0), (Bytes{1, 2, 3, 0}));
  std::memcpy(quad.At(0, 0), "\x09\x08\x07\x06", 4);
  EXPECT_TRUE(BlitSurface(rgb2.Dc(), 0, 0, 2, 1, quad.Dc(), 0, 0));
  EXPECT_EQ(rgb2.PixelAt(0, 0), (Bytes{9, 8, 7}));
}

TEST(Surfaces, ThreadsWorkOnTheirOwnSurfacesSideBySide) {
  std::vector<std::thread> threads;
  std::vector<int> ok(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &ok] {
      int good = 0;
      for (int round = 0; round < 25; ++round) {
        Surface grey(16, 8, 8), colour(16, 8, 24);
        grey.At(3, 2)[0] = static_cast<uint8_t>(t + round);
        good += grey.Ready() && colour.Ready() &&
                BlitSurface(colour.Dc(), 0, 0, 16, 8, grey.Dc(), 0, 0) &&
                colour.At(3, 2)[1] == static_cast<uint8_t>(t + round);
      }
      ok[t] = good;
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(ok, std::vector<int>(4, 25));
}

}  // namespace
}  // namespace zelcnv::platform
