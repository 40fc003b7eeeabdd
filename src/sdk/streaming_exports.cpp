// Streaming and the preview window.
#include "ZelCnvSdk.h"
#include <cstddef>

#include "sdk/export_support.h"

using zelcnv::camera::CZelCam;
using zelcnv::sdk::WithCamera;

// Applications read the camera's record in place through the public declaration.
static_assert(sizeof(zelcnv::camera::FrameInfo) == sizeof(FrameInfo));
static_assert(offsetof(zelcnv::camera::FrameInfo, frameRate) == offsetof(FrameInfo, frameRate));
static_assert(offsetof(zelcnv::camera::FrameInfo, buffer) == offsetof(FrameInfo, buffer));

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
