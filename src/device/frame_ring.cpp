// The frame ring's slots and its two indices.
#include "device/frame_ring.h"

#include <new>

namespace zelcnv::device {

Status FrameRing::Allocate(size_t slotBytes) {
  Free();
  if (slotCount_ <= 0 || slotBytes == 0) return kStatusNoMemory;
  slots_ = new (std::nothrow) SlotMemory[slotCount_];
  bool complete = slots_ != nullptr;
  for (int i = 0; complete && i < slotCount_; ++i) {
    slots_[i].memory = platform::AllocateZeroedGlobal(slotBytes, &slots_[i].data);
    complete = slots_[i].memory != nullptr;
  }
  if (!complete) {
    Free();  // no half-built ring survives a failure
    return kStatusNoMemory;
  }
  return kStatusOk;
}

void FrameRing::Free() {
  if (slots_ == nullptr) return;
  for (int i = 0; i < slotCount_; ++i) platform::FreeGlobal(slots_[i].memory);
  delete[] slots_;
  slots_ = nullptr;
}

void FrameRing::Rewind() {
  writeIndex_.store(0);
  readIndex_.store(0);
}

void FrameRing::Publish(const SlotFacts& facts) {
  const int32_t written = writeIndex_.load(std::memory_order_relaxed);
  slots_[written].facts = facts;
  int32_t index = Next(written);
  if (index == readIndex_.load()) index = Next(index);
  writeIndex_.store(index, std::memory_order_release);
}

bool FrameRing::HasNewFrame() const {
  return writeIndex_.load(std::memory_order_acquire) != readIndex_.load();
}

bool FrameRing::TakeNewest() {
  int32_t w = writeIndex_.load(std::memory_order_acquire);
  int32_t r = readIndex_.load();
  if (w < r) w += slotCount_;
  if (w - r < 1) return false;
  // The newest complete slot is the one before the slot being written.
  r = w - 1;
  if (r >= slotCount_) r -= slotCount_;
  readIndex_.store(r);
  return true;
}

const uint8_t* FrameRing::ReadSlot() const {
  const int32_t index = readIndex_.load();
  if (slots_ == nullptr || index < 0 || index >= slotCount_) return nullptr;
  return slots_[index].data;
}

void FrameRing::ReleaseRead() {
  readIndex_.store(Next(readIndex_.load()));
}

}  // namespace zelcnv::device
