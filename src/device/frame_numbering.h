// Numbers the frames of a transfer by the standard's frame periods, from their capture times: a
// transfer that came late and missed frames shows as a gap, as the converter's own numbering
// has one. A frame arrives on the converter's grid of frame periods or after it (never before),
// so the reference point is the last frame that came close to its grid point; following those
// also follows a converter whose clock runs a little apart from ours.
#pragma once

#include <cstdint>

namespace zelcnv::device {

// A frame period as the fraction `numerator` / `denominator` of 100 ns units.
struct FramePeriod {
  int64_t numerator = 0;
  int64_t denominator = 1;
};

// 525 lines: 30000/1001 frames a second; 625 lines: 25.
constexpr FramePeriod kPeriod525{10'010'000, 30};
constexpr FramePeriod kPeriod625{400'000, 1};

class FrameNumbering {
 public:
  // A new transfer; a period of 0 numbers the frames one after another.
  void Start(FramePeriod period) {
    period_ = period;
    started_ = false;
  }

  // The number of the frame captured at `time` (100 ns units), 0 for the transfer's first.
  uint64_t Number(int64_t time) {
    if (!started_) {
      started_ = true;
      last_ = refNumber_ = 0;
      refTime_ = time;
      return 0;
    }
    uint64_t number = last_ + 1;
    if (period_.numerator > 0) {
      // Whole periods since the reference. Frames come late, not early: one may come up to
      // three quarters of a period late, and the reference itself up to a quarter.
      const int64_t scaled = (time - refTime_) * period_.denominator;
      const int64_t periods = (scaled + period_.numerator / 4) / period_.numerator;
      if (periods > 0 && refNumber_ + static_cast<uint64_t>(periods) > number) {
        number = refNumber_ + static_cast<uint64_t>(periods);
      }
      // Within an eighth of a period of its grid point, the frame becomes the reference.
      const int64_t late = scaled - static_cast<int64_t>(number - refNumber_) * period_.numerator;
      if (8 * late <= period_.numerator) {
        refTime_ = time;
        refNumber_ = number;
      }
    }
    last_ = number;
    return number;
  }

 private:
  FramePeriod period_;
  bool started_ = false;
  uint64_t last_ = 0;
  int64_t refTime_ = 0;
  uint64_t refNumber_ = 0;
};

}  // namespace zelcnv::device
