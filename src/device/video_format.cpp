// Video formats: the timing tables, the mode byte that picks a row, and the geometry, buffers and
// ring a row sizes.
#include <cstdint>

#include "device/protocol.h"
#include "device/transport.h"
#include "device/zel_cnv_sdk.h"

namespace zelcnv::device {

// Rows 0/1 are 525-line, 2/3 625-line (even: the 720-sample Wide format, odd: square pixels),
// 4-7 the 860-sample rows of standards 2 and 3.
const TimingRow kTimingTableA[kTimingRows] = {
    {82, 720, 858, 12, 235, 263},  {88, 640, 780, 12, 235, 263}, {81, 720, 864, 16, 280, 313},
    {104, 768, 944, 16, 280, 313}, {0, 860, 858, 10, 240, 263},  {0, 860, 858, 10, 240, 263},
    {0, 860, 864, 15, 279, 313},   {0, 860, 864, 15, 279, 313},
};
// LowSpeed keeps more lines of each field.
const TimingRow kTimingTableB[kTimingRows] = {
    {82, 720, 858, 12, 240, 263},  {88, 640, 780, 12, 240, 263}, {81, 720, 864, 16, 285, 313},
    {104, 768, 944, 16, 285, 313}, {0, 860, 858, 10, 240, 263},  {0, 860, 858, 10, 240, 263},
    {0, 860, 864, 15, 279, 313},   {0, 860, 864, 15, 279, 313},
};

namespace {

// Larger frames than this are no converter's: refusing them keeps the sizes in 32 bits.
constexpr int64_t kMaxFrameSamples = int64_t{1} << 26;

}  // namespace

Status CZelCnvSdk::SetVideoFormat(int mode) {
  const int nibble = mode & 0x0F;
  const int standard = nibble == 1 || nibble == 2 || nibble == 3 ? nibble : 0;
  const TimingRow* table;
  int column;
  switch (mode & 0xF0) {
    case kModeNormalHiSpeed:
      table = kTimingTableA, column = 1;
      break;
    case kModeWideLowSpeed:
      table = kTimingTableB, column = 0;
      break;
    case kModeWideHiSpeed:
      table = kTimingTableA, column = 0;
      break;
    default:  // Normal LowSpeed, and any other rate
      table = kTimingTableB, column = 1;
      break;
  }
  const TimingRow& row = table[column + 2 * standard];
  // A refused row keeps the previous format; the caller sees it in the frame rectangle.
  (void)SetVideoTiming(row.hTotal, row.hStart, row.hActive, row.vTotal, row.vStart, row.vActive);
  return kStatusOk;
}

Status CZelCnvSdk::SetVideoTiming(int hTotal, int hStart, int hActive, int vTotal, int vStart,
                                  int vActive) {
  // A window starting before the line or running past it would read outside the frame buffer.
  if (hTotal < 1 || hActive < 1 || hActive > hTotal || hStart < 0 || hStart > hTotal - hActive) {
    return kStatusBadHorizontal;
  }
  if (vTotal < 1 || vActive < 1 || vStart < 0 || vStart > vTotal - vActive) {
    return kStatusBadVertical;
  }
  if (Ring().SlotCount() < 2) return kStatusNoSlots;
  if (TransferRunning()) return kStatusAlreadyRunning;
  const int64_t bufferLines = int64_t{vTotal} + vStart + vActive;
  const int64_t frameSamples = int64_t{hTotal} * bufferLines;
  if (frameSamples > kMaxFrameSamples) return kStatusNoMemory;

  FrameGeometry g;
  g.frameLeft = 0;
  g.frameTop = 0;
  g.frameWidth = hActive;
  g.frameHeight = 2 * vActive;
  g.pitch = hTotal;
  g.windowStart = hStart;
  g.fieldLines = vTotal;
  g.fieldStart = vStart;
  g.fieldActive = vActive;
  g.bufferLines = static_cast<int32_t>(bufferLines);
  g.frameSamples = static_cast<int32_t>(frameSamples);
  g.samplesPerFrame =
      static_cast<int32_t>((frameSamples + kSampleBlock - 1) / kSampleBlock * kSampleBlock);
  geometry_ = g;
  const Status status = AllocateFrameMemory(g.samplesPerFrame);
  if (status != kStatusOk) return status;

  if (platform::DeviceFile* device = StreamedElsewhere() ? nullptr : OpenDevice()) {
    // A device that missed it fails the next frame transfer, which is reported there.
    (void)SendFrameSizeRequest(device, static_cast<uint32_t>(g.samplesPerFrame));
    platform::CloseDeviceFile(device);
  }
  return kStatusOk;
}

void CZelCnvSdk::GetFrameRect(int* left, int* top, int* width, int* height, int* extra) const {
  if (left != nullptr) *left = geometry_.frameLeft;
  if (top != nullptr) *top = geometry_.frameTop;
  if (width != nullptr) *width = geometry_.frameWidth;
  if (height != nullptr) *height = geometry_.frameHeight;
  if (extra != nullptr) *extra = 0;
}

}  // namespace zelcnv::device
