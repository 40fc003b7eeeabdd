// The device model's SimHost in kernel mode: the performance counter for time, a fast mutex for
// the model's lock, an event per blocked thread for its waits, and pool memory.
#pragma once

#include "kernel.h"
#include "model/sim_host.h"

namespace zqvdsim {

// Lives in non-paged memory (it holds the mutex and the list of waiters); the model it serves
// must be destroyed before it.
class KernelHost {
 public:
  KernelHost();
  KernelHost(const KernelHost&) = delete;
  KernelHost& operator=(const KernelHost&) = delete;

  zelsim::SimHost Host();

 private:
  struct Waiter;

  static KernelHost& Self(void* context) { return *static_cast<KernelHost*>(context); }
  static uint64_t NowNs(void* context);
  static void Lock(void* context);
  static void Unlock(void* context);
  static void Wait(void* context, uint64_t deadlineNs);
  static void WakeAll(void* context);
  static void* Alloc(void* context, size_t size);
  static void Free(void* context, void* block);

  FAST_MUTEX mutex_;
  // Threads blocked in Wait; guarded by mutex_. WakeAll empties the list.
  Waiter* waiters_ = nullptr;
  uint64_t frequency_ = 1;
};

}  // namespace zqvdsim
