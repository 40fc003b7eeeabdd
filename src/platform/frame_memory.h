// Zero-filled, fixed global memory for frame buffers (GlobalAlloc + GlobalLock on Windows).
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelcnv::platform {

struct GlobalMemory;  // opaque

// Allocates `bytes` of zero-filled memory and locks it; null (and *data null) on failure.
GlobalMemory* AllocateZeroedGlobal(size_t bytes, uint8_t** data);
// Unlocks and frees; null is ignored.
void FreeGlobal(GlobalMemory* memory);

}  // namespace zelcnv::platform
