// Windows: a real (hidden) window whose queue the test pumps; settings live in the registry,
// under the current-user key the test environment redirects to one of the program's own.
#include <windows.h>

#include "../api_test_support.h"

namespace zelcnv::apitest {

namespace {

constexpr char kClassName[] = "ZelCnvApiTestWindow";
constexpr char kSettingsKey[] = "Software\\Velmora\\ZelCnvSdk";

void RegisterTestClass() {
  static const bool registered = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClassName;
    return RegisterClassA(&wc) != 0;
  }();
  (void)registered;
}

}  // namespace

TestWindow::TestWindow() {
  RegisterTestClass();
  window_ = CreateWindowExA(0, kClassName, "api test", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                            nullptr, GetModuleHandleA(nullptr), nullptr);
}

TestWindow::~TestWindow() {
  if (window_ != nullptr) DestroyWindow(window_);
}

bool TestWindow::Next(ReceivedMessage* message, int timeoutMs) {
  const DWORD deadline = GetTickCount() + static_cast<DWORD>(timeoutMs);
  while (true) {
    MSG msg;
    if (PeekMessageA(&msg, window_, 0, 0, PM_REMOVE)) {
      if (msg.message >= WM_APP) {
        *message = {msg.message, msg.wParam, msg.lParam};
        return true;
      }
      DispatchMessageA(&msg);
      continue;
    }
    const DWORD now = GetTickCount();
    if (static_cast<int32_t>(deadline - now) <= 0) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, deadline - now, QS_ALLINPUT);
  }
}

int TestWindow::Drain() {
  int count = 0;
  ReceivedMessage ignored;
  while (Next(&ignored, 0)) ++count;
  return count;
}

void StoreSetting(const char* name, uint32_t value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return;
  }
  const DWORD data = value;
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data));
  RegCloseKey(key);
}

void ClearSettingsStore() {
  RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
}

}  // namespace zelcnv::apitest
