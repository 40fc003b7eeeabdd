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

// Unsupported: only the handle is read.
ZELCNV_API int ZELCNV_CALL ZelCam_Fps(int h) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_GetCaptureWindowEx(int h, int*, int*, int*, int*) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_GetGrayGainB(int h, int*) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_GetGrayGainG1(int h, int*) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_GetGrayGainG2(int h, int*) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_GetGrayGainR(int h, int*) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_GetGrayMode(int h, int*) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_GetGrayOffsetB(int h, int*) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_GetGrayOffsetG1(int h, int*) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_GetGrayOffsetG2(int h, int*) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_GetGrayOffsetR(int h, int*) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_GetRealExposureTime(int h, int*) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_SetAnalogDlg(int h, HWND) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_SetAutoIris(int h, int) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_SetCaptureWindow(int h, int, int, int, int) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_SetCaptureWindowEx(int h, int, int, int, int) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_SetGrayGainB(int h, int) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_SetGrayGainG1(int h, int) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_SetGrayGainG2(int h, int) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_SetGrayGainR(int h, int) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_SetGrayMode(int h, int) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_SetGrayOffsetB(int h, int) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_SetGrayOffsetG1(int h, int) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_SetGrayOffsetG2(int h, int) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_SetGrayOffsetR(int h, int) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_SetHalfClock(int h, int) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_SetIOPort(int h, int, int) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_SetMirrorH(int h, int) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_SetMirrorV(int h, int) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_SetRealExposureTime(int h, int) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_SetSubSample(int h, int) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_Trigger(int h) {
  return Unsupported(h);
}
ZELCNV_API int ZELCNV_CALL ZelCam_WriteSromID(int h, int, int) {
  return Unsupported(h);
}

}  // extern "C"
