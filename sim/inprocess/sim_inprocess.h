// C++ access to the simulated converters of this process, for tests that need more than the C
// API: what a device's next frame will show, so that the expected picture can be rendered.
#pragma once

#include <string>

#include "ZelCnvSim.h"
#include "model/picture.h"

namespace zelsim {

// The picture parameters of the converter attached at `index`; false when none is attached.
ZELSIM_API bool GetDevicePictureParams(int index, PictureParams* params);

// The device path a converter with `index` is served at ("\\.\ZQVD-<index>").
ZELSIM_API std::string DevicePath(int index);

}  // namespace zelsim
