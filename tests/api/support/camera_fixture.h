// A handle on simulated converter 0 with the windows a streaming application has: one for error
// notifications, one for frame notifications.
#pragma once

#include <cstdint>
#include <vector>

#include "ZelCnvSdk.h"
#include "ZelCnvSim.h"
#include "model/frame_stamp.h"
#include "support/api_test_support.h"

namespace zelcnv::apitest {

constexpr int kMessageWaitMs = 20000;

class CameraTest : public ApiTest {
 protected:
  void TearDown() override {
    if (handle_ != 0) ZelCam_Release(handle_);
    ApiTest::TearDown();
  }

  void Open(const char* config, int colourBits) {
    ASSERT_EQ(ZelSim_Attach(0, config), 1);
    handle_ = ZelCam_Initialize(app_.handle());
    ASSERT_NE(handle_, 0);
    ASSERT_EQ(ZelCam_SetColorMode(handle_, colourBits), 1);
    ASSERT_EQ(ZelCam_SetWaitTime(handle_, 1), 1);
    width_ = ZelCam_Width(handle_);
    height_ = ZelCam_Height(handle_);
    ASSERT_GT(width_, 0);
    ASSERT_GT(height_, 4);
    app_.Drain();
  }

  // Manual timing leaves a frame transfer waiting for its release: the stop cancels it.
  int StopManualStream() {
    const int stopped = ZelCam_StopPreview(handle_);
    frames_.Drain();
    return stopped;
  }

  // The next frame notification on the callback window, skipping nothing else.
  ReceivedMessage NextFrameMessage() {
    ReceivedMessage message{};
    EXPECT_TRUE(frames_.Next(&message, kMessageWaitMs)) << "no frame notification";
    EXPECT_EQ(message.message, unsigned{MSG_FRAME_NOTIFY});
    return message;
  }

  TestWindow app_;
  TestWindow frames_;
  int handle_ = 0;
  int width_ = 0;  // the frame size of the format the converter was set to
  int height_ = 0;
};

// The stamp at the start of buffer row `row` (rows of `stride` bytes, samples of `bytes`).
inline zelsim::FrameStamp StampOfRow(const std::vector<uint8_t>& buffer, int stride, int row,
                                     int bytes) {
  zelsim::FrameStamp stamp{};
  EXPECT_TRUE(zelsim::ReadFrameStamp(&buffer[static_cast<size_t>(row) * stride], bytes, &stamp))
      << "row " << row << " carries no stamp";
  return stamp;
}

}  // namespace zelcnv::apitest
