// Threads and manual-reset events for the worker threads.
#pragma once

#include <cstdint>

namespace zelcnv::platform {

constexpr uint32_t kWaitForever = 0xFFFFFFFFu;

struct Event;                // manual-reset, initially not signalled
Event* CreateManualEvent();  // null on failure
void SignalEvent(Event* event);
// Back to not signalled.
void ClearEvent(Event* event);
// True when the event is signalled within `timeoutMs` (kWaitForever: no limit).
bool WaitEvent(Event* event, uint32_t timeoutMs);
void CloseEvent(Event* event);

struct Thread;
using ThreadEntry = void (*)(void* argument);
// Starts `entry(argument)` at once; `highest` raises it to the highest normal priority.
// Null when the thread cannot be created.
Thread* StartThread(ThreadEntry entry, void* argument, bool highest);
// Waits until the thread has left its entry function and releases its handle. Call once the
// thread has finished its work (it has signalled its end).
void CloseThread(Thread* thread);
// The processor time (user and kernel) the thread has used so far, in nanoseconds, into
// `*nanoseconds`; false when there is no thread or the clock cannot be read. Only until the
// thread is closed.
bool ThreadCpuTimeNs(Thread* thread, uint64_t* nanoseconds);

}  // namespace zelcnv::platform
