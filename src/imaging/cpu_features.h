// Which instruction-set levels this processor (and its operating system) can run, for choosing
// the kernels' fast paths at run time.
#pragma once

namespace zelcnv::imaging {

// In order, each level taking in those before it. kAvx512: the foundation and the byte-and-word
// instructions; kAvx512Vbmi: also the byte permutes.
enum class Isa { kScalar, kSsse3, kAvx2, kAvx512, kAvx512Vbmi };

// True when code built for `isa` runs here; kScalar always does.
bool CpuSupports(Isa isa);

}  // namespace zelcnv::imaging
