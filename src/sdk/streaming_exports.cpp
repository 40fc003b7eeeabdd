// Streaming and the preview window.
#include "ZelCnvSdk.h"

#include "sdk/export_support.h"

using zelcnv::camera::CZelCam;
using zelcnv::sdk::WithCamera;

extern "C" {

ZELCNV_API int ZELCNV_CALL ZelCam_StartPreview(int handle) {
  return WithCamera(handle, 0, [](CZelCam& c) { return c.StartPreview(); });
}

ZELCNV_API int ZELCNV_CALL ZelCam_StopPreview(int handle) {
  return WithCamera(handle, 0, [](CZelCam& c) { return c.StopPreview(); });
}

ZELCNV_API int ZELCNV_CALL ZelCam_Preview(int handle) {
  return WithCamera(handle, 0, [](CZelCam& c) { return c.Preview(nullptr, nullptr, 0, 0); });
}

ZELCNV_API int ZELCNV_CALL ZelCam_CallBackPreview(int handle, HWND window, void* buffer,
                                                  int bufferSize, int topDown) {
  return WithCamera(handle, 0,
                    [&](CZelCam& c) { return c.Preview(window, buffer, bufferSize, topDown); });
}

ZELCNV_API int ZELCNV_CALL ZelCam_SetPreviewWindow(int handle, HWND parent, int x, int y, int width,
                                                   int height) {
  return WithCamera(handle, 0,
                    [&](CZelCam& c) { return c.SetPreviewWindow(parent, x, y, width, height); });
}

ZELCNV_API int ZELCNV_CALL ZelCam_Close(int handle) {
  return WithCamera(handle, 0, [](CZelCam& c) { return c.Close(); });
}

}  // extern "C"
