// Handles and the error stack through the C API.
#include <vector>

#include "ZelCnvSdk.h"
#include "ZelCnvSim.h"
#include "support/api_test_support.h"

namespace zelcnv::apitest {
namespace {

using HandleTest = ApiTest;

TEST_F(HandleTest, VersionNeedsNoHandle) {
  EXPECT_EQ(ZelCam_GetDllVersion(), 263444);
}

TEST_F(HandleTest, ReleaseSucceedsOnceAndUnknownHandlesTouchNothing) {
  const int handle = ZelCam_Initialize(nullptr);
  ASSERT_NE(handle, 0);
  EXPECT_EQ(ZelCam_GetLastError(handle), 0) << "a fresh handle has no error";
  EXPECT_EQ(ZelCam_Release(handle), 1);
  EXPECT_EQ(ZelCam_Release(handle), 0);

  // Every export fails with its own value for the released handle and writes through nothing.
  int valid = 77;
  char name[16] = "untouched";
  EXPECT_EQ(ZelCam_GetColorMode(handle), -1);
  EXPECT_EQ(ZelCam_GetWaitTime(handle), -1);
  EXPECT_EQ(ZelCam_SetColorMode(handle, 8), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle), 0);
  EXPECT_EQ(ZelCam_GetBrightness(handle, &valid), 0);
  EXPECT_EQ(ZelCam_ReadRegister(handle, 0x01, &valid), 0);
  EXPECT_EQ(ZelCam_GetSamplingRate(handle, &valid), 0);
  EXPECT_EQ(ZelCam_GetIOPort(handle, 0, &valid), 0);
  EXPECT_EQ(ZelCam_GetDeviceName(handle, 0, name, sizeof name), 0);
  EXPECT_EQ(valid, 77);
  EXPECT_STREQ(name, "untouched");
  EXPECT_EQ(ZelCam_Width(0), 0);
}

TEST_F(HandleTest, TwentyNewestErrorsComeBackNewestFirst) {
  const int handle = ZelCam_Initialize(nullptr);  // errors are kept without a window too
  std::vector<int> pushed;
  for (int i = 0; i < 21; ++i) {
    if (i % 3 == 0) {
      EXPECT_EQ(ZelCam_WriteRegister(handle, 0x80, 0), 0);  // read only: 6
      pushed.push_back(ERR_DEVICE_IO);
    } else {
      EXPECT_EQ(ZelCam_SetColorMode(handle, 12), 0);  // 9
      pushed.push_back(ERR_PARAMETER);
    }
  }
  for (int i = 0; i < 20; ++i) EXPECT_EQ(ZelCam_GetLastError(handle), pushed[20 - i]) << i;
  EXPECT_EQ(ZelCam_GetLastError(handle), 0) << "the oldest of 21 was lost";
  EXPECT_EQ(ZelCam_GetLastError(handle), 0);
  ZelCam_Release(handle);
}

TEST_F(HandleTest, SeveralHandlesStayIndependentThroughLookupsAndRelease) {
  const int first = ZelCam_Initialize(nullptr);
  const int second = ZelCam_Initialize(nullptr);
  const int third = ZelCam_Initialize(nullptr);
  ASSERT_NE(first, 0);
  EXPECT_NE(first, second);
  EXPECT_NE(second, third);
  EXPECT_NE(first, third);
  EXPECT_EQ(ZelCam_SetColorMode(first, 8), 1);
  EXPECT_EQ(ZelCam_SetColorMode(second, 16), 1);
  EXPECT_EQ(ZelCam_SetColorMode(third, 32), 1);
  EXPECT_EQ(ZelCam_GetColorMode(first), 8);
  EXPECT_EQ(ZelCam_Release(first), 1);
  EXPECT_EQ(ZelCam_GetColorMode(first), -1);
  EXPECT_EQ(ZelCam_GetColorMode(second), 16);
  EXPECT_EQ(ZelCam_GetColorMode(third), 32);
  EXPECT_EQ(ZelCam_SetColorMode(second, 12), 0);
  EXPECT_EQ(ZelCam_GetLastError(third), 0) << "errors stay with their handle";
  EXPECT_EQ(ZelCam_GetLastError(second), ERR_PARAMETER);
  EXPECT_EQ(ZelCam_Release(third), 1);
  EXPECT_EQ(ZelCam_Release(second), 1);
}

TEST_F(HandleTest, ErrorsArePostedToTheApplicationWindow) {
  TestWindow window;
  ASSERT_NE(window.handle(), nullptr);
  const int handle = ZelCam_Initialize(window.handle());
  window.Drain();
  EXPECT_EQ(ZelCam_SetColorMode(handle, 12), 0);
  ReceivedMessage message{};
  ASSERT_TRUE(window.Next(&message, 5000));
  EXPECT_EQ(message.message, unsigned{MSG_ERROR_NOTIFY});
  EXPECT_EQ(message.wParam, 0u);
  EXPECT_EQ(message.lParam, ERR_PARAMETER);
  EXPECT_EQ(ZelCam_GetLastError(handle), ERR_PARAMETER) << "posted and kept";

  // The port query posts its failures without keeping them.
  EXPECT_EQ(ZelCam_GetIOPort(handle, 0, nullptr), 0);
  ASSERT_TRUE(window.Next(&message, 5000));
  EXPECT_EQ(message.lParam, ERR_PARAMETER);
  int level = -1;
  EXPECT_EQ(ZelCam_GetIOPort(handle, 0, &level), 0) << "no converter";
  ASSERT_TRUE(window.Next(&message, 5000));
  EXPECT_EQ(message.lParam, ERR_OPERATION);
  EXPECT_EQ(ZelCam_GetLastError(handle), 0);
  ZelCam_Release(handle);
}

}  // namespace
}  // namespace zelcnv::apitest
