// Notifications on Linux: the library's message queues.
#include "../message_pump.h"

#include "ZelCnvPosix.h"

namespace zelcnv::tool {

HWND CreateNotifyWindow() {
  return ZelCnv_CreateMessageWindow();
}

void DestroyNotifyWindow(HWND window) {
  ZelCnv_DestroyMessageWindow(window);
}

bool NextNotification(HWND window, Notification* notification, int timeoutMs) {
  ZelCnvMessage message{};
  if (ZelCnv_GetMessage(window, &message, timeoutMs) != 1) return false;
  *notification = {message.message, message.wParam, message.lParam};
  return true;
}

}  // namespace zelcnv::tool
