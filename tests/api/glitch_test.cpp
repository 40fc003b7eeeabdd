// A converter that drops off the bus and comes back (a bus reset, a loose cable) while a stream
// runs: the stream is the application's until it stops it, whatever the converter did. A device
// change or a snapshot meanwhile is refused as not ready, the stream's frame memory stays where
// its threads read it, and once stopped the handle works as before. And frame records: each
// notification's record holds still while later frames arrive.
#include <set>
#include <vector>

#include "ZelCnvSdk.h"
#include "ZelCnvSim.h"
#include "support/camera_fixture.h"

namespace zelcnv::apitest {
namespace {

class GlitchTest : public CameraTest {
 protected:
  // A frame notification past failed ones; its record, or null when none came.
  const FrameInfo* NextWholeFrame() {
    ReceivedMessage message{};
    while (frames_.Next(&message, kMessageWaitMs)) {
      if (message.message == MSG_FRAME_NOTIFY && message.wParam != 0) {
        return reinterpret_cast<const FrameInfo*>(message.wParam);
      }
    }
    return nullptr;
  }

  void ClearErrors() {
    while (ZelCam_GetLastError(handle_) != 0) {
    }
  }

  // The errors reported since the last look, but the stream's own end, which its thread may
  // report at any moment after an unplug.
  std::vector<int> ErrorsButTheStreamsEnd() {
    std::vector<int> errors;
    for (int error = 0; (error = ZelCam_GetLastError(handle_)) != 0;) {
      if (error != ERR_TRANSFER_STOPPED) errors.push_back(error);
    }
    return errors;
  }
};

TEST_F(GlitchTest, AfterABusGlitchTheStreamKeepsItsMemoryUntilItIsStopped) {
  ASSERT_EQ(ZelSim_Attach(1, "timing=free standard=625"), 1);  // another frame size
  Open("timing=free", 24);
  std::vector<uint8_t> buffer(768 * 576 * 4);  // the largest frame of any format
  const int size = static_cast<int>(buffer.size());
  int device = 0;
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE(round);
    ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), buffer.data(), size, 1), 1);
    ASSERT_NE(NextWholeFrame(), nullptr);
    // Back at once, or after the stream has seen the converter gone.
    ASSERT_EQ(ZelSim_InjectFault(device, "unplug"), 1);
    if (round % 2 == 1) {
      ReceivedMessage message{};
      do {
        ASSERT_TRUE(frames_.Next(&message, kMessageWaitMs));
      } while (message.wParam != 0);
    }
    ASSERT_EQ(ZelSim_InjectFault(device, "replug"), 1);
    EXPECT_EQ(ZelCam_SetDeviceNumber(handle_, 1 - device), 0);
    EXPECT_EQ(ErrorsButTheStreamsEnd(), std::vector<int>{ERR_NOT_READY});
    EXPECT_EQ(ZelCam_SnapShot(handle_, buffer.data(), size, 1), 0);
    EXPECT_EQ(ErrorsButTheStreamsEnd(), std::vector<int>{ERR_NOT_READY});
    // A stream the converter ended reports its stopped transfer as a device error.
    const int stopped = ZelCam_StopPreview(handle_);
    if (stopped != 1) {
      EXPECT_EQ(stopped, 0);
      EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_DEVICE_IO);
    }
    ClearErrors();
    frames_.Drain();
    // Stopped, the handle is free to change: the other device, and a snapshot in its format.
    device = 1 - device;
    EXPECT_EQ(ZelCam_SetDeviceNumber(handle_, device), 1);
    EXPECT_EQ(ZelCam_SnapShot(handle_, buffer.data(), size, 1), 1);
    EXPECT_EQ(ZelCam_Width(handle_), device == 0 ? 640 : 768);
  }
}

TEST_F(GlitchTest, ASnapshotAfterTheConverterCameBackWorksAtTheFirstTry) {
  Open("timing=free", 8);
  std::vector<uint8_t> frame(static_cast<size_t>(width_ + 3) / 4 * 4 * height_);
  const int size = static_cast<int>(frame.size());
  ASSERT_EQ(ZelCam_SnapShot(handle_, frame.data(), size, 1), 1);
  ASSERT_EQ(ZelSim_InjectFault(0, "unplug"), 1);
  ASSERT_EQ(ZelSim_InjectFault(0, "replug"), 1);
  EXPECT_EQ(ZelCam_SnapShot(handle_, frame.data(), size, 1), 1) << ZelCam_GetLastError(handle_);
}

TEST_F(GlitchTest, EachNotificationsRecordHoldsStillWhileEightMoreFramesArrive) {
  Open("timing=manual", 16);
  ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), nullptr, 0, 0), 1);
  // An application a few frames behind: it reads the first record after later frames came.
  std::vector<const FrameInfo*> records;
  for (int frame = 0; frame < 9; ++frame) {
    ASSERT_EQ(ZelSim_InjectFault(0, "release=1"), 1);
    const FrameInfo* record = NextWholeFrame();
    ASSERT_NE(record, nullptr);
    records.push_back(record);
  }
  EXPECT_EQ(std::set<const FrameInfo*>(records.begin(), records.end()).size(), records.size())
      << "a record rewritten within eight frames";
  const FrameInfo first = *records.front();
  EXPECT_EQ(first.size, static_cast<int>(sizeof(FrameInfo)));
  EXPECT_EQ(first.width, width_);
  EXPECT_EQ(first.height, height_);
  EXPECT_EQ(first.bitsPerPixel, 16);
  EXPECT_EQ(StopManualStream(), 1);
  // Still readable once the handle is gone, as notifications queued before may point at it.
  ZelCam_Release(handle_);
  handle_ = 0;
  EXPECT_EQ(records.back()->width, first.width);
}

}  // namespace
}  // namespace zelcnv::apitest
