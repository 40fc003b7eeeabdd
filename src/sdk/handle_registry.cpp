// Handle values and the library's registry.
#include "sdk/handle_registry.h"

#include "camera/camera.h"
#include "platform/clock.h"

namespace zelcnv::sdk {

int RuntimeRand() {
  thread_local uint32_t state = 1;  // the runtime's default seed
  state = state * 214013u + 2531011u;
  return static_cast<int>((state >> 16) & 0x7FFF);
}

int32_t CSdkChain::CreateHandle() {
  std::lock_guard lock(mutex_);
  // 0 reads as failure to callers and a duplicate would shadow a live handle: draw again.
  uint32_t value;
  do {
    value = platform::TickCountMs() + static_cast<uint32_t>(RuntimeRand()) +
            static_cast<uint32_t>(count_);
  } while (value == 0 || Seek(static_cast<int32_t>(value)));
  const int32_t handle = static_cast<int32_t>(value);
  auto* camera = new (std::nothrow) camera::CZelCam;
  if (camera == nullptr) return 0;
  if (Insert(handle, camera) == nullptr) {
    delete camera;
    return 0;
  }
  return handle;
}

camera::CZelCam* CSdkChain::Find(int32_t handle) {
  std::lock_guard lock(mutex_);
  RingNode* node = FindNode(handle);
  return node != nullptr ? node->data : nullptr;
}

bool CSdkChain::Release(int32_t handle, camera::CZelCam** camera) {
  std::lock_guard lock(mutex_);
  RingNode* node = FindNode(handle);
  if (node == nullptr) return false;
  *camera = node->data;
  node->data = nullptr;
  RemoveHead();  // the found node is the head
  return true;
}

CSdkChain& Registry() {
  static CSdkChain registry;
  return registry;
}

}  // namespace zelcnv::sdk
