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
  if (self.result == kTimedOut) {
    // Still listed: the frame that would have ended the wait has not come.
    for (Waiter** link = &waiters_; *link != nullptr; link = &(*link)->next) {
      if (*link == &self) {
        *link = self.next;
        break;
      }
    }
    waiting_.fetch_sub(1);
  }
  *error = self.error;
  return self.result;
}

void FrameTap::Offer(const imaging::FrameBitmap& picture, const FrameDetails& details) {
  const std::lock_guard lock(mutex_);
  const int64_t needed = int64_t{picture.Stride()} * picture.Height();
  for (Waiter* w = waiters_; w != nullptr; w = w->next) {
    // The buffer was offered for whatever frame comes; one too small is refused here.
    if (w->size < needed) {
      w->result = kRefused;
      w->error = kErrBuffer;
      continue;
    }
    picture.CopyPixels(w->buffer, w->topDown);
    if (w->details != nullptr) *w->details = details;
    w->result = kFrame;
  }
  waiters_ = nullptr;
  waiting_.store(0);
  done_.notify_all();
}

void FrameTap::Release(Result result, ErrorNumber error) {
  for (Waiter* w = waiters_; w != nullptr; w = w->next) {
    w->result = result;
    w->error = error;
  }
  waiters_ = nullptr;
  waiting_.store(0);
  done_.notify_all();
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
