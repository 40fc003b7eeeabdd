// The AVX-512 type of the YUYV row loop (foundation and byte-and-word instructions, and
// optionally the byte permutes). Include only from an instruction-set file, after its target
// pragma and yuyv_simd.h.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelcnv::imaging::simd::avx512 {

// Where each byte of a block's output comes from (PackedOrder), per 64-byte output register.
struct PermuteOrder {
  alignas(64) uint8_t index[4][64];
  alignas(64) uint8_t fourth[4][64];  // set after: the 0xFF of a 64-bit pixel's fourth word
  uint64_t channels[4];               // the bytes that take a channel (others are 0 first)
};

// Comparisons give mask registers; the green ranges come from the slot tables, held in four
// registers, with two permutes per register of pairs instead of a gather.
template <bool kPermutesBytes_>
struct Avx512 {
  using I = __m512i;
  using F = __m512;
  using M16 = __mmask32;
  using M32 = __mmask16;
  using Flags = uint32_t;
  static constexpr int kPixels = 32;
  // With the byte permutes (AVX512_VBMI), one permute per output register takes the packed
  // channels straight into output order.
  static constexpr bool kPermutesBytes = kPermutesBytes_;
  // Two permutes: dense pictures make every correction at once.
  static constexpr bool kCheapGreen = true;
  // With the byte permutes, the listed bounds come from a table of the V bytes 128..255.
  static constexpr bool kListedByTable = kPermutesBytes_;

  struct GreenTable {
    I rangesLow, rangesHigh, chromaLow, chromaHigh;
    __m128i shift;
  };

  static I Load(const uint8_t* p) { return _mm512_loadu_si512(p); }
  static I Zero() { return _mm512_setzero_si512(); }
  static I Set16(uint16_t v) { return _mm512_set1_epi16(static_cast<short>(v)); }
  static I Set32(uint32_t v) { return _mm512_set1_epi32(static_cast<int>(v)); }
  static F SetF(float v) { return _mm512_set1_ps(v); }
  static I Bytes(const uint8_t (&b)[16]) {
    return _mm512_broadcast_i32x4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b)));
  }
  static I And(I a, I b) { return _mm512_and_si512(a, b); }
  static I AndNot(I a, I b) { return _mm512_andnot_si512(a, b); }
  static I Or(I a, I b) { return _mm512_or_si512(a, b); }
  static I Add16(I a, I b) { return _mm512_add_epi16(a, b); }
  static I Sub16(I a, I b) { return _mm512_sub_epi16(a, b); }
  static I Sub8(I a, I b) { return _mm512_sub_epi8(a, b); }
  static I SubsU8(I a, I b) { return _mm512_subs_epu8(a, b); }
  static I Add32(I a, I b) { return _mm512_add_epi32(a, b); }
  static I Sub32(I a, I b) { return _mm512_sub_epi32(a, b); }
  static I MulHiU16(I a, I b) { return _mm512_mulhi_epu16(a, b); }
  static I Madd16(I a, I b) { return _mm512_madd_epi16(a, b); }
  template <int N>
  static I Srli16(I a) {
    return _mm512_srli_epi16(a, N);
  }
  template <int N>
  static I Slli16(I a) {
    return _mm512_slli_epi16(a, N);
  }
  template <int N>
  static I Srli32(I a) {
    return _mm512_srli_epi32(a, N);
  }
  static I Shuffle(I a, I control) { return _mm512_shuffle_epi8(a, control); }
  static I PackUs16(I a, I b) { return _mm512_packus_epi16(a, b); }
  static F ToFloat(I a) { return _mm512_cvtepi32_ps(a); }
  static I TruncToInt(F a) { return _mm512_cvttps_epi32(a); }
  static F MulF(F a, F b) { return _mm512_mul_ps(a, b); }

  static M16 Cmpeq16(I a, I b) { return _mm512_cmpeq_epi16_mask(a, b); }
  static M32 Cmpeq32(I a, I b) { return _mm512_cmpeq_epi32_mask(a, b); }
  static M16 NonZero16(I a) { return _mm512_test_epi16_mask(a, a); }
  static I Dec16(I a, M16 lanes, I one) { return _mm512_mask_sub_epi16(a, lanes, a, one); }
  static I OneWhere16(M16 lanes, I one) { return _mm512_maskz_mov_epi16(lanes, one); }
  static I OrWhere32(I a, M32 lanes, I b) { return _mm512_mask_or_epi32(a, lanes, a, b); }
  static M16 Less16(I a, I b) { return _mm512_cmplt_epu16_mask(a, b); }
  static M32 MaskAndNot32(M32 a, M32 b) { return static_cast<M32>(~a & b); }
  // Only whether any bit is set matters, so both widths share one word.
  static Flags Flag16(M16 a) { return a; }
  static Flags Flag32(M32 a) { return a; }
  static Flags FlagOr(Flags a, Flags b) { return a | b; }
  static bool AnyFlag(Flags a) { return a != 0; }

  static GreenTable MakeGreenTable(const YuyvExactTables& t) {
    alignas(64) uint32_t chroma[kGreenSlots];
    for (int i = 0; i < kGreenSlots; ++i) chroma[i] = uint32_t{t.greenSlotChroma[i]} << 8;
    return {_mm512_loadu_si512(t.greenSlotRanges), _mm512_loadu_si512(t.greenSlotRanges + 16),
            _mm512_loadu_si512(chroma), _mm512_loadu_si512(chroma + 16),
            _mm_cvtsi32_si128(8 + t.greenSlotShift)};
  }
  // The listed red bounds by V byte - 128; other bytes (and the tables of paths that do not use
  // it) 0.
  struct ListedTable {
    I low, high;
  };
  static ListedTable MakeListedTable(const YuyvExactTables& t) {
    alignas(64) uint8_t below[128] = {};
    for (int i = 0; i < t.listedCount; ++i) {
      const YuyvExactTables::Listed& l = t.listed[i];
      if (kListedByTable && l.red && l.chroma >= kChromaOffset) {
        below[l.chroma - kChromaOffset] = l.below;
      }
    }
    return {_mm512_load_si512(below), _mm512_load_si512(below + 64)};
  }
  // Per byte: the table's entry for an index byte of 128 or more (its low seven bits), else 0.
  static I LookUpHigh(I index, const ListedTable& t) {
    return _mm512_maskz_permutex2var_epi8(_mm512_movepi8_mask(index), t.low, index, t.high);
  }

  // The permutes read the low five bits of each index: the slot. A slot's ranges hold for the
  // pair only when its U byte is the slot's and the pair is exact.
  static I GreenRanges(I w, I uMasked, M32 whole, const GreenTable& g) {
    const I slot = _mm512_srl_epi32(w, g.shift);
    const I ranges = _mm512_permutex2var_epi32(g.rangesLow, slot, g.rangesHigh);
    const I chroma = _mm512_permutex2var_epi32(g.chromaLow, slot, g.chromaHigh);
    return _mm512_maskz_mov_epi32(_mm512_mask_cmpeq_epi32_mask(whole, chroma, uMasked), ranges);
  }

  // Each 128-bit lane holds eight pixels: 16 bytes in `head`, 8 in the low half of `tail`. In
  // 64-bit pieces, head = h0 h1 | h2 h3 | h4 h5 | h6 h7 and tail = t0 - | t2 - | t4 - | t6 -; the
  // output is h0 h1 t0 h2 h3 t2 h4 h5 | t4 h6 h7 t6.
  static void Order(I head, I tail, I* first, __m256i* second) {
    const I firstOrder = _mm512_set_epi64(5, 4, 10, 3, 2, 8, 1, 0);
    const I secondOrder = _mm512_set_epi64(0, 0, 0, 0, 14, 7, 6, 12);
    *first = _mm512_permutex2var_epi64(head, firstOrder, tail);
    *second = _mm512_castsi512_si256(_mm512_permutex2var_epi64(head, secondOrder, tail));
  }
  static void StoreBgr(uint8_t* dst, I head, I tail) {
    I first;
    __m256i second;
    Order(head, tail, &first, &second);
    _mm512_storeu_si512(dst, first);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 64), second);
  }
  static void SubtractBgr(uint8_t* dst, I head, I tail) {
    I first;
    __m256i second;
    Order(head, tail, &first, &second);
    __m256i* q = reinterpret_cast<__m256i*>(dst + 64);
    _mm512_storeu_si512(dst, _mm512_sub_epi8(_mm512_loadu_si512(dst), first));
    _mm256_storeu_si256(q, _mm256_sub_epi8(_mm256_loadu_si256(q), second));
  }

  // From blue and green packed as each 128-bit lane's eight and eight bytes (`bg`), and red as
  // the first eight of each lane (`rr`): output pixel p (lane p / 8, place p % 8) of kOut bytes,
  // channel bytes (3 or 4 bytes a pixel) or words (6 or 8: the byte twice, v * 257) in blue,
  // green, red order, then 0 (4) or 0xFFFF (8).
  template <int kOut>
  static constexpr PermuteOrder PackedOrder() {
    PermuteOrder o{};
    for (int k = 0; k < kPixels * kOut; ++k) {
      const int p = k / kOut, byte = k % kOut, at = 16 * (p / 8) + p % 8;
      const int channel = kOut <= 4 ? byte : byte / 2;
      const int r = k / 64, i = k % 64;
      if (channel < 3) {
        o.index[r][i] = static_cast<uint8_t>(channel == 0 ? at : channel == 1 ? at + 8 : 64 + at);
        o.channels[r] |= uint64_t{1} << i;
      } else {
        o.fourth[r][i] = kOut == 8 ? 0xFF : 0;
      }
    }
    return o;
  }
  template <int kOut>
  static constexpr PermuteOrder kPackedOrder = PackedOrder<kOut>();

  // Output register r of a block (kFourth: with its fourth bytes set), or its corrections.
  template <int kOut, bool kFourth>
  static I Packed(int r, I bg, I rr) {
    const PermuteOrder& o = kPackedOrder<kOut>;
    const I index = _mm512_load_si512(o.index[r]);
    if constexpr (kOut == 3 || kOut == 6) {
      return _mm512_permutex2var_epi8(bg, index, rr);
    } else {
      const I v = _mm512_maskz_permutex2var_epi8(o.channels[r], bg, index, rr);
      return kFourth && kOut == 8 ? _mm512_or_si512(v, _mm512_load_si512(o.fourth[r])) : v;
    }
  }
  template <int kOut>
  static void StorePacked(uint8_t* dst, I bg, I rr) {
    constexpr int kFull = kPixels * kOut / 64;  // 96 bytes: one register and a half
    for (int r = 0; r < kFull; ++r) {
      _mm512_storeu_si512(dst + 64 * r, Packed<kOut, true>(r, bg, rr));
    }
    if constexpr (kPixels * kOut % 64 != 0) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 64 * kFull),
                          _mm512_castsi512_si256(Packed<kOut, true>(kFull, bg, rr)));
    }
  }
  template <int kOut>
  static void SubtractPacked(uint8_t* dst, I bg, I rr) {
    constexpr int kFull = kPixels * kOut / 64;
    for (int r = 0; r < kFull; ++r) {
      uint8_t* p = dst + 64 * r;
      _mm512_storeu_si512(p,
                          _mm512_sub_epi8(_mm512_loadu_si512(p), Packed<kOut, false>(r, bg, rr)));
    }
    if constexpr (kPixels * kOut % 64 != 0) {
      __m256i* q = reinterpret_cast<__m256i*>(dst + 64 * kFull);
      const __m256i ones = _mm512_castsi512_si256(Packed<kOut, false>(kFull, bg, rr));
      _mm256_storeu_si256(q, _mm256_sub_epi8(_mm256_loadu_si256(q), ones));
    }
  }
};

}  // namespace zelcnv::imaging::simd::avx512
