// Registers, input, video standard, I/O port, and choosing and naming converters.
#include "ZelCnvSdk.h"
#include "sdk/export_support.h"

using zelcnv::camera::CZelCam;
using zelcnv::sdk::WithCamera;

extern "C" {

ZELCNV_API int ZELCNV_CALL ZelCam_WriteRegister(int handle, int reg, int value) {
  return WithCamera(handle, 0, [&](CZelCam& c) { return c.WriteRegister(reg, value); });
}

ZELCNV_API int ZELCNV_CALL ZelCam_ReadRegister(int handle, int reg, int* valid) {
  return WithCamera(handle, 0, [&](CZelCam& c) { return c.ReadRegister(reg, valid); });
}

ZELCNV_API int ZELCNV_CALL ZelCam_SetCrossbar(int handle, int input, int /*reserved*/) {
  return WithCamera(handle, 0, [&](CZelCam& c) { return c.SetCrossbar(input); });
}

ZELCNV_API int ZELCNV_CALL ZelCam_GetVideoFormat(int handle, int* valid) {
  return WithCamera(handle, 0, [&](CZelCam& c) { return c.GetVideoFormat(valid); });
}

ZELCNV_API int ZELCNV_CALL ZelCam_GetIOPort(int handle, int /*reserved*/, int* value) {
  return WithCamera(handle, 0, [&](CZelCam& c) { return c.GetIoPort(value); });
}

ZELCNV_API int ZELCNV_CALL ZelCam_SetDeviceNumber(int handle, int deviceNumber) {
  return WithCamera(handle, 0, [&](CZelCam& c) { return c.SetDeviceNumber(deviceNumber); });
}

ZELCNV_API int ZELCNV_CALL
ZelCam_EnumDevice(int handle, char list[ZELCNV_DEVICE_LIST_ENTRIES][ZELCNV_DEVICE_NAME_CHARS]) {
  return WithCamera(handle, 0, [&](CZelCam& c) { return c.EnumDevice(list); });
}

ZELCNV_API int ZELCNV_CALL ZelCam_EnumDeviceW(
    int handle, ZelCnvWChar list[ZELCNV_DEVICE_LIST_ENTRIES][ZELCNV_DEVICE_NAME_CHARS]) {
  return WithCamera(handle, 0, [&](CZelCam& c) {
    return c.EnumDeviceW(reinterpret_cast<char16_t(*)[ZELCNV_DEVICE_NAME_CHARS]>(list));
  });
}

ZELCNV_API int ZELCNV_CALL ZelCam_GetDeviceName(int handle, int deviceNumber, char* name,
                                                int length) {
  return WithCamera(handle, 0,
                    [&](CZelCam& c) { return c.GetDeviceName(deviceNumber, name, length); });
}

ZELCNV_API int ZELCNV_CALL ZelCam_GetDeviceNameW(int handle, int deviceNumber, ZelCnvWChar* name,
                                                 int length) {
  return WithCamera(handle, 0, [&](CZelCam& c) {
    return c.GetDeviceNameW(deviceNumber, reinterpret_cast<char16_t*>(name), length);
  });
}

}  // extern "C"
