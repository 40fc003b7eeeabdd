// The picture a simulated converter sent, as each colour mode lays it out: what test programs
// compare the library's pictures (and the GStreamer element's) with.
#pragma once

#include <cstdint>
#include <vector>

#include "model/picture.h"

namespace zelcnv::testsupport {

// One device frame's picture, top row first, rows packed: its samples as the simulator renders
// them (luma, or YUYV pairs), and its colour by the YUYV formula the library documents (luma as
// it stands, each channel truncated and clamped).
struct Expected {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> samples;
  std::vector<uint8_t> bgr;
};

// Device frame `frame` of the converter at `device`, with its present picture settings.
Expected Render(uint32_t frame, int width, int height, int device = 0);
// The same with picture settings read earlier (zelsim::GetDevicePictureParams).
Expected Render(uint32_t frame, int width, int height, const zelsim::PictureParams& params);

// The picture in the pixel layout of `bits` (rows packed, top first): grey, YUYV, BGR, BGRX, or
// 16-bit channels holding each 8-bit value times 257 (the fourth opaque).
std::vector<uint8_t> InLayout(const Expected& e, int bits);

// The device frame a picture row comes from: the stamp in the first byte of each pixel (luma, or
// blue, which equals luma where the stamp's chroma is neutral, or the low byte of blue's word).
uint32_t StampOf(const uint8_t* row, int bytesPerPixel);

}  // namespace zelcnv::testsupport
