// The extension interface's exports.
#include "ZelCnvSdkEx.h"

#include "platform/clock.h"
#include "sdk/export_support.h"

using zelcnv::camera::CZelCam;
using zelcnv::camera::FrameDetails;
using zelcnv::camera::StreamStats;
using zelcnv::sdk::WithCamera;

extern "C" {

ZELCNV_API long long ZELCNV_CALL ZelCnvEx_Now(void) {
  return zelcnv::platform::MonotonicNow100ns();
}

ZELCNV_API int ZELCNV_CALL ZelCnvEx_WaitFrame(int handle, void* buffer, int size, int topDown,
                                              int timeoutMs, ZelCnvFrameDetails* details) {
  return WithCamera(
      handle, -1,
      [&](CZelCam& c) {
        return c.WaitFrame(buffer, size, topDown, timeoutMs,
                           reinterpret_cast<FrameDetails*>(details));
      },
      false);
}

ZELCNV_API int ZELCNV_CALL ZelCnvEx_GetFrameDetails(int handle, ZelCnvFrameDetails* details) {
  return WithCamera(
      handle, 0,
      [&](CZelCam& c) { return c.GetFrameDetails(reinterpret_cast<FrameDetails*>(details)); },
      false);
}

ZELCNV_API int ZELCNV_CALL ZelCnvEx_GetStreamStats(int handle, ZelCnvStreamStats* stats) {
  return WithCamera(
      handle, 0,
      [&](CZelCam& c) { return c.GetStreamStats(reinterpret_cast<StreamStats*>(stats)); }, false);
}

ZELCNV_API int ZELCNV_CALL ZelCnvEx_WatchDevices(int handle, int enable) {
  return WithCamera(handle, 0, [&](CZelCam& c) { return c.WatchDevices(enable != 0); });
}

ZELCNV_API int ZELCNV_CALL ZelCnvEx_SetAutoResume(int handle, int enable) {
  return WithCamera(handle, 0, [&](CZelCam& c) { return c.SetAutoResume(enable != 0); });
}

}  // extern "C"
