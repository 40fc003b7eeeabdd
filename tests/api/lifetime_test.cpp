// What the application may hold on to, and for how long: frame records read after a release,
// buffers withdrawn while the stream runs, a handle released while another thread is inside one
// of its exports, stops that do not wait out a long interval, and errors already on the stack
// when the notification that announces them is read.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "ZelCnvSdk.h"
#include "ZelCnvSim.h"
#include "support/camera_fixture.h"

namespace zelcnv::apitest {
namespace {

using LifetimeTest = CameraTest;

TEST_F(LifetimeTest, FrameRecordsStayReadableForNotificationsReadAfterTheRelease) {
  Open("timing=free", 8);
  ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), nullptr, 0, 0), 1);
  // An ordinary message loop: the handle goes while notifications are still queued.
  ReceivedMessage first = NextFrameMessage();
  ASSERT_NE(first.wParam, 0u);
  ASSERT_EQ(ZelCam_Release(handle_), 1);
  handle_ = 0;
  ReceivedMessage message{};
  int read = 0;
  while (frames_.Next(&message, 0)) {
    if (message.wParam == 0) continue;
    const FrameInfo* info = reinterpret_cast<const FrameInfo*>(message.wParam);
    EXPECT_EQ(info->size, static_cast<int>(sizeof(FrameInfo)));
    EXPECT_EQ(info->width, width_);
    EXPECT_EQ(info->bitsPerPixel, 8);
    ++read;
  }
  const FrameInfo* info = reinterpret_cast<const FrameInfo*>(first.wParam);
  EXPECT_EQ(info->height, height_) << "after " << read << " more notifications";

  // A later handle may take the record over; it is still the same readable record.
  handle_ = ZelCam_Initialize(nullptr);
  ASSERT_NE(handle_, 0);
  ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), nullptr, 0, 0), 1);
  EXPECT_NE(NextFrameMessage().wParam, 0u);
  ASSERT_EQ(ZelCam_StopPreview(handle_), 1);
  EXPECT_EQ(info->size, static_cast<int>(sizeof(FrameInfo)));
}

TEST_F(LifetimeTest, AReleaseWaitsForExportsStillRunningOnAnotherThread) {
  Open("timing=free", 8);
  const int stride = (width_ + 3) / 4 * 4;
  std::vector<uint8_t> picture(static_cast<size_t>(stride) * height_);
  for (int round = 0; round < 12; ++round) {
    if (handle_ == 0) {
      handle_ = ZelCam_Initialize(nullptr);
      ASSERT_NE(handle_, 0);
      ASSERT_EQ(ZelCam_SetColorMode(handle_, 8), 1);
    }
    const int handle = handle_;
    std::atomic<int> calls{0};
    std::thread user([&] {
      // Until the handle is gone: every export either works or reports an unknown handle.
      for (;;) {
        const int shot =
            ZelCam_SnapShot(handle, picture.data(), static_cast<int>(picture.size()), round % 2);
        ZelCam_SetBrightness(handle, round);
        ZelCam_GetImage(handle, picture.data(), static_cast<int>(picture.size()), 0);
        ZelCam_GetLastError(handle);
        calls.fetch_add(1);
        if (shot == 0 && ZelCam_GetColorMode(handle) == -1) break;
      }
    });
    while (calls.load() < 1 + round % 3) std::this_thread::yield();
    EXPECT_EQ(ZelCam_Release(handle), 1);
    handle_ = 0;
    user.join();
    EXPECT_EQ(ZelCam_Release(handle), 0) << "released once";
  }
}

TEST_F(LifetimeTest, NoCopyLandsInABufferAfterTheCallThatWithdrewIt) {
  Open("timing=free", 8);
  const int stride = (width_ + 3) / 4 * 4;
  const std::string clip = ::testing::TempDir() + "zelcnv-withdrawn.avi";
  for (int round = 0; round < 8; ++round) {
    std::vector<uint8_t> buffer(static_cast<size_t>(stride) * height_);
    ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), buffer.data(),
                                     static_cast<int>(buffer.size()), 1),
              1);
    EXPECT_NE(NextFrameMessage().wParam, 0u);
    // A recording takes the stream over and withdraws the buffer: from its return on, the
    // application may reuse or free it.
    ASSERT_EQ(ZelCam_Record(handle_, clip.c_str(), 100000, 0), 1);
    std::memset(buffer.data(), 0x5A, buffer.size());
    ASSERT_EQ(ZelCam_StopPreview(handle_), 1);
    size_t touched = 0;
    for (uint8_t byte : buffer) touched += byte != 0x5A;
    EXPECT_EQ(touched, 0u) << "round " << round;
    frames_.Drain();
  }
  std::remove(clip.c_str());
}

TEST_F(LifetimeTest, AStopDoesNotWaitOutTheIntervalBetweenPolls) {
  Open("timing=free", 24);
  // An hour between polls: the stop and the release still return at once.
  ASSERT_EQ(ZelCam_SetWaitTime(handle_, 3600000), 1);
  ASSERT_EQ(ZelCam_StartPreview(handle_), 1);
  EXPECT_EQ(ZelCam_StopPreview(handle_), 1);
  ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), nullptr, 0, 0), 1);
  EXPECT_EQ(ZelCam_Release(handle_), 1);
  handle_ = 0;
  EXPECT_EQ(frames_.Drain(), 0) << "no frame within the hour";
}

TEST_F(LifetimeTest, AnErrorIsOnTheStackBeforeItsNotificationArrives) {
  // A buffer one byte short: each frame is announced as ERR_BUFFER, already on the stack.
  Open("timing=free", 8);
  const int needed = (width_ + 3) / 4 * 4 * height_;
  std::vector<uint8_t> buffer(needed);
  ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), buffer.data(), needed - 1, 0), 1);
  for (int frame = 0; frame < 20; ++frame) {
    const ReceivedMessage message = NextFrameMessage();
    ASSERT_EQ(message.lParam, ERR_BUFFER);
    EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_BUFFER) << "frame " << frame;
  }
  ASSERT_EQ(ZelCam_StopPreview(handle_), 1);

  // An unplug: the notification of the stopped transfer finds ERR_TRANSFER_STOPPED.
  for (int round = 0; round < 6; ++round) {
    while (ZelCam_GetLastError(handle_) != 0) {
    }
    frames_.Drain();
    ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), nullptr, 0, 0), 1);
    EXPECT_NE(NextFrameMessage().wParam, 0u);
    ASSERT_EQ(ZelSim_InjectFault(0, "unplug"), 1);
    ReceivedMessage message{};
    do {
      message = NextFrameMessage();
    } while (message.wParam != 0 && !HasFailure());
    ASSERT_EQ(message.lParam, ERR_TRANSFER_STOPPED);
    EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_TRANSFER_STOPPED) << "round " << round;
    ZelCam_StopPreview(handle_);
    ASSERT_EQ(ZelSim_InjectFault(0, "replug"), 1);
  }
}

}  // namespace
}  // namespace zelcnv::apitest
