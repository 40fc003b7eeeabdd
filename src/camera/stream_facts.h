// What a stream knows of its frames besides their pixels: each announced frame's details (its
// number, capture time and the frames lost before it) and the stream's figures (frames announced
// and lost, the rate, and how long frames took from their capture to their announcement). The
// application's thread begins a stream and reads; the preview thread describes and announces
// frames. One lock, held for a few field copies.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "device/frame_ring.h"
#include "imaging/frame_bitmap.h"

namespace zelcnv::camera {

// The public ZelCnvFrameDetails and ZelCnvStreamStats, field for field.
struct FrameDetails {
  int32_t size;
  int32_t width, height, bitsPerPixel, stride;
  int32_t standard;
  int32_t topFieldFirst;
  int32_t reserved;
  uint64_t sequence;
  int64_t captureTime;
  uint64_t framesLost;
};

struct StreamStats {
  int32_t size;
  int32_t running;
  uint64_t framesDelivered;
  uint64_t framesLost;
  int32_t frameRate;  // thousandths of a frame per second
  int32_t resumes;
  int64_t latencyMedian;
  int64_t latencyMax;
  int64_t conversionMedian;
};

class StreamFacts {
 public:
  // A stream starts with `standard` (a ZELCNV_VIDEO_* value). A resumed one keeps its counts
  // (its frame numbers start again) and counts the resume.
  void Begin(int standard, bool resumed);
  // The stream stopped or lost its converter.
  void End() { running_.store(false); }

  // Preview thread: the details of the frame in `picture`, numbered by the transfer.
  FrameDetails Describe(const device::SlotFacts& slot, const imaging::FrameBitmap& picture) const;
  // Preview thread: the frame, converted in `conversion`, was announced at `now`.
  void Announced(const FrameDetails& details, int64_t conversion, int64_t now);

  // The details of the last frame announced; false before the stream's first.
  bool LastAnnounced(FrameDetails* details) const;
  // The figures at `now`, over the last second.
  StreamStats Stats(int64_t now) const;

 private:
  static constexpr int kLatencies = 512;  // more than a second of frames at any rate we reach
  struct Timing {
    int64_t announced;
    int64_t latency;
    int64_t conversion;
  };

  mutable std::mutex mutex_;
  std::atomic<bool> running_{false};
  int32_t standard_ = 0;
  int32_t resumes_ = 0;
  uint64_t announced_ = 0;         // over every run of the stream
  uint64_t announcedThisRun_ = 0;  // since the frame numbers last started at 0
  uint64_t lostBefore_ = 0;        // in earlier runs
  bool hasLast_ = false;
  FrameDetails last_{};
  Timing timings_[kLatencies] = {};
  int next_ = 0;
};

}  // namespace zelcnv::camera
