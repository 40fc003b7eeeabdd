// A thread of the library's own, started and ended in one place: Start runs a body on a new
// thread, and Stop asks it to end and returns once the thread has left the library's code. The
// preview, recorder and transfer threads are each one Worker. The worker alone says whether its
// body goes on (KeepGoing), and the body sleeps on it (WaitForStop, WaitForWake): a stop ends
// every such wait at once.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/thread.h"

namespace zelcnv::platform {

class Worker {
 public:
  using Body = void (*)(void* context);

  Worker() = default;
  ~Worker() { Stop(); }
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // Runs `body(context)` on a new thread (at the highest normal priority when asked); false when
  // the thread or its events cannot be made, and then nothing runs. A worker still running is
  // stopped first.
  [[nodiscard]] bool Start(Body body, void* context, bool highestPriority = false);
  // Asks the body to end and wakes it, without waiting: for an owner that has more to wake the
  // body from (a wait outside the worker) before it calls Stop.
  void RequestStop();
  // Asks the body to end (KeepGoing, the waits) and waits until the thread has left the
  // library's code. Nothing to do when no thread runs.
  void Stop();

  // Started, and not yet stopped (the body may have returned by itself meanwhile).
  bool Started() const { return thread_ != nullptr; }
  // For the body: false once it is asked to end.
  bool KeepGoing() const { return !stopRequested_.load(); }
  // For the body: waits `milliseconds` or until it is asked to end; true when asked to end.
  bool WaitForStop(uint32_t milliseconds) const;
  // For another thread, between Start and Stop: wakes the body from WaitForWake.
  void Wake();
  // For the body: waits until Wake (also one that came before this call, since the last wait)
  // or until it is asked to end; KeepGoing's answer.
  bool WaitForWake();
  // For others: waits until the body has returned by itself, at most `milliseconds`.
  bool WaitEnded(uint32_t milliseconds) const;
  // For the owner, between Start and Stop: the processor time the thread has used so far, in
  // nanoseconds; false when no thread runs or its clock cannot be read.
  bool CpuTimeNs(uint64_t* nanoseconds) const { return ThreadCpuTimeNs(thread_, nanoseconds); }

 private:
  static void Run(void* worker);
  void CloseEvents();

  Body body_ = nullptr;
  void* context_ = nullptr;
  Thread* thread_ = nullptr;
  Event* ended_ = nullptr;
  Event* stop_ = nullptr;
  Event* wake_ = nullptr;
  std::atomic<bool> stopRequested_{false};
};

}  // namespace zelcnv::platform
