// Posting the library's notifications to an application's window.
#pragma once

#include <cstdint>

namespace zelcnv::platform {

// Posts (never sends) `message` to `window`; a null, destroyed or unknown window is harmless.
bool PostWindowMessage(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam);

}  // namespace zelcnv::platform
