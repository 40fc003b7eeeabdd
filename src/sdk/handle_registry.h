// The registry of open handles: a circular, doubly linked ring of nodes that rotates the found
// node to its head. One CSdkChain exists; it owns the nodes, not the camera objects.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <utility>

namespace zelcnv::camera {
class CZelCam;
}

namespace zelcnv::sdk {

// `Pointer` is how a node holds its data: a plain pointer, or an owning one.
template <class CSDKDATA, class Pointer = CSDKDATA*>
class CTRing {
 public:
  struct RingNode {
    int32_t key;
    Pointer data;
    RingNode* prev;
    RingNode* next;
  };

  CTRing() = default;
  CTRing(const CTRing&) = delete;
  CTRing& operator=(const CTRing&) = delete;
  virtual ~CTRing() { Clear(); }

  // Makes a node for `key` the new head, between the old last node and the old head.
  virtual RingNode* Insert(int32_t key, Pointer data) {
    RingNode* node = new (std::nothrow) RingNode{key, std::move(data), nullptr, nullptr};
    if (node == nullptr) return nullptr;
    if (head_ == nullptr) {
      count_ = 1;
      node->prev = node->next = node;
    } else {
      ++count_;
      node->prev = head_->prev;
      node->next = head_;
      head_->prev->next = node;
      head_->prev = node;
    }
    head_ = node;
    return node;
  }

  // Rotates the ring until `key` is at the head: 1 when found. A failed search leaves the head
  // at the node that was last when it began.
  int Seek(int32_t key) {
    if (head_ == nullptr) return 0;
    const int32_t stop = head_->prev->key;
    if (head_->key == key) return 1;
    while (head_->key != stop) {
      head_ = head_->next;
      if (head_->key == key) return 1;
    }
    return 0;
  }

  RingNode* FindNode(int32_t key) { return Seek(key) ? head_ : nullptr; }

  int RemoveHead() {
    if (head_ == nullptr) return 0;
    RingNode* node = head_;
    if (node->next == node) {
      count_ = 0;
      head_ = nullptr;
    } else {
      --count_;
      node->prev->next = node->next;
      node->next->prev = node->prev;
      head_ = node->next;
    }
    delete node;
    return 1;
  }

  int Remove(int32_t key) { return Seek(key) ? RemoveHead() : 0; }

  void Clear() {
    while (RemoveHead()) {
    }
  }

  RingNode* Head() const { return head_; }
  int32_t Count() const { return count_; }

 protected:
  RingNode* head_ = nullptr;
  int32_t count_ = 0;
};

// Destroys a camera object once nothing uses it any more, and wakes the release waiting for that.
class CameraDeleter {
 public:
  struct Latch {
    std::mutex mutex;
    std::condition_variable destroyed;
    bool done = false;
  };
  void operator()(camera::CZelCam* camera) const;
  // Set by the release, while it still holds a reference: no deleter runs meanwhile.
  std::shared_ptr<Latch> latch;
};

using CameraRef = std::shared_ptr<camera::CZelCam>;

// The library's one registry. Each export holds a reference to its camera object for the length
// of the call, so a release on another thread cannot destroy the object under it. The ring's
// insert and remove are reachable only through the locked operations below.
class CSdkChain : protected CTRing<camera::CZelCam, CameraRef> {
 public:
  CSdkChain() = default;
  // Camera objects still registered when the library is unloaded stay as they are: destroying
  // them would stop threads under the loader's lock.
  ~CSdkChain() override;

  // A new handle with a new camera object registered under it; 0 when out of memory.
  int32_t CreateHandle();
  // The camera object of `handle`, or null.
  CameraRef Find(int32_t handle);
  // Unregisters `handle` and hands its camera object to the caller (null when the handle was
  // registered without one); false when the handle is unknown. Exports still running keep the
  // object alive; the last of them destroys it.
  bool Release(int32_t handle, CameraRef* camera);
  // Releases `handle` and destroys its camera object once the exports still using it have
  // returned; false when the handle is unknown. `wait` false leaves the destruction to the last
  // export that returns (a release nested in an export of this thread cannot wait for it).
  bool ReleaseAndDestroy(int32_t handle, bool wait);

  using CTRing::Count;

 private:
  std::mutex mutex_;
};

CSdkChain& Registry();

// The C runtime's pseudo-random generator, per thread, never seeded: 0..32767.
int RuntimeRand();

}  // namespace zelcnv::sdk
