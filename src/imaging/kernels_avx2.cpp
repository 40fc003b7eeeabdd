// AVX2 fast paths. Built with the AVX2 target for these functions only, and called only when the
// processor and operating system run AVX2.
#include <cstddef>
#include <cstdint>

#include "imaging/kernels_simd.h"
#include "imaging/yuyv_exact.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#pragma GCC push_options
#pragma GCC target("avx2")
#include "imaging/yuyv_simd.h"

namespace zelcnv::imaging::simd {
namespace {

#define ZELCNV_MM_I __m256i
#define ZELCNV_MM_F __m256
#define ZELCNV_MM(op) _mm256_##op
#define ZELCNV_MM_SI(op) _mm256_##op##_si256
#include "imaging/yuyv_simd_ops.h"

struct Avx2Ops : SharedOps {
  static constexpr int kPixels = 16;

  static I Bytes(const uint8_t (&b)[16]) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b)));
  }
  static I CmpeqF(F a, F b) { return _mm256_castps_si256(_mm256_cmp_ps(a, b, _CMP_EQ_OQ)); }
  static bool Any(I a) { return _mm256_testz_si256(a, a) == 0; }
  static I Gather(const uint32_t* table, I index) {
    return _mm256_i32gather_epi32(reinterpret_cast<const int*>(table), index, 4);
  }
  // Each 128-bit lane holds eight pixels: 16 bytes in `head`, 8 in the low half of `tail`.
  static void StoreBgr(uint8_t* dst, I head, I tail) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm256_castsi256_si128(head));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + 16), _mm256_castsi256_si128(tail));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 24), _mm256_extracti128_si256(head, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + 40), _mm256_extracti128_si256(tail, 1));
  }
  // Subtracts bytes laid out as StoreBgr's from the 48 bytes at `dst`: the 64-bit pieces are
  // gathered into output order first, so that two loads and stores cover them.
  static void SubtractBgr(uint8_t* dst, I head, I tail) {
    // head = [h0 h1 | h2 h3], tail = [t0 - | t2 -]: output order h0 h1 t0 h2 | h3 t2.
    const I first = _mm256_blend_epi32(_mm256_permute4x64_epi64(head, 0x84),
                                       _mm256_permute4x64_epi64(tail, 0x00), 0x30);
    const __m128i second = _mm256_extracti128_si256(_mm256_alignr_epi8(tail, head, 8), 1);
    I* p = reinterpret_cast<I*>(dst);
    __m128i* q = reinterpret_cast<__m128i*>(dst + 32);
    _mm256_storeu_si256(p, _mm256_sub_epi8(_mm256_loadu_si256(p), first));
    _mm_storeu_si128(q, _mm_sub_epi8(_mm_loadu_si128(q), second));
  }
};
using Avx2 = yuyv_simd::WithVectorMasks<Avx2Ops>;

}  // namespace

int32_t YuyvToBgr24RowAvx2(const uint8_t* src, uint8_t* dst, int32_t pixels) {
  return yuyv_simd::ConvertRow<Avx2>(src, dst, pixels);
}

}  // namespace zelcnv::imaging::simd

#pragma GCC pop_options

#endif
