// Exports with fixed answers, and the functions the converter does not support.
#include "ZelCnvSdk.h"
#include "sdk/export_support.h"

using zelcnv::camera::CZelCam;
using zelcnv::sdk::WithCamera;

namespace {

constexpr int kCameraInfoWidth = 860;
constexpr int kCameraInfoHeight = 570;

// With a valid handle, 0 through `value` when it is given; always 0.
int StoreZero(int handle, int* value) {
  return WithCamera(handle, 0, [&](CZelCam&) {
    if (value != nullptr) *value = 0;
    return 0;
  });
}

// The one answer of every unsupported function: 0, and ERR_UNSUPPORTED for a valid handle.
int Unsupported(int handle) {
  return WithCamera(handle, 0, [](CZelCam& c) {
    c.PushError(zelcnv::camera::kErrUnsupported);
    return 0;
  });
}

}  // namespace

extern "C" {

ZELCNV_API int ZELCNV_CALL ZelCam_GetCameraInfo(int handle, CameraInfo* info) {
  return WithCamera(handle, 0, [&](CZelCam& c) {
    if (c.Device() == nullptr) return c.PushError(zelcnv::camera::kErrNotReady), 0;
    if (info == nullptr) return c.PushError(zelcnv::camera::kErrParameter), 0;
    if (static_cast<unsigned>(info->size) < ZELCNV_CAMERA_INFO_SIZE) {
      return c.PushError(zelcnv::camera::kErrBuffer), 0;
    }
    info->info[0] = kCameraInfoWidth;
    info->info[1] = kCameraInfoHeight;
    for (int i = 2; i < 8; ++i) info->info[i] = 0;
    return 1;
  });
}

ZELCNV_API int ZELCNV_CALL ZelCam_GetStatus(int /*handle*/, int /*reserved*/) {
  return 0;
}

ZELCNV_API int ZELCNV_CALL ZelCam_GetSubSample(int handle) {
  return WithCamera(handle, -1, [](CZelCam&) { return 0; });
}

ZELCNV_API int ZELCNV_CALL ZelCam_GetMirrorH(int /*handle*/) {
  return 0;
}

ZELCNV_API int ZELCNV_CALL ZelCam_GetMirrorV(int /*handle*/) {
  return 0;
}

ZELCNV_API int ZELCNV_CALL ZelCam_GetAutoIris(int handle, int* value) {
  return StoreZero(handle, value);
}

ZELCNV_API int ZELCNV_CALL ZelCam_GetHalfClock(int handle, int* value) {
  return StoreZero(handle, value);
}

ZELCNV_API int ZELCNV_CALL ZelCam_ReadSromID(int handle, int /*reserved*/, int* value) {
  return StoreZero(handle, value);
}

// The functions the converter does not support share one entry. Only the handle is read; under
// cdecl the caller removes the arguments, so one entry serves every signature.
int ZELCNV_CALL ZelCamUnsupportedEntry(int h) {
  return Unsupported(h);
}

// GCC checks that an alias has its target's type and attributes; here it has by design neither.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattribute-alias"
#pragma GCC diagnostic ignored "-Wmissing-attributes"
#endif
#define ZELCNV_UNSUPPORTED(name, ...) \
  ZELCNV_API int ZELCNV_CALL name(__VA_ARGS__) __attribute__((alias("ZelCamUnsupportedEntry")));
ZELCNV_UNSUPPORTED(ZelCam_Fps, int)
ZELCNV_UNSUPPORTED(ZelCam_GetCaptureWindowEx, int, int*, int*, int*, int*)
ZELCNV_UNSUPPORTED(ZelCam_GetGrayGainB, int, int*)
ZELCNV_UNSUPPORTED(ZelCam_GetGrayGainG1, int, int*)
ZELCNV_UNSUPPORTED(ZelCam_GetGrayGainG2, int, int*)
ZELCNV_UNSUPPORTED(ZelCam_GetGrayGainR, int, int*)
ZELCNV_UNSUPPORTED(ZelCam_GetGrayMode, int, int*)
ZELCNV_UNSUPPORTED(ZelCam_GetGrayOffsetB, int, int*)
ZELCNV_UNSUPPORTED(ZelCam_GetGrayOffsetG1, int, int*)
ZELCNV_UNSUPPORTED(ZelCam_GetGrayOffsetG2, int, int*)
ZELCNV_UNSUPPORTED(ZelCam_GetGrayOffsetR, int, int*)
ZELCNV_UNSUPPORTED(ZelCam_GetRealExposureTime, int, int*)
ZELCNV_UNSUPPORTED(ZelCam_SetAnalogDlg, int, HWND)
ZELCNV_UNSUPPORTED(ZelCam_SetAutoIris, int, int)
ZELCNV_UNSUPPORTED(ZelCam_SetCaptureWindow, int, int, int, int, int)
ZELCNV_UNSUPPORTED(ZelCam_SetCaptureWindowEx, int, int, int, int, int)
ZELCNV_UNSUPPORTED(ZelCam_SetGrayGainB, int, int)
ZELCNV_UNSUPPORTED(ZelCam_SetGrayGainG1, int, int)
ZELCNV_UNSUPPORTED(ZelCam_SetGrayGainG2, int, int)
ZELCNV_UNSUPPORTED(ZelCam_SetGrayGainR, int, int)
ZELCNV_UNSUPPORTED(ZelCam_SetGrayMode, int, int)
ZELCNV_UNSUPPORTED(ZelCam_SetGrayOffsetB, int, int)
ZELCNV_UNSUPPORTED(ZelCam_SetGrayOffsetG1, int, int)
ZELCNV_UNSUPPORTED(ZelCam_SetGrayOffsetG2, int, int)
ZELCNV_UNSUPPORTED(ZelCam_SetGrayOffsetR, int, int)
ZELCNV_UNSUPPORTED(ZelCam_SetHalfClock, int, int)
ZELCNV_UNSUPPORTED(ZelCam_SetIOPort, int, int, int)
ZELCNV_UNSUPPORTED(ZelCam_SetMirrorH, int, int)
ZELCNV_UNSUPPORTED(ZelCam_SetMirrorV, int, int)
ZELCNV_UNSUPPORTED(ZelCam_SetRealExposureTime, int, int)
ZELCNV_UNSUPPORTED(ZelCam_SetSubSample, int, int)
ZELCNV_UNSUPPORTED(ZelCam_Trigger, int)
ZELCNV_UNSUPPORTED(ZelCam_WriteSromID, int, int, int)
#undef ZELCNV_UNSUPPORTED
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

}  // extern "C"
