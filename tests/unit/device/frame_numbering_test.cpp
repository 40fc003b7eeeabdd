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

std::vector<uint64_t> Numbers(FramePeriod period, const std::vector<int64_t>& times) {
  FrameNumbering numbering;
  numbering.Start(period);
  std::vector<uint64_t> numbers;
  for (int64_t time : times) numbers.push_back(numbering.Number(time));
  return numbers;
}

TEST(FrameNumbering, LateTransfersShowAsGapsAndDelaysOfTheMachineDoNot) {
  const int64_t t0 = 123'456'789;
  // On time; three frames lost to a late transfer; a frame held up by the machine for 0.7 of a
  // period and one on time after it.
  EXPECT_EQ(Numbers(kPeriod625, {t0, t0 + kPeriod, t0 + 5 * kPeriod, t0 + 6 * kPeriod,
                                 t0 + 7 * kPeriod + kPeriod * 7 / 10, t0 + 8 * kPeriod}),
            (std::vector<uint64_t>{0, 1, 5, 6, 7, 8}));
  // A run of late frames is measured from the last one on time, not from the one before it.
  EXPECT_EQ(Numbers(kPeriod625, {t0, t0 + kPeriod * 160 / 100, t0 + kPeriod * 260 / 100,
                                 t0 + kPeriod * 360 / 100}),
            (std::vector<uint64_t>{0, 1, 2, 3}));
  // Transfers slow to move their bytes miss every second frame, each arriving 1.5 periods after
  // it was due.
  std::vector<int64_t> slow;
  for (int due = 0; due < 20; due += 2) slow.push_back(due * kPeriod + kPeriod * 3 / 2);
  EXPECT_EQ(Numbers(kPeriod625, slow), (std::vector<uint64_t>{0, 2, 4, 6, 8, 10, 12, 14, 16, 18}));
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
    ASSERT_EQ(numbering.Number(static_cast<int64_t>(i * period)), static_cast<uint64_t>(i));
  }
}

}  // namespace
}  // namespace zelcnv::device
