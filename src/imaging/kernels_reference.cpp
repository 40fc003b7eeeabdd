// The plain kernels: each written exactly as its behaviour is defined, one pixel at a time. They
// are the definition the fast paths are proven against, so they stay simple rather than quick.
#include <cstddef>
#include <cstring>

#include "imaging/kernel_support.h"
#include "imaging/kernels.h"
#include "imaging/yuyv_colour.h"

namespace zelcnv::imaging::reference {
namespace {

inline int SourceRow(bool flipped, const PixelRect& rect, int32_t i) {
  return flipped ? rect.bottom - 1 - i : rect.top + i;
}

inline uint16_t Word(const uint8_t* p, int k) {
  return static_cast<uint16_t>(p[2 * k] | p[2 * k + 1] << 8);
}

inline void PutWord(uint8_t* p, int k, unsigned value) {
  p[2 * k] = static_cast<uint8_t>(value);
  p[2 * k + 1] = static_cast<uint8_t>(value >> 8);
}

// The walk every blit kernel shares: rows in order (or reversed within the rectangle), pixels
// left to right, each source pixel turned into one destination pixel.
template <bool kFlipped, class PerPixel>
void Walk(Plane dst, ConstPlane src, const PixelRect& rect, int32_t x, int32_t y,
          PerPixel perPixel) {
  const int64_t width = RectWidth(rect);
  const int64_t height = RectHeight(rect);
  const uint16_t dstBpp = dst.bytesPerPixel, srcBpp = src.bytesPerPixel;
  for (int32_t i = 0; i < height; ++i) {
    uint8_t* d = dst.bits + PixelOffset(y + i, dst.stride, x, dstBpp);
    const uint8_t* s =
        src.bits + PixelOffset(SourceRow(kFlipped, rect, i), src.stride, rect.left, srcBpp);
    for (int64_t j = 0; j < width; ++j) {
      perPixel(d, s);
      d += dstBpp;
      s += srcBpp;
    }
  }
}

#define ZELCNV_BLIT_ARGS Plane dst, ConstPlane src, const PixelRect &rect, int32_t x, int32_t y
#define ZELCNV_WALK dst, src, rect, x, y

template <int kBytes>
void Stretch(Plane dst, ConstPlane src, const PixelRect& dstRect, const PixelRect& srcRect,
             int32_t srcWidth, int32_t srcHeight) {
  const int64_t width = RectWidth(dstRect);
  const int64_t height = RectHeight(dstRect);
  // With no destination row or column nothing is written, and the ratios are never needed.
  if (height <= 0 || width <= 0) return;
  const float xr = StretchRatio(RectWidth(srcRect), width);
  const float yr = StretchRatio(RectHeight(srcRect), height);
  const uint16_t dstBpp = dst.bytesPerPixel, srcBpp = src.bytesPerPixel;
  for (int32_t i = 0; i < height; ++i) {
    const int32_t sy = StretchSample(i, yr, srcHeight);
    uint8_t* d = dst.bits + PixelOffset(dstRect.top + i, dst.stride, dstRect.left, dstBpp);
    for (int32_t j = 0; j < width; ++j) {
      const int32_t sx = StretchSample(j, xr, srcWidth);
      std::memcpy(d, src.bits + PixelOffset(sy, src.stride, sx, srcBpp), kBytes);
      d += dstBpp;
    }
  }
}

// How a YUYV kernel stores the colour of one pixel.
struct PutBgr24 {
  static void Put(uint8_t* d, const uint8_t* bgr) { std::memcpy(d, bgr, 3); }
};
struct PutBgrx32 {
  static void Put(uint8_t* d, const uint8_t* bgr) {
    std::memcpy(d, bgr, 3);
    d[3] = 0;
  }
};
struct PutBgr48 {
  static void Put(uint8_t* d, const uint8_t* bgr) {
    for (int k = 0; k < 3; ++k) PutWord(d, k, Widen16(bgr[k]));
  }
};
struct PutBgra64 {
  static void Put(uint8_t* d, const uint8_t* bgr) {
    PutBgr48::Put(d, bgr);
    PutWord(d, 3, kOpaque16);
  }
};

template <bool kFlipped, class Store>
void YuyvToColour(ZELCNV_BLIT_ARGS) {
  const int64_t width = RectWidth(rect);
  const int64_t height = RectHeight(rect);
  if (height <= 0) return;
  const uint16_t dstBpp = dst.bytesPerPixel, srcBpp = src.bytesPerPixel;
  int32_t luma[kYuyvWorkRowPixels];
  int32_t chromaU[kYuyvWorkRowPixels];
  int32_t chromaV[kYuyvWorkRowPixels];
  for (int32_t i = 0; i < height; ++i) {
    uint8_t* d = dst.bits + PixelOffset(y + i, dst.stride, x, dstBpp);
    const uint8_t* s =
        src.bits + PixelOffset(SourceRow(kFlipped, rect, i), src.stride, rect.left, srcBpp);
    // A row wider than the work rows goes in pieces that start at even pixels, each treated as
    // a row of its own; chroma pairs never straddle a piece.
    for (int64_t piece = 0; piece < width; piece += kYuyvWorkRowPixels) {
      const int32_t count = static_cast<int32_t>(
          width - piece < kYuyvWorkRowPixels ? width - piece : kYuyvWorkRowPixels);
      std::memset(luma, 0, sizeof luma);
      std::memset(chromaU, 0, sizeof chromaU);
      std::memset(chromaV, 0, sizeof chromaV);
      for (int32_t j = 0; j < count; ++j) {
        luma[j] = s[0];
        const int32_t c = s[1] - kChromaOffset;
        if (j % 2 == 0) {
          chromaU[j] = c;
          chromaU[j + 1] = c;  // j is even, so j + 1 < kYuyvWorkRowPixels
        } else {
          chromaV[j - 1] = c;
          chromaV[j] = c;
        }
        s += srcBpp;
      }
      for (int32_t k = 0; k < count; ++k) {
        uint8_t bgr[3];
        YuyvPixelToBgr(luma[k], chromaU[k], chromaV[k], bgr);
        Store::Put(d, bgr);
        d += dstBpp;
      }
    }
  }
}

}  // namespace

void CopyGray8Flip(ZELCNV_BLIT_ARGS) {
  Walk<true>(ZELCNV_WALK, [](uint8_t* d, const uint8_t* s) { d[0] = s[0]; });
}

void CopyYuv16Flip(ZELCNV_BLIT_ARGS) {
  // Both buffers are stepped with the destination's pixel size and stride.
  const ConstPlane source{src.bits, dst.stride, dst.bytesPerPixel};
  Walk<true>(dst, source, rect, x, y, [](uint8_t* d, const uint8_t* s) {
    d[0] = s[0];
    d[1] = s[1];
  });
}

void YuyvToBgr24Flip(ZELCNV_BLIT_ARGS) {
  YuyvToColour<true, PutBgr24>(ZELCNV_WALK);
}

void YuyvToBgr24(ZELCNV_BLIT_ARGS) {
  YuyvToColour<false, PutBgr24>(ZELCNV_WALK);
}

void YuyvToBgrx32Flip(ZELCNV_BLIT_ARGS) {
  YuyvToColour<true, PutBgrx32>(ZELCNV_WALK);
}

void YuyvToBgr48Flip(ZELCNV_BLIT_ARGS) {
  YuyvToColour<true, PutBgr48>(ZELCNV_WALK);
}

void YuyvToBgra64Flip(ZELCNV_BLIT_ARGS) {
  YuyvToColour<true, PutBgra64>(ZELCNV_WALK);
}

void CopyColor24(ZELCNV_BLIT_ARGS) {
  Walk<false>(ZELCNV_WALK, [](uint8_t* d, const uint8_t* s) {
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
  });
}

void Color48ToColor24(ZELCNV_BLIT_ARGS) {
  Walk<false>(ZELCNV_WALK, [](uint8_t* d, const uint8_t* s) {
    d[0] = s[1];
    d[1] = s[3];
    d[2] = s[5];
  });
}

void SwapColor24(ZELCNV_BLIT_ARGS) {
  Walk<false>(ZELCNV_WALK, [](uint8_t* d, const uint8_t* s) {
    d[0] = s[2];
    d[1] = s[1];
    d[2] = s[0];
  });
}

void InvertAlpha32(ZELCNV_BLIT_ARGS) {
  Walk<false>(ZELCNV_WALK, [](uint8_t* d, const uint8_t* s) {
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
    d[3] = static_cast<uint8_t>(255 - s[3]);
  });
}

void SwapColor48(ZELCNV_BLIT_ARGS) {
  Walk<false>(ZELCNV_WALK, [](uint8_t* d, const uint8_t* s) {
    for (int k = 0; k < 3; ++k) PutWord(d, k, Word(s, 2 - k));
  });
}

void SwapColor64(ZELCNV_BLIT_ARGS) {
  Walk<false>(ZELCNV_WALK, [](uint8_t* d, const uint8_t* s) {
    for (int k = 0; k < 3; ++k) PutWord(d, k, Word(s, 2 - k));
    PutWord(d, 3, kOpaque16);
  });
}

void StretchGray8(Plane dst, ConstPlane src, const PixelRect& dstRect, const PixelRect& srcRect,
                  int32_t srcWidth, int32_t srcHeight) {
  Stretch<1>(dst, src, dstRect, srcRect, srcWidth, srcHeight);
}

void StretchColor24(Plane dst, ConstPlane src, const PixelRect& dstRect, const PixelRect& srcRect,
                    int32_t srcWidth, int32_t srcHeight) {
  Stretch<3>(dst, src, dstRect, srcRect, srcWidth, srcHeight);
}

}  // namespace zelcnv::imaging::reference
