// Opening and releasing handles, and reading their errors.
#include "ZelCnvSdk.h"
#include "sdk/export_support.h"

using zelcnv::camera::CZelCam;
using zelcnv::sdk::Registry;

extern "C" {

ZELCNV_API int ZELCNV_CALL ZelCam_Initialize(HWND window) {
  try {
    const int handle = Registry().CreateHandle();
    if (handle == 0) return 0;
    // A handle is returned even when the device could not be prepared; the reason is on its
    // error stack.
    if (CZelCam* camera = Registry().Find(handle)) camera->Initialize(window);
    return handle;
  } catch (...) {
    return 0;
  }
}

ZELCNV_API int ZELCNV_CALL ZelCam_Release(int handle) {
  try {
    CZelCam* camera = nullptr;
    if (!Registry().Release(handle, &camera)) return 0;
    delete camera;
    return 1;
  } catch (...) {
    return 0;
  }
}

ZELCNV_API int ZELCNV_CALL ZelCam_GetLastError(int handle) {
  return zelcnv::sdk::WithCamera(handle, 0, [](CZelCam& camera) { return camera.PopError(); });
}

}  // extern "C"
