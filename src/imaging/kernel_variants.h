// Every implementation of a kernel, for the tests that prove each fast path identical to the
// reference and for the benchmarks that compare them.
#pragma once

#include <vector>

#include "imaging/kernels.h"

namespace zelcnv::imaging {

struct BlitVariant {
  const char* name;
  BlitKernel kernel;
};

struct StretchVariant {
  const char* name;
  StretchKernel kernel;
};

// "reference" first, then each fast path this processor runs ("rows", "table", or an
// instruction set's name). A kernel without a fast path has only its reference.
std::vector<BlitVariant> VariantsOf(BlitKernel kernel);
std::vector<StretchVariant> VariantsOf(StretchKernel kernel);

// The name of the implementation that the public kernel uses here.
const char* ActiveVariantOf(BlitKernel kernel);
const char* ActiveVariantOf(StretchKernel kernel);

}  // namespace zelcnv::imaging
