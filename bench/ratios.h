// Ratios between two benchmark rows of one run, printed after the run's own table. A row is
// named as Google Benchmark names it ("BM_YuyvLibyuv/best/720/576"); a ratio whose rows did not
// both run (filtered out, or a peer library not installed) is left out.
#pragma once

#include <string>

namespace zelcnv::bench {

void AddRatio(std::string label, std::string numerator, std::string denominator);

}  // namespace zelcnv::bench
