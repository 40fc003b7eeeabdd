// The sampling code 0..3 (ZelCam_SetSamplingRate, the stored "Size") and the two sampling flags
// it stands for, which the camera object keeps and the format code is computed from.
#pragma once

#include <cstdint>

namespace zelcnv::settings {

struct SamplingFlags {
  int32_t samplingRate;
  int32_t hiRate;
};

inline constexpr int32_t kNoSamplingCode = -1;

// Codes 0..3 ("Wide HiSpeed", "Wide LowSpeed", "Normal HiSpeed", "Normal LowSpeed") set `*flags`
// and give true; any other code gives false and leaves `*flags` alone.
bool SamplingFlagsFromCode(int32_t code, SamplingFlags* flags);

// The code the flags stand for, or kNoSamplingCode. `hiRate` counts only as zero or not; a
// `samplingRate` other than 0 or 1 stands for no code.
int32_t SamplingCodeFromFlags(int32_t samplingRate, int32_t hiRate);

}  // namespace zelcnv::settings
