// Saving a live (bottom-up) bitmap by file type code: layouts, orientation in every format, what
// standard readers see, and failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <png.h>
#include <tiffio.h>
#include <unistd.h>

#include "imaging/frame_bitmap.h"
#include "imaging/still_image.h"
#include "test_files.h"

namespace zelcnv::imaging {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::RunCommand;

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24;
}

// A live bitmap whose picture is asymmetric top to bottom: byte i of picture row y holds
// (y * 31 + i * 7) & 0xFF, so every row differs and a flip shows.
void Fill(FrameBitmap& bitmap) {
  const int bytes = bitmap.Width() * bitmap.BitsPerPixel() / 8;
  for (int y = 0; y < bitmap.Height(); ++y) {
    uint8_t* row = bitmap.Bits() + size_t(bitmap.Height() - 1 - y) * bitmap.Stride();
    for (int i = 0; i < bytes; ++i) row[i] = static_cast<uint8_t>(y * 31 + i * 7);
  }
}

// Picture row `y` of a live bitmap.
const uint8_t* PictureRow(const FrameBitmap& bitmap, int y) {
  return bitmap.Bits() + size_t(bitmap.Height() - 1 - y) * bitmap.Stride();
}

class StillImageTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) {
    fs::create_directories(dir_);
    return (dir_ / name).string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Saves a live bitmap as the camera does: the picture as it is, the code's path.
  int Save(const FrameBitmap& live, const std::string& path, uint32_t code) {
    return SaveImageFile(path.c_str(), &live, code);
  }

  fs::path dir_ = fs::temp_directory_path() / ("zelcnv-save-" + std::to_string(::getpid()));
};

TEST_F(StillImageTest, BmpLayoutForGreyAndColour) {
  FrameBitmap grey, colour;
  ASSERT_TRUE(grey.Create(640, 480, 8));
  ASSERT_TRUE(colour.Create(640, 480, 24));
  Fill(grey);
  Fill(colour);
  ASSERT_EQ(Save(grey, Path("grey.bmp"), kFileBmp), 1);
  ASSERT_EQ(Save(colour, Path("colour.bmp"), kFileBmp), 1);
  std::vector<uint8_t> file = ReadFile(Path("grey.bmp"));
  ASSERT_EQ(file.size(), 308278u);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(U32(file, 2), 308278u);
  EXPECT_EQ(U32(file, 10), 1078u);
  EXPECT_EQ(U32(file, 14), 40u);
  EXPECT_EQ(U32(file, 18), 640u);
  EXPECT_EQ(U32(file, 22), 480u);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(file[54 + 4 * i], i);
    EXPECT_EQ(file[54 + 4 * i + 1], i);
    EXPECT_EQ(file[54 + 4 * i + 2], i);
  }
  // The last stored row is the top of the picture.
  EXPECT_EQ(std::memcmp(&file[1078 + 479 * 640], PictureRow(grey, 0), 640), 0);
  file = ReadFile(Path("colour.bmp"));
  EXPECT_EQ(file.size(), 921654u);
  EXPECT_EQ(U32(file, 10), 54u);
}

TEST_F(StillImageTest, RawIsStrideRowsTopFirst) {
  FrameBitmap bitmap;
  ASSERT_TRUE(bitmap.Create(3, 2, 24));
  Fill(bitmap);
  ASSERT_EQ(Save(bitmap, Path("x.raw"), kFileRaw), 1);
  std::vector<uint8_t> file = ReadFile(Path("x.raw"));
  ASSERT_EQ(file.size(), 24u);
  EXPECT_EQ(std::memcmp(&file[0], PictureRow(bitmap, 0), 9), 0);
  EXPECT_EQ(std::memcmp(&file[12], PictureRow(bitmap, 1), 9), 0);
}

// Two-byte pixels are YUYV pairs, which a still holds as the colour they carry (or raw): the
// image formats refuse them as they stand.
TEST_F(StillImageTest, PngInvertsTheFourthByteAndTwoBytePixelsAreOnlyRawOrBmp) {
  FrameBitmap pairs, colour32;
  ASSERT_TRUE(pairs.Create(4, 2, 16));
  ASSERT_TRUE(colour32.Create(4, 2, 32));
  for (uint32_t code = kFileJpegBest; code <= kFileTiff; ++code) {
    EXPECT_EQ(Save(pairs, Path("p"), code), 0) << code;
  }
  EXPECT_EQ(Save(pairs, Path("p.raw"), kFileRaw), 1);
  EXPECT_EQ(Save(pairs, Path("p.bmp"), kFileBmp), 1);
  ASSERT_EQ(Save(colour32, Path("c.png"), kFilePng), 1);
  for (auto [name, expected0, expected1] : {std::tuple{"c.png", 0, 0}}) {
    FILE* file = std::fopen(Path(name).c_str(), "rb");
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_bytepp rows = png_get_rows(png, info);
    EXPECT_EQ(rows[0][0], expected0) << name;
    EXPECT_EQ(rows[0][1], expected1) << name;
    if (std::string(name) == "c.png") {
      EXPECT_EQ(rows[0][3], 255) << "alpha of fourth byte 0";
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
  }
}

TEST_F(StillImageTest, TiffOfColour32HasAZeroFourthSample) {
  FrameBitmap bitmap;
  ASSERT_TRUE(bitmap.Create(5, 3, 32));
  Fill(bitmap);
  ASSERT_EQ(Save(bitmap, Path("c.tif"), kFileTiff), 1);
  TIFF* tiff = TIFFOpen(Path("c.tif").c_str(), "rc");
  ASSERT_NE(tiff, nullptr);
  uint16_t samples = 0;
  TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
  EXPECT_EQ(samples, 4);
  uint16_t extraCount = 0;
  uint16_t* extra = nullptr;
  ASSERT_EQ(TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extra), 1);
  ASSERT_EQ(extraCount, 1);
  EXPECT_EQ(extra[0], EXTRASAMPLE_UNSPECIFIED) << "taken for alpha, 0 would be transparent";
  std::vector<uint8_t> strip(5 * 4 * 3);
  ASSERT_EQ(TIFFReadEncodedStrip(tiff, 0, strip.data(), tmsize_t(strip.size())),
            tmsize_t(strip.size()));
  TIFFClose(tiff);
  const uint8_t* top = PictureRow(bitmap, 0);
  EXPECT_EQ(strip[0], top[2]) << "red first";
  EXPECT_EQ(strip[2], top[0]);
  for (int p = 0; p < 15; ++p) EXPECT_EQ(strip[4 * p + 3], 0) << p;
}

TEST_F(StillImageTest, EveryDepthKeepsItsOrientationInEveryReader) {
  if (!testing::ImageReaderAvailable()) GTEST_SKIP() << "no standard image reader here";
  struct Case {
    int bits;
    const char* pngMode;
    const char* tiffMode;
    const char* jpegMode;
  };
  for (Case c :
       {Case{8, "L", "L", "L"}, Case{24, "RGB", "RGB", "RGB"}, Case{32, "RGBA", "RGBX", "RGB"}}) {
    FrameBitmap live;
    ASSERT_TRUE(live.Create(13, 7, uint16_t(c.bits)));
    Fill(live);
    const std::string stem = Path("d" + std::to_string(c.bits));
    ASSERT_EQ(Save(live, stem + ".png", kFilePng), 1);
    ASSERT_EQ(Save(live, stem + ".tif", kFileTiff), 1);
    ASSERT_EQ(Save(live, stem + ".jpg", kFileJpegBest), 1);
    ASSERT_EQ(Save(live, stem + ".bmp", kFileBmp), 1);
    auto png = testing::ProbeImage(ZELCNV_IMAGE_PROBE, stem + ".png");
    EXPECT_EQ(png.first, std::string(c.pngMode) + " 13 7 PNG 0") << c.bits;
    auto tif = testing::ProbeImage(ZELCNV_IMAGE_PROBE, stem + ".tif");
    EXPECT_EQ(tif.first, std::string(c.tiffMode) + " 13 7 TIFF 0") << c.bits;
    auto jpg = testing::ProbeImage(ZELCNV_IMAGE_PROBE, stem + ".jpg");
    EXPECT_EQ(jpg.first, std::string(c.jpegMode) + " 13 7 JPEG 1") << c.bits;
    auto bmp = testing::ProbeImage(ZELCNV_IMAGE_PROBE, stem + ".bmp");
    EXPECT_NE(bmp.first.find(" 13 7 BMP"), std::string::npos) << c.bits << ": " << bmp.first;
    if (c.bits == 8 || c.bits == 24) {
      // Exact pixels, top row first, red first for colour.
      std::vector<uint8_t> expected;
      for (int y = 0; y < 7; ++y) {
        const uint8_t* row = PictureRow(live, y);
        for (int x = 0; x < 13; ++x) {
          if (c.bits == 8) {
            expected.push_back(row[x]);
          } else {
            expected.insert(expected.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
          }
        }
      }
      EXPECT_EQ(png.second, expected) << c.bits;
      EXPECT_EQ(tif.second, expected) << c.bits;
      EXPECT_EQ(bmp.second, expected) << c.bits;
    }
    int status;
    RunCommand("pngcheck -q '" + stem + ".png' >/dev/null 2>&1", &status);
    EXPECT_EQ(status, 0) << "pngcheck " << c.bits;
    RunCommand("tiffinfo '" + stem + ".tif' >/dev/null 2>&1", &status);
    EXPECT_EQ(status, 0) << "tiffinfo " << c.bits;
  }
}

// 48- and 64-bit pictures hold 16-bit channels over the whole range (each 8-bit value times 257):
// PNG and TIFF keep them, red first; JPEG narrows them to their high bytes; BMP keeps its depth.
TEST_F(StillImageTest, SixteenBitChannelsKeepTheirRangeInEveryFormat) {
  for (int bits : {48, 64}) {
    SCOPED_TRACE(bits);
    const int channels = bits / 16, width = 5, height = 3;
    FrameBitmap live;
    ASSERT_TRUE(live.Create(width, height, uint16_t(bits)));
    auto channel = [](int x, int y, int k) { return uint8_t(30 * y + 12 * x + 50 * k); };
    for (int y = 0; y < height; ++y) {
      uint16_t* row = reinterpret_cast<uint16_t*>(const_cast<uint8_t*>(PictureRow(live, y)));
      for (int x = 0; x < width; ++x) {
        for (int k = 0; k < 3; ++k) row[channels * x + k] = uint16_t(channel(x, y, k) * 257);
        if (channels == 4) row[4 * x + 3] = 0xFFFF;
      }
    }
    const std::string stem = Path("w" + std::to_string(bits));
    ASSERT_EQ(Save(live, stem + ".png", kFilePng), 1);
    ASSERT_EQ(Save(live, stem + ".tif", kFileTiff), 1);
    ASSERT_EQ(Save(live, stem + ".jpg", kFileJpegBest), 1);
    ASSERT_EQ(Save(live, stem + ".bmp", kFileBmp), 1);

    FILE* file = std::fopen((stem + ".png").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_bytepp rows = png_get_rows(png, info);
    EXPECT_EQ(png_get_bit_depth(png, info), 16);
    TIFF* tiff = TIFFOpen((stem + ".tif").c_str(), "rc");
    ASSERT_NE(tiff, nullptr);
    std::vector<uint16_t> strip(size_t(width) * height * channels);
    ASSERT_EQ(TIFFReadEncodedStrip(tiff, 0, strip.data(), tmsize_t(strip.size() * 2)),
              tmsize_t(strip.size() * 2));
    TIFFClose(tiff);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        for (int k = 0; k < channels; ++k) {
          // Red, green, blue, then the opaque fourth channel.
          const int want = k < 3 ? channel(x, y, 2 - k) * 257 : 0xFFFF;
          const uint8_t* sample = rows[y] + 2 * (channels * x + k);
          ASSERT_EQ(sample[0] << 8 | sample[1], want) << "PNG " << x << "," << y << " " << k;
          ASSERT_EQ(strip[size_t(channels) * (size_t(y) * width + x) + k], want) << "TIFF";
        }
      }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);

    const std::vector<uint8_t> bmp = ReadFile(stem + ".bmp");
    ASSERT_GE(bmp.size(), 54u + size_t(live.Stride()) * height);
    EXPECT_EQ(bmp[28], bits) << "its own depth";
    EXPECT_EQ(std::memcmp(&bmp[54], live.Bits(), size_t(live.Stride()) * height), 0);

    if (testing::ImageReaderAvailable()) {
      const auto jpg = testing::ProbeImage(ZELCNV_IMAGE_PROBE, stem + ".jpg");
      ASSERT_EQ(jpg.first, "RGB 5 3 JPEG 1");
      ASSERT_EQ(jpg.second.size(), size_t(width) * height * 3);
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(jpg.second[size_t(3) * (size_t(y) * width + x) + k], channel(x, y, 2 - k),
                        12)
                << "JPEG " << x << "," << y << " " << k;
          }
        }
      }
    }
  }
}

TEST_F(StillImageTest, UnknownCodesMissingDirectoriesAndFullDisksReportZero) {
  FrameBitmap bitmap;
  ASSERT_TRUE(bitmap.Create(64, 48, 24));
  Fill(bitmap);
  EXPECT_EQ(Save(bitmap, Path("seven"), 7), 0);
  EXPECT_EQ(Save(bitmap, Path("minus"), uint32_t(-1)), 0);
  EXPECT_FALSE(fs::exists(Path("seven")));
  EXPECT_FALSE(fs::exists(Path("minus")));
  const std::string missing = (dir_ / "missing" / "x").string();
  for (uint32_t code = 0; code <= kFileTiff; ++code) EXPECT_EQ(Save(bitmap, missing, code), 0);
  EXPECT_EQ(SaveImageFile(Path("null").c_str(), nullptr, kFilePng), 0);
  FrameBitmap empty;
  EXPECT_EQ(SaveImageFile(Path("empty").c_str(), &empty, kFilePng), 0);
  if (fs::exists("/dev/full")) {
    for (uint32_t code = 0; code <= kFileTiff; ++code) {
      EXPECT_EQ(Save(bitmap, "/dev/full", code), 0) << "code " << code;
    }
  }
}

TEST_F(StillImageTest, ABmpWhoseSizesWouldPassFourGigabytesIsRefused) {
  if (sizeof(void*) < 8) GTEST_SKIP() << "needs a 64-bit address space";
  // 4 GiB and a quarter of pixels, never touched: the file's 32-bit sizes cannot describe it.
  FrameBitmap huge;
  if (!huge.Create(65536, 16400, 32)) GTEST_SKIP() << "no memory for the picture";
  EXPECT_EQ(SaveBmp(huge, Path("huge.bmp").c_str()), 0);
  EXPECT_FALSE(fs::exists(Path("huge.bmp"))) << "refused before anything is written";
}

}  // namespace
}  // namespace zelcnv::imaging
