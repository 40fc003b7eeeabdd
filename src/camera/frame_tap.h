// Frames on demand: threads that wait for a stream's next frame, each with a buffer of its own.
// The preview thread claims the buffers of the threads waiting as it begins a frame, has the
// conversion write them band by band beside the application's buffer, and hands them back with
// the frame's details as soon as it is made; for a frame nobody waits for it does nothing. A
// waiter holds the lock only to come and go; the preview thread holds it from the claim to the
// hand-back, so a waiter that gives up never leaves its buffer in use.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "camera/error_stack.h"
#include "camera/stream_facts.h"
#include "imaging/field_weave.h"

namespace zelcnv::camera {

class FrameTap {
 public:
  // What a wait ends with.
  enum Result { kTimedOut = 0, kFrame = 1, kRefused = -1 };

  // Application's threads: the next frame delivered within `timeoutMs` (negative: no limit) into
  // `buffer` (top row first when `topDown`), with its details. kRefused with `*error` set: no
  // stream (kErrNotReady), a buffer too small for the frame (kErrBuffer), the stream ended
  // (kErrTransferStopped).
  Result Wait(void* buffer, int64_t size, bool topDown, int timeoutMs, FrameDetails* details,
              ErrorNumber* error);

  // Preview thread: whether anyone waits now (read without the lock).
  bool Wanted() const { return waiting_.load(std::memory_order_relaxed) != 0; }
  // Preview thread: adds to `copies` the buffers of the threads waiting for a frame of `needed`
  // bytes (a buffer too small ends its wait refused). They are the frame's while the returned
  // lock is held; Deliver gives them back.
  [[nodiscard]] std::unique_lock<std::mutex> Claim(int64_t needed,
                                                   std::vector<imaging::PictureCopy>* copies);
  // Preview thread: the claimed buffers hold the frame `details` describes (`made`), or nothing
  // was written to them and their threads wait on. Unlocks `claim`.
  void Deliver(std::unique_lock<std::mutex>& claim, bool made, const FrameDetails& details);

  // The stream's course: it runs (frames will come); it ended by itself, which ends the waits
  // unless `holdOnEnd` is set (its converter may come back, and the stream with it); it was
  // stopped, which ends every wait and refuses new ones until it runs again.
  void Run();
  void Ended();
  void Stopped();
  // While set, a stream that ends by itself keeps its waiters waiting. Cleared while the stream
  // has ended, it ends their waits.
  void SetHoldOnEnd(bool hold);

 private:
  enum State { kIdle, kRunning, kHeld, kEnded };
  struct Waiter {
    uint8_t* buffer;
    int64_t size;
    bool topDown;
    FrameDetails* details;
    Result result = kTimedOut;
    ErrorNumber error = kErrNone;
    bool claimed = false;
    Waiter* next = nullptr;
  };
  // Ends the waits `which` picks (every one when none is given) with `result` / `error`, and
  // wakes their threads. Under the lock.
  template <class Which>
  void Release(Result result, ErrorNumber error, Which which);
  void Release(Result result, ErrorNumber error);

  std::mutex mutex_;
  std::condition_variable done_;
  State state_ = kIdle;
  bool holdOnEnd_ = false;
  Waiter* waiters_ = nullptr;
  std::atomic<int> waiting_{0};
};

}  // namespace zelcnv::camera
