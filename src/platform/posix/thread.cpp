// Threads and manual-reset events on Linux.
#include "platform/thread.h"
#include "platform/clock.h"

#include <pthread.h>
#include <time.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

namespace zelcnv::platform {

struct Event {
  std::mutex mutex;
  std::condition_variable changed;
  bool signalled = false;
};

Event* CreateManualEvent() {
  return new (std::nothrow) Event;
}

void SignalEvent(Event* event) {
  if (event == nullptr) return;
  std::lock_guard lock(event->mutex);
  event->signalled = true;
  event->changed.notify_all();
}

void ClearEvent(Event* event) {
  if (event == nullptr) return;
  std::lock_guard lock(event->mutex);
  event->signalled = false;
}

bool WaitEvent(Event* event, uint32_t timeoutMs) {
  if (event == nullptr) return false;
  std::unique_lock lock(event->mutex);
  auto isSet = [event] { return event->signalled; };
  if (timeoutMs == kWaitForever) {
    event->changed.wait(lock, isSet);
    return true;
  }
  return event->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), isSet);
}

void CloseEvent(Event* event) {
  delete event;
}

struct Thread {
  std::thread thread;
};

Thread* StartThread(ThreadEntry entry, void* argument, bool highest) {
  Thread* handle = new (std::nothrow) Thread;
  if (handle == nullptr) return nullptr;
  try {
    handle->thread = std::thread([entry, argument, highest] {
      if (highest) RaiseCurrentThreadPriority();
      entry(argument);
    });
  } catch (...) {
    delete handle;
    return nullptr;
  }
  return handle;
}

void CloseThread(Thread* thread) {
  if (thread == nullptr) return;
  if (thread->thread.joinable()) thread->thread.join();
  delete thread;
}

bool ThreadCpuTimeNs(Thread* thread, uint64_t* nanoseconds) {
  if (thread == nullptr || nanoseconds == nullptr || !thread->thread.joinable()) return false;
  clockid_t clock{};
  timespec used{};
  if (pthread_getcpuclockid(thread->thread.native_handle(), &clock) != 0 ||
      clock_gettime(clock, &used) != 0) {
    return false;
  }
  *nanoseconds =
      static_cast<uint64_t>(used.tv_sec) * 1000000000u + static_cast<uint64_t>(used.tv_nsec);
  return true;
}

}  // namespace zelcnv::platform
