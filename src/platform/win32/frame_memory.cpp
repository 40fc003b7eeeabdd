// Frame memory on Windows: fixed, zero-initialised global memory, locked for its whole life.
#include "platform/frame_memory.h"

#include <windows.h>

namespace zelcnv::platform {

GlobalMemory* AllocateZeroedGlobal(size_t bytes, uint8_t** data) {
  if (data != nullptr) *data = nullptr;
  if (bytes == 0) return nullptr;
  HGLOBAL memory = GlobalAlloc(GMEM_ZEROINIT, bytes);
  if (memory == nullptr) return nullptr;
  void* locked = GlobalLock(memory);
  if (locked == nullptr) {
    GlobalFree(memory);
    return nullptr;
  }
  if (data != nullptr) *data = static_cast<uint8_t*>(locked);
  return reinterpret_cast<GlobalMemory*>(memory);
}

void FreeGlobal(GlobalMemory* memory) {
  if (memory == nullptr) return;
  HGLOBAL handle = reinterpret_cast<HGLOBAL>(memory);
  GlobalUnlock(handle);
  GlobalFree(handle);
}

}  // namespace zelcnv::platform
