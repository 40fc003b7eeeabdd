// Notifications on Windows: a hidden window, and the thread's message loop run while waiting.
#include <windows.h>

#include "../message_pump.h"

namespace zelcnv::tool {

namespace {
constexpr char kClassName[] = "ZelCnvToolNotify";
}  // namespace

HWND CreateNotifyWindow() {
  static const bool registered = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClassName;
    return RegisterClassA(&wc) != 0;
  }();
  if (!registered) return nullptr;
  return CreateWindowExA(0, kClassName, "zelcnv", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

void DestroyNotifyWindow(HWND window) {
  if (window != nullptr) DestroyWindow(window);
}

bool NextNotification(HWND window, Notification* notification, int timeoutMs) {
  const DWORD deadline = GetTickCount() + static_cast<DWORD>(timeoutMs);
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.hwnd == window && msg.message >= WM_APP) {
        *notification = {msg.message, msg.wParam, msg.lParam};
        return true;
      }
      DispatchMessageA(&msg);
    }
    const DWORD now = GetTickCount();
    if (static_cast<int32_t>(deadline - now) <= 0) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, deadline - now, QS_ALLINPUT);
  }
}

}  // namespace zelcnv::tool
