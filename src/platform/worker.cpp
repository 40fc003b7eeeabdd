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
  wake_ = CreateManualEvent();
  if (ended_ != nullptr && stop_ != nullptr && wake_ != nullptr) {
    thread_ = StartThread(&Worker::Run, this, highestPriority);
  }
  if (thread_ != nullptr) return true;
  CloseEvents();
  return false;
}

void Worker::CloseEvents() {
  CloseEvent(ended_);
  CloseEvent(stop_);
  CloseEvent(wake_);
  ended_ = stop_ = wake_ = nullptr;
}

void Worker::Run(void* worker) {
  Worker* self = static_cast<Worker*>(worker);
  self->body_(self->context_);
  SignalEvent(self->ended_);
}

void Worker::RequestStop() {
  if (thread_ == nullptr) return;
  // Before the events: a body woken by them finds itself asked to end.
  stopRequested_.store(true);
  SignalEvent(stop_);
  SignalEvent(wake_);
}

void Worker::Stop() {
  if (thread_ == nullptr) return;
  RequestStop();
  // The body signals its end as its last act; closing the thread then waits until it has left
  // the trampoline too.
  WaitEvent(ended_, kWaitForever);
  CloseThread(thread_);
  thread_ = nullptr;
  CloseEvents();
}

bool Worker::WaitForStop(uint32_t milliseconds) const {
  return WaitEvent(stop_, milliseconds);
}

void Worker::Wake() {
  SignalEvent(wake_);
}

bool Worker::WaitForWake() {
  if (stopRequested_.load()) return false;
  WaitEvent(wake_, kWaitForever);
  // Cleared after the wait, so that a wake from before it is not lost; once asked to end the
  // event stays signalled, and no later wait blocks.
  if (!stopRequested_.load()) ClearEvent(wake_);
  return KeepGoing();
}

bool Worker::WaitEnded(uint32_t milliseconds) const {
  return thread_ == nullptr || WaitEvent(ended_, milliseconds);
}

}  // namespace zelcnv::platform
