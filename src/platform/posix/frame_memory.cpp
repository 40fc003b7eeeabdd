// Frame memory on Linux: calloc stands in for zero-initialised global memory.
#include "platform/frame_memory.h"

#include <cstdlib>

namespace zelcnv::platform {

GlobalMemory* AllocateZeroedGlobal(size_t bytes, uint8_t** data) {
  void* block = bytes == 0 ? nullptr : std::calloc(1, bytes);
  if (data != nullptr) *data = static_cast<uint8_t*>(block);
  return static_cast<GlobalMemory*>(block);
}

void FreeGlobal(GlobalMemory* memory) {
  std::free(memory);
}

}  // namespace zelcnv::platform
