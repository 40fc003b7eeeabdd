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
int Walk(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int32_t x, int32_t y,
         uint16_t dstBpp, uint16_t srcBpp, int32_t dstStride, int32_t srcStride,
         PerPixel perPixel) {
  const int64_t width = RectWidth(rect);
  const int64_t height = RectHeight(rect);
  for (int32_t i = 0; i < height; ++i) {
    uint8_t* d = dst + PixelOffset(y + i, dstStride, x, dstBpp);
    const uint8_t* s =
        src + PixelOffset(SourceRow(kFlipped, rect, i), srcStride, rect.left, srcBpp);
    for (int64_t j = 0; j < width; ++j) {
      perPixel(d, s);
      d += dstBpp;
      s += srcBpp;
    }
  }
  return 1;
}

#define ZELCNV_BLIT_ARGS                                                                          \
  uint8_t *dst, const uint8_t *src, const PixelRect &rect, int32_t x, int32_t y, uint16_t dstBpp, \
      uint16_t srcBpp, int32_t dstStride, int32_t srcStride, intptr_t, intptr_t
#define ZELCNV_WALK dst, src, rect, x, y, dstBpp, srcBpp, dstStride, srcStride

template <int kBytes>
int Stretch(uint8_t* dst, const uint8_t* src, const PixelRect& dstRect, const PixelRect& srcRect,
            int32_t srcWidth, int32_t srcHeight, uint16_t dstBpp, uint16_t srcBpp,
            int32_t dstStride, int32_t srcStride) {
  const int64_t width = RectWidth(dstRect);
  const int64_t height = RectHeight(dstRect);
  // With no destination row or column nothing is written, and the ratios are never needed.
  if (height <= 0 || width <= 0) return 1;
  const float xr = StretchRatio(RectWidth(srcRect), width);
  const float yr = StretchRatio(RectHeight(srcRect), height);
  for (int32_t i = 0; i < height; ++i) {
    const int32_t sy = StretchSample(i, yr, srcHeight);
    uint8_t* d = dst + PixelOffset(dstRect.top + i, dstStride, dstRect.left, dstBpp);
    for (int32_t j = 0; j < width; ++j) {
      const int32_t sx = StretchSample(j, xr, srcWidth);
      std::memcpy(d, src + PixelOffset(sy, srcStride, sx, srcBpp), kBytes);
      d += dstBpp;
    }
  }
  return 1;
}

}  // namespace

int CopyGray8Flip(ZELCNV_BLIT_ARGS) {
  return Walk<true>(ZELCNV_WALK, [](uint8_t* d, const uint8_t* s) { d[0] = s[0]; });
}

int CopyYuv16Flip(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int32_t x, int32_t y,
                  uint16_t dstBpp, uint16_t, int32_t dstStride, int32_t, intptr_t, intptr_t) {
  // Both buffers are stepped with the destination's pixel size and stride.
  return Walk<true>(dst, src, rect, x, y, dstBpp, dstBpp, dstStride, dstStride,
                    [](uint8_t* d, const uint8_t* s) {
                      d[0] = s[0];
                      d[1] = s[1];
                    });
}

int YuyvToBgr24Flip(ZELCNV_BLIT_ARGS) {
  const int64_t width = RectWidth(rect);
  const int64_t height = RectHeight(rect);
  if (height <= 0) return 1;
  int32_t luma[kYuyvWorkRowPixels];
  int32_t chromaU[kYuyvWorkRowPixels];
  int32_t chromaV[kYuyvWorkRowPixels];
  for (int32_t i = 0; i < height; ++i) {
    uint8_t* d = dst + PixelOffset(y + i, dstStride, x, dstBpp);
    const uint8_t* s = src + PixelOffset(SourceRow(true, rect, i), srcStride, rect.left, srcBpp);
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
        YuyvPixelToBgr(luma[k], chromaU[k], chromaV[k], d);
        d += dstBpp;
      }
    }
  }
  return 1;
}

int CopyRowsFlip(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int32_t x, int32_t y,
                 uint16_t dstBpp, uint16_t srcBpp, int32_t dstStride, int32_t srcStride, intptr_t,
                 intptr_t) {
  const int64_t height = RectHeight(rect);
  const int32_t bytes = dstStride < srcStride ? dstStride : srcStride;
  // A stride that is not positive has no row to copy.
  if (bytes <= 0) return 1;
  for (int32_t i = 0; i < height; ++i) {
    std::memcpy(dst + PixelOffset(y + i, dstStride, x, dstBpp),
                src + PixelOffset(SourceRow(true, rect, i), srcStride, rect.left, srcBpp),
                static_cast<size_t>(bytes));
  }
  return 1;
}

int CopyColor24(ZELCNV_BLIT_ARGS) {
  return Walk<false>(ZELCNV_WALK, [](uint8_t* d, const uint8_t* s) {
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
  });
}

int CopyColor24Flip(ZELCNV_BLIT_ARGS) {
  return Walk<true>(ZELCNV_WALK, [](uint8_t* d, const uint8_t* s) {
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
  });
}

int Gray16ToGray8(ZELCNV_BLIT_ARGS) {
  return Walk<false>(ZELCNV_WALK, [](uint8_t* d, const uint8_t* s) { d[0] = s[1]; });
}

int Gray10ToGray8Flip(ZELCNV_BLIT_ARGS) {
  return Walk<true>(ZELCNV_WALK, [](uint8_t* d, const uint8_t* s) {
    d[0] = static_cast<uint8_t>((s[1] << 6) | (s[0] >> 2));
  });
}

int Color48ToColor24(ZELCNV_BLIT_ARGS) {
  return Walk<false>(ZELCNV_WALK, [](uint8_t* d, const uint8_t* s) {
    d[0] = s[1];
    d[1] = s[3];
    d[2] = s[5];
  });
}

int Color10ToColor24Flip(ZELCNV_BLIT_ARGS) {
  return Walk<true>(ZELCNV_WALK, [](uint8_t* d, const uint8_t* s) {
    for (int k = 0; k < 3; ++k) d[k] = static_cast<uint8_t>((s[2 * k + 1] << 6) | (s[2 * k] >> 2));
  });
}

int SwapColor24(ZELCNV_BLIT_ARGS) {
  return Walk<false>(ZELCNV_WALK, [](uint8_t* d, const uint8_t* s) {
    d[0] = s[2];
    d[1] = s[1];
    d[2] = s[0];
  });
}

int InvertAlpha32(ZELCNV_BLIT_ARGS) {
  return Walk<false>(ZELCNV_WALK, [](uint8_t* d, const uint8_t* s) {
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
    d[3] = static_cast<uint8_t>(255 - s[3]);
  });
}

int Gray12ToGray16(ZELCNV_BLIT_ARGS) {
  return Walk<false>(ZELCNV_WALK,
                     [](uint8_t* d, const uint8_t* s) { PutWord(d, 0, Word(s, 0) << 4); });
}

int Color10ToColor48(ZELCNV_BLIT_ARGS) {
  return Walk<false>(ZELCNV_WALK, [](uint8_t* d, const uint8_t* s) {
    for (int k = 0; k < 3; ++k) PutWord(d, k, Word(s, k) << 6);
  });
}

int Color10ToColor64(ZELCNV_BLIT_ARGS) {
  return Walk<false>(ZELCNV_WALK, [](uint8_t* d, const uint8_t* s) {
    for (int k = 0; k < 3; ++k) PutWord(d, k, Word(s, k) << 6);
    PutWord(d, 3, 0xFFFF);
  });
}

int Color10ToColor48Swap(ZELCNV_BLIT_ARGS) {
  return Walk<false>(ZELCNV_WALK, [](uint8_t* d, const uint8_t* s) {
    for (int k = 0; k < 3; ++k) PutWord(d, k, Word(s, 2 - k) << 6);
  });
}

int Color10ToColor64Swap(ZELCNV_BLIT_ARGS) {
  return Walk<false>(ZELCNV_WALK, [](uint8_t* d, const uint8_t* s) {
    for (int k = 0; k < 3; ++k) PutWord(d, k, Word(s, 2 - k) << 6);
    PutWord(d, 3, 0xFFFF);
  });
}

int StretchGray8(uint8_t* dst, const uint8_t* src, const PixelRect& dstRect,
                 const PixelRect& srcRect, int32_t, int32_t, int32_t srcWidth, int32_t srcHeight,
                 uint16_t dstBpp, uint16_t srcBpp, int32_t dstStride, int32_t srcStride, intptr_t,
                 intptr_t) {
  return Stretch<1>(dst, src, dstRect, srcRect, srcWidth, srcHeight, dstBpp, srcBpp, dstStride,
                    srcStride);
}

int StretchColor24(uint8_t* dst, const uint8_t* src, const PixelRect& dstRect,
                   const PixelRect& srcRect, int32_t, int32_t, int32_t srcWidth, int32_t srcHeight,
                   uint16_t dstBpp, uint16_t srcBpp, int32_t dstStride, int32_t srcStride, intptr_t,
                   intptr_t) {
  return Stretch<3>(dst, src, dstRect, srcRect, srcWidth, srcHeight, dstBpp, srcBpp, dstStride,
                    srcStride);
}

}  // namespace zelcnv::imaging::reference
