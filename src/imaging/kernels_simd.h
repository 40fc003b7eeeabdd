// Row loops of the kernels' instruction-set fast paths. Each handles the same number of pixels in
// every row of a rectangle, the longest run it can do in whole blocks, and returns that number;
// the caller finishes each row with the plain per-pixel code. Call one only when CpuSupports says
// its instruction set runs here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelcnv::imaging::simd {

// YUYV pixels (two bytes each, chroma pairs starting at the first) into blue, green, red.
int32_t YuyvToBgr24RowsAvx512(const uint8_t* src, ptrdiff_t srcStep, uint8_t* dst,
                              ptrdiff_t dstStep, int32_t rows, int32_t pixels);
int32_t YuyvToBgr24RowsAvx512Vbmi(const uint8_t* src, ptrdiff_t srcStep, uint8_t* dst,
                                  ptrdiff_t dstStep, int32_t rows, int32_t pixels);
int32_t YuyvToBgr24RowsAvx2(const uint8_t* src, ptrdiff_t srcStep, uint8_t* dst, ptrdiff_t dstStep,
                            int32_t rows, int32_t pixels);
int32_t YuyvToBgr24RowsSsse3(const uint8_t* src, ptrdiff_t srcStep, uint8_t* dst, ptrdiff_t dstStep,
                             int32_t rows, int32_t pixels);

// Packed blue, green, red pixels widened: to four bytes with a fourth of 0 (kBgrx32), or to
// 16-bit words holding each byte times 257 (kBgr48), with a fourth word of 0xFFFF (kBgra64).
enum class Widening { kBgrx32, kBgr48, kBgra64 };
int32_t WidenBgr24RowsSsse3(const uint8_t* src, ptrdiff_t srcStep, uint8_t* dst, ptrdiff_t dstStep,
                            int32_t rows, int32_t pixels, Widening widening);
// YUYV pixels straight into the wide layouts (as WidenBgr24RowsSsse3 widens them), whole blocks.
int32_t YuyvToWideRowsAvx512Vbmi(const uint8_t* src, ptrdiff_t srcStep, uint8_t* dst,
                                 ptrdiff_t dstStep, int32_t rows, int32_t pixels,
                                 Widening widening);

// The first three bytes of each four-byte pixel, packed.
int32_t Color32To24RowsSsse3(const uint8_t* src, ptrdiff_t srcStep, uint8_t* dst, ptrdiff_t dstStep,
                             int32_t rows, int32_t pixels);

}  // namespace zelcnv::imaging::simd
