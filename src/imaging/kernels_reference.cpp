// The plain kernels: each written exactly as its behaviour is defined, one pixel at a time. They
// are the definition the fast paths are proven against, so they stay simple rather than quick.
#include <cstring>

#include "imaging/kernel_support.h"
#include "imaging/kernels.h"
#include "imaging/yuyv_colour.h"

namespace zelcnv::imaging::reference {
namespace {

// YUYV to colour in the layout of `kDstBytes` (PutBgr).
template <int kDstBytes>
void YuyvRow(const uint8_t* s, uint8_t* d, int32_t width) {
  for (int32_t j = 0; j < width; ++j) {
    const int32_t pair = j - j % 2;
    const int u = s[2 * pair + 1] - kChromaOffset;
    const int v = pair + 1 < width ? s[2 * pair + 3] - kChromaOffset : 0;
    uint8_t bgr[3];
    YuyvPixelToBgr(s[2 * j], u, v, bgr);
    PutBgr<kDstBytes>(bgr, d + kDstBytes * j);
  }
}

// Each pixel's bytes picked from the source pixel's: byte k of the destination pixel is byte
// kFrom[k] of the source pixel, or 0 or 255 where kFrom[k] is kZero or kFull.
constexpr int kZero = -1;
constexpr int kFull = -2;

template <int kFrom>
uint8_t Picked(const uint8_t* s) {
  if constexpr (kFrom >= 0) return s[kFrom];
  return kFrom == kZero ? 0 : 255;
}

template <int kSrcBytes, int... kFrom>
void Pick(const uint8_t* s, uint8_t* d, int32_t width) {
  for (int32_t j = 0; j < width; ++j, s += kSrcBytes, d += sizeof...(kFrom)) {
    int k = 0;
    ((d[k++] = Picked<kFrom>(s)), ...);
  }
}

template <int kBytes>
void Stretch(const PictureRows<const uint8_t>& src, const PictureRows<uint8_t>& dst) {
  // With no destination row or column nothing is written, and the ratios are never needed.
  if (dst.height <= 0 || dst.width <= 0) return;
  const float xr = StretchRatio(src.width, dst.width);
  const float yr = StretchRatio(src.height, dst.height);
  for (int32_t i = 0; i < dst.height; ++i) {
    const uint8_t* s = src.first + StretchSample(i, yr, src.height) * src.step;
    uint8_t* d = dst.first + i * dst.step;
    for (int32_t j = 0; j < dst.width; ++j) {
      std::memcpy(d + kBytes * j, s + kBytes * StretchSample(j, xr, src.width), kBytes);
    }
  }
}

}  // namespace

void YuyvToBgr24(const uint8_t* s, uint8_t* d, int32_t width) {
  YuyvRow<3>(s, d, width);
}
void YuyvToBgrx32(const uint8_t* s, uint8_t* d, int32_t width) {
  YuyvRow<4>(s, d, width);
}
void YuyvToBgr48(const uint8_t* s, uint8_t* d, int32_t width) {
  YuyvRow<6>(s, d, width);
}
void YuyvToBgra64(const uint8_t* s, uint8_t* d, int32_t width) {
  YuyvRow<8>(s, d, width);
}

void Bgrx32ToBgr24(const uint8_t* s, uint8_t* d, int32_t width) {
  Pick<4, 0, 1, 2>(s, d, width);
}
void Bgr48ToBgr24(const uint8_t* s, uint8_t* d, int32_t width) {
  Pick<6, 1, 3, 5>(s, d, width);
}
void Bgra64ToBgr24(const uint8_t* s, uint8_t* d, int32_t width) {
  Pick<8, 1, 3, 5>(s, d, width);
}
void Bgr24ToRgb24(const uint8_t* s, uint8_t* d, int32_t width) {
  Pick<3, 2, 1, 0>(s, d, width);
}
void Bgrx32ToRgbx32(const uint8_t* s, uint8_t* d, int32_t width) {
  Pick<4, 2, 1, 0, kZero>(s, d, width);
}
void Bgr48ToRgb48(const uint8_t* s, uint8_t* d, int32_t width) {
  Pick<6, 4, 5, 2, 3, 0, 1>(s, d, width);
}
void Bgra64ToRgba64(const uint8_t* s, uint8_t* d, int32_t width) {
  Pick<8, 4, 5, 2, 3, 0, 1, kFull, kFull>(s, d, width);
}

void Bgrx32ToBgra32(const uint8_t* s, uint8_t* d, int32_t width) {
  for (int32_t j = 0; j < width; ++j, s += 4, d += 4) {
    std::memcpy(d, s, 3);
    d[3] = static_cast<uint8_t>(255 - s[3]);
  }
}

void StretchGray8(const PictureRows<const uint8_t>& src, const PictureRows<uint8_t>& dst) {
  Stretch<1>(src, dst);
}
void StretchBgr24(const PictureRows<const uint8_t>& src, const PictureRows<uint8_t>& dst) {
  Stretch<3>(src, dst);
}

}  // namespace zelcnv::imaging::reference
