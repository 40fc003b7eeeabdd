// Clock, sleep and thread priority on Windows.
#include "platform/clock.h"

#include <windows.h>
#include <mmsystem.h>

namespace zelcnv::platform {

uint32_t TickCountMs() {
  return GetTickCount();
}

uint32_t MultimediaTimeMs() {
  return timeGetTime();
}

int64_t MonotonicNow100ns() {
  static const int64_t frequency = [] {
    LARGE_INTEGER f{};
    QueryPerformanceFrequency(&f);
    return static_cast<int64_t>(f.QuadPart);
  }();
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  const int64_t ticks = now.QuadPart;
  // Whole seconds and the rest apart, so that the product cannot overflow.
  return ticks / frequency * 10'000'000 + ticks % frequency * 10'000'000 / frequency;
}

void SleepMs(uint32_t milliseconds) {
  Sleep(milliseconds);
}

void RaiseCurrentThreadPriority() {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
}

}  // namespace zelcnv::platform
