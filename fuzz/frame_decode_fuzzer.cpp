// Frame decode under arbitrary timing rows, sample widths and raw bytes: a geometry is either
// refused or woven and decoded without a read or write outside the raw frame and the picture
// it is given, whatever that picture's size.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "device/protocol.h"
#include "device/zel_cnv_sdk.h"
#include "fuzz_input.h"

using zelcnv::device::CZelCnvSdk;
using zelcnv::device::kStatusOk;

namespace {

// An output picture of exactly `capacity` bytes, so that the sanitizer sees any byte past it.
struct Picture {
  explicit Picture(size_t bytes) : capacity(bytes), bits(new uint8_t[bytes != 0 ? bytes : 1]) {}
  size_t capacity;
  std::unique_ptr<uint8_t[]> bits;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Two ring slots, the fewest the library accepts: allocation stays cheap per input.
  static CZelCnvSdk* lib = new CZelCnvSdk(2);
  zelcnv::fuzz::FuzzInput in(data, size);

  // Mostly small frames (fast), some medium, and rarely as large as a real one (those cost
  // milliseconds each).
  const uint8_t scale = in.Byte();
  const int32_t limit = scale == 0 ? 1100 : scale % 8 == 1 ? 300 : 80;
  const int hTotal = in.Within(limit), hStart = in.Within(limit), hActive = in.Within(limit);
  const int vTotal = in.Within(limit), vStart = in.Within(limit), vActive = in.Within(limit);
  lib->SetSampleWidth(in.Bit() ? 1 : 0);
  if (lib->SetVideoTiming(hTotal, hStart, hActive, vTotal, vStart, vActive) != kStatusOk) {
    return 0;
  }
  // The colour decode's cost is per pixel and its bounds do not depend on the size: large
  // frames are woven only, small ones decoded both ways.
  constexpr int64_t kColourPixels = 65536;
  const auto& g = lib->Geometry();
  const bool small = int64_t{g.frameWidth} * g.frameHeight <= kColourPixels;
  const int selector = small ? static_cast<int>(in.Pick(3)) : zelcnv::device::kSelectorCopyFrame;
  const int colour = in.Bit() ? 1 : 0;
  const size_t needed = lib->DecodedBytes(selector);
  // Around the size the frame needs: too small by a little, exact, or larger.
  const size_t capacity = needed + 8 < 16 ? in.Pick(32) : needed - 8 + in.Pick(24);
  const int slot = static_cast<int>(in.Pick(4)) - 1;  // -1 and 2 lie outside the ring

  const size_t rawBytes = 2 * static_cast<size_t>(lib->SamplesPerFrame());
  in.FillRepeating(lib->SingleFrameBuffer(), rawBytes);
  Picture single(capacity);
  const bool fits = capacity >= needed;
  // A picture too small for the frame must be refused, never written past.
  if (lib->DecodeSingleFrame(single.bits.get(), single.capacity, colour, 0, selector) ==
          kStatusOk &&
      !fits)
    __builtin_trap();

  for (int i = 0; i < lib->Ring().SlotCount(); ++i) in.FillRepeating(lib->Ring().Slot(i), rawBytes);
  lib->Ring().SetReadIndex(slot);
  Picture ring(capacity);
  if (lib->DecodeRingFrame(ring.bits.get(), ring.capacity, colour, 0, selector) == kStatusOk &&
      !fits)
    __builtin_trap();

  // A region of the frame, with a picture made for that region.
  const int left = in.Within(g.frameWidth + 2), right = in.Within(g.frameWidth + 2);
  const int top = in.Within(g.frameHeight + 2), bottom = in.Within(g.frameHeight + 2);
  if (left >= 0 && top >= 0 && right >= left && bottom >= top && right < g.frameWidth &&
      bottom < g.frameHeight) {
    if (int64_t{right - left + 1} * (bottom - top + 1) > kColourPixels) return 0;
    Picture region(3 * size_t(right - left + 1) * size_t(bottom - top + 1));
    if (lib->DecodeRegion(region.bits.get(), lib->SingleFrameBuffer(), colour, 0, left, top, right,
                          bottom) != kStatusOk)
      __builtin_trap();  // a region inside the frame is decoded
  } else if (lib->DecodeRegion(single.bits.get(), lib->SingleFrameBuffer(), colour, 0, left, top,
                               right, bottom) == kStatusOk) {
    __builtin_trap();  // a region outside the frame must be refused
  }
  return 0;
}
