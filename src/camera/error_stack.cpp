// The error stack and its notifications.
#include "camera/error_stack.h"

#include "platform/window_messages.h"

namespace zelcnv::camera {

void ErrorStack::Push(ErrorNumber code) {
  {
    std::lock_guard lock(mutex_);
    for (int i = kDepth - 1; i > 0; --i) entries_[i] = entries_[i - 1];
    entries_[0] = code;
  }
  PostOnly(code);
}

int ErrorStack::Pop() {
  std::lock_guard lock(mutex_);
  const int newest = entries_[0];
  for (int i = 0; i < kDepth - 1; ++i) entries_[i] = entries_[i + 1];
  entries_[kDepth - 1] = kErrNone;
  return newest;
}

void ErrorStack::PostOnly(ErrorNumber code) const {
  if (window_ != nullptr) platform::PostWindowMessage(window_, kMsgErrorNotify, 0, code);
}

}  // namespace zelcnv::camera
