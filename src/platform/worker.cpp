// Worker threads over the platform's threads and events.
#include "platform/worker.h"

namespace zelcnv::platform {

bool Worker::Start(Body body, void* context, bool highestPriority) {
  Stop();
  body_ = body;
  context_ = context;
  stopRequested_.store(false);
  ended_ = CreateManualEvent();
  stop_ = CreateManualEvent();
  if (ended_ != nullptr && stop_ != nullptr)
    thread_ = StartThread(&Worker::Run, this, highestPriority);
  if (thread_ != nullptr) return true;
  CloseEvent(ended_);
  CloseEvent(stop_);
  ended_ = stop_ = nullptr;
  return false;
}

void Worker::Run(void* worker) {
  Worker* self = static_cast<Worker*>(worker);
  self->body_(self->context_);
  SignalEvent(self->ended_);
}

void Worker::Stop() {
  if (thread_ == nullptr) return;
  stopRequested_.store(true);
  SignalEvent(stop_);
  // The body signals its end as its last act; closing the thread then waits until it has left
  // the trampoline too.
  WaitEvent(ended_, kWaitForever);
  CloseThread(thread_);
  thread_ = nullptr;
  CloseEvent(ended_);
  CloseEvent(stop_);
  ended_ = stop_ = nullptr;
}

bool Worker::WaitForStop(uint32_t milliseconds) const {
  return WaitEvent(stop_, milliseconds);
}

bool Worker::WaitEnded(uint32_t milliseconds) const {
  return thread_ == nullptr || WaitEvent(ended_, milliseconds);
}

}  // namespace zelcnv::platform
