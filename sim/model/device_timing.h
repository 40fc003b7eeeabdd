// The converter's line and field timing: which samples and lines of a raw frame form the picture
// for a given standard, sampling clock and frame size, and when each frame is due.
#pragma once

#include <stdint.h>

namespace zelsim {

struct TimingRow {
  int32_t hStart;
  int32_t hActive;
  int32_t hTotal;
  int32_t vStart;
  int32_t vActive;
  int32_t vTotal;
};

inline constexpr int kTimingRows = 8;
// Table A serves the HiSpeed rates, table B the LowSpeed ones; they differ only in vActive.
extern const TimingRow kTimingTableA[kTimingRows];
extern const TimingRow kTimingTableB[kTimingRows];

// The host rounds the frame's sample count up to whole blocks of this size.
inline constexpr uint32_t kSampleBlock = 1024;

// Where a raw frame's picture lies. Lines 0..vTotal-1 are field 1, field 2 starts at line vTotal,
// and the frame ends with field 2's last active line.
struct FrameGeometry {
  int row;      // timing row 0..7
  bool tableA;  // which table the row was taken from
  int32_t hStart;
  int32_t hActive;
  int32_t hTotal;
  int32_t vStart;
  int32_t vActive;
  int32_t vTotal;
  uint32_t bufferLines;   // vTotal + vStart + vActive
  uint32_t frameSamples;  // hTotal * bufferLines
};

// samplesPerFrame as the host derives it from a row: frameSamples rounded up to a block.
uint32_t RowSamplesPerFrame(const TimingRow& row);

// The geometry the device produces. `standard` is the 0x88 nibble, `squarePixels` register 0x0D
// bit 7, `samplesPerFrame` what the host last announced: it tells table A from table B.
FrameGeometry GeometryFor(uint8_t standard, bool squarePixels, uint32_t samplesPerFrame);

// Largest raw frame any geometry produces, in samples (lines of hTotal up to bufferLines).
uint32_t LargestFrameSamples();
int32_t LargestActiveWidth();

bool Is625LineStandard(uint8_t standard);

// Nanoseconds from the start of a timeline to its frame `index`: 1001/30 ms per frame for
// 525-line standards, 40 ms for 625-line ones. Computed from the start every time so that rounding
// never accumulates.
uint64_t FrameOffsetNs(uint8_t standard, uint64_t index);
// The first frame index whose offset is at or after `elapsedNs`.
uint64_t FirstFrameAtOrAfter(uint8_t standard, uint64_t elapsedNs);

}  // namespace zelsim
