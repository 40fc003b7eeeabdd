// Pixel conversion kernels: stateless routines that copy a rectangle of pixels from one buffer
// into another while changing the pixel layout. They speak only of memory rows; which memory row
// is the top of the picture is the frame bitmap's business.
#pragma once

#include <cstdint>

namespace zelcnv::imaging {

// Right and bottom are exclusive.
struct PixelRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

// A view of a buffer's pixels in memory rows: pixel (x, y) starts at
// bits + y * stride + x * bytesPerPixel. The stride is the distance in bytes from one memory row
// to the next and may be larger than a row's pixels (padding); a view does not know how many rows
// or columns its buffer holds. Views are small and passed by value.
struct Plane {
  uint8_t* bits;
  int32_t stride;
  uint16_t bytesPerPixel;
};

// The same view of a buffer that is only read.
struct ConstPlane {
  const uint8_t* bits;
  int32_t stride;
  uint16_t bytesPerPixel;
};

// Copies `rect` of the source to the destination area of the same size whose first pixel is at
// (x, y).
using BlitKernelFn = void(Plane dst, ConstPlane src, const PixelRect& rect, int32_t x, int32_t y);

// Nearest-neighbour resample of the source rectangle's size onto `dstRect`. Samples are taken
// from the source buffer's origin (the source rectangle gives only a size) and kept inside the
// source's `srcWidth` x `srcHeight` pixels.
using StretchKernelFn = void(Plane dst, ConstPlane src, const PixelRect& dstRect,
                             const PixelRect& srcRect, int32_t srcWidth, int32_t srcHeight);

using BlitKernel = BlitKernelFn*;
using StretchKernel = StretchKernelFn*;

// 16-bit colour channels hold an 8-bit value times 257: 0 stays 0 and 255 becomes 65535, the full
// range that readers of 16-bit samples expect, and the high byte is the 8-bit value again.
constexpr uint16_t Widen16(uint8_t value) {
  return static_cast<uint16_t>(value * 257);
}
constexpr uint16_t kOpaque16 = 0xFFFF;

// The kernels check nothing and cannot fail. A rectangle without rows or without columns writes
// nothing. The caller guarantees that the source rectangle lies inside the source view's buffer,
// the destination area inside the destination's, that each view's pixel size covers the bytes the
// kernel touches, and for a stretch that the source size is positive and inside the source's
// buffer. For pictures that caller is FrameBitmap: ConvertFrom clips to both bitmaps, StretchFrom
// refuses a destination rectangle outside its own. "Flip" kernels write the rectangle's last
// source row into the first destination row.
//
// These entry points take the fastest implementation this processor runs; each produces exactly
// what the same-named function in `reference` produces.
BlitKernelFn CopyGray8Flip;      // d[0] = s[0]
BlitKernelFn CopyYuv16Flip;      // d[0..1] = s[0..1]; the source uses the destination's geometry
BlitKernelFn YuyvToBgr24Flip;    // YUYV 4:2:2 to blue, green, red
BlitKernelFn YuyvToBgr24;        // the same with rows kept in order
BlitKernelFn YuyvToBgrx32Flip;   // the same colour, and a fourth byte of 0
BlitKernelFn YuyvToBgr48Flip;    // the same colour as three 16-bit channels (Widen16)
BlitKernelFn YuyvToBgra64Flip;   // as YuyvToBgr48Flip, and a fourth channel of 0xFFFF
BlitKernelFn CopyColor24;        // d[0..2] = s[0..2]
BlitKernelFn Color48ToColor24;   // high byte of each of three words
BlitKernelFn SwapColor24;        // d[0..2] = s[2], s[1], s[0]
BlitKernelFn InvertAlpha32;      // d[0..2] = s[0..2], d[3] = 255 - s[3]
BlitKernelFn SwapColor48;        // D[0..2] = S[2], S[1], S[0]
BlitKernelFn SwapColor64;        // as SwapColor48, and D[3] = 0xFFFF
StretchKernelFn StretchGray8;    // byte 0 of the sampled pixel
StretchKernelFn StretchColor24;  // bytes 0..2 of the sampled pixel

// The plain definitions: one scalar implementation each, written as the behaviour is defined.
// Their output is the definition of every kernel's output.
namespace reference {
BlitKernelFn CopyGray8Flip;
BlitKernelFn CopyYuv16Flip;
BlitKernelFn YuyvToBgr24Flip;
BlitKernelFn YuyvToBgr24;
BlitKernelFn YuyvToBgrx32Flip;
BlitKernelFn YuyvToBgr48Flip;
BlitKernelFn YuyvToBgra64Flip;
BlitKernelFn CopyColor24;
BlitKernelFn Color48ToColor24;
BlitKernelFn SwapColor24;
BlitKernelFn InvertAlpha32;
BlitKernelFn SwapColor48;
BlitKernelFn SwapColor64;
StretchKernelFn StretchGray8;
StretchKernelFn StretchColor24;
}  // namespace reference

}  // namespace zelcnv::imaging
