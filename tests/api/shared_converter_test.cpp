// Several handles and one converter: another handle's set-up (which resets and programs
// converter 0), its choice of a converter and its own stream on a second converter leave a
// running stream's frames as they were.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ZelCnvSdk.h"
#include "ZelCnvSdkEx.h"
#include "ZelCnvSim.h"
#include "expected_picture.h"
#include "support/camera_fixture.h"

namespace zelcnv::apitest {
namespace {

class SharedConverterTest : public CameraTest {
 protected:
  void OpenYuyv(const char* config) {
    Open(config, 16);
    buffer_.assign(static_cast<size_t>(width_) * 2 * height_, 0);
  }
  // The next frame waited for is the converter's picture of the frame its stamp names.
  void ExpectTheConvertersPicture() {
    ASSERT_EQ(ZelCnvEx_WaitFrame(handle_, buffer_.data(), static_cast<int>(buffer_.size()), 1,
                                 kMessageWaitMs, nullptr),
              1);
    const uint32_t frame = testsupport::StampOf(buffer_.data(), 2);
    const std::vector<uint8_t> expected =
        testsupport::InLayout(testsupport::Render(frame, width_, height_), 16);
    EXPECT_TRUE(expected == buffer_) << "device frame " << frame;
  }
  std::vector<uint8_t> buffer_;
};

TEST_F(SharedConverterTest, AnotherHandleLeavesARunningStreamsConverterAlone) {
  OpenYuyv("timing=realtime standard=625");
  ASSERT_EQ(ZelSim_Attach(1, "timing=realtime standard=525"), 1);
  ASSERT_EQ(ZelCam_StartPreview(handle_), 1);
  ExpectTheConvertersPicture();

  // Its set-up, a change to the streaming converter and back, a stream of its own on the other.
  const int other = ZelCam_Initialize(nullptr);
  ASSERT_NE(other, 0);
  EXPECT_EQ(ZelCam_SetDeviceNumber(other, 0), 1);
  EXPECT_EQ(ZelCam_SetColorMode(other, 8), 1);
  EXPECT_EQ(ZelCam_SetDeviceNumber(other, 1), 1);
  ASSERT_EQ(ZelCam_StartPreview(other), 1);
  std::vector<uint8_t> grey(static_cast<size_t>(ZelCam_Width(other)) * ZelCam_Height(other));
  EXPECT_EQ(ZelCnvEx_WaitFrame(other, grey.data(), static_cast<int>(grey.size()), 1, kMessageWaitMs,
                               nullptr),
            1);
  for (int i = 0; i < 3; ++i) ExpectTheConvertersPicture();
  EXPECT_EQ(ZelCam_StopPreview(other), 1);
  EXPECT_EQ(ZelCam_Release(other), 1);
  for (int i = 0; i < 3; ++i) ExpectTheConvertersPicture();
  EXPECT_EQ(ZelCam_GetLastError(handle_), 0);

  // Stopped, the converter is the next set-up's again.
  ASSERT_EQ(ZelCam_StopPreview(handle_), 1);
  const int after = ZelCam_Initialize(nullptr);
  EXPECT_NE(after, 0);
  EXPECT_EQ(ZelCam_Release(after), 1);
  ASSERT_EQ(ZelCam_StartPreview(handle_), 1);
  ExpectTheConvertersPicture();
}

}  // namespace
}  // namespace zelcnv::apitest
