// The registry of open handles: a circular, doubly linked ring of nodes that rotates the found
// node to its head. One CSdkChain exists; it owns the nodes, not the camera objects.
#pragma once

#include <cstdint>
#include <mutex>
#include <new>

namespace zelcnv::camera {
class CZelCam;
}

namespace zelcnv::sdk {

template <class CSDKDATA>
class CTRing {
 public:
  struct RingNode {
    int32_t key;
    CSDKDATA* data;
    RingNode* prev;
    RingNode* next;
  };

  CTRing() = default;
  CTRing(const CTRing&) = delete;
  CTRing& operator=(const CTRing&) = delete;
  virtual ~CTRing() { Clear(); }

  // Makes a node for `key` the new head, between the old last node and the old head.
  virtual RingNode* Insert(int32_t key, CSDKDATA* data) {
    RingNode* node = new (std::nothrow) RingNode{key, data, nullptr, nullptr};
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

// The library's one registry. Its public operations take a lock so that application threads
// calling exports at once cannot corrupt the ring.
class CSdkChain : public CTRing<camera::CZelCam> {
 public:
  // A new handle with a new camera object registered under it; 0 when out of memory.
  int32_t CreateHandle();
  // The camera object of `handle`, or null.
  camera::CZelCam* Find(int32_t handle);
  // Unregisters `handle` and hands its camera object to the caller (null when the handle was
  // registered without one); false when the handle is unknown.
  bool Release(int32_t handle, camera::CZelCam** camera);

 private:
  std::mutex mutex_;
};

CSdkChain& Registry();

// The C runtime's pseudo-random generator, per thread, never seeded: 0..32767.
int RuntimeRand();

}  // namespace zelcnv::sdk
