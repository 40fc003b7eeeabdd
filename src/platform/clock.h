// Time and scheduling services the device library needs.
#pragma once

#include <cstdint>

namespace zelcnv::platform {

// Milliseconds since an arbitrary start, wrapping at 2^32 (GetTickCount's contract).
uint32_t TickCountMs();
// The multimedia timer in milliseconds, also wrapping at 2^32 (timeGetTime's contract).
uint32_t MultimediaTimeMs();
// A monotonic clock in 100 ns units (QueryPerformanceCounter / CLOCK_MONOTONIC), from an
// arbitrary start.
int64_t MonotonicNow100ns();
void SleepMs(uint32_t milliseconds);
// Best effort: raise the calling thread to the highest normal priority.
void RaiseCurrentThreadPriority();

}  // namespace zelcnv::platform
