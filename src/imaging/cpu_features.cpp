// Instruction-set detection with CPUID. AVX2 and AVX-512 also need the operating system to save
// the wide registers (and AVX-512's mask registers), which XGETBV reports.
#include "imaging/cpu_features.h"

#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace zelcnv::imaging {
namespace {

struct Features {
  bool sse2 = false;
  bool ssse3 = false;
  bool avx2 = false;
  bool avx512 = false;
  bool avx512Vbmi = false;
};

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

Features Detect() {
  Features f;
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d) == 0) return f;
  f.sse2 = (d & kEdxSse2) != 0;
  f.ssse3 = f.sse2 && (c & kEcxSsse3) != 0;
  const bool xsave = (c & kEcxOsXsave) != 0 && (c & kEcxAvx) != 0;
  const uint32_t xcr0 = xsave ? ReadXcr0() : 0;
  const bool avxState = (xcr0 & kXcr0SseAndAvxState) == kXcr0SseAndAvxState;
  const bool avx512State = avxState && (xcr0 & kXcr0Avx512State) == kXcr0Avx512State;
  unsigned a7 = 0, b7 = 0, c7 = 0, d7 = 0;
  if (avxState && f.ssse3 && __get_cpuid_count(7, 0, &a7, &b7, &c7, &d7) != 0) {
    f.avx2 = (b7 & kEbxAvx2) != 0;
    f.avx512 = f.avx2 && avx512State && (b7 & kEbxAvx512F) != 0 && (b7 & kEbxAvx512Bw) != 0;
    f.avx512Vbmi = f.avx512 && (c7 & kEcxAvx512Vbmi) != 0;
  }
  return f;
}
#else
Features Detect() {
  return {};
}
#endif

const Features& Cpu() {
  static const Features features = Detect();
  return features;
}

}  // namespace

bool CpuSupports(Isa isa) {
  switch (isa) {
    case Isa::kScalar:
      return true;
    case Isa::kSse2:
      return Cpu().sse2;
    case Isa::kSsse3:
      return Cpu().ssse3;
    case Isa::kAvx2:
      return Cpu().avx2;
    case Isa::kAvx512:
      return Cpu().avx512;
    case Isa::kAvx512Vbmi:
      return Cpu().avx512Vbmi;
  }
  return false;
}

const char* IsaName(Isa isa) {
  switch (isa) {
    case Isa::kScalar:
      return "scalar";
    case Isa::kSse2:
      return "sse2";
    case Isa::kSsse3:
      return "ssse3";
    case Isa::kAvx2:
      return "avx2";
    case Isa::kAvx512:
      return "avx512";
    case Isa::kAvx512Vbmi:
      return "avx512vbmi";
  }
  return "?";
}

}  // namespace zelcnv::imaging
