// What the reference kernels and the fast paths must share to agree bit for bit: how one pixel's
// colour is laid out, and the stretches' sample positions.
#pragma once

#include <cstdint>
#include <cstring>

#include "imaging/kernels.h"

namespace zelcnv::imaging {

// One pixel's blue, green, red laid out in `kBytes`: as they are (3), with a fourth byte of 0 (4),
// as 16-bit little-endian channels (Widen16) (6), and with a fourth channel of 0xFFFF (8).
template <int kBytes>
void PutBgr(const uint8_t* bgr, uint8_t* d) {
  if constexpr (kBytes <= 4) {
    std::memcpy(d, bgr, 3);
    if constexpr (kBytes == 4) d[3] = 0;
  } else {
    for (int k = 0; k < kBytes / 2; ++k) {
      const uint16_t word = k < 3 ? Widen16(bgr[k]) : kOpaque16;
      d[2 * k] = static_cast<uint8_t>(word);
      d[2 * k + 1] = static_cast<uint8_t>(word >> 8);
    }
  }
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
