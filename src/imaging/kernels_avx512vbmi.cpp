// AVX-512 fast paths with the byte permutes (AVX512_VBMI). Built with that target for these
// functions only, and called only when the processor and operating system run it.
#include <cstddef>
#include <cstdint>

#include "imaging/kernels_simd.h"
#include "imaging/yuyv_exact.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#pragma GCC push_options
#pragma GCC target("avx512f,avx512bw,avx512vbmi")
// GCC 12's AVX-512 intrinsics start some results from a deliberately undefined register, which its
// own uninitialised-use warnings then report from inside the header.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#ifndef __clang__
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include "imaging/yuyv_simd.h"
#include "imaging/yuyv_avx512.h"

namespace zelcnv::imaging::simd {

int32_t YuyvToBgr24RowsAvx512Vbmi(const uint8_t* src, ptrdiff_t srcStep, uint8_t* dst,
                                  ptrdiff_t dstStep, int32_t rows, int32_t pixels) {
  return avx512::YuyvRows<true>(src, srcStep, dst, dstStep, rows, pixels);
}

int32_t YuyvToWideRowsAvx512Vbmi(const uint8_t* src, ptrdiff_t srcStep, uint8_t* dst,
                                 ptrdiff_t dstStep, int32_t rows, int32_t pixels,
                                 Widening widening) {
  switch (widening) {
    case Widening::kBgrx32:
      return avx512::YuyvRows<true, 4>(src, srcStep, dst, dstStep, rows, pixels);
    case Widening::kBgr48:
      return avx512::YuyvRows<true, 6>(src, srcStep, dst, dstStep, rows, pixels);
    case Widening::kBgra64:
      return avx512::YuyvRows<true, 8>(src, srcStep, dst, dstStep, rows, pixels);
  }
  return 0;
}

}  // namespace zelcnv::imaging::simd

#pragma GCC diagnostic pop
#pragma GCC pop_options

#else

namespace zelcnv::imaging::simd {
int32_t YuyvToBgr24RowsAvx512Vbmi(const uint8_t*, ptrdiff_t, uint8_t*, ptrdiff_t, int32_t,
                                  int32_t) {
  return 0;
}
int32_t YuyvToWideRowsAvx512Vbmi(const uint8_t*, ptrdiff_t, uint8_t*, ptrdiff_t, int32_t, int32_t,
                                 Widening) {
  return 0;
}
}  // namespace zelcnv::imaging::simd

#endif
