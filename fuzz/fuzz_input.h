// The fuzzer's bytes read as a stream of small choices; past the end every read is 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace zelcnv::fuzz {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Empty() const { return at_ >= size_; }
  size_t Remaining() const { return at_ < size_ ? size_ - at_ : 0; }

  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  uint16_t U16() { return static_cast<uint16_t>(Byte() | Byte() << 8); }
  uint32_t U32() { return static_cast<uint32_t>(U16()) | static_cast<uint32_t>(U16()) << 16; }
  int16_t I16() { return static_cast<int16_t>(U16()); }
  bool Bit() { return (Byte() & 1) != 0; }
  // 0 .. count - 1.
  uint32_t Pick(uint32_t count) { return count == 0 ? 0 : Byte() % count; }
  // A signed value in (-limit, limit).
  int32_t Within(int32_t limit) { return limit <= 0 ? 0 : I16() % limit; }

  // Up to `count` bytes, as many as are left.
  std::string Bytes(size_t count) {
    const size_t n = count < Remaining() ? count : Remaining();
    std::string out(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return out;
  }

  // Fills `out` with the bytes left, repeated (zeros when none are left).
  void FillRepeating(uint8_t* out, size_t length) const {
    const size_t left = Remaining();
    if (left == 0) {
      std::memset(out, 0, length);
      return;
    }
    // One copy of the bytes, then the filled part doubled until the buffer is full.
    size_t done = length < left ? length : left;
    std::memcpy(out, data_ + at_, done);
    while (done < length) {
      const size_t step = length - done < done ? length - done : done;
      std::memcpy(out + done, out, step);
      done += step;
    }
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

}  // namespace zelcnv::fuzz
