// Posting notifications with PostMessageA.
#include "platform/window_messages.h"

#include <windows.h>

namespace zelcnv::platform {

bool PostWindowMessage(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (window == nullptr) return false;
  return PostMessageA(static_cast<HWND>(window), message, wParam, lParam) != FALSE;
}

}  // namespace zelcnv::platform
