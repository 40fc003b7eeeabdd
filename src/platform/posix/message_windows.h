// Linux stand-in for windows that receive the library's messages: bounded message queues an
// application creates and reads.
#pragma once

#include <cstdint>

namespace zelcnv::platform {

struct QueuedMessage {
  void* window;
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
};

// How many messages a queue holds before it drops frame notifications.
constexpr int kMessageQueueCapacity = 1024;
// Error notifications are kept beyond the capacity up to this bound, so memory stays flat even
// when an application never reads.
constexpr int kMessageQueueHardLimit = 65536;

void* CreateMessageWindow();
// 1 with a message, 0 on time-out, -1 for an unknown window. timeoutMs < 0 waits without limit.
int GetWindowMessage(void* window, QueuedMessage* message, int timeoutMs);
// 1 when the window existed; a reader blocked on it returns -1.
int DestroyMessageWindow(void* window);
// Messages `window` holds now (-1 for an unknown window).
int PendingWindowMessages(void* window);

}  // namespace zelcnv::platform
