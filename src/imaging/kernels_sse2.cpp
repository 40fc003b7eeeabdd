// SSE2 fast paths. Built with the SSE2 target for these functions only (32-bit x86 may lack it),
// and called only when the processor runs SSE2.
#include <cstddef>
#include <cstdint>

#include "imaging/kernels_simd.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#pragma GCC push_options
#pragma GCC target("sse2")

namespace zelcnv::imaging::simd {

int32_t HighBytesRowsSse2(const uint8_t* src, ptrdiff_t srcStep, uint8_t* dst, ptrdiff_t dstStep,
                          int32_t rows, int32_t pixels) {
  constexpr int32_t kBlock = 16;
  const int32_t done = pixels / kBlock * kBlock;
  for (int32_t i = 0; i < rows; ++i) {
    const uint8_t* s = src + i * srcStep;
    uint8_t* d = dst + i * dstStep;
    for (int32_t j = 0; j < done; j += kBlock, s += 2 * kBlock, d += kBlock) {
      const __m128i low = _mm_srli_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s)), 8);
      const __m128i high =
          _mm_srli_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16)), 8);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_packus_epi16(low, high));
    }
  }
  return done;
}

}  // namespace zelcnv::imaging::simd

#pragma GCC pop_options

#else

namespace zelcnv::imaging::simd {
int32_t HighBytesRowsSse2(const uint8_t*, ptrdiff_t, uint8_t*, ptrdiff_t, int32_t, int32_t) {
  return 0;
}
}  // namespace zelcnv::imaging::simd

#endif
