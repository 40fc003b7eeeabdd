// Small pieces the reference kernels and the fast paths must share to agree bit for bit: pixel
// addressing and the stretch kernels' sample positions.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/kernels.h"

namespace zelcnv::imaging {

inline ptrdiff_t PixelOffset(int32_t row, int32_t stride, int32_t column, uint16_t bytesPerPixel) {
  return static_cast<ptrdiff_t>(row) * stride + static_cast<ptrdiff_t>(column) * bytesPerPixel;
}

inline int64_t RectWidth(const PixelRect& rect) {
  return int64_t{rect.right} - rect.left;
}
inline int64_t RectHeight(const PixelRect& rect) {
  return int64_t{rect.bottom} - rect.top;
}

// Source-to-destination size ratio of a stretch, rounded to single precision.
inline float StretchRatio(int64_t sourceSize, int64_t destinationSize) {
  return static_cast<float>(sourceSize) / static_cast<float>(destinationSize);
}

// The source index sampled by destination index `i`: trunc(single(i * ratio)), kept inside
// 0 .. limit - 1. The float is compared before it is converted, so no position overflows.
inline int32_t StretchSample(int32_t i, float ratio, int32_t limit) {
  const float position = static_cast<float>(i) * ratio;
  if (!(position > -1.0f)) return 0;
  if (!(position < 2147483648.0f)) return limit - 1;
  const int32_t index = static_cast<int32_t>(position);
  if (index < 0) return 0;
  return index >= limit ? limit - 1 : index;
}

}  // namespace zelcnv::imaging
