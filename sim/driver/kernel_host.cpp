#include "kernel_host.h"

namespace zqvdsim {

namespace {

constexpr uint64_t kNsPerSecond = 1000000000;
constexpr uint64_t kNsPerKernelTick = 100;
// A wait longer than this returns early and the model simply waits again; it keeps the relative
// timeout far from overflowing.
constexpr uint64_t kLongestWaitTicks = uint64_t{24} * 3600 * kNsPerSecond / kNsPerKernelTick;

}  // namespace

// One thread blocked in Wait. Its event lives on that thread's stack: WakeAll touches it only with
// the mutex held and unlinks it in the same breath, and the waiter takes the mutex again before
// its frame goes away.
struct KernelHost::Waiter {
  KEVENT event;
  Waiter* next;
  bool linked;
};

KernelHost::KernelHost() {
  ExInitializeFastMutex(&mutex_);
  LARGE_INTEGER frequency;
  KeQueryPerformanceCounter(&frequency);
  if (frequency.QuadPart > 0) frequency_ = static_cast<uint64_t>(frequency.QuadPart);
}

zelsim::SimHost KernelHost::Host() {
  return zelsim::SimHost{this, &NowNs, &Lock, &Unlock, &Wait, &WakeAll, &Alloc, &Free};
}

uint64_t KernelHost::NowNs(void* context) {
  const uint64_t frequency = Self(context).frequency_;
  const uint64_t ticks = static_cast<uint64_t>(KeQueryPerformanceCounter(nullptr).QuadPart);
  // Split so that the product cannot overflow for any counter frequency below 18 GHz.
  return ticks / frequency * kNsPerSecond + ticks % frequency * kNsPerSecond / frequency;
}

void KernelHost::Lock(void* context) {
  ExAcquireFastMutex(&Self(context).mutex_);
}

void KernelHost::Unlock(void* context) {
  ExReleaseFastMutex(&Self(context).mutex_);
}

void KernelHost::Wait(void* context, uint64_t deadlineNs) {
  KernelHost& self = Self(context);
  // Registered while the mutex is still held: a WakeAll after the unlock below cannot miss us,
  // it finds the event and signals it before we even block on it.
  Waiter waiter;
  KeInitializeEvent(&waiter.event, NotificationEvent, FALSE);
  waiter.next = self.waiters_;
  waiter.linked = true;
  self.waiters_ = &waiter;
  ExReleaseFastMutex(&self.mutex_);

  if (deadlineNs == zelsim::kNoDeadline) {
    KeWaitForSingleObject(&waiter.event, Executive, KernelMode, FALSE, nullptr);
  } else {
    const uint64_t now = NowNs(context);
    if (deadlineNs > now) {
      uint64_t ticks = (deadlineNs - now + kNsPerKernelTick - 1) / kNsPerKernelTick;
      if (ticks > kLongestWaitTicks) ticks = kLongestWaitTicks;
      LARGE_INTEGER timeout;
      timeout.QuadPart = -static_cast<LONGLONG>(ticks);  // negative: relative to now
      KeWaitForSingleObject(&waiter.event, Executive, KernelMode, FALSE, &timeout);
    }
  }

  ExAcquireFastMutex(&self.mutex_);
  if (waiter.linked) {
    Waiter** link = &self.waiters_;
    while (*link != &waiter) link = &(*link)->next;
    *link = waiter.next;
  }
}

void KernelHost::WakeAll(void* context) {
  KernelHost& self = Self(context);
  Waiter* waiter = self.waiters_;
  self.waiters_ = nullptr;
  while (waiter != nullptr) {
    Waiter* next = waiter->next;
    waiter->linked = false;
    KeSetEvent(&waiter->event, IO_NO_INCREMENT, FALSE);
    waiter = next;
  }
}

// The model touches its memory only below DISPATCH_LEVEL (with the fast mutex held at most), so
// its frame buffers of several megabytes need not be resident.
void* KernelHost::Alloc(void*, size_t size) {
  return AllocatePool(PagedPool, size);
}

void KernelHost::Free(void*, void* block) {
  FreePool(block);
}

}  // namespace zqvdsim
