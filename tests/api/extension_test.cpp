// The extension interface through the C API on the simulated converter: frames on demand and the
// details that come with them, told against the converter's own frame numbers; the stream's
// figures; and converters that come and go, with and without the stream resuming by itself.
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "ZelCnvSdk.h"
#include "ZelCnvSdkEx.h"
#include "ZelCnvSim.h"
#include "support/camera_fixture.h"

namespace zelcnv::apitest {
namespace {

ZelCnvFrameDetails NewDetails() {
  ZelCnvFrameDetails details{};
  details.size = sizeof details;
  return details;
}

class ExtensionTest : public CameraTest {
 protected:
  // Mode 16 carries the converter's stamps through to the picture.
  void OpenYuyv(const char* config) {
    Open(config, 16);
    stride_ = ZELCNV_FRAME_STRIDE(width_, 16);
    buffer_.assign(static_cast<size_t>(stride_) * height_, 0);
  }
  int Size() const { return static_cast<int>(buffer_.size()); }
  // The converter's number of the frame in `buffer`, the same at its first and last row.
  uint32_t StampOf(const std::vector<uint8_t>& buffer) {
    const uint32_t top = StampOfRow(buffer, stride_, 0, 2).sequence;
    EXPECT_EQ(StampOfRow(buffer, stride_, height_ - 1, 2).sequence, top) << "one whole frame";
    return top;
  }
  // The next message of `kind` to the application's window, skipping others.
  bool NextAppMessage(unsigned kind, ReceivedMessage* message) {
    while (app_.Next(message, kMessageWaitMs)) {
      if (message->message == kind) return true;
    }
    return false;
  }
  // The next frame notification's details and the converter's number of the frame in the buffer.
  bool NextNotified(ZelCnvFrameDetails* details, uint32_t* stamp) {
    ReceivedMessage message{};
    while (frames_.Next(&message, kMessageWaitMs)) {
      if (message.message != MSG_FRAME_NOTIFY || message.wParam == 0) continue;
      *details = NewDetails();
      if (ZelCnvEx_GetFrameDetails(handle_, details) != 1) return false;
      *stamp = StampOf(buffer_);
      return true;
    }
    return false;
  }

  int stride_ = 0;
  std::vector<uint8_t> buffer_;
};

TEST_F(ExtensionTest, WaitFrameGivesEachFrameWithDetailsTheConvertersNumbersBearOut) {
  OpenYuyv("timing=realtime standard=625");
  ASSERT_EQ(ZelCam_StartPreview(handle_), 1);
  ZelCnvFrameDetails first = NewDetails();
  ASSERT_EQ(ZelCnvEx_WaitFrame(handle_, buffer_.data(), Size(), 1, kMessageWaitMs, &first), 1);
  const uint32_t firstStamp = StampOf(buffer_);
  EXPECT_EQ(first.width, width_);
  EXPECT_EQ(first.height, height_);
  EXPECT_EQ(first.bitsPerPixel, 16);
  EXPECT_EQ(first.stride, stride_);
  EXPECT_EQ(first.standard, ZELCNV_VIDEO_625_LINE);
  EXPECT_EQ(first.topFieldFirst, 1);
  long long lastTime = first.captureTime;
  unsigned long long lastSequence = first.sequence;
  for (int i = 0; i < 8; ++i) {
    ZelCnvFrameDetails details = NewDetails();
    ASSERT_EQ(ZelCnvEx_WaitFrame(handle_, buffer_.data(), Size(), 1, kMessageWaitMs, &details), 1);
    EXPECT_EQ(details.sequence - first.sequence, StampOf(buffer_) - firstStamp);
    EXPECT_GT(details.sequence, lastSequence) << "a newer frame each time";
    EXPECT_GT(details.captureTime, lastTime);
    EXPECT_LE(details.captureTime, ZelCnvEx_Now());
    lastTime = details.captureTime;
    lastSequence = details.sequence;
  }
  // Bottom row first, and no details asked for.
  ASSERT_EQ(ZelCnvEx_WaitFrame(handle_, buffer_.data(), Size(), 0, kMessageWaitMs, nullptr), 1);
  EXPECT_EQ(StampOfRow(buffer_, stride_, height_ - 1, 2).line, zelsim::kStampLineFirst);
  EXPECT_EQ(ZelCam_GetLastError(handle_), 0);
}

TEST_F(ExtensionTest, EveryRefusalIsReportedAndATimeOutIsNot) {
  OpenYuyv("timing=manual");
  ZelCnvFrameDetails details = NewDetails();
  EXPECT_EQ(ZelCnvEx_WaitFrame(0x7FFF1234, buffer_.data(), Size(), 1, 0, &details), -1);
  EXPECT_EQ(ZelCnvEx_WaitFrame(handle_, buffer_.data(), Size(), 1, 0, &details), -1);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_NOT_READY) << "no stream";
  EXPECT_EQ(ZelCnvEx_GetFrameDetails(handle_, &details), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_NOT_READY) << "no frame yet";

  ASSERT_EQ(ZelCam_StartPreview(handle_), 1);
  EXPECT_EQ(ZelCnvEx_WaitFrame(handle_, buffer_.data(), Size(), 1, 30, &details), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), 0) << "a time-out reports nothing";
  EXPECT_EQ(ZelCnvEx_WaitFrame(handle_, nullptr, Size(), 1, 0, &details), -1);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_BUFFER);
  ZelCnvFrameDetails unknown = NewDetails();
  unknown.size = sizeof unknown - 8;
  EXPECT_EQ(ZelCnvEx_WaitFrame(handle_, buffer_.data(), Size(), 1, 0, &unknown), -1);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_PARAMETER);
  EXPECT_EQ(ZelCnvEx_GetFrameDetails(handle_, &unknown), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_PARAMETER);
  EXPECT_EQ(ZelCnvEx_GetFrameDetails(handle_, nullptr), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_PARAMETER);
  ZelCnvStreamStats stats{};
  stats.size = 4;
  EXPECT_EQ(ZelCnvEx_GetStreamStats(handle_, &stats), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_PARAMETER);

  // A buffer one byte short is refused when the frame comes, and receives nothing.
  std::vector<uint8_t> shortBuffer(buffer_.size() - 1, 0xA5);
  std::atomic<int> shortResult{2};
  std::thread waiter([&] {
    shortResult = ZelCnvEx_WaitFrame(handle_, shortBuffer.data(), Size() - 1, 1, -1, nullptr);
  });
  while (shortResult == 2) {
    ASSERT_EQ(ZelSim_InjectFault(0, "release=1"), 1);
    std::this_thread::yield();
  }
  waiter.join();
  EXPECT_EQ(shortResult, -1);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_BUFFER);
  EXPECT_EQ(shortBuffer, std::vector<uint8_t>(buffer_.size() - 1, 0xA5));

  // A waiter without a time limit is woken by the stop, and the next wait finds no stream.
  std::atomic<int> stopped{2};
  std::thread late(
      [&] { stopped = ZelCnvEx_WaitFrame(handle_, buffer_.data(), Size(), 1, -1, nullptr); });
  while (stopped == 2) {
    ASSERT_EQ(StopManualStream(), 1);
    std::this_thread::yield();
  }
  late.join();
  EXPECT_EQ(stopped, -1);
  int error = ZelCam_GetLastError(handle_);
  EXPECT_TRUE(error == ERR_TRANSFER_STOPPED || error == ERR_NOT_READY) << error;
  EXPECT_EQ(ZelCnvEx_WaitFrame(handle_, buffer_.data(), Size(), 1, -1, nullptr), -1);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_NOT_READY);
}

TEST_F(ExtensionTest, AReleaseWakesAThreadWaitingOnTheHandle) {
  OpenYuyv("timing=manual");
  ASSERT_EQ(ZelCam_StartPreview(handle_), 1);
  std::atomic<bool> entered{false};
  std::atomic<int> result{2};
  std::thread waiter([&] {
    entered = true;
    result = ZelCnvEx_WaitFrame(handle_, buffer_.data(), Size(), 1, -1, nullptr);
  });
  while (!entered) std::this_thread::yield();
  EXPECT_EQ(ZelCam_Release(handle_), 1);
  waiter.join();
  EXPECT_EQ(result, -1);
  handle_ = 0;
}

// The converter holds its next frame back until three periods after it was due (the stall counts
// from the moment it is injected, just after a frame): that frame comes late under its own
// number, and the three frames due meanwhile are the gap before the one after it.
TEST_F(ExtensionTest, AStallOfThreeFramePeriodsShowsAsAGapOfThreeInTheNotifiedDetails) {
  OpenYuyv("timing=realtime standard=625");  // 40 ms frames
  ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), buffer_.data(), Size(), 1), 1);
  ZelCnvFrameDetails before = NewDetails(), after = NewDetails();
  uint32_t beforeStamp = 0, afterStamp = 0;
  ASSERT_TRUE(NextNotified(&before, &beforeStamp));
  const ZelCnvFrameDetails first = before;
  const uint32_t firstStamp = beforeStamp;
  ASSERT_EQ(ZelSim_InjectFault(0, "stall=170"), 1);
  bool sawStall = false;
  for (int i = 0; i < 20 && !sawStall; ++i) {
    ASSERT_TRUE(NextNotified(&after, &afterStamp));
    EXPECT_EQ(after.sequence - first.sequence, afterStamp - firstStamp)
        << "the stream's numbers are the converter's";
    const unsigned long long gap = after.sequence - before.sequence - 1;
    EXPECT_EQ(after.framesLost - before.framesLost, gap);
    // A machine slow to inject the stall (by more than 30 ms) makes it one frame longer.
    sawStall = gap >= 3;
    if (sawStall) {
      EXPECT_LE(gap, 4u);
    }
    before = after;
    beforeStamp = afterStamp;
  }
  EXPECT_TRUE(sawStall);
  ZelCnvStreamStats stats{};
  stats.size = sizeof stats;
  ASSERT_EQ(ZelCnvEx_GetStreamStats(handle_, &stats), 1);
  EXPECT_EQ(stats.running, 1);
  EXPECT_GE(stats.framesLost, 3u);
  EXPECT_GT(stats.framesDelivered, 1u);
  EXPECT_GT(stats.frameRate, 0);
  EXPECT_LE(stats.frameRate, 26000) << "at most 25 frames a second";
  EXPECT_GT(stats.latencyMedian, 0);
  EXPECT_LE(stats.latencyMedian, stats.latencyMax);
  ASSERT_EQ(ZelCam_StopPreview(handle_), 1);
  ASSERT_EQ(ZelCnvEx_GetStreamStats(handle_, &stats), 1);
  EXPECT_EQ(stats.running, 0);
}

TEST_F(ExtensionTest, ASlowWaiterSeesGapsWhileTheNotificationsKeepEveryFrame) {
  OpenYuyv("timing=realtime");
  ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), buffer_.data(), Size(), 1), 1);
  std::atomic<bool> done{false};
  std::atomic<unsigned long long> waiterGaps{0}, waiterFrames{0};
  std::thread waiter([&] {
    std::vector<uint8_t> own(buffer_.size());
    unsigned long long last = 0;
    while (!done) {
      ZelCnvFrameDetails details = NewDetails();
      if (ZelCnvEx_WaitFrame(handle_, own.data(), Size(), 1, 1000, &details) != 1) continue;
      if (waiterFrames++ > 0) waiterGaps += details.sequence - last - 1;
      last = details.sequence;
      // A consumer busy for four frame periods with each frame.
      std::this_thread::sleep_for(std::chrono::milliseconds(133));
    }
  });
  ZelCnvFrameDetails details = NewDetails();
  uint32_t stamp = 0;
  ASSERT_TRUE(NextNotified(&details, &stamp));
  const unsigned long long firstNotified = details.sequence;
  int notified = 1;
  while (waiterFrames < 6) {
    ASSERT_TRUE(NextNotified(&details, &stamp));
    ++notified;
  }
  done = true;
  waiter.join();
  EXPECT_GE(waiterGaps, 3 * (waiterFrames - 1))
      << "the waiter misses the frames it is too slow for";
  // The notifications missed only what the machine's load made them miss, not the waiter's gaps.
  EXPECT_GT(notified, static_cast<int>(details.sequence - firstNotified + 1) / 2);
}

TEST_F(ExtensionTest, AConverterThatComesBackResumesTheStreamWhenAskedTo) {
  OpenYuyv("timing=realtime");
  ASSERT_EQ(ZelCnvEx_WatchDevices(handle_, 1), 1);
  ASSERT_EQ(ZelCnvEx_SetAutoResume(handle_, 1), 1);
  ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), buffer_.data(), Size(), 1), 1);
  ZelCnvFrameDetails before = NewDetails();
  uint32_t stamp = 0;
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(NextNotified(&before, &stamp));
  ZelCnvStreamStats stats{};
  stats.size = sizeof stats;

  // A waiter keeps waiting through the removal and is given the first frame after the return.
  std::atomic<int> result{2};
  ZelCnvFrameDetails resumed = NewDetails();
  std::vector<uint8_t> own(buffer_.size());
  ASSERT_EQ(ZelSim_InjectFault(0, "unplug"), 1);
  ReceivedMessage message{};
  ASSERT_TRUE(NextAppMessage(MSG_DEVICE_CHANGE, &message));
  EXPECT_EQ(message.wParam, 0u);
  EXPECT_EQ(message.lParam, 0);
  std::thread waiter(
      [&] { result = ZelCnvEx_WaitFrame(handle_, own.data(), Size(), 1, -1, &resumed); });
  ASSERT_EQ(ZelSim_InjectFault(0, "replug"), 1);
  ASSERT_TRUE(NextAppMessage(MSG_DEVICE_CHANGE, &message));
  EXPECT_EQ(message.wParam, 0u);
  EXPECT_EQ(message.lParam, 1);
  waiter.join();
  EXPECT_EQ(result, 1);
  EXPECT_LT(resumed.sequence, 30u) << "numbered afresh";
  EXPECT_GE(resumed.framesLost, before.framesLost);
  ZelCnvFrameDetails after = NewDetails();
  ASSERT_TRUE(NextNotified(&after, &stamp)) << "notifications flow again";
  ASSERT_EQ(ZelCnvEx_GetStreamStats(handle_, &stats), 1);
  EXPECT_EQ(stats.running, 1);
  EXPECT_EQ(stats.resumes, 1);
  EXPECT_GT(stats.framesDelivered, 3u);
}

TEST_F(ExtensionTest, WithoutResumingARemovalEndsTheWaitAndOtherConvertersAreToldApart) {
  OpenYuyv("timing=realtime");
  ASSERT_EQ(ZelCnvEx_WatchDevices(handle_, 1), 1);
  ASSERT_EQ(ZelSim_Attach(3, nullptr), 1);
  ReceivedMessage message{};
  ASSERT_TRUE(NextAppMessage(MSG_DEVICE_CHANGE, &message));
  EXPECT_EQ(message.wParam, 3u);
  EXPECT_EQ(message.lParam, 1);
  ASSERT_EQ(ZelCam_StartPreview(handle_), 1);
  ASSERT_EQ(ZelCnvEx_WaitFrame(handle_, buffer_.data(), Size(), 1, kMessageWaitMs, nullptr), 1);
  std::atomic<int> result{2};
  std::thread waiter([&] {
    // Waits until a frame comes or the stream ends; the unplug below ends it.
    while ((result = ZelCnvEx_WaitFrame(handle_, buffer_.data(), Size(), 1, -1, nullptr)) == 1) {
    }
  });
  ASSERT_EQ(ZelSim_InjectFault(0, "unplug"), 1);
  waiter.join();
  EXPECT_EQ(result, -1);
  ASSERT_TRUE(NextAppMessage(MSG_DEVICE_CHANGE, &message));
  EXPECT_EQ(message.wParam, 0u);
  EXPECT_EQ(message.lParam, 0);
  ASSERT_EQ(ZelSim_Detach(3), 1);
  ASSERT_TRUE(NextAppMessage(MSG_DEVICE_CHANGE, &message));
  EXPECT_EQ(message.wParam, 3u);
  EXPECT_EQ(message.lParam, 0);
  ASSERT_EQ(ZelCnvEx_WatchDevices(handle_, 0), 1);
  ASSERT_EQ(ZelSim_InjectFault(0, "replug"), 1);
}

}  // namespace
}  // namespace zelcnv::apitest
