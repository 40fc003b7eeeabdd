// What the reference stretch and the fast one must share to agree bit for bit: the sample
// positions.
#pragma once

#include <cstdint>

namespace zelcnv::imaging {

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
