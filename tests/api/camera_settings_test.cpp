// Colour mode, sampling rate, wait time, frame size and image parameters through the C API.
#include "ZelCnvSdk.h"
#include "ZelCnvSim.h"
#include "support/api_test_support.h"

namespace zelcnv::apitest {
namespace {

using CameraSettingsTest = ApiTest;

TEST_F(CameraSettingsTest, AFreshHandleStartsFromTheDefaults) {
  const int handle = ZelCam_Initialize(nullptr);
  EXPECT_EQ(ZelCam_Width(handle), 640) << "no converter: the reset format";
  EXPECT_EQ(ZelCam_Height(handle), 480);
  EXPECT_EQ(ZelCam_GetColorMode(handle), 24);
  EXPECT_EQ(ZelCam_GetWaitTime(handle), 10);
  int valid = -1;
  EXPECT_EQ(ZelCam_GetSamplingRate(handle, &valid), 3);
  EXPECT_EQ(valid, 1);
  EXPECT_EQ(ZelCam_GetHue(handle, &valid), 0);
  EXPECT_EQ(ZelCam_GetContrast(handle, nullptr), 128);
  EXPECT_EQ(ZelCam_GetLastError(handle), 0);
  ZelCam_Release(handle);
}

TEST_F(CameraSettingsTest, TheFrameSizeIsTheConvertersWhenOneIsAttached) {
  ASSERT_EQ(ZelSim_Attach(0, "standard=625 timing=free"), 1);
  const int handle = ZelCam_Initialize(nullptr);
  EXPECT_EQ(ZelCam_Width(handle), 768) << "Normal LowSpeed, 625-line";
  EXPECT_EQ(ZelCam_Height(handle), 570);
  int valid = 0;
  EXPECT_EQ(ZelCam_GetVideoFormat(handle, &valid), 1);
  EXPECT_EQ(valid, 1);
  ZelCam_Release(handle);
}

TEST_F(CameraSettingsTest, ColourModeSamplingRateAndWaitTimeAreChecked) {
  const int handle = ZelCam_Initialize(nullptr);
  for (int bits : {8, 16, 24, 32, 48, 64}) {
    EXPECT_EQ(ZelCam_SetColorMode(handle, bits), 1);
    EXPECT_EQ(ZelCam_GetColorMode(handle), bits);
  }
  EXPECT_EQ(ZelCam_SetColorMode(handle, 12), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle), ERR_PARAMETER);
  EXPECT_EQ(ZelCam_GetColorMode(handle), 64) << "a refused mode changes nothing";

  int valid = -1;
  for (int code = 0; code < 4; ++code) {
    EXPECT_EQ(ZelCam_SetSamplingRate(handle, code), 1) << "success is reported as success";
    EXPECT_EQ(ZelCam_GetSamplingRate(handle, &valid), code);
    EXPECT_EQ(valid, 1);
  }
  EXPECT_EQ(ZelCam_GetLastError(handle), 0);
  EXPECT_EQ(ZelCam_SetSamplingRate(handle, 4), 0);
  EXPECT_EQ(ZelCam_SetSamplingRate(handle, -1), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle), ERR_PARAMETER);
  EXPECT_EQ(ZelCam_GetSamplingRate(handle, nullptr), 3);

  EXPECT_EQ(ZelCam_SetWaitTime(handle, -1), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle), ERR_PARAMETER) << "the -1 pushed nothing new";
  EXPECT_EQ(ZelCam_GetWaitTime(handle), 10);
  EXPECT_EQ(ZelCam_SetWaitTime(handle, 0), 1);
  EXPECT_EQ(ZelCam_GetWaitTime(handle), 0);
  ZelCam_Release(handle);
}

TEST_F(CameraSettingsTest, SettingsPersistFromReleaseToTheNextHandle) {
  int handle = ZelCam_Initialize(nullptr);
  ZelCam_SetColorMode(handle, 8);
  ZelCam_SetWaitTime(handle, 33);
  ZelCam_SetSamplingRate(handle, 0);
  ZelCam_SetBrightness(handle, 0x1F4);
  ZelCam_Release(handle);
  handle = ZelCam_Initialize(nullptr);
  EXPECT_EQ(ZelCam_GetColorMode(handle), 8);
  EXPECT_EQ(ZelCam_GetWaitTime(handle), 33);
  EXPECT_EQ(ZelCam_GetSamplingRate(handle, nullptr), 0);
  EXPECT_EQ(ZelCam_GetBrightness(handle, nullptr), 0xF4);
  ZelCam_Release(handle);
}

TEST_F(CameraSettingsTest, PictureControlsKeepTheLowByteAndReachTheConverter) {
  ASSERT_EQ(ZelSim_Attach(0, "timing=free"), 1);
  const int handle = ZelCam_Initialize(nullptr);
  EXPECT_EQ(ZelCam_SetBrightness(handle, 0x1F4), 1);
  EXPECT_EQ(ZelCam_GetBrightness(handle, nullptr), 244);
  EXPECT_EQ(ZelSim_ReadDeviceRegister(0, 0x09), 0xF4);
  EXPECT_EQ(ZelCam_SetContrast(handle, 0x40), 1);
  EXPECT_EQ(ZelSim_ReadDeviceRegister(0, 0x0C), 0x40);
  EXPECT_EQ(ZelCam_SetFilterValue(handle, ZELCNV_FILTER_SATURATION, 0x11), 1);
  EXPECT_EQ(ZelSim_ReadDeviceRegister(0, 0x0A), 0x11);
  EXPECT_EQ(ZelCam_SetHue(handle, 0x22), 1);
  EXPECT_EQ(ZelSim_ReadDeviceRegister(0, 0x0B), 0x22);
  EXPECT_EQ(ZelCam_GetFilterValue(handle, ZELCNV_FILTER_HUE, nullptr), 0x22);

  ASSERT_EQ(ZelSim_InjectFault(0, "unplug"), 1);
  EXPECT_EQ(ZelCam_SetHue(handle, 0x33), 1) << "kept for the next stream while unplugged";
  EXPECT_EQ(ZelCam_GetHue(handle, nullptr), 0x33);
  EXPECT_EQ(ZelCam_GetLastError(handle), 0);
  ZelCam_Release(handle);
}

TEST_F(CameraSettingsTest, UnsupportedImageParametersAreRefused) {
  const int handle = ZelCam_Initialize(nullptr);
  int valid = -1;
  EXPECT_EQ(ZelCam_GetSharpness(handle, &valid), 0);
  EXPECT_EQ(valid, 0);
  EXPECT_EQ(ZelCam_GetLastError(handle), ERR_PARAMETER);
  for (int id : {0, 5, 18, 19, -1}) {
    EXPECT_EQ(ZelCam_SetFilterValue(handle, id, 1), 0) << id;
    EXPECT_EQ(ZelCam_GetLastError(handle), ERR_PARAMETER) << id;
  }
  EXPECT_EQ(ZelCam_SetGamma(handle, 3), 0);
  EXPECT_EQ(ZelCam_SetExposureTime(handle, 3), 0);
  EXPECT_EQ(ZelCam_GetBayerMode(handle, &valid), 0);
  EXPECT_EQ(valid, 0);
  ZelCam_Release(handle);
}

}  // namespace
}  // namespace zelcnv::apitest
