// Converter faults as an application meets them through the C API: unplugs during streaming,
// a snapshot, a recording and a format change, short frames, a stalled converter, failing
// register reads, and a release in every state. Each ends in the documented error, a file that
// is finished or reported, and an operation after the fault that works again.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "ZelCnvSdk.h"
#include "ZelCnvSim.h"
#include "support/file_fixture.h"

namespace zelcnv::apitest {
namespace {

class FaultTest : public FileTest {
 protected:
  // Frame notifications until the one that reports `error` (wParam 0); false if frames stop
  // arriving first.
  bool WaitForStreamError(int error) {
    ReceivedMessage message{};
    do {
      if (!frames_.Next(&message, kMessageWaitMs)) return false;
    } while (message.wParam != 0 || message.lParam != error);
    return true;
  }

  // After an unplug: the converter back, a new handle (the old one's library object probed a
  // converter that went away), and a frame through it.
  void ReplugAndStreamAgain() {
    ASSERT_EQ(ZelSim_InjectFault(0, "replug"), 1);
    ASSERT_EQ(ZelCam_Release(handle_), 1);
    handle_ = ZelCam_Initialize(app_.handle());
    ASSERT_NE(handle_, 0);
    frames_.Drain();
    ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), nullptr, 0, 0), 1);
    EXPECT_NE(NextFrameMessage().wParam, 0u) << "frames again after the replug";
    EXPECT_EQ(ZelCam_StopPreview(handle_), 1);
  }

  void ClearErrors() {
    while (ZelCam_GetLastError(handle_) != 0) {
    }
  }
};

TEST_F(FaultTest, AnUnplugDuringASnapshotFailsItAndTheNextOneWorksAfterTheReplug) {
  Open("timing=manual", 8);
  const int stride = (width_ + 3) / 4 * 4;
  std::vector<uint8_t> frame(static_cast<size_t>(stride) * height_);
  // The snapshot waits for a frame the converter never releases; the unplug ends the wait.
  std::atomic<int> result{-1};
  std::thread snapshot([&] {
    result.store(ZelCam_SnapShot(handle_, frame.data(), static_cast<int>(frame.size()), 1));
  });
  ASSERT_EQ(ZelSim_InjectFault(0, "unplug"), 1);
  snapshot.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_CAPTURE);
  ASSERT_EQ(ZelSim_InjectFault(0, "replug"), 1);
  ASSERT_EQ(ZelSim_Configure(0, "timing=free"), 1);
  ASSERT_EQ(ZelCam_SnapShot(handle_, frame.data(), static_cast<int>(frame.size()), 1), 1);
  EXPECT_EQ(StampOfRow(frame, stride, 0, 1).line, zelsim::kStampLineFirst);
}

TEST_F(FaultTest, AnUnplugDuringARecordingLeavesAFinishedFile) {
  Open("timing=realtime", 24);
  const std::string path = PathOf("unplugged.avi");
  ASSERT_EQ(ZelCam_Record(handle_, path.c_str(), 600000, 0), 1);
  // A callback window is not part of a recording: wait for a few frames in the file instead.
  const uintmax_t threeFrames = 3 * static_cast<uintmax_t>((width_ * 3 + 3) / 4 * 4) * height_;
  std::error_code sizeError;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while ((std::filesystem::file_size(path, sizeError) < threeFrames || sizeError) &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_EQ(ZelSim_InjectFault(0, "unplug"), 1);
  ReceivedMessage error{};
  do {
    ASSERT_TRUE(app_.Next(&error, kMessageWaitMs)) << "the stopped transfer is reported";
  } while (error.lParam != ERR_TRANSFER_STOPPED);
  EXPECT_EQ(ZelCam_StopPreview(handle_), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_DEVICE_IO);
  // The stop finished the file with the frames it had: header and index agree.
  const AviCounts counts = CountAvi(zelcnv::testing::ReadFile(path));
  EXPECT_GE(counts.indexEntries, 3);
  EXPECT_EQ(counts.totalFrames, static_cast<uint32_t>(counts.indexEntries));
  const std::string probe = ProbeVideo(path);
  if (!probe.empty()) {
    EXPECT_NE(probe.find("nb_read_frames=" + std::to_string(counts.indexEntries)),
              std::string::npos)
        << probe;
  }
  ReplugAndStreamAgain();
}

TEST_F(FaultTest, AnUnplugDuringAFormatChangeIsReportedByTheNextStart) {
  Open("timing=free", 16);
  ASSERT_EQ(ZelSim_InjectFault(0, "unplug"), 1);
  // Programming an absent converter changes the handle's settings only.
  EXPECT_EQ(ZelCam_SetSamplingRate(handle_, 1), 1);
  ZelCam_SetDeviceNumber(handle_, 0);
  EXPECT_EQ(ZelCam_SetBrightness(handle_, 0x40), 1);
  ClearErrors();
  // The start itself cannot tell (the transfer thread opens the converter once it runs): the
  // stream ends at once with the error a stopped transfer reports.
  ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), nullptr, 0, 0), 1);
  EXPECT_TRUE(WaitForStreamError(ERR_TRANSFER_STOPPED));
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_TRANSFER_STOPPED);
  EXPECT_EQ(ZelCam_StopPreview(handle_), 1);
  ReplugAndStreamAgain();
}

TEST_F(FaultTest, ShortFramesEndTheStreamAndTheNextStartWorks) {
  Open("timing=free", 8);
  ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), nullptr, 0, 0), 1);
  EXPECT_NE(NextFrameMessage().wParam, 0u);
  ASSERT_EQ(ZelSim_InjectFault(0, "short=2"), 1);
  EXPECT_TRUE(WaitForStreamError(ERR_TRANSFER_STOPPED));
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_TRANSFER_STOPPED);
  EXPECT_EQ(ZelCam_StopPreview(handle_), 0) << "the transfer ended on a short frame";
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_DEVICE_IO);

  // A short single frame fails that snapshot only.
  const int stride = (width_ + 3) / 4 * 4;
  std::vector<uint8_t> frame(static_cast<size_t>(stride) * height_);
  ASSERT_EQ(ZelSim_InjectFault(0, "clear short=1"), 1);
  EXPECT_EQ(ZelCam_SnapShot(handle_, frame.data(), static_cast<int>(frame.size()), 1), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_CAPTURE);
  EXPECT_EQ(ZelCam_SnapShot(handle_, frame.data(), static_cast<int>(frame.size()), 1), 1);

  ClearErrors();
  frames_.Drain();
  ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), nullptr, 0, 0), 1);
  EXPECT_NE(NextFrameMessage().wParam, 0u);
  EXPECT_EQ(ZelCam_StopPreview(handle_), 1);
}

TEST_F(FaultTest, AStalledConverterDelaysFramesWithoutLosingTheStreamAndAStopCutsTheStallShort) {
  // Manual timing: a frame per release, so the buffer is read before the next one is written.
  Open("timing=manual", 16);
  const int stride = width_ * 2;
  std::vector<uint8_t> buffer(static_cast<size_t>(stride) * height_);
  ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), buffer.data(),
                                   static_cast<int>(buffer.size()), 1),
            1);
  // Each frame comes late, whole, with no error.
  for (int frame = 0; frame < 3; ++frame) {
    ASSERT_EQ(ZelSim_InjectFault(0, "stall=300 release=1"), 1);
    const ReceivedMessage message = NextFrameMessage();
    ASSERT_NE(message.wParam, 0u);
    EXPECT_EQ(StampOfRow(buffer, stride, 0, 2).sequence,
              StampOfRow(buffer, stride, height_ - 1, 2).sequence);
  }
  // A stop during a stall cuts it short, and is no failure.
  ASSERT_EQ(ZelSim_InjectFault(0, "stall=20000 release=1"), 1);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(StopManualStream(), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(ZelCam_GetLastError(handle_), 0);
  ASSERT_EQ(ZelSim_Configure(0, "timing=free"), 1);
  ASSERT_EQ(ZelCam_StartPreview(handle_), 1);
  EXPECT_EQ(ZelCam_StopPreview(handle_), 1);
}

TEST_F(FaultTest, FailingRegisterReadsAreReportedAndTheNextReadWorks) {
  Open("timing=free", 24);
  ASSERT_EQ(ZelCam_WriteRegister(handle_, 0x09, 0x55), 1);
  ASSERT_EQ(ZelSim_InjectFault(0, "read-fail=2"), 1);
  int valid = -1;
  EXPECT_EQ(ZelCam_ReadRegister(handle_, 0x09, &valid), 0);
  EXPECT_EQ(valid, 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_DEVICE_IO);
  EXPECT_EQ(ZelCam_ReadRegister(handle_, 0x09, &valid), 0x55) << "the query's second read works";
  EXPECT_EQ(valid, 1);
  int level = -1;
  ASSERT_EQ(ZelSim_InjectFault(0, "read-fail=2"), 1);
  app_.Drain();
  EXPECT_EQ(ZelCam_GetIOPort(handle_, 0, &level), 0);
  ReceivedMessage posted{};
  ASSERT_TRUE(app_.Next(&posted, kMessageWaitMs));
  EXPECT_EQ(posted.lParam, ERR_OPERATION) << "reported only as a message";
  EXPECT_EQ(ZelCam_GetLastError(handle_), 0);
  EXPECT_EQ(ZelCam_GetIOPort(handle_, 0, &level), 1);
  EXPECT_EQ(level, 0);
}

TEST_F(FaultTest, AReleaseInEveryStateTakesEverythingDownAndANewHandleWorks) {
  const std::string clip = PathOf("released.avi");
  const char* const states[] = {"idle", "streaming", "armed", "recording", "window", "unplugged"};
  for (const char* state : states) {
    const std::string name = state;
    Open("timing=free", 24);
    if (name == "streaming") {
      ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), nullptr, 0, 0), 1);
    } else if (name == "armed") {
      ASSERT_EQ(ZelCam_Capture(handle_), 1);
    } else if (name == "recording") {
      ASSERT_EQ(ZelCam_Record(handle_, clip.c_str(), 600000, 0), 1);
    } else if (name == "window") {
      ASSERT_EQ(ZelCam_Preview(handle_), 1);
      ASSERT_EQ(ZelCam_StopPreview(handle_), 1);
    } else if (name == "unplugged") {
      ASSERT_EQ(ZelCam_StartPreview(handle_), 1);
      ASSERT_EQ(ZelSim_InjectFault(0, "unplug"), 1);
    }
    EXPECT_EQ(ZelCam_Release(handle_), 1) << state;
    handle_ = 0;
    if (name == "recording") {
      const AviCounts counts = CountAvi(zelcnv::testing::ReadFile(clip));
      EXPECT_EQ(counts.totalFrames, static_cast<uint32_t>(counts.indexEntries)) << "finished";
    }
    ASSERT_EQ(ZelSim_Detach(0), 1);
    frames_.Drain();
    app_.Drain();
  }
  Open("timing=free", 8);
  EXPECT_EQ(ZelCam_SnapShot(handle_, nullptr, 0, 0), 1);
}

}  // namespace
}  // namespace zelcnv::apitest
