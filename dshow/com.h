// Small pieces of COM shared by the filter's classes: a reference count, and the module's count of
// live objects and locks that DllCanUnloadNow reads.
#pragma once

#include <windows.h>

#include <atomic>

namespace zelcnv::dshow {

extern std::atomic<long> gModuleReferences;

// Counts a live object of the module for as long as it exists.
struct ModuleReference {
  ModuleReference() { ++gModuleReferences; }
  ~ModuleReference() { --gModuleReferences; }
  ModuleReference(const ModuleReference&) = delete;
  ModuleReference& operator=(const ModuleReference&) = delete;
};

template <typename T>
void SafeRelease(T** p) {
  if (*p != nullptr) (*p)->Release();
  *p = nullptr;
}

}  // namespace zelcnv::dshow
