// Threads and manual-reset events on Windows.
#include "platform/thread.h"

#include <windows.h>

#include <new>

namespace zelcnv::platform {

Event* CreateManualEvent() {
  return reinterpret_cast<Event*>(CreateEventA(nullptr, TRUE, FALSE, nullptr));
}

void SignalEvent(Event* event) {
  if (event != nullptr) SetEvent(reinterpret_cast<HANDLE>(event));
}

void ClearEvent(Event* event) {
  if (event != nullptr) ResetEvent(reinterpret_cast<HANDLE>(event));
}

bool WaitEvent(Event* event, uint32_t timeoutMs) {
  if (event == nullptr) return false;
  DWORD limit = timeoutMs == kWaitForever ? INFINITE : timeoutMs;
  return WaitForSingleObject(reinterpret_cast<HANDLE>(event), limit) == WAIT_OBJECT_0;
}

void CloseEvent(Event* event) {
  if (event != nullptr) CloseHandle(reinterpret_cast<HANDLE>(event));
}

namespace {

struct Start {
  ThreadEntry entry;
  void* argument;
};

DWORD WINAPI Trampoline(LPVOID parameter) {
  Start start = *static_cast<Start*>(parameter);
  delete static_cast<Start*>(parameter);
  start.entry(start.argument);
  return 0;
}

}  // namespace

Thread* StartThread(ThreadEntry entry, void* argument, bool highest) {
  Start* start = new (std::nothrow) Start{entry, argument};
  if (start == nullptr) return nullptr;
  HANDLE thread = CreateThread(nullptr, 0, Trampoline, start, 0, nullptr);
  if (thread == nullptr) {
    delete start;
    return nullptr;
  }
  if (highest) SetThreadPriority(thread, THREAD_PRIORITY_HIGHEST);
  return reinterpret_cast<Thread*>(thread);
}

void CloseThread(Thread* thread) {
  if (thread == nullptr) return;
  // The thread has signalled its end but may still be returning through the library's code: a
  // library unloaded right after would pull that code from under it.
  WaitForSingleObject(reinterpret_cast<HANDLE>(thread), INFINITE);
  CloseHandle(reinterpret_cast<HANDLE>(thread));
}

bool ThreadCpuTimeNs(Thread* thread, uint64_t* nanoseconds) {
  if (thread == nullptr || nanoseconds == nullptr) return false;
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!GetThreadTimes(reinterpret_cast<HANDLE>(thread), &created, &exited, &kernel, &user)) {
    return false;
  }
  // 100-nanosecond units.
  auto units = [](const FILETIME& t) {
    return static_cast<uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime;
  };
  *nanoseconds = (units(kernel) + units(user)) * 100u;
  return true;
}

}  // namespace zelcnv::platform
