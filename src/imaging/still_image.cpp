// The paths of each file type code: the pixels each format wants, then its writer.
#include "imaging/still_image.h"

#include <cstring>
#include <vector>

#include "imaging/image_writers.h"
#include "imaging/output_file.h"

namespace zelcnv::imaging {

namespace {

constexpr uint16_t kBmpType = 0x4D42;  // "BM"
constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kPaletteBytes = 256 * 4;

// The picture as FrameBitmap holds it: memory row 0 is the bottom row.
PixelView BottomUp(const FrameBitmap& bitmap) {
  return {bitmap.Bits(), bitmap.Width(), bitmap.Height(), bitmap.Stride(), bitmap.BitsPerPixel()};
}

// The same picture read top row first: the last memory row, and a negative stride.
PixelView TopDown(const FrameBitmap& bitmap) {
  const PixelView view = BottomUp(bitmap);
  return {RowOf(view, view.height - 1), view.width, view.height, -view.stride, view.bitCount};
}

// `target`, shaped like `source` with the kernel's pixels, filled from it through `kernel`.
[[nodiscard]] bool Convert(FrameBitmap* target, const RowKernel& kernel,
                           const FrameBitmap& source) {
  return target->Create(source.Width(), source.Height(), uint16_t(8 * kernel.dstBytes)) &&
         target->ConvertFrom(kernel, source);
}

// The picture's own bytes, top row first: gathered in that order and written at once (a write a
// row costs several times the copy).
bool SaveRaw(const FrameBitmap& picture, const char* fileName) {
  std::vector<uint8_t> rows(size_t(picture.Stride()) * size_t(picture.Height()));
  picture.CopyPixels(rows.data(), true);
  OutputFile file;
  if (!file.Open(fileName)) return false;
  file.Write(rows.data(), rows.size());
  return file.Close();
}

bool SaveJpeg(const FrameBitmap& picture, const char* fileName, int quality) {
  // The writer takes 8-bit grey or 24-bit colour, bottom row first as the picture holds it.
  FrameBitmap colour;
  switch (picture.BitsPerPixel()) {
    case 8:
    case 24:
      return WriteJpegFile(fileName, BottomUp(picture), quality, true);
    case 32:  // the fourth byte of each pixel is dropped
      if (!Convert(&colour, kBgrx32ToBgr24, picture)) return false;
      return WriteJpegFile(fileName, BottomUp(colour), quality, true);
    case 48:
    case 64:  // the high byte of each 16-bit channel
      if (!Convert(&colour, picture.BitsPerPixel() == 48 ? kBgr48ToBgr24 : kBgra64ToBgr24,
                   picture)) {
        return false;
      }
      return WriteJpegFile(fileName, BottomUp(colour), quality, true);
    default:
      return false;
  }
}

bool SavePng(const FrameBitmap& picture, const char* fileName) {
  switch (picture.BitsPerPixel()) {
    case 8:
    case 24:
    case 48:
    case 64:  // 8-bit samples, and 16-bit colour channels, go as they are
      return WritePngFile(fileName, TopDown(picture));
    case 32: {
      // The fourth byte is alpha to a PNG reader: 0 in the picture, opaque in the file.
      FrameBitmap opaque;
      if (!Convert(&opaque, kBgrx32ToBgra32, picture)) return false;
      return WritePngFile(fileName, TopDown(opaque));
    }
    default:
      return false;
  }
}

// The TIFF layout of each colour depth, and the kernel that puts red first as the file stores it.
// The 32-bit pictures' fourth byte is 0 in the file; the 64-bit ones' fourth channel is opaque
// alpha.
struct TiffLayout {
  int bits;
  int bitsPerSample;
  int samples;
  const RowKernel* kernel;
};
constexpr TiffLayout kTiffLayouts[] = {{24, 8, 3, &kBgr24ToRgb24},
                                       {32, 8, 4, &kBgrx32ToRgbx32},
                                       {48, 16, 3, &kBgr48ToRgb48},
                                       {64, 16, 4, &kBgra64ToRgba64}};

bool SaveTiff(const FrameBitmap& picture, const char* fileName) {
  if (picture.BitsPerPixel() == 8) return WriteTiffFile(fileName, TopDown(picture), 8, 1);
  for (const TiffLayout& layout : kTiffLayouts) {
    if (layout.bits != picture.BitsPerPixel()) continue;
    FrameBitmap swapped;
    if (!Convert(&swapped, *layout.kernel, picture)) return false;
    return WriteTiffFile(fileName, TopDown(swapped), layout.bitsPerSample, layout.samples,
                         layout.bitsPerSample == 16);
  }
  return false;  // no TIFF layout for this depth
}

}  // namespace

bool SaveBmp(const FrameBitmap& bitmap, const char* fileName) {
  if (bitmap.Empty()) return false;
  const int bits = bitmap.BitsPerPixel();
  const uint32_t offBits =
      kFileHeaderBytes + platform::kBitmapInfoHeaderSize + (bits <= 8 ? kPaletteBytes : 0);
  // The file's sizes are 32-bit: a picture whose file would not fit is refused.
  const uint64_t pixelBytes = uint64_t(bitmap.Stride()) * uint64_t(bitmap.Height());
  if (pixelBytes > UINT32_MAX - offBits) return false;
  uint8_t fileHeader[kFileHeaderBytes] = {};
  const uint32_t fileSize = offBits + static_cast<uint32_t>(pixelBytes);
  OutputFile file;
  if (!file.Open(fileName)) return false;
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
  return file.Close();
}

bool SaveImageFile(const char* fileName, const FrameBitmap* picture, uint32_t code) {
  if (picture == nullptr || code > kFileTiff || picture->Empty()) return false;
  switch (code) {
    case kFileBmp:
      return SaveBmp(*picture, fileName);
    case kFileRaw:
      return SaveRaw(*picture, fileName);
    case kFileJpegBest:
      return SaveJpeg(*picture, fileName, 100);
    case kFileJpegMedium:
      return SaveJpeg(*picture, fileName, 70);
    case kFileJpegSmall:
      return SaveJpeg(*picture, fileName, 20);
    case kFilePng:
      return SavePng(*picture, fileName);
    default:
      return SaveTiff(*picture, fileName);
  }
}

}  // namespace zelcnv::imaging
