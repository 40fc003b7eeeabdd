// Instruction-set detection with CPUID. AVX2 and AVX-512 also need the operating system to save
// the wide registers (and AVX-512's mask registers), which XGETBV reports.
#include "imaging/cpu_features.h"

#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace zelcnv::imaging {
namespace {

#if defined(__x86_64__) || defined(__i386__)
constexpr unsigned kEdxSse2 = 1u << 26;
constexpr unsigned kEcxSsse3 = 1u << 9;
constexpr unsigned kEcxOsXsave = 1u << 27;
constexpr unsigned kEcxAvx = 1u << 28;
constexpr unsigned kEbxAvx2 = 1u << 5;
constexpr unsigned kEbxAvx512F = 1u << 16;
constexpr unsigned kEbxAvx512Bw = 1u << 30;
constexpr unsigned kEcxAvx512Vbmi = 1u << 1;
constexpr uint32_t kXcr0SseAndAvxState = 0x6;
// Opmask registers, the upper halves of zmm0-15, and zmm16-31.
constexpr uint32_t kXcr0Avx512State = 0xE0;

uint32_t ReadXcr0() {
  uint32_t low = 0, high = 0;
  __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return low;
}

// Each level needs every one below it.
Isa Detect() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d) == 0 || (d & kEdxSse2) == 0 || (c & kEcxSsse3) == 0) {
    return Isa::kScalar;
  }
  const bool xsave = (c & kEcxOsXsave) != 0 && (c & kEcxAvx) != 0;
  const uint32_t xcr0 = xsave ? ReadXcr0() : 0;
  unsigned a7 = 0, b7 = 0, c7 = 0, d7 = 0;
  if ((xcr0 & kXcr0SseAndAvxState) != kXcr0SseAndAvxState ||
      __get_cpuid_count(7, 0, &a7, &b7, &c7, &d7) == 0 || (b7 & kEbxAvx2) == 0) {
    return Isa::kSsse3;
  }
  if ((xcr0 & kXcr0Avx512State) != kXcr0Avx512State || (b7 & kEbxAvx512F) == 0 ||
      (b7 & kEbxAvx512Bw) == 0) {
    return Isa::kAvx2;
  }
  return (c7 & kEcxAvx512Vbmi) != 0 ? Isa::kAvx512Vbmi : Isa::kAvx512;
}
#else
Isa Detect() {
  return Isa::kScalar;
}
#endif

}  // namespace

bool CpuSupports(Isa isa) {
  static const Isa best = Detect();
  return isa <= best;
}

}  // namespace zelcnv::imaging
