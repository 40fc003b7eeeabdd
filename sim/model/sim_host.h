// What the simulated converter needs from whatever runs it (a test, the in-process host on Linux,
// the kernel-mode driver): time, one lock, a way to block, and set-up memory.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace zelsim {

// Plain function pointers rather than virtual functions so that the model links in kernel mode,
// where there is no C++ runtime.
struct SimHost {
  void* context;
  // Monotonic time in nanoseconds.
  uint64_t (*nowNs)(void* context);
  // The model's lock. Not recursive.
  void (*lock)(void* context);
  void (*unlock)(void* context);
  // Called with the lock held; releases it while blocked and holds it again on return. Returns
  // when nowNs() reaches deadlineNs, after wakeAll, or spuriously: callers re-check their
  // condition. kNoDeadline waits for a wakeAll only.
  void (*wait)(void* context, uint64_t deadlineNs);
  // Called with the lock held: every thread blocked in wait() returns.
  void (*wakeAll)(void* context);
  // Only while the model is created and destroyed; never on the transfer path.
  void* (*alloc)(void* context, size_t size);
  void (*free)(void* context, void* block);
};

inline constexpr uint64_t kNoDeadline = ~uint64_t{0};

}  // namespace zelsim
