// The turn of the exports on one camera object: calls from several threads take turns, the
// thread holding the turn may call again (its window procedure can re-enter the library), and a
// modal dialog gives the turn away while it waits for the user, so that other threads are not
// held up for as long as a dialog stays open.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace zelcnv::camera {

class CallTurn {
 public:
  void lock() {
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock guard(mutex_);
    if (owner_ == self) {
      ++depth_;
      return;
    }
    free_.wait(guard, [&] { return depth_ == 0; });
    owner_ = self;
    depth_ = 1;
  }

  // The turn when it is free or this thread's already; false at once otherwise.
  bool try_lock() {
    const std::thread::id self = std::this_thread::get_id();
    const std::lock_guard guard(mutex_);
    if (owner_ == self) {
      ++depth_;
      return true;
    }
    if (depth_ != 0) return false;
    owner_ = self;
    depth_ = 1;
    return true;
  }

  void unlock() {
    std::lock_guard guard(mutex_);
    if (--depth_ == 0) {
      owner_ = std::thread::id();
      free_.notify_one();
    }
  }

  // Gives the turn away however deeply this thread holds it; Resume takes it back as deep.
  int Suspend() {
    std::lock_guard guard(mutex_);
    const int held = depth_;
    depth_ = 0;
    owner_ = std::thread::id();
    free_.notify_one();
    return held;
  }

  void Resume(int held) {
    std::unique_lock guard(mutex_);
    free_.wait(guard, [&] { return depth_ == 0; });
    owner_ = std::this_thread::get_id();
    depth_ = held;
  }

 private:
  std::mutex mutex_;
  std::condition_variable free_;
  std::thread::id owner_;
  int depth_ = 0;
};

// Gives the turn away for the length of a scope (a modal dialog's run).
class SuspendedTurn {
 public:
  explicit SuspendedTurn(CallTurn& turn) : turn_(turn), held_(turn.Suspend()) {}
  ~SuspendedTurn() { turn_.Resume(held_); }
  SuspendedTurn(const SuspendedTurn&) = delete;
  SuspendedTurn& operator=(const SuspendedTurn&) = delete;

 private:
  CallTurn& turn_;
  int held_;
};

}  // namespace zelcnv::camera
