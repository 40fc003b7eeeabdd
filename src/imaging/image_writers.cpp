// JPEG, PNG and TIFF writers on top of the image libraries.
#include "imaging/image_writers.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

namespace zelcnv::imaging {

int32_t BitmapStride(int32_t width, int bitCount) {
  return (width * (bitCount / 8) + 3) & ~3;
}

namespace {

// Rows must not overlap: a stride shorter than a row's pixels would read past the picture.
bool RowsFit(const PixelView& picture, size_t rowBytes) {
  const int64_t stride = picture.stride;
  return static_cast<uint64_t>(stride < 0 ? -stride : stride) >= rowBytes;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// JPEG

namespace {

// The library's error manager, with a way back to the save instead of exiting the process.
struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf recovery;
};

void JpegErrorExit(j_common_ptr compressor) {
  std::longjmp(reinterpret_cast<JpegErrors*>(compressor->err)->recovery, 1);
}

void JpegQuiet(j_common_ptr, int) {}

}  // namespace

bool WriteJpegFile(const char* fileName, const PixelView& picture, int quality, bool progressive) {
  if (fileName == nullptr || picture.rows == nullptr || picture.width <= 0 || picture.height <= 0 ||
      (picture.bitCount != 8 && picture.bitCount != 24)) {
    return false;
  }
  const int components = picture.bitCount / 8;
  if (!RowsFit(picture, size_t(picture.width) * size_t(components))) return false;
  FILE* file = std::fopen(fileName, "wb");
  if (file == nullptr) return false;
  // Everything the recovery path frees is set up before the recovery point.
  jpeg_compress_struct compressor;
  JpegErrors errors;
  compressor.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = JpegErrorExit;
  errors.manager.emit_message = JpegQuiet;
  if (setjmp(errors.recovery) != 0) {
    jpeg_destroy_compress(&compressor);
    std::fclose(file);
    return false;
  }
  jpeg_create_compress(&compressor);
  jpeg_stdio_dest(&compressor, file);
  compressor.image_width = static_cast<JDIMENSION>(picture.width);
  compressor.image_height = static_cast<JDIMENSION>(picture.height);
  compressor.input_components = components;
  // Colour rows go in as the bitmap holds them (blue, green, red, and a fourth byte the library
  // skips): it takes them as red, green, blue samples without a copy.
  compressor.in_color_space = components == 1   ? JCS_GRAYSCALE
                              : components == 3 ? JCS_EXT_BGR
                                                : JCS_EXT_BGRX;
  jpeg_set_defaults(&compressor);
  jpeg_set_quality(&compressor, quality, TRUE);
  if (progressive) jpeg_simple_progression(&compressor);
  jpeg_start_compress(&compressor, TRUE);
  // The bitmap is bottom-up: the last memory row is the top of the picture.
  for (int32_t y = picture.height - 1; y >= 0 && compressor.next_scanline < compressor.image_height;
       --y) {
    JSAMPROW rows[1] = {const_cast<JSAMPLE*>(RowOf(picture, y))};
    jpeg_write_scanlines(&compressor, rows, 1);
  }
  jpeg_finish_compress(&compressor);
  jpeg_destroy_compress(&compressor);
  // A failed flush (a full disk) shows only here.
  const bool flushed = std::ferror(file) == 0;
  return std::fclose(file) == 0 && flushed;
}

// ---------------------------------------------------------------------------------------------
// PNG

namespace {

constexpr char kPngOutOfMemory[] = "Vuzozidur: Out of memory";

void PngError(png_structp png, png_const_charp message) {
  std::fprintf(stderr, "libpng error: %s\n", message);
  png_longjmp(png, 1);
}

int PngColourType(int bitCount) {
  switch (bitCount) {
    case 8:
    case 16:
      return PNG_COLOR_TYPE_GRAY;
    case 24:
    case 48:
      return PNG_COLOR_TYPE_RGB;
    case 32:
    case 64:
      return PNG_COLOR_TYPE_RGB_ALPHA;
    default:
      return -1;
  }
}

}  // namespace

bool WritePngFile(const char* fileName, const PixelView& picture) {
  if (fileName == nullptr || picture.rows == nullptr || picture.width <= 0 || picture.height <= 0) {
    return false;
  }
  const int colourType = PngColourType(picture.bitCount);
  if (colourType < 0) return false;
  const size_t rowBytes = size_t(picture.width) * size_t(picture.bitCount / 8);
  if (!RowsFit(picture, rowBytes)) return false;
  FILE* file = std::fopen(fileName, "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, nullptr);
  if (png == nullptr) {
    std::fclose(file);
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    std::fclose(file);
    return false;
  }
  const bool sixteen = picture.bitCount == 16 || picture.bitCount == 48 || picture.bitCount == 64;
  png_bytep* volatile rows = nullptr;
  uint8_t* volatile swapped = nullptr;
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    std::free(rows);
    std::free(swapped);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, png_uint_32(picture.width), png_uint_32(picture.height), sixteen ? 16 : 8,
               colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);
  rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * size_t(picture.height)));
  if (rows == nullptr) png_error(png, kPngOutOfMemory);
  if (sixteen) {
    // PNG samples are big-endian.
    swapped = static_cast<uint8_t*>(std::malloc(rowBytes * size_t(picture.height)));
    if (swapped == nullptr) png_error(png, kPngOutOfMemory);
    for (int32_t y = 0; y < picture.height; ++y) {
      const uint8_t* in = RowOf(picture, y);
      uint8_t* out = swapped + size_t(y) * rowBytes;
      for (size_t i = 0; i + 1 < rowBytes; i += 2) {
        out[i] = in[i + 1];
        out[i + 1] = in[i];
      }
      rows[y] = out;
    }
  } else {
    for (int32_t y = 0; y < picture.height; ++y) rows[y] = const_cast<png_bytep>(RowOf(picture, y));
  }
  png_write_image(png, rows);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::free(rows);
  std::free(swapped);
  const bool flushed = std::ferror(file) == 0;
  return std::fclose(file) == 0 && flushed;
}

// ---------------------------------------------------------------------------------------------
// TIFF

namespace {

void TiffQuiet(const char*, const char*, va_list) {}

}  // namespace

bool WriteTiffFile(const char* fileName, const PixelView& picture, int bitsPerSample, int samples,
                   bool fourthIsAlpha) {
  if (fileName == nullptr || picture.rows == nullptr || picture.width <= 0 || picture.height <= 0 ||
      (bitsPerSample != 8 && bitsPerSample != 16) ||
      (samples != 1 && samples != 3 && samples != 4)) {
    return false;
  }
  // The library reports to the console by default; a failed save is reported by the result.
  static std::once_flag quiet;
  std::call_once(quiet, [] {
    TIFFSetErrorHandler(TiffQuiet);
    TIFFSetWarningHandler(TiffQuiet);
  });
  const size_t packed = size_t(picture.width) * samples * (bitsPerSample / 8);
  if (!RowsFit(picture, packed)) return false;
  TIFF* tiff = TIFFOpen(fileName, "w");
  if (tiff == nullptr) return false;
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(picture.width));
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(picture.height));
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(bitsPerSample));
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, samples == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(samples));
  if (samples == 4) {
    // A fourth sample beside RGB must be described, or readers take it for alpha: a fourth
    // byte of 0 would make the picture transparent.
    const uint16_t extra = fourthIsAlpha ? EXTRASAMPLE_UNASSALPHA : EXTRASAMPLE_UNSPECIFIED;
    TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, uint16_t(1), &extra);
  }
  // The strip holds packed rows, as the tags describe; padded bitmap rows would shear the
  // picture for widths whose rows are not a multiple of 4 bytes.
  const size_t bytes = packed * size_t(picture.height);
  uint8_t* strip = nullptr;
  const uint8_t* data = picture.rows;
  if (picture.stride < 0 || size_t(picture.stride) != packed) {
    strip = static_cast<uint8_t*>(std::malloc(bytes));
    if (strip == nullptr) {
      TIFFClose(tiff);
      return false;
    }
    for (int32_t y = 0; y < picture.height; ++y) {
      std::memcpy(strip + size_t(y) * packed, RowOf(picture, y), packed);
    }
    data = strip;
  }
  const tmsize_t written =
      TIFFWriteEncodedStrip(tiff, 0, const_cast<uint8_t*>(data), static_cast<tmsize_t>(bytes));
  // Closing writes the directory: a failure there (a full disk) fails the save too.
  const bool flushed = TIFFFlush(tiff) == 1;
  TIFFClose(tiff);
  std::free(strip);
  return written > 0 && flushed;
}

}  // namespace zelcnv::imaging
