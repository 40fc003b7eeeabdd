// Handle values and the library's registry.
#include "sdk/handle_registry.h"

#include <atomic>

#include "camera/camera.h"
#include "platform/clock.h"

namespace zelcnv::sdk {

int RuntimeRand() {
  thread_local uint32_t state = 1;  // the runtime's default seed
  state = state * 214013u + 2531011u;
  return static_cast<int>((state >> 16) & 0x7FFF);
}

namespace {

// Set when the library is unloaded: cameras left registered are then not destroyed.
std::atomic<bool> unloading{false};

}  // namespace

void CameraDeleter::operator()(camera::CZelCam* camera) const {
  if (!unloading.load()) delete camera;
  if (latch) {
    std::lock_guard lock(latch->mutex);
    latch->done = true;
    latch->destroyed.notify_all();
  }
}

CSdkChain::~CSdkChain() {
  unloading.store(true);
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
  auto* object = new (std::nothrow) camera::CZelCam;
  if (object == nullptr) return 0;
  CameraRef camera(object, CameraDeleter{});
  if (Insert(handle, std::move(camera)) == nullptr) return 0;
  return handle;
}

CameraRef CSdkChain::Find(int32_t handle) {
  std::lock_guard lock(mutex_);
  RingNode* node = FindNode(handle);
  return node != nullptr ? node->data : nullptr;
}

bool CSdkChain::Release(int32_t handle, CameraRef* camera) {
  std::lock_guard lock(mutex_);
  RingNode* node = FindNode(handle);
  if (node == nullptr) return false;
  *camera = std::move(node->data);
  RemoveHead();  // the found node is the head
  return true;
}

bool CSdkChain::ReleaseAndDestroy(int32_t handle, bool wait) {
  CameraRef camera;
  if (!Release(handle, &camera)) return false;
  if (!camera) return true;
  // A thread waiting for a frame on the handle returns now: the destruction waits for it.
  camera->EndWaits();
  auto latch = std::make_shared<CameraDeleter::Latch>();
  std::get_deleter<CameraDeleter>(camera)->latch = latch;
  camera.reset();
  if (wait) {
    std::unique_lock lock(latch->mutex);
    latch->destroyed.wait(lock, [&] { return latch->done; });
  }
  return true;
}

CSdkChain& Registry() {
  static CSdkChain registry;
  return registry;
}

}  // namespace zelcnv::sdk
