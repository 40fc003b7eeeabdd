// The AVX-512 fast paths with the byte permutes: the same source, built for that target.
#define ZELCNV_AVX512_VBMI 1
#include "imaging/kernels_avx512.cpp"  // NOLINT(bugprone-suspicious-include)
