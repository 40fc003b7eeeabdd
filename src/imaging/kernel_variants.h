// Every implementation of a kernel, for the tests that prove each fast path identical to the
// reference and for the benchmarks that compare them.
#pragma once

#include <vector>

#include "imaging/kernels.h"

namespace zelcnv::imaging {

template <class Fn>
struct Variant {
  const char* name;
  Fn* run;
};

// "reference" first, then each fast path this processor runs ("table", or an instruction set's
// name). A kernel without a fast path has only its reference.
std::vector<Variant<RowFn>> VariantsOf(RowFn* kernel);
std::vector<Variant<StretchFn>> VariantsOf(StretchFn* kernel);

// The name of the implementation that the library's kernel uses here.
const char* ActiveVariantOf(RowFn* kernel);
const char* ActiveVariantOf(StretchFn* kernel);

}  // namespace zelcnv::imaging
