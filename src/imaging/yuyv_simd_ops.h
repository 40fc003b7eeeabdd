// The vector operations the YUYV row loop asks of SSSE3 and AVX2 alike, written once for both
// register widths as the struct SharedOps. Include inside an instruction-set file's target region
// (no include guard: each such file includes it once), with ZELCNV_MM_I and ZELCNV_MM_F naming the
// integer and float vector types, ZELCNV_MM(op) the width's intrinsic (_mm_op or _mm256_op) and
// ZELCNV_MM_SI(op) its whole-register form (_mm_op_si128 or _mm256_op_si256).

struct SharedOps {
  using I = ZELCNV_MM_I;
  using F = ZELCNV_MM_F;

  static I Load(const uint8_t* p) { return ZELCNV_MM_SI(loadu)(reinterpret_cast<const I*>(p)); }
  static I Zero() { return ZELCNV_MM_SI(setzero)(); }
  static I Set16(uint16_t v) { return ZELCNV_MM(set1_epi16)(static_cast<short>(v)); }
  static I Set32(uint32_t v) { return ZELCNV_MM(set1_epi32)(static_cast<int>(v)); }
  static F SetF(float v) { return ZELCNV_MM(set1_ps)(v); }
  static I And(I a, I b) { return ZELCNV_MM_SI(and)(a, b); }
  static I AndNot(I a, I b) { return ZELCNV_MM_SI(andnot)(a, b); }
  static I Or(I a, I b) { return ZELCNV_MM_SI(or)(a, b); }
  static I Add16(I a, I b) { return ZELCNV_MM(add_epi16)(a, b); }
  static I Sub16(I a, I b) { return ZELCNV_MM(sub_epi16)(a, b); }
  static I Sub8(I a, I b) { return ZELCNV_MM(sub_epi8)(a, b); }
  static I SubsU8(I a, I b) { return ZELCNV_MM(subs_epu8)(a, b); }
  static I Add32(I a, I b) { return ZELCNV_MM(add_epi32)(a, b); }
  static I Sub32(I a, I b) { return ZELCNV_MM(sub_epi32)(a, b); }
  static I MulHiU16(I a, I b) { return ZELCNV_MM(mulhi_epu16)(a, b); }
  static I Madd16(I a, I b) { return ZELCNV_MM(madd_epi16)(a, b); }
  template <int N>
  static I Srli16(I a) {
    return ZELCNV_MM(srli_epi16)(a, N);
  }
  template <int N>
  static I Slli16(I a) {
    return ZELCNV_MM(slli_epi16)(a, N);
  }
  template <int N>
  static I Srli32(I a) {
    return ZELCNV_MM(srli_epi32)(a, N);
  }
  static I Cmpeq16(I a, I b) { return ZELCNV_MM(cmpeq_epi16)(a, b); }
  static I Cmpgt16(I a, I b) { return ZELCNV_MM(cmpgt_epi16)(a, b); }
  static I Cmpeq32(I a, I b) { return ZELCNV_MM(cmpeq_epi32)(a, b); }
  static I Shuffle(I a, I control) { return ZELCNV_MM(shuffle_epi8)(a, control); }
  static I PackUs16(I a, I b) { return ZELCNV_MM(packus_epi16)(a, b); }
  static F ToFloat(I a) { return ZELCNV_MM(cvtepi32_ps)(a); }
  static I TruncToInt(F a) { return ZELCNV_MM(cvttps_epi32)(a); }
  static F MulF(F a, F b) { return ZELCNV_MM(mul_ps)(a, b); }
};
