// The settings record as one comparable value, for the settings tests' expectations.
#pragma once

#include <tuple>

#include "settings/settings_store.h"

namespace zelcnv::settings::testing {

inline auto Fields(const CameraSettings& s) {
  return std::tuple(s.colourMode, s.waitTime, s.samplingRate, s.hiRate, int{s.brightness},
                    int{s.contrast}, int{s.hue}, int{s.saturation});
}

}  // namespace zelcnv::settings::testing
