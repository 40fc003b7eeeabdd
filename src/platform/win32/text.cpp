// Text conversion with the system code page.
#include "platform/text.h"

#include <windows.h>

namespace zelcnv::platform {

int NarrowToUtf16(const char* text, char16_t* out, int capacity) {
  if (text == nullptr || out == nullptr || capacity <= 0) return 0;
  return MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, -1, reinterpret_cast<LPWSTR>(out),
                             capacity);
}

int Utf16ToNarrow(const char16_t* text, char* out, int capacity) {
  if (text == nullptr || out == nullptr || capacity <= 0) return 0;
  return WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWSTR>(text), -1, out, capacity, nullptr,
                             nullptr);
}

}  // namespace zelcnv::platform
