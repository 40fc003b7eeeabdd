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

void SleepMs(uint32_t milliseconds) {
  Sleep(milliseconds);
}

void RaiseCurrentThreadPriority() {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
}

}  // namespace zelcnv::platform
