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

struct Avx2Ops {
  using I = __m256i;
  using F = __m256;
  static constexpr int kPixels = 16;

  static I Load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const I*>(p)); }
  static I Zero() { return _mm256_setzero_si256(); }
  static I Set16(uint16_t v) { return _mm256_set1_epi16(static_cast<short>(v)); }
  static I Set32(uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
  static F SetF(float v) { return _mm256_set1_ps(v); }
  static I Bytes(const uint8_t (&b)[16]) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b)));
  }
  static I And(I a, I b) { return _mm256_and_si256(a, b); }
  static I AndNot(I a, I b) { return _mm256_andnot_si256(a, b); }
  static I Or(I a, I b) { return _mm256_or_si256(a, b); }
  static I Add16(I a, I b) { return _mm256_add_epi16(a, b); }
  static I Sub16(I a, I b) { return _mm256_sub_epi16(a, b); }
  static I Sub8(I a, I b) { return _mm256_sub_epi8(a, b); }
  static I SubsU8(I a, I b) { return _mm256_subs_epu8(a, b); }
  static I Add32(I a, I b) { return _mm256_add_epi32(a, b); }
  static I Sub32(I a, I b) { return _mm256_sub_epi32(a, b); }
  static I MulHiU16(I a, I b) { return _mm256_mulhi_epu16(a, b); }
  static I Madd16(I a, I b) { return _mm256_madd_epi16(a, b); }
  template <int N>
  static I Srli16(I a) {
    return _mm256_srli_epi16(a, N);
  }
  template <int N>
  static I Slli16(I a) {
    return _mm256_slli_epi16(a, N);
  }
  template <int N>
  static I Srli32(I a) {
    return _mm256_srli_epi32(a, N);
  }
  static I Cmpeq16(I a, I b) { return _mm256_cmpeq_epi16(a, b); }
  static I Cmpgt16(I a, I b) { return _mm256_cmpgt_epi16(a, b); }
  static I Cmpeq32(I a, I b) { return _mm256_cmpeq_epi32(a, b); }
  static I Shuffle(I a, I control) { return _mm256_shuffle_epi8(a, control); }
  static I PackUs16(I a, I b) { return _mm256_packus_epi16(a, b); }
  static F ToFloat(I a) { return _mm256_cvtepi32_ps(a); }
  static I TruncToInt(F a) { return _mm256_cvttps_epi32(a); }
  static F MulF(F a, F b) { return _mm256_mul_ps(a, b); }
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

int32_t YuyvToBgr24RowsAvx2(const uint8_t* src, ptrdiff_t srcStep, uint8_t* dst, ptrdiff_t dstStep,
                            int32_t rows, int32_t pixels) {
  // Made once (the live path converts a frame in bands of a few rows, a call each); the row loop
  // reads a copy of this call's own (measured faster than reading the shared one).
  static const yuyv_simd::Constants<Avx2> kConstants(YuyvTables());
  const yuyv_simd::Constants<Avx2> constants = kConstants;
  int32_t done = 0;
  yuyv_simd::Mode mode = yuyv_simd::Mode::kAfterwards;
  for (int32_t i = 0; i < rows; ++i) {
    done = yuyv_simd::Row<Avx2>(src + i * srcStep, dst + i * dstStep, pixels, constants, &mode);
  }
  return done;
}

}  // namespace zelcnv::imaging::simd

#pragma GCC pop_options

#else

namespace zelcnv::imaging::simd {
int32_t YuyvToBgr24RowsAvx2(const uint8_t*, ptrdiff_t, uint8_t*, ptrdiff_t, int32_t, int32_t) {
  return 0;
}
}  // namespace zelcnv::imaging::simd

#endif
