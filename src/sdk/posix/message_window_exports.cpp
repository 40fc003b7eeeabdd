// Linux: message queues that stand in for the application's windows.
#include "ZelCnvPosix.h"
#include "platform/posix/message_windows.h"

extern "C" {

ZELCNV_API HWND ZELCNV_CALL ZelCnv_CreateMessageWindow(void) {
  try {
    return static_cast<HWND>(zelcnv::platform::CreateMessageWindow());
  } catch (...) {
    return nullptr;
  }
}

ZELCNV_API int ZELCNV_CALL ZelCnv_GetMessage(HWND window, ZelCnvMessage* msg, int timeoutMs) {
  zelcnv::platform::QueuedMessage message{};
  int result = zelcnv::platform::GetWindowMessage(window, &message, timeoutMs);
  if (result == 1 && msg != nullptr) {
    msg->window = static_cast<HWND>(message.window);
    msg->message = message.message;
    msg->wParam = message.wParam;
    msg->lParam = message.lParam;
  }
  return result;
}

ZELCNV_API int ZELCNV_CALL ZelCnv_DestroyMessageWindow(HWND window) {
  return zelcnv::platform::DestroyMessageWindow(window);
}

}  // extern "C"
