// The paths of each file type code: the pixels each format wants, then its writer.
#include "imaging/still_image.h"

#include <cstring>

#include "imaging/image_writers.h"
#include "imaging/output_file.h"

namespace zelcnv::imaging {

namespace {

constexpr uint16_t kBmpType = 0x4D42;  // "BM"
constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kPaletteBytes = 256 * 4;

PixelView ViewOf(const FrameBitmap& bitmap) {
  return {bitmap.Bits(), bitmap.Width(), bitmap.Height(), bitmap.Stride(), bitmap.BitsPerPixel()};
}

// A temporary shaped by `create` and filled from `source` through `kernel` over the whole picture.
[[nodiscard]] bool Convert(FrameBitmap* target, BlitKernel kernel, const FrameBitmap& source) {
  return target->ConvertFrom(kernel, &source, nullptr, 0, 0);
}

int SaveRaw(const FrameBitmap& copy, const char* fileName) {
  OutputFile file;
  if (!file.Open(fileName)) return 0;
  file.Write(copy.Bits(), size_t(copy.Stride()) * size_t(copy.Height()));
  return file.Close() ? 1 : 0;
}

int SaveJpeg(const FrameBitmap& copy, const char* fileName, int quality) {
  switch (copy.BitsPerPixel()) {
    case 8:
    case 24: {
      // The writer reads bottom-up rows: the upright copy read from its last memory row up is
      // exactly that, with no temporary.
      const PixelView view = ViewOf(copy);
      return WriteJpegFile(
          fileName,
          {RowOf(view, view.height - 1), view.width, view.height, -view.stride, view.bitCount},
          quality, true);
    }
    case 16: {
      FrameBitmap j;
      if (!j.Create(copy.Width(), copy.Height(), 8) || !Convert(&j, Gray10ToGray8Flip, copy)) {
        return 0;
      }
      return WriteJpegFile(fileName, ViewOf(j), quality, true);
    }
    case 32: {
      // 24-bit colour: the fourth byte of each pixel is dropped.
      FrameBitmap j;
      if (!j.Create(copy.Width(), copy.Height(), 24) || !Convert(&j, CopyColor24Flip, copy)) {
        return 0;
      }
      return WriteJpegFile(fileName, ViewOf(j), quality, true);
    }
    case 48:
    case 64: {
      // 24-bit colour from the high byte of each 16-bit channel, kept upright and read from the
      // last memory row up.
      FrameBitmap j;
      if (!j.Create(copy.Width(), copy.Height(), 24) || !Convert(&j, Color48ToColor24, copy)) {
        return 0;
      }
      const PixelView view = ViewOf(j);
      return WriteJpegFile(
          fileName,
          {RowOf(view, view.height - 1), view.width, view.height, -view.stride, view.bitCount},
          quality, true);
    }
    default:
      return 0;
  }
}

int SavePng(const FrameBitmap& copy, const char* fileName) {
  BlitKernel kernel = nullptr;
  switch (copy.BitsPerPixel() & 0xFFF8) {
    case 16:
      kernel = Gray12ToGray16;
      break;
    case 32:
      kernel = InvertAlpha32;
      break;
    default:  // 8-bit samples, and 16-bit colour channels, go as they are
      return WritePngFile(fileName, ViewOf(copy));
  }
  FrameBitmap converted;
  if (!converted.CreateLike(&copy) || !Convert(&converted, kernel, copy)) return 0;
  return WritePngFile(fileName, ViewOf(converted));
}

int SaveTiff(const FrameBitmap& copy, const char* fileName) {
  FrameBitmap t;
  if (!t.CreateLike(&copy)) return 0;
  int bitsPerSample, samples;
  BlitKernel kernel = nullptr;
  switch (copy.BytesPerPixel()) {
    case 1:
      bitsPerSample = 8, samples = 1;
      std::memcpy(t.Bits(), copy.Bits(), size_t(copy.Stride()) * size_t(copy.Height()));
      break;
    case 2:
      bitsPerSample = 16, samples = 1, kernel = Gray12ToGray16;
      break;
    case 3:
      bitsPerSample = 8, samples = 3, kernel = SwapColor24;
      break;
    case 4:
      // The fourth sample stays 0, as the new surface holds it.
      bitsPerSample = 8, samples = 4, kernel = SwapColor24;
      break;
    case 6:
      bitsPerSample = 16, samples = 3, kernel = SwapColor48;
      break;
    case 8:
      bitsPerSample = 16, samples = 4, kernel = SwapColor64;
      break;
    default:
      return 0;  // no TIFF layout for this depth
  }
  if (kernel != nullptr && !Convert(&t, kernel, copy)) return 0;
  // The 64-bit pictures' fourth channel is opaque alpha; the 32-bit ones' fourth byte is 0.
  return WriteTiffFile(fileName, ViewOf(t), bitsPerSample, samples, bitsPerSample == 16);
}

}  // namespace

int MakeUprightCopy(const FrameBitmap& bitmap, FrameBitmap* copy) {
  if (copy == nullptr || bitmap.Empty() || !copy->CreateLike(&bitmap)) return 0;
  // Whole memory rows in reverse order: the picture's top row becomes memory row 0.
  return Convert(copy, CopyRowsFlip, bitmap) ? 1 : 0;
}

int SaveBmp(const FrameBitmap& bitmap, const char* fileName) {
  if (bitmap.Empty()) return 0;
  const int bits = bitmap.BitsPerPixel();
  const uint32_t offBits =
      kFileHeaderBytes + platform::kBitmapInfoHeaderSize + (bits <= 8 ? kPaletteBytes : 0);
  // The file's sizes are 32-bit: a picture whose file would not fit is refused.
  const uint64_t pixelBytes = uint64_t(bitmap.Stride()) * uint64_t(bitmap.Height());
  if (pixelBytes > UINT32_MAX - offBits) return 0;
  uint8_t fileHeader[kFileHeaderBytes] = {};
  const uint32_t fileSize = offBits + static_cast<uint32_t>(pixelBytes);
  OutputFile file;
  if (!file.Open(fileName)) return 0;
  std::memcpy(fileHeader, &kBmpType, 2);
  std::memcpy(fileHeader + 2, &fileSize, 4);
  std::memcpy(fileHeader + 10, &offBits, 4);
  file.Write(fileHeader, sizeof fileHeader);
  platform::BitmapInfoHeader header = {};
  header.biSize = platform::kBitmapInfoHeaderSize;
  header.biWidth = bitmap.Width();
  header.biHeight = bitmap.Height();
  header.biPlanes = 1;
  header.biBitCount = static_cast<uint16_t>(bits);
  header.biCompression = platform::kBitmapCompressionRgb;
  file.Write(&header, sizeof header);
  if (bits <= 8) {
    platform::RgbQuad table[platform::kColorTableEntries] = {};
    if (bitmap.MemoryDc() != nullptr) {
      platform::GetDcColorTable(bitmap.MemoryDc(), 0, platform::kColorTableEntries, table);
    } else {
      std::memcpy(table, bitmap.Header().bmiColors, sizeof table);
    }
    file.Write(table, sizeof table);
  }
  file.Write(bitmap.Bits(), static_cast<size_t>(pixelBytes));
  return file.Close() ? 1 : 0;
}

int SaveImageFile(const char* fileName, const FrameBitmap* copy, uint32_t code) {
  if (copy == nullptr || code > kFileTiff) return 0;
  if (copy->Empty()) return 0;
  switch (code) {
    case kFileBmp: {
      // Back to bottom-up rows, as a BMP file stores them.
      FrameBitmap bottomUp;
      if (!bottomUp.CreateLike(copy) || !Convert(&bottomUp, CopyRowsFlip, *copy)) return 0;
      return SaveBmp(bottomUp, fileName);
    }
    case kFileRaw:
      return SaveRaw(*copy, fileName);
    case kFileJpegBest:
      return SaveJpeg(*copy, fileName, 100);
    case kFileJpegMedium:
      return SaveJpeg(*copy, fileName, 70);
    case kFileJpegSmall:
      return SaveJpeg(*copy, fileName, 20);
    case kFilePng:
      return SavePng(*copy, fileName);
    default:
      return SaveTiff(*copy, fileName);
  }
}

}  // namespace zelcnv::imaging
