// Row loops of the kernels' instruction-set fast paths (x86 only). Each converts the longest run
// of whole blocks it can from the start of one row and returns how many pixels that was; the
// caller finishes the row with the plain per-pixel code. Call one only when CpuSupports says its
// instruction set runs here.
#pragma once

#include <cstdint>

namespace zelcnv::imaging::simd {

// YUYV pixels (two bytes each, chroma pairs starting at the first) into blue, green, red.
int32_t YuyvToBgr24RowSsse3(const uint8_t* src, uint8_t* dst, int32_t pixels);
int32_t YuyvToBgr24RowAvx2(const uint8_t* src, uint8_t* dst, int32_t pixels);
int32_t YuyvToBgr24RowAvx512(const uint8_t* src, uint8_t* dst, int32_t pixels);
int32_t YuyvToBgr24RowAvx512Vbmi(const uint8_t* src, uint8_t* dst, int32_t pixels);

// Packed blue, green, red pixels widened to `outBytes` a pixel: 4, a fourth byte of 0; 6, 16-bit
// words holding each byte times 257; 8, those and a fourth word of 0xFFFF.
int32_t WidenBgr24RowSsse3(const uint8_t* src, uint8_t* dst, int32_t pixels, int outBytes);
// YUYV pixels straight into those wide layouts.
int32_t YuyvToWideRowAvx512Vbmi(const uint8_t* src, uint8_t* dst, int32_t pixels, int outBytes);

// The first three bytes of each four-byte pixel, packed.
int32_t Bgrx32ToBgr24RowSsse3(const uint8_t* src, uint8_t* dst, int32_t pixels);

}  // namespace zelcnv::imaging::simd
