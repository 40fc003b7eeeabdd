// Live streaming through the C API: frames from the converter's ring to the application's buffer
// and window, the streaming states, and what an unplug mid-stream looks like to the application.
#include <cstdint>
#include <cstring>
#include <vector>

#include "ZelCnvSdk.h"
#include "ZelCnvSim.h"
#include "model/frame_stamp.h"
#include "support/camera_fixture.h"

namespace zelcnv::apitest {
namespace {

using StreamingTest = CameraTest;

TEST_F(StreamingTest, EveryReleasedFrameArrivesInOrderAndWhole) {
  // Manual timing: one frame per release, so the buffer is read before the next frame is due.
  Open("timing=manual input0=moving", 16);
  const int stride = width_ * 2;
  std::vector<uint8_t> buffer(static_cast<size_t>(stride) * height_);
  ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), buffer.data(),
                                   static_cast<int>(buffer.size()), 1),
            1);
  int64_t previous = -1;
  for (int frame = 0; frame < 300; ++frame) {
    ASSERT_EQ(ZelSim_InjectFault(0, "release=1"), 1);
    const ReceivedMessage message = NextFrameMessage();
    ASSERT_EQ(message.lParam, 0) << "frame " << frame;
    const FrameInfo* info = reinterpret_cast<const FrameInfo*>(message.wParam);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->size, static_cast<int>(sizeof(FrameInfo)));
    EXPECT_EQ(info->width, width_);
    EXPECT_EQ(info->height, height_);
    EXPECT_EQ(info->bitsPerPixel, 16);
    EXPECT_EQ(info->buffer, buffer.data());
    // The first and last line of both fields come from one device frame: nothing torn.
    const int rows[4] = {0, 1, height_ - 2, height_ - 1};
    const zelsim::FrameStamp top = StampOfRow(buffer, stride, 0, 2);
    for (int row : rows) {
      EXPECT_EQ(StampOfRow(buffer, stride, row, 2).sequence, top.sequence) << "row " << row;
    }
    if (previous >= 0) {
      EXPECT_EQ(int64_t{top.sequence}, previous + 1) << "frame " << frame;
    }
    previous = top.sequence;
  }
  EXPECT_EQ(StopManualStream(), 1);
  EXPECT_EQ(ZelCam_GetLastError(handle_), 0);
}

TEST_F(StreamingTest, CallbackBufferTakesWholeRowsInTheAskedOrder) {
  Open("timing=manual", 8);
  const int stride = (width_ + 3) / 4 * 4;
  const int needed = stride * height_;
  std::vector<uint8_t> buffer(needed);

  // One byte short: the frame is reported as a buffer error instead, and streaming goes on.
  ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), buffer.data(), needed - 1, 0), 1);
  ASSERT_EQ(ZelSim_InjectFault(0, "release=1"), 1);
  ReceivedMessage message = NextFrameMessage();
  EXPECT_EQ(message.wParam, 0u);
  EXPECT_EQ(message.lParam, ERR_BUFFER);
  ReceivedMessage error{};
  ASSERT_TRUE(app_.Next(&error, kMessageWaitMs));
  EXPECT_EQ(error.message, unsigned{MSG_ERROR_NOTIFY});
  EXPECT_EQ(error.lParam, ERR_BUFFER);
  ASSERT_EQ(ZelSim_InjectFault(0, "release=1"), 1);
  message = NextFrameMessage();
  EXPECT_EQ(message.lParam, ERR_BUFFER) << "still streaming";
  ASSERT_EQ(StopManualStream(), 1);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_BUFFER);

  // Exactly stride x height: bottom picture row first, or top row first when asked.
  for (int topDown : {0, 1}) {
    ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), buffer.data(), needed, topDown), 1);
    ASSERT_EQ(ZelSim_InjectFault(0, "release=1"), 1);
    message = NextFrameMessage();
    ASSERT_NE(message.wParam, 0u) << "topDown " << topDown;
    EXPECT_EQ(reinterpret_cast<const FrameInfo*>(message.wParam)->bitsPerPixel, 8);
    const zelsim::FrameStamp first = StampOfRow(buffer, stride, 0, 1);
    const zelsim::FrameStamp last = StampOfRow(buffer, stride, height_ - 1, 1);
    const zelsim::FrameStamp top = topDown != 0 ? first : last;
    const zelsim::FrameStamp bottom = topDown != 0 ? last : first;
    EXPECT_EQ(top.field, zelsim::kStampFieldFirst) << "topDown " << topDown;
    EXPECT_EQ(top.line, zelsim::kStampLineFirst) << "topDown " << topDown;
    EXPECT_EQ(bottom.field, zelsim::kStampFieldSecond) << "topDown " << topDown;
    EXPECT_EQ(bottom.line, zelsim::kStampLineLast) << "topDown " << topDown;
    ASSERT_EQ(StopManualStream(), 1);
  }
}

TEST_F(StreamingTest, StreamingStatesGuardEveryStart) {
  Open("timing=free", 24);
  EXPECT_EQ(ZelCam_StopPreview(handle_), 1) << "stopping an idle handle";
  EXPECT_EQ(ZelCam_StartPreview(handle_), 1);
  EXPECT_EQ(ZelCam_StartPreview(handle_), 1) << "already streaming";
  EXPECT_EQ(ZelCam_GetLastError(handle_), 0);
  EXPECT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), nullptr, 0, 0), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_NOT_READY);
  EXPECT_EQ(ZelCam_Preview(handle_), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_NOT_READY);
  EXPECT_EQ(ZelCam_StopPreview(handle_), 1);
  EXPECT_EQ(ZelCam_StopPreview(handle_), 1);

  // A handle opened with no converter attached names the missing device under the refusal.
  ASSERT_EQ(ZelCam_Release(handle_), 1);
  ASSERT_EQ(ZelSim_Detach(0), 1);
  handle_ = ZelCam_Initialize(nullptr);
  EXPECT_EQ(ZelCam_StartPreview(handle_), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_NOT_READY);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_NO_DEVICE);
  EXPECT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), nullptr, 0, 0), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_CAPTURE);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_NOT_READY);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_NO_DEVICE);
  EXPECT_EQ(ZelCam_Close(handle_), 1);
  EXPECT_EQ(frames_.Drain(), 0);

  EXPECT_EQ(ZelCam_StartPreview(12345), 0) << "unknown handle";
  EXPECT_EQ(ZelCam_Close(12345), 0);
}

TEST_F(StreamingTest, UnplugMidStreamEndsTheStreamAndTheStopReportsIt) {
  Open("timing=realtime", 8);
  ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), nullptr, 0, 0), 1);
  for (int frame = 0; frame < 3; ++frame) {
    const ReceivedMessage message = NextFrameMessage();
    ASSERT_NE(message.wParam, 0u) << "frame " << frame;
  }
  ASSERT_EQ(ZelSim_InjectFault(0, "unplug"), 1);
  ReceivedMessage message{};
  do {
    message = NextFrameMessage();
  } while (message.wParam != 0 && !HasFailure());
  EXPECT_EQ(message.lParam, ERR_TRANSFER_STOPPED);
  ReceivedMessage error{};
  ASSERT_TRUE(app_.Next(&error, kMessageWaitMs));
  EXPECT_EQ(error.message, unsigned{MSG_ERROR_NOTIFY});
  EXPECT_EQ(error.lParam, ERR_TRANSFER_STOPPED);

  EXPECT_EQ(ZelCam_StopPreview(handle_), 0) << "the transfer did not end cleanly";
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_DEVICE_IO);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_TRANSFER_STOPPED);
  EXPECT_EQ(ZelCam_StopPreview(handle_), 1) << "idle again";
  EXPECT_EQ(frames_.Drain(), 0) << "nothing after the transfer error";
}

TEST_F(StreamingTest, FrameRateIsMeasuredInTenthsOfFramesPerSecond) {
  Open("timing=realtime", 8);
  ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), nullptr, 0, 0), 1);
  // Past the first one-second window; the record is read once the preview thread has ended.
  const FrameInfo* info = nullptr;
  for (int frame = 0; frame < 45; ++frame) {
    info = reinterpret_cast<const FrameInfo*>(NextFrameMessage().wParam);
    ASSERT_NE(info, nullptr);
  }
  ASSERT_EQ(ZelCam_StopPreview(handle_), 1);
  // 29.97 frames/s read as 299; frames dropped on a busy machine only lower it.
  EXPECT_GE(info->frameRate, 100);
  EXPECT_LE(info->frameRate, 310);
}

TEST_F(StreamingTest, AColourModeChosenWhileStreamingAppliesFromTheNextStart) {
  Open("timing=manual", 8);
  const int greyStride = (width_ + 3) / 4 * 4;
  std::vector<uint8_t> buffer(static_cast<size_t>(greyStride) * height_);
  ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), buffer.data(),
                                   static_cast<int>(buffer.size()), 1),
            1);
  ASSERT_EQ(ZelCam_SetColorMode(handle_, 24), 1);
  ASSERT_EQ(ZelSim_InjectFault(0, "release=1"), 1);
  ReceivedMessage message = NextFrameMessage();
  ASSERT_NE(message.wParam, 0u) << "the grey buffer still takes the grey frame";
  EXPECT_EQ(reinterpret_cast<const FrameInfo*>(message.wParam)->bitsPerPixel, 8);
  EXPECT_EQ(StampOfRow(buffer, greyStride, 0, 1).line, zelsim::kStampLineFirst);
  ASSERT_EQ(StopManualStream(), 1);

  // From the next start the frames are colour, and the grey-sized buffer is too small.
  ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), buffer.data(),
                                   static_cast<int>(buffer.size()), 1),
            1);
  ASSERT_EQ(ZelSim_InjectFault(0, "release=1"), 1);
  message = NextFrameMessage();
  EXPECT_EQ(message.wParam, 0u);
  EXPECT_EQ(message.lParam, ERR_BUFFER);
  ASSERT_EQ(StopManualStream(), 1);
}

TEST_F(StreamingTest, DamagedStoredSettingsNeitherHangNorOverrun) {
  // A colour mode outside the table: nothing to size, so the stream does not start.
  ASSERT_EQ(ZelSim_Attach(0, "timing=free"), 1);
  StoreSetting("Color", 7);
  handle_ = ZelCam_Initialize(nullptr);
  EXPECT_EQ(ZelCam_GetColorMode(handle_), -1);
  EXPECT_EQ(ZelCam_StartPreview(handle_), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_NOT_READY);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_BUFFER);
  ASSERT_EQ(ZelCam_Release(handle_), 1);

  // A wait time below 0 streams without pausing, and the stop still returns.
  StoreSetting("Color", 0);
  StoreSetting("WaitTime", 0xFFFFFFFFu);
  handle_ = ZelCam_Initialize(nullptr);
  EXPECT_EQ(ZelCam_GetWaitTime(handle_), -1);
  ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), nullptr, 0, 0), 1);
  for (int frame = 0; frame < 3; ++frame) EXPECT_NE(NextFrameMessage().wParam, 0u);
  EXPECT_EQ(ZelCam_StopPreview(handle_), 1);
}

TEST_F(StreamingTest, PreviewWindowsOpenAndCloseWithTheStream) {
  Open("timing=free", 24);
  EXPECT_EQ(ZelCam_Close(handle_), 1) << "no window yet";
  EXPECT_EQ(ZelCam_Preview(handle_), 1);
  EXPECT_EQ(ZelCam_StopPreview(handle_), 1);
  EXPECT_EQ(ZelCam_Preview(handle_), 1) << "a second window replaces the first";
  EXPECT_EQ(ZelCam_Close(handle_), 1);
  EXPECT_EQ(ZelCam_StartPreview(handle_), 1) << "Close stopped the stream";
  EXPECT_EQ(ZelCam_SetPreviewWindow(handle_, app_.handle(), 10, 20, 320, 240), 1);
  EXPECT_EQ(ZelCam_StopPreview(handle_), 1);
  EXPECT_EQ(ZelCam_Preview(handle_), 1);
  // Released while streaming into a window: everything goes with the handle, and a new handle
  // streams from the converter at once.
  const int released = handle_;
  EXPECT_EQ(ZelCam_Release(released), 1);
  handle_ = 0;
  EXPECT_EQ(ZelCam_StopPreview(released), 0) << "the handle is gone";
  EXPECT_EQ(ZelCam_Release(released), 0);
  handle_ = ZelCam_Initialize(app_.handle());
  ASSERT_NE(handle_, 0);
  EXPECT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), nullptr, 0, 0), 1);
  EXPECT_NE(NextFrameMessage().wParam, 0u);
  EXPECT_EQ(ZelCam_StopPreview(handle_), 1);
}

}  // namespace
}  // namespace zelcnv::apitest
