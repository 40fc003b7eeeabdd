// The library-backed still image writers: JPEG (libjpeg-turbo), PNG (libpng), TIFF (libtiff).
// Each keeps all of its state in the call, so saves from several threads at once are safe, and
// a library error ends that save with 0, never the process.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelcnv::imaging {

// A picture in memory: `rows` points at memory row 0; rows are `stride` bytes apart.
struct PixelView {
  const uint8_t* rows;
  int32_t width;
  int32_t height;
  int32_t stride;
  int bitCount;
};

// Memory row `y` of a picture; signed arithmetic, so a negative stride steps backwards.
inline const uint8_t* RowOf(const PixelView& picture, int32_t y) {
  return picture.rows + ptrdiff_t{y} * picture.stride;
}

// The stride of a bottom-up bitmap row: whole pixels' bytes rounded up to 4 (the division of
// the bit count truncates).
int32_t BitmapStride(int32_t width, int bitCount);

// JPEG of an 8-bit (grey) or 24-bit (blue, green, red) picture whose memory row 0 is the bottom
// row; a negative stride describes a picture stored top row first. Progressive when asked, all
// tables written. False on failure.
bool WriteJpegFile(const char* fileName, const PixelView& picture, int quality, bool progressive);

// PNG of a picture whose memory row 0 is the top row: 8 or 16 bits grey, 24 or 48 bits colour,
// 32 or 64 bits colour with alpha, channels stored blue, green, red; 16-bit samples are
// little-endian in memory. False on failure.
bool WritePngFile(const char* fileName, const PixelView& picture);

// One uncompressed TIFF strip of a picture whose memory row 0 is the top row and whose pixels
// are already in file order (red first, 16-bit samples as the library expects); rows are
// written packed. `bitsPerSample` 8 or 16, `samples` 1, 3 or 4; a fourth sample is tagged as
// alpha when `fourthIsAlpha`, otherwise as data without a meaning. False on failure.
bool WriteTiffFile(const char* fileName, const PixelView& picture, int bitsPerSample, int samples,
                   bool fourthIsAlpha = false);

}  // namespace zelcnv::imaging
