// The YUYV colour formula: the one place that says what a (Y, U, V) pixel becomes. The reference
// kernel, the fast paths' row ends and the fast paths' correction tables all use it.
#pragma once

#include <cstdint>

namespace zelcnv::imaging {

constexpr int kChromaOffset = 128;

inline uint8_t ClampToByte(int value) {
  return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

// Luma is used as it stands. Each channel is computed in double precision, truncated toward zero
// and clamped. The build forbids fused multiply-adds, which would round differently.
inline void YuyvPixelToBgr(int y, int u, int v, uint8_t* bgr) {
  const double r = y + 1.14 * v;
  const double g = (y - 0.395 * u) - 0.581 * v;
  const double b = y + 2.032 * u;
  bgr[0] = ClampToByte(static_cast<int>(b));
  bgr[1] = ClampToByte(static_cast<int>(g));
  bgr[2] = ClampToByte(static_cast<int>(r));
}

}  // namespace zelcnv::imaging
