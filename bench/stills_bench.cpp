// One save of a 720 x 576 24-bit picture per format, beside the bare library calls that write
// the same pixels with the same settings: the writers' own overhead.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include "imaging/frame_bitmap.h"
#include "imaging/image_writers.h"
#include "imaging/still_image.h"

namespace {

using namespace zelcnv::imaging;

constexpr int kWidth = 720;
constexpr int kHeight = 576;

// A picture with detail and noise, as a camera delivers: blue, green, red rows, padded.
struct BenchPicture {
  int32_t stride = BitmapStride(kWidth, 24);
  std::vector<uint8_t> pixels = std::vector<uint8_t>(size_t(stride) * kHeight);
  BenchPicture() {
    std::mt19937 noise(7);
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth * 3; ++x) {
        pixels[size_t(y) * stride + x] =
            static_cast<uint8_t>((x / 3 * 255 / kWidth + y / 4 + (x % 3) * 40 + noise() % 24));
      }
    }
  }
  PixelView View() const { return {pixels.data(), kWidth, kHeight, stride, 24}; }
};

const BenchPicture& Picture() {
  static const BenchPicture picture;
  return picture;
}

std::string Target(const char* name) {
  return std::string("/tmp/zelcnv-bench-") + name;
}

void BM_JpegOurs(benchmark::State& state) {
  const std::string path = Target("ours.jpg");
  for (auto _ : state) WriteJpegFile(path.c_str(), Picture().View(), int(state.range(0)), true);
}

void BM_JpegBare(benchmark::State& state) {
  const std::string path = Target("bare.jpg");
  const BenchPicture& picture = Picture();
  std::vector<uint8_t> row(kWidth * 3);
  for (auto _ : state) {
    FILE* file = std::fopen(path.c_str(), "wb");
    jpeg_compress_struct c;
    jpeg_error_mgr errors;
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, file);
    c.image_width = kWidth;
    c.image_height = kHeight;
    c.input_components = 3;
    c.in_color_space = JCS_EXT_BGR;  // the library swaps the channels itself
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, int(state.range(0)), TRUE);
    jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    for (int y = kHeight - 1; y >= 0; --y) {
      JSAMPROW rows[1] = {const_cast<JSAMPLE*>(&picture.pixels[size_t(y) * picture.stride])};
      jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(file);
  }
}

void BM_PngOurs(benchmark::State& state) {
  const std::string path = Target("ours.png");
  for (auto _ : state) WritePngFile(path.c_str(), Picture().View());
}

void BM_PngBare(benchmark::State& state) {
  const std::string path = Target("bare.png");
  const BenchPicture& picture = Picture();
  std::vector<png_bytep> rows(kHeight);
  for (int y = 0; y < kHeight; ++y) {
    rows[y] = const_cast<png_bytep>(&picture.pixels[size_t(y) * picture.stride]);
  }
  for (auto _ : state) {
    FILE* file = std::fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
  }
}

void BM_TiffOurs(benchmark::State& state) {
  const std::string path = Target("ours.tif");
  for (auto _ : state) WriteTiffFile(path.c_str(), Picture().View(), 8, 3);
}

void BM_TiffBare(benchmark::State& state) {
  const std::string path = Target("bare.tif");
  const BenchPicture& picture = Picture();
  for (auto _ : state) {
    // The library wants red first: a bare caller swaps too, into a buffer of its own.
    std::vector<uint8_t> rgb(size_t(kWidth) * 3 * kHeight);
    for (int y = 0; y < kHeight; ++y) {
      const uint8_t* source = &picture.pixels[size_t(y) * picture.stride];
      uint8_t* target = &rgb[size_t(y) * kWidth * 3];
      for (int x = 0; x < kWidth * 3; x += 3) {
        target[x] = source[x + 2];
        target[x + 1] = source[x + 1];
        target[x + 2] = source[x];
      }
    }
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(kWidth));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(kHeight));
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(3));
    TIFFWriteEncodedStrip(tiff, 0, rgb.data(), tmsize_t(rgb.size()));
    TIFFClose(tiff);
  }
}

// SaveImageFile per file type code, from a 24-bit picture held bottom row first, as the camera
// saves: the per-format temporary and kernel, then the writer. Set beside the bare calls above.
void BM_SaveImageFile(benchmark::State& state) {
  const BenchPicture& picture = Picture();
  FrameBitmap live;
  live.Create(kWidth, kHeight, 24);
  for (int y = 0; y < kHeight; ++y) {
    std::copy_n(&picture.pixels[size_t(y) * picture.stride], kWidth * 3,
                live.Bits() + size_t(kHeight - 1 - y) * live.Stride());
  }
  const uint32_t code = uint32_t(state.range(0));
  const std::string path = Target(("code" + std::to_string(code)).c_str());
  for (auto _ : state) SaveImageFile(path.c_str(), &live, code);
}

BENCHMARK(BM_SaveImageFile)->DenseRange(0, 6)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegOurs)->Arg(100)->Arg(70)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegBare)->Arg(100)->Arg(70)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngBare)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TiffOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TiffBare)->Unit(benchmark::kMillisecond);

}  // namespace
