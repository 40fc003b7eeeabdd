// The frame road under arbitrary timing rows, sample widths and raw bytes: a geometry is either
// refused, or its rows are named inside the raw frame and woven into a picture (through each
// colour mode's kernel, with the copy for the application fused in) without a read or write
// outside the raw frame, the picture or the copy. A picture of another size or depth is refused.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "device/protocol.h"
#include "device/zel_cnv_sdk.h"
#include "fuzz_input.h"
#include "imaging/field_weave.h"

using zelcnv::kStatusOk;
using zelcnv::device::CZelCnvSdk;
using zelcnv::device::FieldRows;
namespace imaging = zelcnv::imaging;

namespace {

struct Road {
  const imaging::RowKernel* kernel;  // null: the samples as they are
  int sampleBytes;                   // what the kernel reads
  uint16_t bits;                     // what it writes
};

constexpr Road kRoads[] = {
    {nullptr, 1, 8},
    {nullptr, 2, 16},
    {&imaging::kYuyvToBgr24, 2, 24},
    {&imaging::kYuyvToBgrx32, 2, 32},
    {&imaging::kYuyvToBgr48, 2, 48},
    {&imaging::kYuyvToBgra64, 2, 64},
};

void Weave(const FieldRows& rows, zelcnv::fuzz::FuzzInput& in) {
  const Road& road = kRoads[in.Pick(6)];
  // Mostly the frame's own size; sometimes one off, which must be refused.
  const int32_t width = rows.width + (in.Pick(8) == 0 ? 1 : 0);
  const int32_t height = rows.height - (in.Pick(8) == 0 ? 1 : 0);
  imaging::FrameBitmap picture;
  if (picture.Create(width, height, road.bits) == 0) return;
  const size_t copyBytes = size_t(picture.Stride()) * size_t(height);
  std::unique_ptr<uint8_t[]> copy(new uint8_t[copyBytes != 0 ? copyBytes : 1]);
  const imaging::InterlacedFrame frame{{rows.field[0], rows.field[1]},
                                       rows.pitchBytes,
                                       rows.width,
                                       rows.height,
                                       rows.bytesPerSample};
  const bool matches =
      width == rows.width && height == rows.height && road.sampleBytes == rows.bytesPerSample;
  if (imaging::WeaveFrame(frame, road.kernel, picture, in.Bit() ? copy.get() : nullptr, in.Bit()) !=
      matches) {
    __builtin_trap();
  }
}

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
  const size_t rawBytes = size_t(lib->BytesPerSample()) * size_t(lib->SamplesPerFrame());
  in.FillRepeating(lib->SingleFrameBuffer(), rawBytes);
  FieldRows rows;
  if (lib->HeldSingleFrame(&rows) == kStatusOk) Weave(rows, in);

  for (int i = 0; i < lib->Ring().SlotCount(); ++i) in.FillRepeating(lib->Ring().Slot(i), rawBytes);
  const int slot = static_cast<int>(in.Pick(4)) - 1;  // -1 and 2 lie outside the ring
  lib->Ring().SetReadIndex(slot);
  if (lib->HeldRingFrame(&rows) == kStatusOk) {
    Weave(rows, in);
    lib->ReleaseRingFrame();
  } else if ((slot == 0 || slot == 1) && lib->Geometry().frameWidth > 0 &&
             lib->Geometry().frameHeight > 0) {
    __builtin_trap();  // a held slot of a geometry with pixels is named
  }
  return 0;
}
