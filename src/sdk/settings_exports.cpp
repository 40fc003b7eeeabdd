// Colour mode, sampling rate, wait time and frame size.
#include "ZelCnvSdk.h"
#include "sdk/export_support.h"

using zelcnv::camera::CZelCam;
using zelcnv::sdk::WithCamera;

extern "C" {

ZELCNV_API int ZELCNV_CALL ZelCam_SetColorMode(int handle, int bitsPerPixel) {
  return WithCamera(handle, 0, [&](CZelCam& c) { return c.SetColorMode(bitsPerPixel); });
}

ZELCNV_API int ZELCNV_CALL ZelCam_GetColorMode(int handle) {
  return WithCamera(handle, -1, [](CZelCam& c) { return c.GetColorMode(); });
}

ZELCNV_API int ZELCNV_CALL ZelCam_SetSamplingRate(int handle, int samplingCode) {
  return WithCamera(handle, 0, [&](CZelCam& c) { return c.SetSamplingRate(samplingCode); });
}

ZELCNV_API int ZELCNV_CALL ZelCam_GetSamplingRate(int handle, int* valid) {
  return WithCamera(handle, 0, [&](CZelCam& c) { return c.GetSamplingRate(valid); });
}

ZELCNV_API int ZELCNV_CALL ZelCam_SetWaitTime(int handle, int milliseconds) {
  return WithCamera(handle, 0, [&](CZelCam& c) { return c.SetWaitTime(milliseconds); });
}

ZELCNV_API int ZELCNV_CALL ZelCam_GetWaitTime(int handle) {
  return WithCamera(handle, -1, [](CZelCam& c) { return c.GetWaitTime(); });
}

ZELCNV_API int ZELCNV_CALL ZelCam_Width(int handle) {
  return WithCamera(handle, 0, [](CZelCam& c) { return c.Width(); });
}

ZELCNV_API int ZELCNV_CALL ZelCam_Height(int handle) {
  return WithCamera(handle, 0, [](CZelCam& c) { return c.Height(); });
}

}  // extern "C"
