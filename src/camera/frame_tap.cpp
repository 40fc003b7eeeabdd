// Threads waiting for a stream's next frame.
#include "camera/frame_tap.h"

#include <chrono>

namespace zelcnv::camera {

FrameTap::Result FrameTap::Wait(void* buffer, int64_t size, bool topDown, int timeoutMs,
                                FrameDetails* details, ErrorNumber* error) {
  std::unique_lock lock(mutex_);
  if (state_ == kIdle || state_ == kEnded) {
    *error = state_ == kIdle ? kErrNotReady : kErrTransferStopped;
    return kRefused;
  }
  if (buffer == nullptr || size <= 0) {
    *error = kErrBuffer;
    return kRefused;
  }
  Waiter self{static_cast<uint8_t*>(buffer), size, topDown, details};
  self.next = waiters_;
  waiters_ = &self;
  waiting_.fetch_add(1);
  const auto finished = [&] { return self.result != kTimedOut; };
  if (timeoutMs < 0) {
    done_.wait(lock, finished);
  } else {
    done_.wait_for(lock, std::chrono::milliseconds(timeoutMs), finished);
  }
  // Still listed: no frame came in time. Never claimed now, as the lock is held.
  if (self.result == kTimedOut)
    Release(kTimedOut, kErrNone, [&](const Waiter& w) { return &w == &self; });
  *error = self.error;
  return self.result;
}

std::unique_lock<std::mutex> FrameTap::Claim(int64_t needed,
                                             std::vector<imaging::PictureCopy>* copies) {
  std::unique_lock lock(mutex_);
  // The buffer was offered for whatever frame comes; one too small for this frame is refused.
  Release(kRefused, kErrBuffer, [&](const Waiter& w) { return w.size < needed; });
  for (Waiter* w = waiters_; w != nullptr; w = w->next) {
    w->claimed = true;
    copies->push_back({w->buffer, w->topDown});
  }
  return lock;
}

void FrameTap::Deliver(std::unique_lock<std::mutex>& claim, bool made,
                       const FrameDetails& details) {
  for (Waiter* w = waiters_; w != nullptr; w = w->next) {
    if (made && w->claimed && w->details != nullptr) *w->details = details;
    if (!made) w->claimed = false;
  }
  if (made) Release(kFrame, kErrNone, [](const Waiter& w) { return w.claimed; });
  claim.unlock();
}

template <class Which>
void FrameTap::Release(Result result, ErrorNumber error, Which which) {
  bool released = false;
  for (Waiter** link = &waiters_; *link != nullptr;) {
    Waiter* w = *link;
    if (!which(*w)) {
      link = &w->next;
      continue;
    }
    w->result = result;
    w->error = error;
    *link = w->next;
    waiting_.fetch_sub(1);
    released = true;
  }
  if (released) done_.notify_all();
}

void FrameTap::Release(Result result, ErrorNumber error) {
  Release(result, error, [](const Waiter&) { return true; });
}

void FrameTap::Run() {
  const std::lock_guard lock(mutex_);
  state_ = kRunning;
}

void FrameTap::Ended() {
  const std::lock_guard lock(mutex_);
  if (state_ != kRunning) return;
  state_ = holdOnEnd_ ? kHeld : kEnded;
  if (state_ == kEnded) Release(kRefused, kErrTransferStopped);
}

void FrameTap::Stopped() {
  const std::lock_guard lock(mutex_);
  state_ = kIdle;
  Release(kRefused, kErrTransferStopped);
}

void FrameTap::SetHoldOnEnd(bool hold) {
  const std::lock_guard lock(mutex_);
  holdOnEnd_ = hold;
  if (!hold && state_ == kHeld) {
    state_ = kEnded;
    Release(kRefused, kErrTransferStopped);
  }
}

}  // namespace zelcnv::camera
