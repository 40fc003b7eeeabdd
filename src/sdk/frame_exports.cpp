// Single frames, still images and recording.
#include "ZelCnvSdk.h"
#include "sdk/export_support.h"

using zelcnv::camera::CZelCam;
using zelcnv::sdk::WithCamera;

extern "C" {

ZELCNV_API int ZELCNV_CALL ZelCam_Record(int handle, const char* fileName, int durationMs,
                                         int showWindow) {
  return WithCamera(handle, 0,
                    [&](CZelCam& c) { return c.Record(fileName, durationMs, showWindow); });
}

ZELCNV_API int ZELCNV_CALL ZelCam_RecordW(int handle, const ZelCnvWChar* fileName, int durationMs,
                                          int showWindow) {
  return WithCamera(handle, 0, [&](CZelCam& c) {
    return c.RecordW(reinterpret_cast<const char16_t*>(fileName), durationMs, showWindow);
  });
}

ZELCNV_API int ZELCNV_CALL ZelCam_Capture(int handle) {
  return WithCamera(handle, 0, [](CZelCam& c) { return c.Capture(); });
}

ZELCNV_API int ZELCNV_CALL ZelCam_SnapShot(int handle, void* buffer, int bufferSize, int topDown) {
  return WithCamera(handle, 0, [&](CZelCam& c) { return c.SnapShot(buffer, bufferSize, topDown); });
}

ZELCNV_API int ZELCNV_CALL ZelCam_GetImage(int handle, void* buffer, int bufferSize, int topDown) {
  return WithCamera(handle, 0, [&](CZelCam& c) { return c.GetImage(buffer, bufferSize, topDown); });
}

ZELCNV_API int ZELCNV_CALL ZelCam_SaveImage(int handle, const char* fileName, int fileType) {
  return WithCamera(handle, 0, [&](CZelCam& c) {
    return c.SaveImage(fileName, static_cast<uint32_t>(fileType));
  });
}

ZELCNV_API int ZELCNV_CALL ZelCam_SaveImageW(int handle, const ZelCnvWChar* fileName,
                                             int fileType) {
  return WithCamera(handle, 0, [&](CZelCam& c) {
    return c.SaveImageW(reinterpret_cast<const char16_t*>(fileName),
                        static_cast<uint32_t>(fileType));
  });
}

}  // extern "C"
