// A converter that goes silent (its cable or source lost: a long stall, or manual timing with no
// frame released) holds up nothing: every path that stops a stream returns at once, a snapshot
// gives up after its bound, and what comes after works again once the converter speaks. The
// same natively and under Wine, where the stop cancels the frame transfer pending in the driver.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ZelCnvSdk.h"
#include "ZelCnvSim.h"
#include "support/file_fixture.h"

namespace zelcnv::apitest {
namespace {

using Clock = std::chrono::steady_clock;

// Bounds asserted here are generous (a loaded machine, Wine): the library aims at well under
// 100 ms for a stop, and the snapshot's own wait.
constexpr auto kStopBound = std::chrono::milliseconds(1000);
// A snapshot's wait for a frame (ten frame periods at 25 frames/s) and the wait time of the test
// fixture (1 ms), with the same slack as a stop.
constexpr auto kSnapShotBound = std::chrono::milliseconds(400 + 1) + kStopBound;

// Milliseconds `action` took.
long long MillisecondsOf(const std::function<void()>& action) {
  const Clock::time_point start = Clock::now();
  action();
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class StopBoundTest : public FileTest {
 protected:
  // The two ways a converter goes silent, after the stream has shown it is running: a stall far
  // longer than any test (the converter at its real rate), or no frame released any more.
  struct Silence {
    const char* name;
    const char* config;
  };
  static constexpr Silence kSilences[] = {{"stall", "timing=realtime"},
                                          {"manual", "timing=manual"}};

  void StartSilentStream(const Silence& silence, const std::function<void()>& start) {
    const bool stall = std::string(silence.name) == "stall";
    Open(silence.config, 24);
    if (!stall) {
      ASSERT_EQ(ZelSim_InjectFault(0, "release=2"), 1);
    }
    // The stream runs (a frame arrived, or for a recording, which takes no callback window, it
    // started), then the converter goes silent.
    start();
    if (stall) {
      ASSERT_EQ(ZelSim_InjectFault(0, "stall=20000"), 1);
    }
  }

  void StartCallbackStream() {
    ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), nullptr, 0, 0), 1);
    EXPECT_NE(NextFrameMessage().wParam, 0u);
  }
};

TEST_F(StopBoundTest, EveryStopReturnsAtOnceFromASilentConverter) {
  const std::string clip = PathOf("silent.avi");
  for (const Silence& silence : kSilences) {
    for (const std::string path : {"StopPreview", "Close", "Release", "a recording's stop"}) {
      SCOPED_TRACE(path + ", " + silence.name);
      StartSilentStream(silence, [&] {
        if (path == "a recording's stop") {
          ASSERT_EQ(ZelCam_Record(handle_, clip.c_str(), 600000, 0), 1);
        } else {
          StartCallbackStream();
        }
      });
      const long long stopMs = MillisecondsOf([&] {
        if (path == "Close") {
          EXPECT_EQ(ZelCam_Close(handle_), 1);
        } else if (path == "Release") {
          EXPECT_EQ(ZelCam_Release(handle_), 1);
          handle_ = 0;
        } else {
          EXPECT_EQ(ZelCam_StopPreview(handle_), 1);
        }
      });
      EXPECT_LT(stopMs, kStopBound.count());
      std::printf("%-18s %-7s %lld ms\n", path.c_str(), silence.name, stopMs);
      if (handle_ != 0) {
        EXPECT_EQ(ZelCam_GetLastError(handle_), 0) << "a stop is no failure";
      }
      // The converter speaks again: the next stream on a handle works.
      ASSERT_EQ(ZelSim_Configure(0, "timing=free"), 1);
      ASSERT_EQ(ZelSim_InjectFault(0, "clear"), 1);
      if (handle_ == 0) handle_ = ZelCam_Initialize(app_.handle());
      frames_.Drain();
      StartCallbackStream();
      EXPECT_EQ(ZelCam_StopPreview(handle_), 1);
      ZelCam_Release(handle_);
      handle_ = 0;
      ASSERT_EQ(ZelSim_Detach(0), 1);
    }
  }
}

TEST_F(StopBoundTest, ADeviceChangeDuringAStreamIsRefusedAtOnceAsNotReady) {
  ASSERT_EQ(ZelSim_Attach(1, "timing=free"), 1);  // before the handle, which probes once
  Open("timing=manual", 24);
  ASSERT_EQ(ZelSim_InjectFault(0, "release=1"), 1);
  StartCallbackStream();
  for (int device : {0, 1}) {
    EXPECT_LT(MillisecondsOf([&] { EXPECT_EQ(ZelCam_SetDeviceNumber(handle_, device), 0); }),
              kStopBound.count());
    EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_NOT_READY) << "the converter is there";
  }
  EXPECT_LT(MillisecondsOf([&] { EXPECT_EQ(ZelCam_StopPreview(handle_), 1); }), kStopBound.count());
  EXPECT_EQ(ZelCam_SetDeviceNumber(handle_, 1), 1);
  EXPECT_EQ(ZelCam_SnapShot(handle_, nullptr, 0, 0), 1) << "from converter 1";
}

TEST_F(StopBoundTest, ASnapshotOfASilentConverterGivesUpWithinItsBoundAndTheNextOneWorks) {
  for (const Silence& silence : kSilences) {
    SCOPED_TRACE(silence.name);
    Open(silence.config, 8);
    const int stride = (width_ + 3) / 4 * 4;
    std::vector<uint8_t> frame(static_cast<size_t>(stride) * height_);
    const int size = static_cast<int>(frame.size());
    for (const bool armed : {false, true}) {
      if (armed) {
        ASSERT_EQ(ZelCam_Capture(handle_), 1);
      }
      if (std::string(silence.name) == "stall") {
        ASSERT_EQ(ZelSim_InjectFault(0, "stall=20000"), 1);
      }
      EXPECT_LT(
          MillisecondsOf([&] { EXPECT_EQ(ZelCam_SnapShot(handle_, frame.data(), size, 1), 0); }),
          std::chrono::duration_cast<std::chrono::milliseconds>(kSnapShotBound).count());
      EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_CAPTURE);
      // The converter speaks again.
      ASSERT_EQ(ZelSim_InjectFault(0, std::string(silence.name) == "stall" ? "clear" : "release=1"),
                1);
      EXPECT_EQ(ZelCam_SnapShot(handle_, frame.data(), size, 1), 1);
      EXPECT_EQ(StampOfRow(frame, stride, 0, 1).line, zelsim::kStampLineFirst);
    }
    EXPECT_EQ(ZelCam_StopPreview(handle_), 1) << "disarmed";
    ZelCam_Release(handle_);
    handle_ = 0;
    ASSERT_EQ(ZelSim_Detach(0), 1);
  }
}

}  // namespace
}  // namespace zelcnv::apitest
