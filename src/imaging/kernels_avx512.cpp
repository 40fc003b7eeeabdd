// AVX-512 fast paths (foundation and byte-and-word instructions). kernels_avx512vbmi.cpp builds
// this file again with the byte permutes (AVX512_VBMI). Built with those targets for these
// functions only, and called only when the processor and operating system run them.
#include <cstdint>

#include "imaging/kernels_simd.h"
#include "imaging/yuyv_exact.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#ifndef ZELCNV_AVX512_VBMI
#define ZELCNV_AVX512_VBMI 0
#endif

#pragma GCC push_options
#if ZELCNV_AVX512_VBMI
#pragma GCC target("avx512f,avx512bw,avx512vbmi")
#else
#pragma GCC target("avx512f,avx512bw")
#endif
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

#if ZELCNV_AVX512_VBMI
using Avx512Vbmi = avx512::Avx512<true>;

int32_t YuyvToBgr24RowAvx512Vbmi(const uint8_t* src, uint8_t* dst, int32_t pixels) {
  return yuyv_simd::ConvertRow<Avx512Vbmi>(src, dst, pixels);
}

int32_t YuyvToWideRowAvx512Vbmi(const uint8_t* src, uint8_t* dst, int32_t pixels, int outBytes) {
  switch (outBytes) {
    case 4:
      return yuyv_simd::ConvertRow<Avx512Vbmi, 4>(src, dst, pixels);
    case 6:
      return yuyv_simd::ConvertRow<Avx512Vbmi, 6>(src, dst, pixels);
    default:
      return yuyv_simd::ConvertRow<Avx512Vbmi, 8>(src, dst, pixels);
  }
}
#else
int32_t YuyvToBgr24RowAvx512(const uint8_t* src, uint8_t* dst, int32_t pixels) {
  return yuyv_simd::ConvertRow<avx512::Avx512<false> >(src, dst, pixels);
}
#endif

}  // namespace zelcnv::imaging::simd

#pragma GCC diagnostic pop
#pragma GCC pop_options

#endif
