// Exports with fixed answers, and the functions the converter does not support.
#include <functional>
#include <vector>

#include "ZelCnvSdk.h"
#include "support/api_test_support.h"

namespace zelcnv::apitest {
namespace {

using FixedAnswerTest = ApiTest;

constexpr int kUnknownHandle = 0x7777;

TEST_F(FixedAnswerTest, CameraInfoChecksTheRecordItIsGiven) {
  const int handle = ZelCam_Initialize(nullptr);
  CameraInfo info{};
  info.size = ZELCNV_CAMERA_INFO_SIZE;
  for (int& word : info.info) word = -1;
  ASSERT_EQ(ZelCam_GetCameraInfo(handle, &info), 1);
  EXPECT_EQ(info.size, ZELCNV_CAMERA_INFO_SIZE) << "left as the caller set it";
  EXPECT_EQ(info.info[0], 860);
  EXPECT_EQ(info.info[1], 570);
  for (int i = 2; i < 8; ++i) EXPECT_EQ(info.info[i], 0) << "word " << i + 1;

  info.size = ZELCNV_CAMERA_INFO_SIZE - 1;
  EXPECT_EQ(ZelCam_GetCameraInfo(handle, &info), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle), ERR_BUFFER);
  info.size = -1;  // far too large read as unsigned: accepted
  EXPECT_EQ(ZelCam_GetCameraInfo(handle, &info), 1);
  EXPECT_EQ(ZelCam_GetCameraInfo(handle, nullptr), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle), ERR_PARAMETER);
  EXPECT_EQ(ZelCam_GetCameraInfo(kUnknownHandle, &info), 0);
  ZelCam_Release(handle);
}

TEST_F(FixedAnswerTest, QueriesWithoutADeviceFeatureAnswerZero) {
  const int handle = ZelCam_Initialize(nullptr);
  int value = -1;
  EXPECT_EQ(ZelCam_GetAutoIris(handle, &value), 0);
  EXPECT_EQ(value, 0);
  value = -1;
  EXPECT_EQ(ZelCam_GetHalfClock(handle, &value), 0);
  EXPECT_EQ(value, 0);
  value = -1;
  EXPECT_EQ(ZelCam_ReadSromID(handle, 0, &value), 0);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(ZelCam_GetAutoIris(handle, nullptr), 0);
  EXPECT_EQ(ZelCam_GetStatus(handle, 5), 0);
  EXPECT_EQ(ZelCam_GetMirrorH(handle), 0);
  EXPECT_EQ(ZelCam_GetMirrorV(kUnknownHandle), 0);
  EXPECT_EQ(ZelCam_GetSubSample(handle), 0);
  EXPECT_EQ(ZelCam_GetSubSample(kUnknownHandle), -1);
  EXPECT_EQ(ZelCam_GetLastError(handle), 0) << "none of them reports an error";

  value = -1;
  EXPECT_EQ(ZelCam_GetHalfClock(kUnknownHandle, &value), 0);
  EXPECT_EQ(value, -1) << "an unknown handle writes nothing";
  ZelCam_Release(handle);
}

TEST_F(FixedAnswerTest, UnsupportedFunctionsReportTheirHandleAndWriteNothing) {
  const int handle = ZelCam_Initialize(nullptr);
  int a = -1, b = -1, c = -1, d = -1;
  const std::vector<std::function<int(int)>> calls = {
      [](int h) { return ZelCam_Fps(h); },
      [&](int h) { return ZelCam_GetCaptureWindowEx(h, &a, &b, &c, &d); },
      [&](int h) { return ZelCam_GetGrayGainB(h, &a); },
      [&](int h) { return ZelCam_GetGrayGainG1(h, &a); },
      [&](int h) { return ZelCam_GetGrayGainG2(h, &a); },
      [&](int h) { return ZelCam_GetGrayGainR(h, &a); },
      [&](int h) { return ZelCam_GetGrayMode(h, &a); },
      [&](int h) { return ZelCam_GetGrayOffsetB(h, &a); },
      [&](int h) { return ZelCam_GetGrayOffsetG1(h, &a); },
      [&](int h) { return ZelCam_GetGrayOffsetG2(h, &a); },
      [&](int h) { return ZelCam_GetGrayOffsetR(h, &a); },
      [&](int h) { return ZelCam_GetRealExposureTime(h, &a); },
      [](int h) { return ZelCam_SetAnalogDlg(h, nullptr); },
      [](int h) { return ZelCam_SetAutoIris(h, 1); },
      [](int h) { return ZelCam_SetCaptureWindow(h, 0, 0, 320, 240); },
      [](int h) { return ZelCam_SetCaptureWindowEx(h, 0, 0, 320, 240); },
      [](int h) { return ZelCam_SetGrayGainB(h, 1); },
      [](int h) { return ZelCam_SetGrayGainG1(h, 1); },
      [](int h) { return ZelCam_SetGrayGainG2(h, 1); },
      [](int h) { return ZelCam_SetGrayGainR(h, 1); },
      [](int h) { return ZelCam_SetGrayMode(h, 1); },
      [](int h) { return ZelCam_SetGrayOffsetB(h, 1); },
      [](int h) { return ZelCam_SetGrayOffsetG1(h, 1); },
      [](int h) { return ZelCam_SetGrayOffsetG2(h, 1); },
      [](int h) { return ZelCam_SetGrayOffsetR(h, 1); },
      [](int h) { return ZelCam_SetHalfClock(h, 1); },
      [](int h) { return ZelCam_SetIOPort(h, 0, 1); },
      [](int h) { return ZelCam_SetMirrorH(h, 1); },
      [](int h) { return ZelCam_SetMirrorV(h, 1); },
      [](int h) { return ZelCam_SetRealExposureTime(h, 1); },
      [](int h) { return ZelCam_SetSubSample(h, 1); },
      [](int h) { return ZelCam_Trigger(h); },
      [](int h) { return ZelCam_WriteSromID(h, 0, 1); },
  };
  ASSERT_EQ(calls.size(), 33u);
  for (size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i](handle), 0) << "function " << i;
    EXPECT_EQ(ZelCam_GetLastError(handle), ERR_UNSUPPORTED) << "function " << i;
    EXPECT_EQ(ZelCam_GetLastError(handle), 0) << "function " << i << " pushed once";
    EXPECT_EQ(calls[i](kUnknownHandle), 0) << "function " << i;
  }
  EXPECT_EQ(a, -1);
  EXPECT_EQ(d, -1);
  ZelCam_Release(handle);
}

}  // namespace
}  // namespace zelcnv::apitest
