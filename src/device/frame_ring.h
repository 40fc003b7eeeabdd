// The ring of frame slots between the transfer thread (the writer) and the consumer: the writer
// fills one slot after another and steps over the slot the reader holds; the reader always jumps
// to the newest complete slot, so frames are dropped, never queued. No lock: a slot is published
// by the release store of the write index and read after an acquire load of it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "device/protocol.h"
#include "platform/frame_memory.h"

namespace zelcnv::device {

// What the writer knows of the frame in a slot.
struct SlotFacts {
  int64_t captureTime = 0;  // 100 ns units (MonotonicNow100ns): when its last byte arrived
  uint64_t sequence = 0;    // frame periods since the transfer's first frame
};

class FrameRing {
 public:
  explicit FrameRing(int slotCount) : slotCount_(slotCount) {}
  ~FrameRing() { Free(); }
  FrameRing(const FrameRing&) = delete;
  FrameRing& operator=(const FrameRing&) = delete;

  // Every slot anew, `slotBytes` zero-filled bytes each; all or nothing.
  [[nodiscard]] Status Allocate(size_t slotBytes);
  void Free();
  bool Allocated() const { return slots_ != nullptr; }
  int SlotCount() const { return slotCount_; }
  uint8_t* Slot(int index) const { return slots_[index].data; }

  // Both indices back to the first slot, before a transfer starts.
  void Rewind();

  // Writer: the slot to fill now, and its publication once filled (the next slot to fill is then
  // the one after it, over the one the reader holds).
  uint8_t* WriteSlot() const { return slots_[writeIndex_.load(std::memory_order_relaxed)].data; }
  void Publish(const SlotFacts& facts = {});

  // Reader: moves to the newest complete slot; false when nothing was published since the last
  // take.
  [[nodiscard]] bool TakeNewest();
  // Reader: whether TakeNewest would find a slot published since the last take.
  bool HasNewFrame() const;
  // The slot the reader holds, or null when its index lies outside the ring.
  const uint8_t* ReadSlot() const;
  // The facts published with the held slot (ReadSlot was not null).
  const SlotFacts& ReadFacts() const { return slots_[readIndex_.load()].facts; }
  // Done with the held slot (ReadSlot was not null): the reader names the next one, which the
  // writer then steps over.
  void ReleaseRead();

  int32_t ReadIndex() const { return readIndex_.load(); }
  int32_t WriteIndex() const { return writeIndex_.load(); }
  // For tests that place the reader.
  void SetReadIndex(int32_t index) { readIndex_.store(index); }

 private:
  struct SlotMemory {
    platform::GlobalMemory* memory = nullptr;
    uint8_t* data = nullptr;
    SlotFacts facts;  // travels with the data: written before, read after the index
  };
  int Next(int index) const { return index + 1 >= slotCount_ ? 0 : index + 1; }

  const int slotCount_;
  SlotMemory* slots_ = nullptr;
  std::atomic<int32_t> writeIndex_{0};
  std::atomic<int32_t> readIndex_{0};
};

}  // namespace zelcnv::device
