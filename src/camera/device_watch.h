// The watch over the converters that come and go: a thread that looks at the device paths a few
// times a second and tells its owner which converters are there and which came or went since the
// last look. It runs while its owner posts the changes or resumes streams on them.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/worker.h"

namespace zelcnv::camera {

constexpr uint32_t kDeviceLookMs = 250;

class DeviceWatch {
 public:
  // What the watch asks its owner, on the watch's thread.
  class Owner {
   public:
    // The converters there now: bit i for index i.
    virtual uint32_t ConvertersPresent() = 0;
    // After each look: bit i of `changed` is set when converter i came or went since the last.
    virtual void Looked(uint32_t present, uint32_t changed) = 0;

   protected:
    ~Owner() = default;
  };

  // What the owner does with the looks; the thread runs while either is on.
  bool Posting() const { return posting_.load(); }
  bool Resuming() const { return resuming_.load(); }
  // Turns one on or off and starts or stops the thread to match: false when it cannot start.
  [[nodiscard]] bool Set(bool posting, bool resuming, Owner& owner);
  // Ends the thread (the owner is going): it has left the owner's code when this returns.
  void Stop() { worker_.Stop(); }

  // For the owner, on the watch's thread: tries `lockable` until it is had (true) or the watch
  // is stopped (false).
  template <class Lockable>
  bool TryLock(Lockable& lockable) const {
    while (!lockable.try_lock()) {
      if (worker_.WaitForStop(kRetryMs)) return false;
    }
    return true;
  }

 private:
  static constexpr uint32_t kRetryMs = 5;
  static void Run(void* watch);

  std::atomic<bool> posting_{false};
  std::atomic<bool> resuming_{false};
  Owner* owner_ = nullptr;
  uint32_t known_ = 0;  // the converters there at the last look; the thread's once it runs
  platform::Worker worker_;
};

}  // namespace zelcnv::camera
