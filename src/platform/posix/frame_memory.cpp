// Frame memory on Linux: calloc stands in for zero-initialised global memory.
#include "platform/frame_memory.h"

#include <atomic>
#include <cstdlib>

#include "platform/posix/allocation_faults.h"

namespace zelcnv::platform {

namespace {
std::atomic<int> allocationsBeforeFailure{-1};
}  // namespace

void FailGlobalAllocationsAfter(int succeeding) {
  allocationsBeforeFailure.store(succeeding);
}

GlobalMemory* AllocateZeroedGlobal(size_t bytes, uint8_t** data) {
  if (data != nullptr) *data = nullptr;
  int left = allocationsBeforeFailure.load();
  while (left > 0 && !allocationsBeforeFailure.compare_exchange_weak(left, left - 1)) {
  }
  void* block = bytes == 0 || left == 0 ? nullptr : std::calloc(1, bytes);
  if (data != nullptr) *data = static_cast<uint8_t*>(block);
  return static_cast<GlobalMemory*>(block);
}

void FreeGlobal(GlobalMemory* memory) {
  std::free(memory);
}

}  // namespace zelcnv::platform
