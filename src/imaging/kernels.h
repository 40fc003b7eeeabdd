// Pixel conversion kernels. The unit is the row function: it turns `width` pixels starting at
// `src` into `width` pixels starting at `dst`, and knows nothing of pictures. A kernel names its
// row function with the pixel sizes it reads and writes; ConvertRows runs it down the rows of a
// picture, and a negative step walks them upwards, which is all a flip is.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelcnv::imaging {

using RowFn = void(const uint8_t* src, uint8_t* dst, int32_t width);

struct RowKernel {
  RowFn* row;
  uint8_t srcBytes;  // per pixel
  uint8_t dstBytes;
};

// `height` rows of `width` pixels: row i is read at src + i * srcStep and written at
// dst + i * dstStep. The caller vouches that every row lies inside its buffer.
void ConvertRows(const RowKernel& kernel, const uint8_t* src, ptrdiff_t srcStep, uint8_t* dst,
                 ptrdiff_t dstStep, int32_t width, int32_t height);

// A picture's rows as a stretch reads or writes them: the first row, the step to the next (which
// may be negative), and the size in pixels.
template <class Byte>
struct PictureRows {
  Byte* first;
  ptrdiff_t step;
  int32_t width;
  int32_t height;
};

// Nearest-neighbour resample of the whole source onto the whole destination, both of the same
// pixel size: destination (x, y) takes source (trunc(x * sw / dw), trunc(y * sh / dh)), with the
// ratios in single precision and the samples kept inside the source.
using StretchFn = void(const PictureRows<const uint8_t>& src, const PictureRows<uint8_t>& dst);

// 16-bit colour channels hold an 8-bit value times 257: 0 stays 0 and 255 becomes 65535, the full
// range that readers of 16-bit samples expect, and the high byte is the 8-bit value again.
constexpr uint16_t Widen16(uint8_t value) {
  return static_cast<uint16_t>(value * 257);
}
constexpr uint16_t kOpaque16 = 0xFFFF;

// The plain definitions: one scalar implementation each, written as the behaviour is defined.
// Their output is the definition of every kernel's output. YUYV rows take their chroma pairs from
// the row's first pixel; an odd last pixel has no V byte and takes V = 0.
namespace reference {
RowFn YuyvToBgr24;       // YUYV 4:2:2 to blue, green, red
RowFn YuyvToBgrx32;      // the same colour, and a fourth byte of 0
RowFn YuyvToBgr48;       // the same colour as three 16-bit channels (Widen16)
RowFn YuyvToBgra64;      // as YuyvToBgr48, and a fourth channel of 0xFFFF
RowFn Bgrx32ToBgr24;     // the first three bytes of each pixel
RowFn Bgr48ToBgr24;      // the high byte of each 16-bit channel
RowFn Bgra64ToBgr24;     // the same, the fourth channel dropped
RowFn Bgr24ToRgb24;      // red first
RowFn Bgrx32ToRgbx32;    // red first, a fourth byte of 0
RowFn Bgr48ToRgb48;      // red first, 16-bit channels
RowFn Bgra64ToRgba64;    // red first, 16-bit channels, a fourth of 0xFFFF
RowFn Bgrx32ToBgra32;    // the fourth byte turned from 0 (nothing) to 255 (opaque): 255 - s[3]
StretchFn StretchGray8;  // one-byte pixels
StretchFn StretchBgr24;  // three-byte pixels
}  // namespace reference

// The kernels with fast paths, as the library calls them: the fastest implementation this
// processor runs, which writes exactly what the same-named reference writes. The kernels below
// without one are their reference.
RowFn YuyvToBgr24;
RowFn YuyvToBgrx32;
RowFn YuyvToBgr48;
RowFn YuyvToBgra64;
RowFn Bgrx32ToBgr24;
StretchFn StretchGray8;
StretchFn StretchBgr24;

constexpr RowKernel kYuyvToBgr24{YuyvToBgr24, 2, 3};
constexpr RowKernel kYuyvToBgrx32{YuyvToBgrx32, 2, 4};
constexpr RowKernel kYuyvToBgr48{YuyvToBgr48, 2, 6};
constexpr RowKernel kYuyvToBgra64{YuyvToBgra64, 2, 8};
constexpr RowKernel kBgrx32ToBgr24{Bgrx32ToBgr24, 4, 3};
constexpr RowKernel kBgr48ToBgr24{reference::Bgr48ToBgr24, 6, 3};
constexpr RowKernel kBgra64ToBgr24{reference::Bgra64ToBgr24, 8, 3};
constexpr RowKernel kBgr24ToRgb24{reference::Bgr24ToRgb24, 3, 3};
constexpr RowKernel kBgrx32ToRgbx32{reference::Bgrx32ToRgbx32, 4, 4};
constexpr RowKernel kBgr48ToRgb48{reference::Bgr48ToRgb48, 6, 6};
constexpr RowKernel kBgra64ToRgba64{reference::Bgra64ToRgba64, 8, 8};
constexpr RowKernel kBgrx32ToBgra32{reference::Bgrx32ToBgra32, 4, 4};

}  // namespace zelcnv::imaging
