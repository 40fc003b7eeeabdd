// The one road from a raw frame to a picture: the converter sends its two fields one after the
// other, and the picture's even rows come from the first, its odd rows from the second. Stream
// frames (from the ring) and single frames (a snapshot) both become the output picture here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "imaging/frame_bitmap.h"
#include "imaging/kernels.h"

namespace zelcnv::imaging {

// Where a raw frame's picture lies: the first row of each field, `pitchBytes` from one row of a
// field to its next. Rows are `width` samples of `bytesPerSample`.
struct InterlacedFrame {
  const uint8_t* field[2] = {nullptr, nullptr};
  size_t pitchBytes = 0;
  int32_t width = 0;
  int32_t height = 0;  // picture rows, both fields together
  int32_t bytesPerSample = 0;
};

// A buffer that receives a copy of the picture as it is made, top row first when `topDown`.
struct PictureCopy {
  uint8_t* to;
  bool topDown;
};

// Makes `picture` (bottom row first in memory, as every FrameBitmap) from `frame`: each field's
// rows through `kernel` (null: the samples are copied as they are). Each of `copies` receives the
// picture too, a band at a time while the band is still in the cache. False, writing nothing,
// when the frame is missing or not of the picture's size, or its samples or the picture's pixels
// are not the kernel's.
[[nodiscard]] bool WeaveFrame(const InterlacedFrame& frame, const RowKernel* kernel,
                              FrameBitmap& picture, std::span<const PictureCopy> copies);
// The same with at most one copy, into `copyTo` unless it is null.
[[nodiscard]] inline bool WeaveFrame(const InterlacedFrame& frame, const RowKernel* kernel,
                                     FrameBitmap& picture, uint8_t* copyTo, bool topDown) {
  const PictureCopy copy{copyTo, topDown};
  return WeaveFrame(frame, kernel, picture,
                    copyTo != nullptr ? std::span(&copy, 1) : std::span<const PictureCopy>());
}

}  // namespace zelcnv::imaging
