// Several application threads at once: each with its own handle and converter streaming, saving
// and recording; and the handle registry under Initialize and Release from two threads while a
// third calls exports with handles that are gone.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ZelCnvSdk.h"
#include "ZelCnvSim.h"
#include "support/file_fixture.h"

namespace zelcnv::apitest {
namespace {

using ConcurrencyTest = FileTest;

TEST_F(ConcurrencyTest, FourThreadsStreamSaveAndRecordOnTheirOwnConverters) {
  constexpr int kThreads = 4;
  // Manual timing while the buffers are read (a frame per release: the buffer holds still until
  // the next), real time while recording; free-running converters would only compete for the
  // processors.
  for (int i = 0; i < kThreads; ++i) {
    ASSERT_EQ(ZelSim_Attach(i, "timing=manual input0=moving"), 1);
  }
  std::vector<std::thread> threads;
  std::mutex failuresLock;
  std::vector<std::string> failures;  // which thread, round and step
  const auto fail = [&](int thread, int round, const std::string& what) {
    const std::lock_guard<std::mutex> lock(failuresLock);
    failures.push_back("thread " + std::to_string(thread) + " round " + std::to_string(round) +
                       ": " + what);
  };
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      TestWindow frames;
      const int handle = ZelCam_Initialize(nullptr);
      if (handle == 0 || ZelCam_SetDeviceNumber(handle, i) != 1 ||
          ZelCam_SetColorMode(handle, i % 2 == 0 ? 16 : 8) != 1) {
        fail(i, 0, "set-up");
        return;
      }
      const int bytes = i % 2 == 0 ? 2 : 1;
      const int width = ZelCam_Width(handle), height = ZelCam_Height(handle);
      const int stride = (width * bytes + 3) / 4 * 4;
      std::vector<uint8_t> buffer(static_cast<size_t>(stride) * height);
      for (int round = 0; round < 2; ++round) {
        if (ZelCam_CallBackPreview(handle, frames.handle(), buffer.data(),
                                   static_cast<int>(buffer.size()), 1) != 1) {
          fail(i, round, "stream start");
          break;
        }
        // Frames of this thread's converter, each whole, until a few have come.
        for (int frame = 0; frame < 5; ++frame) {
          ZelSim_InjectFault(i, "release=1");
          ReceivedMessage message{};
          if (!frames.Next(&message, kMessageWaitMs) || message.wParam == 0) {
            fail(i, round, "a frame missing or failed");
            break;
          }
          zelsim::FrameStamp top{}, bottom{};
          if (!zelsim::ReadFrameStamp(buffer.data(), bytes, &top) ||
              !zelsim::ReadFrameStamp(&buffer[static_cast<size_t>(height - 1) * stride], bytes,
                                      &bottom) ||
              top.sequence != bottom.sequence) {
            fail(i, round, "a torn frame");
          }
        }
        const std::string stem =
            PathOf(("t" + std::to_string(i) + "-" + std::to_string(round)).c_str());
        ZelSim_Configure(i, "timing=realtime");
        if (ZelCam_Record(handle, (stem + ".avi").c_str(), 0, 0) != 1) fail(i, round, "record");
        const AviCounts avi = WaitFinishedAvi(stem + ".avi");
        if (avi.indexEntries != 2) {
          fail(i, round,
               ("recorded " + std::to_string(avi.indexEntries) + " index entries, " +
                std::to_string(avi.totalFrames) + " frames in the header"));
        }
        if (ZelCam_StopPreview(handle) != 1) {
          fail(i, round, "stop: error " + std::to_string(ZelCam_GetLastError(handle)));
        }
        ZelSim_Configure(i, "timing=manual");
        if (ZelCam_SaveImage(handle, (stem + ".png").c_str(), 5) != 1) fail(i, round, "save");
        frames.Drain();
      }
      if (ZelCam_Release(handle) != 1) fail(i, 1, "release");
    });
  }
  for (auto& thread : threads) thread.join();
  for (const std::string& failure : failures) ADD_FAILURE() << failure;
  for (int i = 0; i < kThreads; ++i) EXPECT_EQ(ZelSim_Detach(i), 1);
}

TEST_F(ConcurrencyTest, TheRegistryHoldsUpUnderInitializeAndReleaseWithStaleHandlesInUse) {
  ASSERT_EQ(ZelSim_Attach(0, "timing=free"), 1);
  std::atomic<bool> done{false};
  std::atomic<int> stale{0};  // the latest handle released
  std::vector<std::thread> owners;
  for (int t = 0; t < 2; ++t) {
    owners.emplace_back([&] {
      for (int i = 0; i < 40; ++i) {
        const int handle = ZelCam_Initialize(nullptr);
        ASSERT_NE(handle, 0);
        EXPECT_EQ(ZelCam_SetColorMode(handle, 8), 1);
        EXPECT_EQ(ZelCam_Release(handle), 1);
        stale.store(handle);
      }
    });
  }
  std::thread caller([&] {
    std::vector<uint8_t> buffer(1024);
    while (!done.load()) {
      const int handle = stale.load();
      // A released handle is unknown: the failure value, and nothing written.
      EXPECT_EQ(ZelCam_GetColorMode(handle), -1);
      EXPECT_EQ(ZelCam_GetImage(handle, buffer.data(), static_cast<int>(buffer.size()), 0), 0);
      int valid = 7;
      EXPECT_EQ(ZelCam_ReadRegister(handle, 0x09, &valid), 0);
      EXPECT_EQ(valid, 7);
      EXPECT_EQ(ZelCam_StartPreview(handle), 0);
      EXPECT_EQ(ZelCam_Release(handle), 0);
    }
  });
  for (auto& owner : owners) owner.join();
  done.store(true);
  caller.join();
  EXPECT_EQ(ZelSim_Detach(0), 1);
}

}  // namespace
}  // namespace zelcnv::apitest
