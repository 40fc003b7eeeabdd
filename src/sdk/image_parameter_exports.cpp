// Image parameters: the generic pair and the eighteen named pairs, each with its identifier.
#include "ZelCnvSdk.h"
#include "sdk/export_support.h"

using zelcnv::camera::CZelCam;
using zelcnv::sdk::WithCamera;

namespace {

int SetFilter(int handle, int id, int value) {
  return WithCamera(handle, 0,
                    [&](CZelCam& c) { return c.SetFilterValue(static_cast<uint32_t>(id), value); });
}

int GetFilter(int handle, int id, int* valid) {
  return WithCamera(handle, 0,
                    [&](CZelCam& c) { return c.GetFilterValue(static_cast<uint32_t>(id), valid); });
}

}  // namespace

#define ZELCNV_FILTER_PAIR(Name, id)                                    \
  ZELCNV_API int ZELCNV_CALL ZelCam_Set##Name(int handle, int value) {  \
    return SetFilter(handle, id, value);                                \
  }                                                                     \
  ZELCNV_API int ZELCNV_CALL ZelCam_Get##Name(int handle, int* valid) { \
    return GetFilter(handle, id, valid);                                \
  }

extern "C" {

ZELCNV_API int ZELCNV_CALL ZelCam_SetFilterValue(int handle, int id, int value) {
  return SetFilter(handle, id, value);
}

ZELCNV_API int ZELCNV_CALL ZelCam_GetFilterValue(int handle, int id, int* valid) {
  return GetFilter(handle, id, valid);
}

ZELCNV_FILTER_PAIR(Brightness, ZELCNV_FILTER_BRIGHTNESS)
ZELCNV_FILTER_PAIR(Contrast, ZELCNV_FILTER_CONTRAST)
ZELCNV_FILTER_PAIR(Hue, ZELCNV_FILTER_HUE)
ZELCNV_FILTER_PAIR(Saturation, ZELCNV_FILTER_SATURATION)
ZELCNV_FILTER_PAIR(Sharpness, ZELCNV_FILTER_SHARPNESS)
ZELCNV_FILTER_PAIR(BayerGainRGB, ZELCNV_FILTER_BAYER_GAIN_RGB)
ZELCNV_FILTER_PAIR(BayerGainRed, ZELCNV_FILTER_BAYER_GAIN_RED)
ZELCNV_FILTER_PAIR(BayerGainGreen, ZELCNV_FILTER_BAYER_GAIN_GREEN)
ZELCNV_FILTER_PAIR(BayerGainBlue, ZELCNV_FILTER_BAYER_GAIN_BLUE)
ZELCNV_FILTER_PAIR(BayerGainAuto, ZELCNV_FILTER_BAYER_GAIN_AUTO)
ZELCNV_FILTER_PAIR(Gamma, ZELCNV_FILTER_GAMMA)
ZELCNV_FILTER_PAIR(BayerMode, ZELCNV_FILTER_BAYER_MODE)
ZELCNV_FILTER_PAIR(GlobalGain, ZELCNV_FILTER_GLOBAL_GAIN)
ZELCNV_FILTER_PAIR(ColorGainRed, ZELCNV_FILTER_COLOR_GAIN_RED)
ZELCNV_FILTER_PAIR(ColorGainGreen1, ZELCNV_FILTER_COLOR_GAIN_GREEN1)
ZELCNV_FILTER_PAIR(ColorGainGreen2, ZELCNV_FILTER_COLOR_GAIN_GREEN2)
ZELCNV_FILTER_PAIR(ColorGainBlue, ZELCNV_FILTER_COLOR_GAIN_BLUE)
ZELCNV_FILTER_PAIR(ExposureTime, ZELCNV_FILTER_EXPOSURE_TIME)

}  // extern "C"
