// A window that receives the library's notifications, and reading them: a message queue from
// ZelCnvPosix.h on Linux, a hidden window and the thread's message loop on Windows.
#pragma once

#include <cstdint>

#include "ZelCnvSdk.h"

namespace zelcnv::tool {

struct Notification {
  unsigned message;
  uintptr_t wParam;
  intptr_t lParam;
};

HWND CreateNotifyWindow();
void DestroyNotifyWindow(HWND window);
// The next notification for `window`, waiting at most `timeoutMs`; false on time-out.
bool NextNotification(HWND window, Notification* notification, int timeoutMs);

}  // namespace zelcnv::tool
