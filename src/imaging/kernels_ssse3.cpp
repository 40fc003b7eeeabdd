// SSSE3 fast paths. Built with the SSSE3 target for these functions only, and called only when
// the processor runs SSSE3.
#include <cstddef>
#include <cstdint>

#include "imaging/kernels_simd.h"
#include "imaging/yuyv_exact.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#pragma GCC push_options
#pragma GCC target("ssse3")
#include "imaging/yuyv_simd.h"

namespace zelcnv::imaging::simd {
namespace {

#define ZELCNV_MM_I __m128i
#define ZELCNV_MM_F __m128
#define ZELCNV_MM(op) _mm_##op
#define ZELCNV_MM_SI(op) _mm_##op##_si128
#include "imaging/yuyv_simd_ops.h"

struct Ssse3Ops : SharedOps {
  static constexpr int kPixels = 8;

  static I Bytes(const uint8_t (&b)[16]) { return _mm_loadu_si128(reinterpret_cast<const I*>(b)); }
  static I CmpeqF(F a, F b) { return _mm_castps_si128(_mm_cmpeq_ps(a, b)); }
  static bool Any(I a) { return _mm_movemask_epi8(a) != 0; }
  static I Gather(const uint32_t* table, I index) {
    alignas(16) uint32_t at[4];
    _mm_store_si128(reinterpret_cast<I*>(at), index);
    return _mm_set_epi32(static_cast<int>(table[at[3]]), static_cast<int>(table[at[2]]),
                         static_cast<int>(table[at[1]]), static_cast<int>(table[at[0]]));
  }
  static void StoreBgr(uint8_t* dst, I head, I tail) {
    _mm_storeu_si128(reinterpret_cast<I*>(dst), head);
    _mm_storel_epi64(reinterpret_cast<I*>(dst + 16), tail);
  }
  static void SubtractBgr(uint8_t* dst, I head, I tail) {
    I* p = reinterpret_cast<I*>(dst);
    I* q = reinterpret_cast<I*>(dst + 16);
    _mm_storeu_si128(p, _mm_sub_epi8(_mm_loadu_si128(p), head));
    _mm_storel_epi64(q, _mm_sub_epi8(_mm_loadl_epi64(q), tail));
  }
};
using Ssse3 = yuyv_simd::WithVectorMasks<Ssse3Ops>;

// Spreads four packed three-byte pixels over four bytes each, the fourth byte 0.
constexpr uint8_t kAddFourth[16] = {0, 1, 2, 128, 3, 4, 5, 128, 6, 7, 8, 128, 9, 10, 11, 128};
// Keeps bytes 0..2 of each four-byte pixel, packed into the first 12 bytes.
constexpr uint8_t kDropFourth[16] = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 128, 128, 128, 128};

}  // namespace

int32_t YuyvToBgr24RowSsse3(const uint8_t* src, uint8_t* dst, int32_t pixels) {
  return yuyv_simd::ConvertRow<Ssse3>(src, dst, pixels);
}

int32_t Bgrx32ToBgr24RowSsse3(const uint8_t* s, uint8_t* d, int32_t pixels) {
  constexpr int32_t kBlock = 16;
  const __m128i drop = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kDropFourth));
  const int32_t done = pixels / kBlock * kBlock;
  for (int32_t j = 0; j < done; j += kBlock, s += 4 * kBlock, d += 3 * kBlock) {
    const __m128i* in = reinterpret_cast<const __m128i*>(s);
    const __m128i p0 = _mm_shuffle_epi8(_mm_loadu_si128(in), drop);
    const __m128i p1 = _mm_shuffle_epi8(_mm_loadu_si128(in + 1), drop);
    const __m128i p2 = _mm_shuffle_epi8(_mm_loadu_si128(in + 2), drop);
    const __m128i p3 = _mm_shuffle_epi8(_mm_loadu_si128(in + 3), drop);
    __m128i* out = reinterpret_cast<__m128i*>(d);
    _mm_storeu_si128(out, _mm_or_si128(p0, _mm_slli_si128(p1, 12)));
    _mm_storeu_si128(out + 1, _mm_or_si128(_mm_srli_si128(p1, 4), _mm_slli_si128(p2, 8)));
    _mm_storeu_si128(out + 2, _mm_or_si128(_mm_srli_si128(p2, 8), _mm_slli_si128(p3, 4)));
  }
  return done;
}

int32_t WidenBgr24RowSsse3(const uint8_t* s, uint8_t* d, int32_t pixels, int outBytes) {
  constexpr int32_t kBlock = 16;  // 48 bytes in
  const __m128i add = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kAddFourth));
  const __m128i fourth = _mm_set1_epi32(outBytes == 8 ? -16777216 : 0);
  const int32_t done = pixels / kBlock * kBlock;
  for (int32_t j = 0; j < done; j += kBlock, s += 3 * kBlock) {
    const __m128i* in = reinterpret_cast<const __m128i*>(s);
    const __m128i in0 = _mm_loadu_si128(in), in1 = _mm_loadu_si128(in + 1);
    const __m128i in2 = _mm_loadu_si128(in + 2);
    __m128i* out = reinterpret_cast<__m128i*>(d);
    if (outBytes == 6) {
      // Every byte twice: b | b << 8 is b * 257.
      _mm_storeu_si128(out, _mm_unpacklo_epi8(in0, in0));
      _mm_storeu_si128(out + 1, _mm_unpackhi_epi8(in0, in0));
      _mm_storeu_si128(out + 2, _mm_unpacklo_epi8(in1, in1));
      _mm_storeu_si128(out + 3, _mm_unpackhi_epi8(in1, in1));
      _mm_storeu_si128(out + 4, _mm_unpacklo_epi8(in2, in2));
      _mm_storeu_si128(out + 5, _mm_unpackhi_epi8(in2, in2));
      d += 6 * kBlock;
      continue;
    }
    const __m128i quads[4] = {
        _mm_or_si128(_mm_shuffle_epi8(in0, add), fourth),
        _mm_or_si128(_mm_shuffle_epi8(_mm_alignr_epi8(in1, in0, 12), add), fourth),
        _mm_or_si128(_mm_shuffle_epi8(_mm_alignr_epi8(in2, in1, 8), add), fourth),
        _mm_or_si128(_mm_shuffle_epi8(_mm_srli_si128(in2, 4), add), fourth)};
    for (int q = 0; q < 4; ++q) {
      if (outBytes == 4) {
        _mm_storeu_si128(out + q, quads[q]);
      } else {
        _mm_storeu_si128(out + 2 * q, _mm_unpacklo_epi8(quads[q], quads[q]));
        _mm_storeu_si128(out + 2 * q + 1, _mm_unpackhi_epi8(quads[q], quads[q]));
      }
    }
    d += outBytes * kBlock;
  }
  return done;
}

}  // namespace zelcnv::imaging::simd

#pragma GCC pop_options

#endif
