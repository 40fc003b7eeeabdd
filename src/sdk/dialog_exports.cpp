// The two settings dialogs.
#include "ZelCnvSdk.h"
#include "sdk/export_support.h"

using zelcnv::camera::CZelCam;
using zelcnv::sdk::WithCamera;

extern "C" {

ZELCNV_API int ZELCNV_CALL ZelCam_SetCameraDlg(int handle, HWND owner) {
  return WithCamera(handle, 0, [&](CZelCam& c) { return c.SetCameraDlg(owner); });
}

ZELCNV_API int ZELCNV_CALL ZelCam_SetImageDlg(int handle, HWND owner) {
  return WithCamera(handle, 0, [&](CZelCam& c) { return c.SetImageDlg(owner); });
}

}  // extern "C"
