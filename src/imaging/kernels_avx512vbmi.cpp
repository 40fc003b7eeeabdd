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

namespace {

// Where each output byte of 16 widened pixels comes from in their 48 packed bytes (loaded with
// 16 bytes of 0 after them), and the fourth bytes or words set after: blue, green, red, 0
// (kBgrx32); each byte twice, low and high of its word (kBgr48, 96 bytes); the same with a fourth
// word of 0xFFFF (kBgra64, 128 bytes).
struct WideOrder {
  alignas(64) uint8_t index[2][64];
  alignas(64) uint8_t fourth[2][64];
};

constexpr WideOrder MakeWideOrder(Widening widening) {
  WideOrder o{};
  const int pixelBytes = widening == Widening::kBgrx32 ? 4 : widening == Widening::kBgr48 ? 6 : 8;
  for (int k = 0; k < 16 * pixelBytes; ++k) {
    const int pixel = k / pixelBytes, at = k % pixelBytes;
    const int channel = widening == Widening::kBgrx32 ? at : at / 2;
    uint8_t& index = o.index[k / 64][k % 64];
    uint8_t& fourth = o.fourth[k / 64][k % 64];
    // Bytes 48..63 of the loaded register are 0.
    index = channel < 3 ? static_cast<uint8_t>(3 * pixel + channel) : 63;
    if (channel == 3) fourth = widening == Widening::kBgra64 ? 0xFF : 0;
  }
  return o;
}

template <Widening kWidening>
int32_t WidenRows(const uint8_t* src, ptrdiff_t srcStep, uint8_t* dst, ptrdiff_t dstStep,
                  int32_t rows, int32_t pixels) {
  constexpr int32_t kBlock = 16;  // 48 bytes in
  constexpr int kPixelBytes = kWidening == Widening::kBgrx32  ? 4
                              : kWidening == Widening::kBgr48 ? 6
                                                              : 8;
  constexpr int kOutBytes = kBlock * kPixelBytes;  // 64, 96 or 128
  static constexpr WideOrder kOrder = MakeWideOrder(kWidening);
  const __m512i index0 = _mm512_load_si512(kOrder.index[0]);
  const __m512i index1 = _mm512_load_si512(kOrder.index[1]);
  const __m512i fourth0 = _mm512_load_si512(kOrder.fourth[0]);
  const __m512i fourth1 = _mm512_load_si512(kOrder.fourth[1]);
  constexpr __mmask64 kIn = (__mmask64{1} << 48) - 1;
  const int32_t done = pixels / kBlock * kBlock;
  for (int32_t i = 0; i < rows; ++i) {
    const uint8_t* s = src + i * srcStep;
    uint8_t* d = dst + i * dstStep;
    for (int32_t j = 0; j < done; j += kBlock, s += 3 * kBlock, d += kOutBytes) {
      const __m512i in = _mm512_maskz_loadu_epi8(kIn, s);
      _mm512_storeu_si512(d, _mm512_or_si512(_mm512_permutexvar_epi8(index0, in), fourth0));
      if constexpr (kOutBytes == 96) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 64),
                            _mm512_castsi512_si256(_mm512_permutexvar_epi8(index1, in)));
      } else if constexpr (kOutBytes == 128) {
        _mm512_storeu_si512(d + 64, _mm512_or_si512(_mm512_permutexvar_epi8(index1, in), fourth1));
      }
    }
  }
  return done;
}

}  // namespace

int32_t WidenBgr24RowsAvx512Vbmi(const uint8_t* src, ptrdiff_t srcStep, uint8_t* dst,
                                 ptrdiff_t dstStep, int32_t rows, int32_t pixels,
                                 Widening widening) {
  switch (widening) {
    case Widening::kBgrx32:
      return WidenRows<Widening::kBgrx32>(src, srcStep, dst, dstStep, rows, pixels);
    case Widening::kBgr48:
      return WidenRows<Widening::kBgr48>(src, srcStep, dst, dstStep, rows, pixels);
    case Widening::kBgra64:
      return WidenRows<Widening::kBgra64>(src, srcStep, dst, dstStep, rows, pixels);
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
int32_t WidenBgr24RowsAvx512Vbmi(const uint8_t*, ptrdiff_t, uint8_t*, ptrdiff_t, int32_t, int32_t,
                                 Widening) {
  return 0;
}
int32_t YuyvToWideRowsAvx512Vbmi(const uint8_t*, ptrdiff_t, uint8_t*, ptrdiff_t, int32_t, int32_t,
                                 Widening) {
  return 0;
}
}  // namespace zelcnv::imaging::simd

#endif
