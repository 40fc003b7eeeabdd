// The sampling code table shared by the settings store, the camera object and the dialogs.
#include "settings/sampling_code.h"

#include <array>
#include <cstddef>

namespace zelcnv::settings {

namespace {

// Indexed by sampling code.
constexpr std::array<SamplingFlags, 4> kFlagsByCode = {{
    {0, 1},  // "Wide HiSpeed"
    {0, 0},  // "Wide LowSpeed"
    {1, 1},  // "Normal HiSpeed"
    {1, 0},  // "Normal LowSpeed"
}};

}  // namespace

bool SamplingFlagsFromCode(int32_t code, SamplingFlags* flags) {
  if (code < 0 || static_cast<size_t>(code) >= kFlagsByCode.size()) return false;
  if (flags != nullptr) *flags = kFlagsByCode[static_cast<size_t>(code)];
  return true;
}

int32_t SamplingCodeFromFlags(int32_t samplingRate, int32_t hiRate) {
  const int32_t hi = hiRate != 0 ? 1 : 0;
  for (size_t code = 0; code < kFlagsByCode.size(); ++code) {
    if (kFlagsByCode[code].samplingRate == samplingRate && kFlagsByCode[code].hiRate == hi) {
      return static_cast<int32_t>(code);
    }
  }
  return kNoSamplingCode;
}

}  // namespace zelcnv::settings
