// The stream's frame details and figures.
#include "camera/stream_facts.h"

#include <algorithm>

namespace zelcnv::camera {

namespace {

constexpr int64_t kSecond = 10'000'000;  // 100 ns units

}  // namespace

void StreamFacts::Begin(int standard, bool resumed) {
  const std::lock_guard lock(mutex_);
  standard_ = standard;
  if (resumed) {
    ++resumes_;
    lostBefore_ = hasLast_ ? last_.framesLost : lostBefore_;
  } else {
    resumes_ = 0;
    announced_ = 0;
    lostBefore_ = 0;
    hasLast_ = false;
    next_ = 0;
    std::fill(std::begin(timings_), std::end(timings_), Timing{});
  }
  announcedThisRun_ = 0;
  running_.store(true);
}

FrameDetails StreamFacts::Describe(const device::SlotFacts& slot,
                                   const imaging::FrameBitmap& picture) const {
  const std::lock_guard lock(mutex_);
  FrameDetails details{};
  details.size = sizeof(FrameDetails);
  details.width = picture.Width();
  details.height = picture.Height();
  details.bitsPerPixel = picture.BitsPerPixel();
  details.stride = picture.Stride();
  details.standard = standard_;
  details.topFieldFirst = 1;  // the first field of a raw frame gives the picture's even rows
  details.sequence = slot.sequence;
  details.captureTime = slot.captureTime;
  // Frames numbered up to this one that were not announced: every gap, whatever its cause.
  const uint64_t numbered = slot.sequence + 1;
  const uint64_t taken = announcedThisRun_ + 1;
  details.framesLost = lostBefore_ + (numbered > taken ? numbered - taken : 0);
  return details;
}

void StreamFacts::Announced(const FrameDetails& details, int64_t conversion, int64_t now) {
  const std::lock_guard lock(mutex_);
  ++announced_;
  ++announcedThisRun_;
  last_ = details;
  hasLast_ = true;
  timings_[next_] = {now, now - details.captureTime, conversion};
  next_ = (next_ + 1) % kLatencies;
}

bool StreamFacts::LastAnnounced(FrameDetails* details) const {
  const std::lock_guard lock(mutex_);
  if (!hasLast_) return false;
  *details = last_;
  return true;
}

StreamStats StreamFacts::Stats(int64_t now) const {
  StreamStats stats{};
  stats.size = sizeof(StreamStats);
  stats.running = running_.load() ? 1 : 0;
  int64_t latencies[kLatencies];
  int64_t conversions[kLatencies];
  int count = 0;
  int64_t oldest = now, newest = 0;
  {
    const std::lock_guard lock(mutex_);
    stats.framesDelivered = announced_;
    stats.framesLost = hasLast_ ? last_.framesLost : lostBefore_;
    stats.resumes = resumes_;
    for (const Timing& t : timings_) {
      if (t.announced == 0 || now - t.announced > kSecond) continue;
      conversions[count] = t.conversion;
      latencies[count++] = t.latency;
      oldest = std::min(oldest, t.announced);
      newest = std::max(newest, t.announced);
    }
  }
  if (count == 0) return stats;
  std::nth_element(latencies, latencies + count / 2, latencies + count);
  stats.latencyMedian = latencies[count / 2];
  stats.latencyMax = *std::max_element(latencies, latencies + count);
  std::nth_element(conversions, conversions + count / 2, conversions + count);
  stats.conversionMedian = conversions[count / 2];
  if (count > 1 && newest > oldest) {
    stats.frameRate = static_cast<int32_t>(int64_t{count - 1} * kSecond * 1000 / (newest - oldest));
  }
  return stats;
}

}  // namespace zelcnv::camera
