// Clock, sleep and thread priority on Linux.
#include "platform/clock.h"

#include <sys/resource.h>
#include <time.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace zelcnv::platform {

uint32_t TickCountMs() {
  auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

uint32_t MultimediaTimeMs() {
  return TickCountMs();  // one monotonic millisecond clock serves both
}

int64_t MonotonicNow100ns() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t{now.tv_sec} * 10'000'000 + now.tv_nsec / 100;
}

void SleepMs(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void RaiseCurrentThreadPriority() {
  // Linux threads carry their own nice value; lowering it needs privileges, so this is best effort.
  pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
  int current = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
  (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid), current - 2);
}

}  // namespace zelcnv::platform
