// JPEG, PNG and TIFF files as the libraries' own readers and the standard tools see them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>
#include <unistd.h>

#include "imaging/image_writers.h"
#include "test_files.h"

namespace zelcnv::imaging {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::RunCommand;

// A picture in bitmap memory layout with every pixel telling where it is, so that a flipped or
// sheared file shows. `bottomUp`: memory row 0 holds the picture's bottom row.
struct Picture {
  int width, height, bitCount;
  bool bottomUp;
  std::vector<uint8_t> memory;
  int32_t stride;

  Picture(int w, int h, int bits, bool bottomUpRows)
      : width(w), height(h), bitCount(bits), bottomUp(bottomUpRows), stride(BitmapStride(w, bits)) {
    memory.assign(size_t(stride) * h, 0xEE);  // padding bytes that must never reach a file
    for (int y = 0; y < h; ++y) {
      uint8_t* row = Row(y);
      const int bytes = bits / 8;
      for (int i = 0; i < w * bytes; ++i) {
        // Smooth enough for JPEG, with a bright band at the top of the picture.
        const int x = i / bytes, channel = i % bytes;
        row[i] = static_cast<uint8_t>(y < h / 4 ? 230 - channel * 9
                                                : 40 + x * 120 / w + y * 60 / h + channel * 13);
      }
    }
  }
  // Picture row `y` (0 = top).
  uint8_t* Row(int y) { return memory.data() + size_t(bottomUp ? height - 1 - y : y) * stride; }
  PixelView View() const { return {memory.data(), width, height, stride, bitCount}; }
};

// What the standard reader makes of a file: "MODE W H FORMAT PROGRESSIVE" and the pixels.
struct Probed {
  std::string header;
  std::vector<uint8_t> pixels;
};

bool ReaderAvailable() {
  return testing::ImageReaderAvailable();
}

Probed Probe(const std::string& path) {
  auto [header, pixels] = testing::ProbeImage(ZELCNV_IMAGE_PROBE, path);
  return {header, pixels};
}

class ImageWritersTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) {
    fs::create_directories(dir_);
    return (dir_ / name).string();
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_ = fs::temp_directory_path() / ("zelcnv-stills-" + std::to_string(::getpid()));
};

// The picture as a reader returns it: top row first, red first, no padding.
std::vector<uint8_t> TopDownRgb(Picture& picture) {
  std::vector<uint8_t> out;
  const int bytes = picture.bitCount / 8;
  for (int y = 0; y < picture.height; ++y) {
    const uint8_t* row = picture.Row(y);
    for (int x = 0; x < picture.width; ++x) {
      if (bytes == 1) {
        out.push_back(row[x]);
      } else {
        out.push_back(row[bytes * x + 2]);
        out.push_back(row[bytes * x + 1]);
        out.push_back(row[bytes * x]);
        if (bytes == 4) out.push_back(row[bytes * x + 3]);
      }
    }
  }
  return out;
}

double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  double error = 0;
  for (size_t i = 0; i < a.size(); ++i) error += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
  if (error == 0) return 99;
  return 10 * std::log10(255.0 * 255.0 * a.size() / error);
}

// The same picture written with bare library calls: what our writer must match byte for byte.
void BareJpeg(const std::string& path, Picture& picture, int quality) {
  FILE* file = std::fopen(path.c_str(), "wb");
  jpeg_compress_struct c;
  jpeg_error_mgr errors;
  c.err = jpeg_std_error(&errors);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, file);
  c.image_width = picture.width;
  c.image_height = picture.height;
  c.input_components = picture.bitCount / 8;
  c.in_color_space = picture.bitCount == 8 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> rgb = TopDownRgb(picture);
  for (int y = 0; y < picture.height; ++y) {
    JSAMPROW row = &rgb[size_t(y) * picture.width * c.input_components];
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::fclose(file);
}

TEST_F(ImageWritersTest, JpegIsProgressiveUprightAndMatchesTheBareLibrary) {
  for (int bits : {8, 24}) {
    Picture picture(97, 61, bits, true);
    for (int quality : {100, 70, 20}) {
      const std::string ours = Path("ours.jpg"), bare = Path("bare.jpg");
      ASSERT_EQ(WriteJpegFile(ours.c_str(), picture.View(), quality, true), 1);
      BareJpeg(bare, picture, quality);
      const std::vector<uint8_t> file = ReadFile(ours);
      EXPECT_EQ(file, ReadFile(bare)) << bits << " bits, quality " << quality;
      const uint8_t sof2[2] = {0xFF, 0xC2};
      EXPECT_NE(std::search(file.begin(), file.end(), sof2, sof2 + 2), file.end())
          << "progressive frame marker";
    }
    if (!ReaderAvailable()) continue;
    const std::string path = Path("q100.jpg");
    ASSERT_EQ(WriteJpegFile(path.c_str(), picture.View(), 100, true), 1);
    Probed probed = Probe(path);
    EXPECT_EQ(probed.header, std::string(bits == 8 ? "L" : "RGB") + " 97 61 JPEG 1");
    std::vector<uint8_t> expected = TopDownRgb(picture);
    ASSERT_EQ(probed.pixels.size(), expected.size());
    EXPECT_GE(Psnr(probed.pixels, expected), 30.0) << bits << " bits";
  }
}

TEST_F(ImageWritersTest, PngStoresEveryDepthExactlyWithTheTopRowFirst) {
  for (int bits : {8, 16, 24, 32, 48, 64}) {
    Picture picture(7, 5, bits, false);
    const std::string path = Path("p" + std::to_string(bits) + ".png");
    ASSERT_EQ(WritePngFile(path.c_str(), picture.View()), 1) << bits;
    // Read back with the library: rows as stored, 16-bit samples big-endian, red first.
    FILE* file = std::fopen(path.c_str(), "rb");
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    EXPECT_EQ(png_get_image_width(png, info), 7u);
    EXPECT_EQ(png_get_image_height(png, info), 5u);
    const int channels = png_get_channels(png, info);
    const int depth = png_get_bit_depth(png, info);
    EXPECT_EQ(channels * depth, bits);
    png_bytepp rows = png_get_rows(png, info);
    const int bytes = bits / 8, sampleBytes = depth / 8;
    for (int y = 0; y < 5; ++y) {
      const uint8_t* source = picture.Row(y);
      for (int x = 0; x < 7; ++x) {
        for (int c = 0; c < channels; ++c) {
          // Channel c of the file is blue/green/red swapped back to red/green/blue order.
          const int sourceChannel = channels >= 3 && c < 3 ? 2 - c : c;
          for (int b = 0; b < sampleBytes; ++b) {
            const uint8_t stored = rows[y][(x * channels + c) * sampleBytes + b];
            const uint8_t held =
                source[x * bytes + sourceChannel * sampleBytes + (sampleBytes == 2 ? 1 - b : 0)];
            ASSERT_EQ(stored, held) << bits << " bits at " << x << "," << y;
          }
        }
      }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    int status = -1;
    RunCommand("pngcheck -q '" + path + "' >/dev/null 2>&1", &status);
    if (status != -1 && ReaderAvailable()) {
      EXPECT_EQ(status, 0) << "pngcheck, " << bits << " bits";
    }
  }
}

TEST_F(ImageWritersTest, PngSampleBytesAreBigEndian) {
  Picture picture(3, 2, 16, false);
  picture.Row(0)[0] = 0x30;  // the little-endian sample 0x1230
  picture.Row(0)[1] = 0x12;
  const std::string path = Path("sample.png");
  ASSERT_EQ(WritePngFile(path.c_str(), picture.View()), 1);
  FILE* file = std::fopen(path.c_str(), "rb");
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, file);
  png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_bytepp rows = png_get_rows(png, info);
  EXPECT_EQ(rows[0][0], 0x12);
  EXPECT_EQ(rows[0][1], 0x30);
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(file);
}

TEST_F(ImageWritersTest, TiffIsOnePackedUncompressedStripPerDepth) {
  struct Case {
    int bitCount, bitsPerSample, samples;
  };
  for (Case c : {Case{8, 8, 1}, Case{16, 16, 1}, Case{24, 8, 3}, Case{32, 8, 4}, Case{48, 16, 3},
                 Case{64, 16, 4}}) {
    // Width 7: none of these row lengths is a multiple of 4, so padded rows would shear.
    Picture picture(7, 5, c.bitCount, false);
    const std::string path = Path("t" + std::to_string(c.bitCount) + ".tif");
    ASSERT_EQ(WriteTiffFile(path.c_str(), picture.View(), c.bitsPerSample, c.samples), 1);
    TIFF* tiff = TIFFOpen(path.c_str(), "rc");  // "c": the strip is not split on reading
    ASSERT_NE(tiff, nullptr);
    uint32_t width = 0, height = 0;
    uint16_t bits = 0, samples = 0, compression = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(tiff, TIFFTAG_COMPRESSION, &compression);
    EXPECT_EQ(width, 7u);
    EXPECT_EQ(height, 5u);
    EXPECT_EQ(bits, c.bitsPerSample);
    EXPECT_EQ(samples, c.samples);
    EXPECT_EQ(compression, COMPRESSION_NONE);
    EXPECT_EQ(TIFFNumberOfStrips(tiff), 1u);
    const size_t packed = size_t(7) * c.bitCount / 8;
    std::vector<uint8_t> strip(packed * 5);
    ASSERT_EQ(TIFFReadEncodedStrip(tiff, 0, strip.data(), tmsize_t(strip.size())),
              tmsize_t(strip.size()));
    for (int y = 0; y < 5; ++y) {
      EXPECT_EQ(std::memcmp(&strip[y * packed], picture.Row(y), packed), 0) << "row " << y;
    }
    TIFFClose(tiff);
    int status = -1;
    RunCommand("tiffinfo '" + path + "' >/dev/null 2>&1", &status);
    if (ReaderAvailable()) {
      EXPECT_EQ(status, 0) << "tiffinfo, " << c.bitCount << " bits";
    }
  }
}

TEST_F(ImageWritersTest, StandardReaderSeesModeSizeAndTheTopRowOnTop) {
  if (!ReaderAvailable()) GTEST_SKIP() << "no standard image reader here";
  Picture grey(9, 6, 8, false), colour(9, 6, 24, false), alpha(9, 6, 32, false);
  for (auto [picture, mode] : {std::pair{&grey, "L"}, {&colour, "RGB"}, {&alpha, "RGBA"}}) {
    const std::string png = Path(std::string(mode) + ".png");
    ASSERT_EQ(WritePngFile(png.c_str(), picture->View()), 1);
    Probed probed = Probe(png);
    EXPECT_EQ(probed.header, std::string(mode) + " 9 6 PNG 0");
    EXPECT_EQ(probed.pixels, TopDownRgb(*picture)) << mode;
    const std::string tif = Path(std::string(mode) + ".tif");
    const int samples = picture->bitCount / 8;
    // TIFF wants red first: swap the picture's blue and red for the file.
    Picture swapped = *picture;
    for (int y = 0; samples >= 3 && y < 6; ++y) {
      for (int x = 0; x < 9; ++x)
        std::swap(swapped.Row(y)[x * samples], swapped.Row(y)[x * samples + 2]);
    }
    ASSERT_EQ(WriteTiffFile(tif.c_str(), swapped.View(), 8, samples, samples == 4), 1);
    probed = Probe(tif);
    EXPECT_EQ(probed.header, std::string(mode) + " 9 6 TIFF 0");
    EXPECT_EQ(probed.pixels, TopDownRgb(*picture)) << mode;
  }
}

TEST_F(ImageWritersTest, FailedWritesAndBadArgumentsReportZero) {
  Picture picture(64, 48, 24, true);
  const std::string missing = (dir_ / "missing" / "x").string();
  EXPECT_EQ(WriteJpegFile(missing.c_str(), picture.View(), 100, true), 0);
  EXPECT_EQ(WritePngFile(missing.c_str(), picture.View()), 0);
  EXPECT_EQ(WriteTiffFile(missing.c_str(), picture.View(), 8, 3), 0);
  EXPECT_EQ(WriteJpegFile(nullptr, picture.View(), 100, true), 0);
  Picture odd(5, 5, 40, false);
  EXPECT_EQ(WritePngFile(Path("bad.png").c_str(), odd.View()), 0) << "no PNG of 40-bit pixels";
  EXPECT_EQ(WriteJpegFile(Path("bad.jpg").c_str(), odd.View(), 100, true), 0);
  if (fs::exists("/dev/full")) {
    // A full disk: the libraries' errors end the save, never the process.
    EXPECT_EQ(WriteJpegFile("/dev/full", picture.View(), 100, true), 0);
    EXPECT_EQ(WritePngFile("/dev/full", picture.View()), 0);
    EXPECT_EQ(WriteTiffFile("/dev/full", picture.View(), 8, 3), 0);
  }
}

TEST_F(ImageWritersTest, NegativeStridesDescribeTheOtherRowOrderAndShortStridesAreRefused) {
  // The same picture stored in the other row order, seen from its last memory row with the
  // stride negated: every writer produces the same file as from the first layout.
  for (int bits : {8, 24, 48}) {
    Picture forward(37, 21, bits, bits <= 24);
    Picture reversed(37, 21, bits, bits > 24);
    const PixelView flipped = {
        reversed.memory.data() + size_t(reversed.height - 1) * reversed.stride, reversed.width,
        reversed.height, -reversed.stride, bits};
    const std::string tag = std::to_string(bits);
    if (bits <= 24) {
      ASSERT_EQ(WriteJpegFile(Path("a" + tag + ".jpg").c_str(), forward.View(), 90, true), 1);
      ASSERT_EQ(WriteJpegFile(Path("b" + tag + ".jpg").c_str(), flipped, 90, true), 1);
      EXPECT_EQ(ReadFile(Path("a" + tag + ".jpg")), ReadFile(Path("b" + tag + ".jpg"))) << bits;
    }
    Picture top(37, 21, bits, false), bottom(37, 21, bits, true);
    const PixelView upside = {bottom.memory.data() + size_t(bottom.height - 1) * bottom.stride,
                              bottom.width, bottom.height, -bottom.stride, bits};
    ASSERT_EQ(WritePngFile(Path("a" + tag + ".png").c_str(), top.View()), 1);
    ASSERT_EQ(WritePngFile(Path("b" + tag + ".png").c_str(), upside), 1);
    EXPECT_EQ(ReadFile(Path("a" + tag + ".png")), ReadFile(Path("b" + tag + ".png"))) << bits;
    const int samples = bits == 8 ? 1 : 3, sampleBits = bits == 48 ? 16 : 8;
    ASSERT_EQ(WriteTiffFile(Path("a" + tag + ".tif").c_str(), top.View(), sampleBits, samples), 1);
    ASSERT_EQ(WriteTiffFile(Path("b" + tag + ".tif").c_str(), upside, sampleBits, samples), 1);
    EXPECT_EQ(ReadFile(Path("a" + tag + ".tif")), ReadFile(Path("b" + tag + ".tif"))) << bits;
  }
  // Rows closer together than their pixels would be read past the picture's end.
  Picture picture(64, 48, 24, true);
  PixelView overlapping = picture.View();
  overlapping.stride = 64 * 3 - 1;
  EXPECT_EQ(WriteJpegFile(Path("short.jpg").c_str(), overlapping, 90, true), 0);
  EXPECT_EQ(WritePngFile(Path("short.png").c_str(), overlapping), 0);
  EXPECT_EQ(WriteTiffFile(Path("short.tif").c_str(), overlapping, 8, 3), 0);
}

TEST_F(ImageWritersTest, PngSavesFromTwoThreadsAtOnceAreBothValid) {
  Picture picture(320, 240, 24, false);
  const std::string a = Path("a.png"), b = Path("b.png");
  int resultA = 0, resultB = 0;
  std::thread first([&] {
    for (int i = 0; i < 10; ++i) resultA += WritePngFile(a.c_str(), picture.View());
  });
  std::thread second([&] {
    for (int i = 0; i < 10; ++i) resultB += WritePngFile(b.c_str(), picture.View());
  });
  first.join();
  second.join();
  EXPECT_EQ(resultA, 10);
  EXPECT_EQ(resultB, 10);
  EXPECT_EQ(ReadFile(a), ReadFile(b));
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, a.c_str()));
  EXPECT_EQ(image.width, 320u);
  png_image_free(&image);
}

}  // namespace
}  // namespace zelcnv::imaging
