// Still image files of a frame bitmap, chosen by a file type code: BMP, raw pixels, JPEG at three
// qualities, PNG and TIFF.
#pragma once

#include <cstdint>

#include "imaging/frame_bitmap.h"

namespace zelcnv::imaging {

enum FileTypeCode : uint32_t {
  kFileBmp = 0,
  kFileRaw = 1,
  kFileJpegBest = 2,    // quality 100
  kFileJpegMedium = 3,  // quality 70
  kFileJpegSmall = 4,   // quality 20
  kFilePng = 5,
  kFileTiff = 6,
};

// Writes `picture` (bottom row first in memory, as every FrameBitmap) as the format of `code`;
// false for a code above 6, a depth the format has no layout for (other than 8, 24, 32, 48 and
// 64 bits; raw and BMP files take any), a file that cannot be written, or a library failure. The
// writers read the picture's rows in place, in the order each format stores them. 48- and 64-bit
// pictures hold 16-bit colour channels over the whole range (Widen16), which PNG and TIFF keep,
// JPEG narrows to their high bytes and BMP stores as they are. Raw files hold the picture's own
// bytes, top row first.
bool SaveImageFile(const char* fileName, const FrameBitmap* picture, uint32_t code);

// The bitmap as a BMP file with its own depth and header, rows as it holds them (bottom-up);
// false when the file cannot be opened or written.
bool SaveBmp(const FrameBitmap& bitmap, const char* fileName);

}  // namespace zelcnv::imaging
