// Registers, input selection and the choice and naming of converters through the C API.
#include <cstring>
#include <string>

#include "ZelCnvSdk.h"
#include "ZelCnvSim.h"
#include "support/api_test_support.h"

namespace zelcnv::apitest {
namespace {

using DeviceApiTest = ApiTest;

std::string Narrow(const ZelCnvWChar* wide) {
  std::string text;
  for (; *wide != 0; ++wide) text.push_back(static_cast<char>(*wide));
  return text;
}

TEST_F(DeviceApiTest, RegistersFollowTheAccessMapAndReportDeviceErrors) {
  ASSERT_EQ(ZelSim_Attach(0, "timing=free"), 1);
  const int handle = ZelCam_Initialize(nullptr);
  EXPECT_EQ(ZelCam_WriteRegister(handle, 0x1C, 0x5A), 1);
  EXPECT_EQ(ZelSim_ReadDeviceRegister(0, 0x1C), 0x5A);
  int valid = -1;
  EXPECT_EQ(ZelCam_ReadRegister(handle, 0x1C, &valid), 0x5A);
  EXPECT_EQ(valid, 1);
  EXPECT_EQ(ZelCam_WriteRegister(handle, 0x11C, 0x1A5), 1) << "register and value as bytes";
  EXPECT_EQ(ZelSim_ReadDeviceRegister(0, 0x1C), 0xA5);

  EXPECT_EQ(ZelCam_WriteRegister(handle, 0x80, 1), 0) << "read only";
  EXPECT_EQ(ZelCam_GetLastError(handle), ERR_DEVICE_IO);
  EXPECT_EQ(ZelCam_ReadRegister(handle, 0x7F, &valid), 0) << "write only";
  EXPECT_EQ(valid, 0);
  EXPECT_EQ(ZelCam_GetLastError(handle), ERR_DEVICE_IO);

  ASSERT_EQ(ZelSim_InjectFault(0, "read-fail=2"), 1);
  EXPECT_EQ(ZelCam_ReadRegister(handle, 0x1C, &valid), 0);
  EXPECT_EQ(valid, 0);
  EXPECT_EQ(ZelCam_GetLastError(handle), ERR_DEVICE_IO);
  ASSERT_EQ(ZelSim_InjectFault(0, "unplug"), 1);
  EXPECT_EQ(ZelCam_WriteRegister(handle, 0x1C, 1), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle), ERR_DEVICE_IO);
  ZelCam_Release(handle);
}

TEST_F(DeviceApiTest, CrossbarSelectsInputsSilently) {
  ASSERT_EQ(ZelSim_Attach(0, "timing=free"), 1);
  const int handle = ZelCam_Initialize(nullptr);
  EXPECT_EQ(ZelCam_SetCrossbar(handle, 3, 0), 1);
  EXPECT_EQ(ZelSim_ReadDeviceRegister(0, 0x00), 0x01);
  EXPECT_EQ(ZelSim_ReadDeviceRegister(0, 0x20), 0x03);
  EXPECT_EQ(ZelCam_SetCrossbar(handle, 6, 0), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle), 0) << "a refused input pushes nothing";
  int level = -1;
  EXPECT_EQ(ZelCam_GetIOPort(handle, 0, &level), 1);
  EXPECT_EQ(level, 0);
  ASSERT_EQ(ZelSim_Configure(0, "port=1"), 1);
  EXPECT_EQ(ZelCam_GetIOPort(handle, 0, &level), 1);
  EXPECT_EQ(level, 1);
  ZelCam_Release(handle);
}

TEST_F(DeviceApiTest, EnumerationListsAndNamesTheAttachedConverters) {
  ASSERT_EQ(ZelSim_Attach(0, "timing=free"), 1);
  ASSERT_EQ(ZelSim_Attach(5, "timing=free"), 1);
  const int handle = ZelCam_Initialize(nullptr);

  char list[ZELCNV_DEVICE_LIST_ENTRIES][ZELCNV_DEVICE_NAME_CHARS];
  std::memset(list, 'x', sizeof list);
  EXPECT_EQ(ZelCam_EnumDevice(handle, list), 2);
  EXPECT_STREQ(list[0], "ZelCnv_01");
  EXPECT_STREQ(list[1], "ZelCnv_02");
  for (int i = 2; i < ZELCNV_DEVICE_LIST_ENTRIES; ++i) EXPECT_STREQ(list[i], "") << i;

  ZelCnvWChar wideList[ZELCNV_DEVICE_LIST_ENTRIES][ZELCNV_DEVICE_NAME_CHARS];
  std::memset(wideList, 0x55, sizeof wideList);
  EXPECT_EQ(ZelCam_EnumDeviceW(handle, wideList), 2);
  EXPECT_EQ(Narrow(wideList[0]), "ZelCnv_01");
  EXPECT_EQ(Narrow(wideList[1]), "ZelCnv_02");
  for (int i = 2; i < ZELCNV_DEVICE_LIST_ENTRIES; ++i) EXPECT_EQ(wideList[i][0], 0) << i;

  char name[32];
  EXPECT_EQ(ZelCam_GetDeviceName(handle, 5, name, sizeof name), 1);
  EXPECT_STREQ(name, "ZelCnv_06") << "named by index, not by place in the list";
  ZelCnvWChar wide[16];
  EXPECT_EQ(ZelCam_GetDeviceNameW(handle, 5, wide, 16), 1);
  EXPECT_EQ(Narrow(wide), "ZelCnv_06");

  EXPECT_EQ(ZelCam_GetDeviceName(handle, 1, name, sizeof name), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle), ERR_NO_DEVICE);
  EXPECT_EQ(ZelCam_GetDeviceName(handle, 5, name, 9), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle), ERR_PARAMETER);
  EXPECT_EQ(ZelCam_GetDeviceNameW(handle, 0, wide, 9), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle), ERR_PARAMETER);
  EXPECT_EQ(ZelCam_GetDeviceName(handle, 8, name, sizeof name), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle), ERR_PARAMETER);
  EXPECT_EQ(ZelCam_GetDeviceNameW(handle, 1, wide, 16), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle), ERR_NO_DEVICE);
  EXPECT_EQ(ZelCam_GetDeviceName(handle, 0, nullptr, 32), 0) << "a null buffer is refused";
  EXPECT_EQ(ZelCam_GetLastError(handle), ERR_PARAMETER);
  EXPECT_EQ(ZelCam_EnumDevice(handle, nullptr), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle), ERR_PARAMETER);

  ASSERT_EQ(ZelSim_Attach(3, "timing=free"), 1);
  EXPECT_EQ(ZelCam_EnumDevice(handle, list), 2) << "probed once per handle";
  ZelCam_Release(handle);
}

TEST_F(DeviceApiTest, NoConverterListsTenEmptyEntries) {
  const int handle = ZelCam_Initialize(nullptr);
  char list[ZELCNV_DEVICE_LIST_ENTRIES][ZELCNV_DEVICE_NAME_CHARS];
  std::memset(list, 'x', sizeof list);
  EXPECT_EQ(ZelCam_EnumDevice(handle, list), 0);
  for (int i = 0; i < ZELCNV_DEVICE_LIST_ENTRIES; ++i) EXPECT_EQ(list[i][0], '\0') << i;
  EXPECT_EQ(list[0][1], 'x') << "each entry starts at its own 256-character slot";
  ZelCam_Release(handle);
}

TEST_F(DeviceApiTest, DeviceNumberSelectsAPresentConverter) {
  ASSERT_EQ(ZelSim_Attach(0, "standard=525 timing=free"), 1);
  ASSERT_EQ(ZelSim_Attach(5, "standard=625 timing=free"), 1);
  const int handle = ZelCam_Initialize(nullptr);
  EXPECT_EQ(ZelCam_SetDeviceNumber(handle, 5), 1);
  EXPECT_EQ(ZelCam_GetVideoFormat(handle, nullptr), 1) << "now reading converter 5";
  EXPECT_EQ(ZelCam_WriteRegister(handle, 0x1C, 0x77), 1);
  EXPECT_EQ(ZelSim_ReadDeviceRegister(5, 0x1C), 0x77);
  EXPECT_NE(ZelSim_ReadDeviceRegister(0, 0x1C), 0x77);
  for (int index : {1, 8, -1}) {
    EXPECT_EQ(ZelCam_SetDeviceNumber(handle, index), 0) << index;
    EXPECT_EQ(ZelCam_GetLastError(handle), ERR_NO_DEVICE) << index;
  }
  ZelCam_Release(handle);
}

}  // namespace
}  // namespace zelcnv::apitest
