// A handle's error stack: the 20 newest error numbers, newest first, each also posted to the
// application's window. Pushed by the exports and by the preview and recorder threads, popped by
// the application: a lock keeps a push and a pop from interleaving.
#pragma once

#include <cstdint>
#include <mutex>

namespace zelcnv::camera {

using WindowHandle = void*;

// Error numbers reported to the application (the public header's ERR_* values).
enum ErrorNumber : int {
  kErrNone = 0,
  kErrNotReady = 1,
  kErrNoDevice = 2,
  kErrThread = 3,
  kErrWindow = 4,
  kErrBuffer = 5,
  kErrDeviceIo = 6,
  kErrCapture = 8,
  kErrParameter = 9,
  kErrUnsupported = 11,
  kErrOperation = 12,
  kErrTransferStopped = 13,
};

// The notifications (the public header's MSG_* values).
constexpr uint32_t kMsgFrameNotify = 0x8002;
constexpr uint32_t kMsgErrorNotify = 0x8003;
constexpr uint32_t kMsgDeviceChange = 0x8004;

class ErrorStack {
 public:
  static constexpr int kDepth = 20;

  // The window that receives MSG_ERROR_NOTIFY for every push (may be null).
  void SetWindow(WindowHandle window) { window_ = window; }
  WindowHandle Window() const { return window_; }

  // Onto the stack (the oldest of 20 falls off), then posted.
  void Push(ErrorNumber code);
  // The newest error, removed; kErrNone when the stack is empty.
  int Pop();
  // Posted to the window only, for the one export that reports its failures that way.
  void PostOnly(ErrorNumber code) const;

 private:
  WindowHandle window_ = nullptr;
  std::mutex mutex_;
  int32_t entries_[kDepth] = {};
};

}  // namespace zelcnv::camera
