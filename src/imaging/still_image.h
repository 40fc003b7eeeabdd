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

// The picture-upright copy of a live bitmap: same header and geometry, memory row 0 holding the
// top row of the picture. 1, or 0 when the source is empty or memory runs out.
int MakeUprightCopy(const FrameBitmap& bitmap, FrameBitmap* copy);

// Writes `copy` (an upright copy) as the format of `code`: 1, or 0 for a code above 6, an
// unsupported depth, a file that cannot be written, or a library failure. 16-bit pictures are one
// grey sample of up to 12 bits; 48- and 64-bit ones hold 16-bit colour channels over the whole
// range (Widen16), which PNG and TIFF keep, JPEG narrows to their high bytes and BMP stores as
// they are.
int SaveImageFile(const char* fileName, const FrameBitmap* copy, uint32_t code);

// The bitmap as a BMP file with its own depth and header, rows as it holds them (bottom-up):
// 1, or 0 when the file cannot be opened or written.
int SaveBmp(const FrameBitmap& bitmap, const char* fileName);

}  // namespace zelcnv::imaging
