// When the model delivers frames (realtime, free and manual timing) and how injected faults
// change that, on a clock the tests move.
#include <gtest/gtest.h>

#include <thread>

#include "model/device_registers.h"
#include "model/frame_stamp.h"
#include "sim_test_support.h"

namespace zelsim::test {
namespace {

// A tiny announced frame keeps long runs cheap (its stamps lie beyond its end).
constexpr uint32_t kTinySamples = 1024;

class TimingTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    // Square pixels: the power-on frame size then covers the whole geometry.
    ASSERT_TRUE(wire().Send({kRequestWriteRegister, kRegClockControl, 0xC0}));
    ASSERT_TRUE(model_->Configure("timing=realtime"));
    start_ = host_.Now();
  }
  // Transfers one full frame and returns its sequence number, -1 on failure.
  int64_t NextSequence() {
    const PictureParams params = model_->CurrentPictureParams();
    std::vector<uint8_t> frame;
    if (!wire().Frame(&frame, RawFrameBytes(params))) return -1;
    const std::vector<uint8_t> picture = Weave(params, frame);
    uint32_t sequence = 0;
    if (picture.empty() || !ReadFrameStamp(picture.data(), params.bytesPerSample, &sequence)) {
      return -2;
    }
    return sequence;
  }
  bool Frame() {
    std::vector<uint8_t> frame;
    return wire().Frame(&frame, RawFrameBytes(model_->CurrentPictureParams()));
  }

  uint64_t start_ = 0;
};

TEST(FrameSchedule, DueTimesAreExactFractionsOfTheFrameRate) {
  EXPECT_EQ(FrameOffsetNs(0, 3), 100100000u);
  EXPECT_EQ(FrameOffsetNs(0, 1), 33366666u);
  EXPECT_EQ(FrameOffsetNs(0, 30000), 1001000000000u) << "30000 frames take 1001 s exactly";
  EXPECT_EQ(FrameOffsetNs(2, 25), 1000000000u);
  EXPECT_EQ(FrameOffsetNs(11, 1), 40000000u);
  EXPECT_EQ(FrameOffsetNs(4, 1), 33366666u) << "standard 2 has 525-line timing";
  EXPECT_EQ(FirstFrameAtOrAfter(0, 0), 0u);
  EXPECT_EQ(FirstFrameAtOrAfter(0, 33366666), 1u);
  EXPECT_EQ(FirstFrameAtOrAfter(0, 33366667), 2u);
  EXPECT_EQ(FirstFrameAtOrAfter(2, 40000001), 2u);
}

TEST_F(TimingTest, RealtimeDeliversEachFrameAtItsDueTimeOverALongRun) {
  ASSERT_TRUE(wire().SendSamplesPerFrame(kTinySamples));
  constexpr uint64_t kFrames = 30000;
  for (uint64_t k = 0; k <= kFrames; ++k) {
    ASSERT_TRUE(Frame());
    ASSERT_EQ(host_.Now(), start_ + k * 100100000 / 3) << "frame " << k;
  }
  EXPECT_EQ(host_.Now() - start_, 1001000000000u);
  // Frame 0 was due at the start, so no transfer waited for it.
  EXPECT_EQ(host_.Deadlines().size(), kFrames);
}

TEST_F(TimingTest, LateHostSeesSkippedSequenceNumbers) {
  EXPECT_EQ(NextSequence(), 0);
  host_.AdvanceBy(100 * kMs);  // 100 ms late: frames 1 and 2 pass unread
  EXPECT_EQ(NextSequence(), 3);
  EXPECT_EQ(host_.Now(), start_ + 100100000);
  EXPECT_EQ(NextSequence(), 4) << "a punctual host misses nothing";
  host_.AdvanceBy(FrameOffsetNs(0, 1));  // exactly on a due time
  EXPECT_EQ(NextSequence(), 5);
}

TEST_F(TimingTest, ChangingTheFrameRateRestartsTheTimelineWithoutGoingBack) {
  EXPECT_EQ(NextSequence(), 0);
  EXPECT_EQ(NextSequence(), 1);
  ASSERT_TRUE(model_->Configure("standard=625"));
  ASSERT_TRUE(wire().SendSamplesPerFrame(RowSamplesPerFrame(kTimingTableB[3])));
  const uint64_t restart = host_.Now();
  EXPECT_EQ(NextSequence(), 2);
  EXPECT_EQ(host_.Now(), restart);
  EXPECT_EQ(NextSequence(), 3);
  EXPECT_EQ(host_.Now(), restart + 40 * kMs);
}

TEST_F(TimingTest, FreeTimingDeliversAtOnceAndManualWaitsForReleases) {
  ASSERT_TRUE(model_->Configure("timing=free"));
  for (int64_t k = 0; k < 5; ++k) EXPECT_EQ(NextSequence(), k);
  EXPECT_EQ(host_.Now(), start_);

  ASSERT_TRUE(model_->InjectFaults("release=2"));  // not manual yet: forgotten on the switch
  ASSERT_TRUE(model_->Configure("timing=manual"));
  int64_t sequence = -1;
  std::jthread transfer([&] { sequence = NextSequence(); });
  ASSERT_TRUE(host_.AwaitWaiters(1));
  ASSERT_TRUE(model_->InjectFaults("release=3"));
  transfer.join();
  EXPECT_EQ(sequence, 5);
  EXPECT_EQ(NextSequence(), 6);
  EXPECT_EQ(NextSequence(), 7);
  EXPECT_EQ(host_.Now(), start_) << "manual timing ignores the clock";
}

TEST_F(TimingTest, UnplugEndsAWaitingTransferAndKillsOpenConnections) {
  ASSERT_TRUE(model_->Configure("timing=manual"));
  bool delivered = true;
  std::jthread transfer([&] { delivered = Frame(); });
  ASSERT_TRUE(host_.AwaitWaiters(1));
  ASSERT_TRUE(model_->InjectFaults("unplug"));
  transfer.join();
  EXPECT_FALSE(delivered);

  uint32_t connection = 0;
  EXPECT_FALSE(model_->Open(&connection));
  EXPECT_FALSE(wire().Send({kRequestFrame}));
  ASSERT_TRUE(model_->InjectFaults("replug release=1"));
  EXPECT_FALSE(wire().Send({kRequestFrame})) << "a handle from before the unplug stays dead";
  ASSERT_TRUE(model_->Open(&connection));
  Wire fresh(model_, connection);
  std::vector<uint8_t> frame;
  EXPECT_TRUE(fresh.Frame(&frame, RawFrameBytes(model_->CurrentPictureParams())));
}

TEST_F(TimingTest, StallDelaysTheNextFrameAndUnplugCutsItShort) {
  ASSERT_TRUE(model_->Configure("timing=free"));
  ASSERT_TRUE(model_->InjectFaults("stall=250"));
  EXPECT_EQ(NextSequence(), 0);
  EXPECT_EQ(host_.Now(), start_ + 250 * kMs);
  EXPECT_EQ(NextSequence(), 1);
  EXPECT_EQ(host_.Now(), start_ + 250 * kMs) << "only the next transfer stalls";

  host_.SetAutoAdvance(false);
  ASSERT_TRUE(model_->InjectFaults("stall=1000"));
  bool delivered = false;
  std::jthread stalled([&] { delivered = Frame(); });
  ASSERT_TRUE(host_.AwaitWaiters(1));
  host_.AdvanceBy(1000 * kMs);
  stalled.join();
  EXPECT_TRUE(delivered);

  ASSERT_TRUE(model_->InjectFaults("stall=3600000"));
  std::jthread cut([&] { delivered = Frame(); });
  ASSERT_TRUE(host_.AwaitWaiters(1));
  ASSERT_TRUE(model_->InjectFaults("unplug"));
  cut.join();
  EXPECT_FALSE(delivered);
}

TEST_F(TimingTest, ARealtimeStallLosesTheFramesDueInIt) {
  host_.SetAutoAdvance(false);
  EXPECT_EQ(NextSequence(), 0) << "due at once";
  int64_t sequence = -1;
  std::jthread waiting([&] { sequence = NextSequence(); });
  ASSERT_TRUE(host_.AwaitWaiters(1)) << "waiting for frame 1";
  ASSERT_TRUE(model_->InjectFaults("stall=170"));
  const auto awaitDeadline = [&](uint64_t deadline) {
    for (;;) {
      const std::vector<uint64_t> deadlines = host_.Deadlines();
      if (!deadlines.empty() && deadlines.back() == deadline) return;
      std::this_thread::yield();
    }
  };
  awaitDeadline(start_ + 170 * kMs);
  host_.AdvanceBy(170 * kMs);
  // Frames 1 to 5 were due in the stall; frame 6 is due 200.2 ms after the start.
  awaitDeadline(start_ + FrameOffsetNs(0, 6));
  host_.AdvanceBy(FrameOffsetNs(0, 6) - 170 * kMs);
  waiting.join();
  EXPECT_EQ(sequence, 6);
}

TEST_F(TimingTest, DetachEndsAWaitingTransferForGood) {
  host_.SetAutoAdvance(false);
  ASSERT_TRUE(Frame()) << "frame 0 is due at once; frame 1 has to be waited for";
  bool delivered = true;
  std::jthread waiting([&] { delivered = Frame(); });
  ASSERT_TRUE(host_.AwaitWaiters(1));
  model_->Detach();
  waiting.join();
  EXPECT_FALSE(delivered);
  uint32_t connection = 0;
  EXPECT_FALSE(model_->Open(&connection));
  EXPECT_FALSE(model_->InjectFaults("replug"));
  EXPECT_FALSE(model_->Configure("port=1"));
}

TEST_F(TimingTest, FailAfterLetsNFramesThroughAndClearWithdrawsIt) {
  ASSERT_TRUE(model_->Configure("timing=free"));
  ASSERT_TRUE(model_->InjectFaults("fail-after=2"));
  EXPECT_TRUE(Frame());
  EXPECT_TRUE(Frame());
  EXPECT_FALSE(Frame());
  EXPECT_FALSE(Frame());
  EXPECT_TRUE(wire().Send({kRequestFrame})) << "only frame transfers fail";
  ASSERT_TRUE(model_->InjectFaults("clear"));
  EXPECT_TRUE(Frame());

  // Checked before waiting: a manual device with nothing released fails at once.
  ASSERT_TRUE(model_->Configure("timing=manual"));
  ASSERT_TRUE(model_->InjectFaults("fail-after=0"));
  EXPECT_FALSE(Frame());
}

TEST_F(TimingTest, ShortDeliversHalfFramesForTheNextNTransfers) {
  ASSERT_TRUE(model_->Configure("timing=free"));
  ASSERT_TRUE(wire().SendSamplesPerFrame(kTinySamples));
  ASSERT_TRUE(model_->InjectFaults("short=2"));
  std::vector<uint8_t> frame;
  uint32_t moved = 0;
  for (uint32_t expected : {kTinySamples / 2, kTinySamples / 2, kTinySamples}) {
    ASSERT_TRUE(wire().Frame(&frame, kTinySamples, &moved));
    EXPECT_EQ(moved, expected);
  }
}

}  // namespace
}  // namespace zelsim::test
