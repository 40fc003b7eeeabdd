// Where a raw frame's picture lies. A raw frame is lines of `pitch` samples; field 1 starts at
// line 0, field 2 at line `fieldLines`, and each field's picture starts at its own line
// `fieldStart` and column `windowStart`. The weave itself is the imaging layer's.
#include "device/vxm_sdk_lib.h"

namespace zelcnv::device {

FieldRows CVXMSdkLib::RowsOf(const uint8_t* raw) const {
  const FrameGeometry& g = geometry_;
  FieldRows rows;
  rows.bytesPerSample = BytesPerSample();
  const size_t b = static_cast<size_t>(rows.bytesPerSample);
  rows.pitchBytes = b * static_cast<size_t>(g.pitch);
  rows.width = g.frameWidth;
  rows.height = g.frameHeight;
  rows.field[0] = raw + b * (static_cast<size_t>(g.fieldStart) * g.pitch + g.windowStart);
  rows.field[1] = rows.field[0] + rows.pitchBytes * static_cast<size_t>(g.fieldLines);
  return rows;
}

Status CVXMSdkLib::RowsIn(const uint8_t* raw, FieldRows* rows) const {
  if (rows == nullptr || raw == nullptr) return kStatusNullPointer;
  if (geometry_.frameWidth <= 0 || geometry_.frameHeight <= 0) return kStatusBadRegion;
  *rows = RowsOf(raw);
  return kStatusOk;
}

Status CVXMSdkLib::HeldRingFrame(FieldRows* rows) const {
  return RowsIn(ring_.ReadSlot(), rows);
}

Status CVXMSdkLib::HeldSingleFrame(FieldRows* rows) const {
  return RowsIn(frameBuffer_, rows);
}

}  // namespace zelcnv::device
