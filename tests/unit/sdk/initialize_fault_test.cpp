// A handle whose initialisation runs out of memory at any allocation: either it is returned and
// works, or nothing stays registered and nothing leaks (the sanitizer build checks the leaks).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "ZelCnvSdk.h"
#include "ZelCnvSim.h"
#include "sdk/handle_registry.h"

namespace {

// Allocations left before every further one fails; below 0, none fails.
std::atomic<long> allocationsLeft{-1};

void* Allocate(std::size_t size) {
  long left = allocationsLeft.load();
  while (left >= 0 && !allocationsLeft.compare_exchange_weak(left, left - 1)) {
  }
  if (left == 0) throw std::bad_alloc();
  if (void* memory = std::malloc(size != 0 ? size : 1)) return memory;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete[](void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
  std::free(memory);
}

namespace zelcnv::sdk {
namespace {

TEST(InitializeFaultTest, AnInitialisationThatRunsOutOfMemoryLeavesNothingRegistered) {
  ASSERT_EQ(ZelSim_Attach(0, "timing=free"), 1);
  int failedAt = 0;
  for (long succeeding = 0; succeeding < 100000; ++succeeding) {
    allocationsLeft.store(succeeding);
    const int handle = ZelCam_Initialize(nullptr);
    const bool ranOut = allocationsLeft.load() < 0;
    allocationsLeft.store(-1);
    if (handle == 0) {
      EXPECT_EQ(Registry().Count(), 0) << "after " << succeeding << " allocations";
      ++failedAt;
      continue;
    }
    // Handed out: the handle works, whatever it could not make is on its error stack.
    const int error = ZelCam_GetLastError(handle);
    EXPECT_TRUE(error == 0 || error == ERR_BUFFER) << error;
    EXPECT_EQ(ZelCam_Release(handle), 1);
    EXPECT_EQ(Registry().Count(), 0);
    if (!ranOut) break;  // every allocation succeeded: no later point left to fail
  }
  EXPECT_GT(failedAt, 0);
  ASSERT_EQ(ZelSim_Detach(0), 1);
}

}  // namespace
}  // namespace zelcnv::sdk
