// C++ access to the simulated converters the driver hosts, for Windows test programs that need
// more than the ZelSim_* functions: where a converter is served, what its next frame will show,
// and what the driver holds for it.
#pragma once

#include <string>

#include "ZelCnvSim.h"
#include "driver/control_protocol.h"
#include "model/picture.h"

namespace zelsim {

// The device path a converter with `index` is served at ("\\.\ZQVD-<index>").
std::string DevicePath(int index);

// The picture parameters of the converter attached at `index`; false when none is attached or
// the driver is not running.
bool GetDevicePictureParams(int index, PictureParams* params);

// The driver's view of the converter attached at `index`; false when none is attached or the
// driver is not running.
bool QueryDeviceState(int index, control::DeviceState* state);

}  // namespace zelsim
