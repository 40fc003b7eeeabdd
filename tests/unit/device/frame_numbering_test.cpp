// Frame numbers from capture times: late transfers show as gaps of the frames they missed, and
// neither a frame delayed by the machine nor a converter whose clock runs apart from ours makes
// a gap that is not there.
#include "device/frame_numbering.h"

#include <gtest/gtest.h>

#include <vector>

namespace zelcnv::device {
namespace {

// 25 frames a second: 400000 units of 100 ns.
constexpr int64_t kPeriod = 400'000;

// Each frame requested as the one before it arrived.
std::vector<uint64_t> Numbers(FramePeriod period, const std::vector<int64_t>& times) {
  FrameNumbering numbering;
  numbering.Start(period);
  std::vector<uint64_t> numbers;
  int64_t requested = times.empty() ? 0 : times[0];
  for (int64_t time : times) {
    numbers.push_back(numbering.Number(requested, time));
    requested = time;
  }
  return numbers;
}

TEST(FrameNumbering, LateTransfersShowAsGapsAndDelaysOfTheMachineDoNot) {
  const int64_t t0 = 123'456'789;
  // On time; a transfer that came back late with a newer frame (requested three periods after
  // the last frame arrived); a frame held up by the machine for 0.45 of a period and one on time
  // after it.
  FrameNumbering numbering;
  numbering.Start(kPeriod625);
  EXPECT_EQ(numbering.Number(t0, t0), 0u);
  EXPECT_EQ(numbering.Number(t0, t0 + kPeriod), 1u);
  EXPECT_EQ(numbering.Number(t0 + 4 * kPeriod, t0 + 5 * kPeriod), 5u);
  EXPECT_EQ(numbering.Number(t0 + 5 * kPeriod, t0 + 6 * kPeriod), 6u);
  EXPECT_EQ(numbering.Number(t0 + 6 * kPeriod, t0 + 7 * kPeriod + kPeriod * 45 / 100), 7u);
  EXPECT_EQ(numbering.Number(t0 + 7 * kPeriod, t0 + 8 * kPeriod), 8u);
  // The converter held its next frame up for three periods: that frame is the next one, and the
  // three it could not send meanwhile are the gap before the frame after it.
  EXPECT_EQ(Numbers(kPeriod625, {t0, t0 + kPeriod, t0 + 4 * kPeriod, t0 + 5 * kPeriod}),
            (std::vector<uint64_t>{0, 1, 2, 5}));
  // A run of late frames is measured from the last one on time, not from the one before it.
  EXPECT_EQ(Numbers(kPeriod625, {t0, t0 + kPeriod * 140 / 100, t0 + kPeriod * 240 / 100,
                                 t0 + kPeriod * 340 / 100}),
            (std::vector<uint64_t>{0, 1, 2, 3}));
}

TEST(FrameNumbering, FramesFasterThanThePeriodOrWithoutOneCountOneByOne) {
  EXPECT_EQ(Numbers(kPeriod625, {10, 20, 30, 40}), (std::vector<uint64_t>{0, 1, 2, 3}));
  EXPECT_EQ(Numbers(FramePeriod{}, {0, 10 * kPeriod, 20 * kPeriod}),
            (std::vector<uint64_t>{0, 1, 2}));
}

TEST(FrameNumbering, AConverterClockRunningApartIsFollowed) {
  // 30000/1001 frames a second by a clock 0.1 % slow: after 2000 frames the drift is two whole
  // periods, and still no frame is missed or doubled.
  FrameNumbering numbering;
  numbering.Start(kPeriod525);
  const double period = 10'010'000.0 / 30 * 1.001;
  for (int i = 0; i < 2000; ++i) {
    const int64_t time = static_cast<int64_t>(i * period);
    ASSERT_EQ(numbering.Number(time, time), static_cast<uint64_t>(i));
  }
}

}  // namespace
}  // namespace zelcnv::device
