// Message queues standing in for windows on Linux. A window handle is an opaque number; posting
// to a window that does not exist (any more) does nothing.
#include "platform/posix/message_windows.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/window_messages.h"

namespace zelcnv::platform {

namespace {

// The one message that may be dropped: a newer frame supersedes an unread one.
constexpr uint32_t kFrameNotify = 0x8002;

// Messages in one block, oldest first, that grows when full and is reused as they are read: once
// a queue has held as many messages as it will, posting allocates nothing.
class MessageRing {
 public:
  bool empty() const { return count_ == 0; }
  size_t size() const { return count_; }
  QueuedMessage& operator[](size_t i) { return slots_[(head_ + i) % slots_.size()]; }
  QueuedMessage& front() { return (*this)[0]; }
  void pop_front() {
    head_ = (head_ + 1) % slots_.size();
    --count_;
  }
  void push_back(const QueuedMessage& message) {
    if (count_ == slots_.size()) Grow();
    (*this)[count_++] = message;
  }
  void erase(size_t i) {
    for (; i + 1 < count_; ++i) (*this)[i] = (*this)[i + 1];
    --count_;
  }
  void clear() { head_ = count_ = 0; }

 private:
  void Grow() {
    std::vector<QueuedMessage> larger(std::max<size_t>(16, 2 * slots_.size()));
    for (size_t i = 0; i < count_; ++i) larger[i] = (*this)[i];
    slots_.swap(larger);
    head_ = 0;
  }

  std::vector<QueuedMessage> slots_;
  size_t head_ = 0;
  size_t count_ = 0;
};

struct Queue {
  std::mutex mutex;
  std::condition_variable arrived;
  MessageRing messages;
  size_t frames = 0;  // frame notifications among `messages`
  bool destroyed = false;
};

struct Windows {
  std::mutex mutex;
  std::map<uintptr_t, std::shared_ptr<Queue>> queues;
  uintptr_t next = 0x10000;  // handles never look like small integers or real pointers
};

Windows& Registry() {
  static Windows* instance = new Windows;  // outlives every static destructor
  return *instance;
}

std::shared_ptr<Queue> Find(void* window) {
  Windows& windows = Registry();
  std::lock_guard lock(windows.mutex);
  auto it = windows.queues.find(reinterpret_cast<uintptr_t>(window));
  return it == windows.queues.end() ? nullptr : it->second;
}

bool DropOldestFrameNotification(Queue& queue) {
  if (queue.frames == 0) return false;
  for (size_t i = 0; i < queue.messages.size(); ++i) {
    if (queue.messages[i].message == kFrameNotify) {
      queue.messages.erase(i);
      --queue.frames;
      return true;
    }
  }
  return false;
}

}  // namespace

void* CreateMessageWindow() {
  Windows& windows = Registry();
  std::lock_guard lock(windows.mutex);
  uintptr_t id = windows.next;
  windows.next += 0x10;
  windows.queues.emplace(id, std::make_shared<Queue>());
  return reinterpret_cast<void*>(id);
}

int DestroyMessageWindow(void* window) {
  std::shared_ptr<Queue> queue;
  {
    Windows& windows = Registry();
    std::lock_guard lock(windows.mutex);
    auto it = windows.queues.find(reinterpret_cast<uintptr_t>(window));
    if (it == windows.queues.end()) return 0;
    queue = std::move(it->second);
    windows.queues.erase(it);
  }
  std::lock_guard lock(queue->mutex);
  queue->destroyed = true;
  queue->messages.clear();
  queue->frames = 0;
  queue->arrived.notify_all();
  return 1;
}

bool PostWindowMessage(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (window == nullptr) return false;
  std::shared_ptr<Queue> queue = Find(window);
  if (!queue) return false;
  std::lock_guard lock(queue->mutex);
  if (queue->destroyed) return false;
  auto& messages = queue->messages;
  if (messages.size() >= static_cast<size_t>(kMessageQueueCapacity)) {
    // Full: an unread frame notification makes room; a frame notification with none to replace
    // is dropped itself. Errors are kept, up to the hard limit.
    if (!DropOldestFrameNotification(*queue)) {
      if (message == kFrameNotify) return false;
      if (messages.size() >= static_cast<size_t>(kMessageQueueHardLimit)) messages.pop_front();
    }
  }
  messages.push_back({window, message, wParam, lParam});
  if (message == kFrameNotify) ++queue->frames;
  queue->arrived.notify_one();
  return true;
}

int GetWindowMessage(void* window, QueuedMessage* message, int timeoutMs) {
  std::shared_ptr<Queue> queue = Find(window);
  if (!queue) return -1;
  std::unique_lock lock(queue->mutex);
  auto ready = [&] { return queue->destroyed || !queue->messages.empty(); };
  if (timeoutMs < 0) {
    queue->arrived.wait(lock, ready);
  } else if (!queue->arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
    return 0;
  }
  if (queue->destroyed) return -1;
  if (message != nullptr) *message = queue->messages.front();
  if (queue->messages.front().message == kFrameNotify) --queue->frames;
  queue->messages.pop_front();
  return 1;
}

int PendingWindowMessages(void* window) {
  std::shared_ptr<Queue> queue = Find(window);
  if (!queue) return -1;
  std::lock_guard lock(queue->mutex);
  return static_cast<int>(queue->messages.size());
}

}  // namespace zelcnv::platform
