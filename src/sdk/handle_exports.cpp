// Opening and releasing handles, and reading their errors.
#include "ZelCnvSdk.h"
#include "sdk/export_support.h"

using zelcnv::camera::CZelCam;
using zelcnv::sdk::Registry;

namespace zelcnv::sdk {

int& ExportDepth() {
  thread_local int depth = 0;
  return depth;
}

}  // namespace zelcnv::sdk

extern "C" {

ZELCNV_API int ZELCNV_CALL ZelCam_Initialize(HWND window) {
  int handle = 0;
  try {
    handle = Registry().CreateHandle();
    if (handle == 0) return 0;
    bool threw = false;
    if (zelcnv::sdk::CameraRef camera = Registry().Find(handle)) {
      try {
        zelcnv::sdk::ExportScope scope;
        std::lock_guard turn(camera->Turn());
        // A handle is returned even when the device could not be prepared; the reason is on
        // its error stack.
        camera->Initialize(window);
      } catch (...) {
        threw = true;
      }
    }
    if (!threw) return handle;
  } catch (...) {
  }
  // A half-made camera object must not stay registered under a handle nobody was given.
  if (handle != 0) {
    try {
      Registry().ReleaseAndDestroy(handle, zelcnv::sdk::ExportDepth() == 0);
    } catch (...) {
    }
  }
  return 0;
}

ZELCNV_API int ZELCNV_CALL ZelCam_Release(int handle) {
  try {
    // Nested in an export of this thread, the release cannot wait for that export to return.
    return Registry().ReleaseAndDestroy(handle, zelcnv::sdk::ExportDepth() == 0) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

ZELCNV_API int ZELCNV_CALL ZelCam_GetLastError(int handle) {
  return zelcnv::sdk::WithCamera(handle, 0, [](CZelCam& camera) { return camera.PopError(); });
}

}  // extern "C"
