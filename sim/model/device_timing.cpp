// The device's own copy of the host's timing tables; the device has to agree with them, so it
// keeps them row for row.
#include "device_timing.h"

namespace zelsim {

const TimingRow kTimingTableA[kTimingRows] = {
    {82, 720, 858, 12, 235, 263},  {88, 640, 780, 12, 235, 263}, {81, 720, 864, 16, 280, 313},
    {104, 768, 944, 16, 280, 313}, {0, 860, 858, 10, 240, 263},  {0, 860, 858, 10, 240, 263},
    {0, 860, 864, 15, 279, 313},   {0, 860, 864, 15, 279, 313},
};

const TimingRow kTimingTableB[kTimingRows] = {
    {82, 720, 858, 12, 240, 263},  {88, 640, 780, 12, 240, 263}, {81, 720, 864, 16, 285, 313},
    {104, 768, 944, 16, 285, 313}, {0, 860, 858, 10, 240, 263},  {0, 860, 858, 10, 240, 263},
    {0, 860, 864, 15, 279, 313},   {0, 860, 864, 15, 279, 313},
};

namespace {

// Frame periods as exact fractions of a nanosecond count: 1001/30 ms = 100100000/3 ns.
constexpr uint64_t kNtscPeriodNumeratorNs = 100100000;
constexpr uint64_t kNtscPeriodDenominator = 3;
constexpr uint64_t kPalPeriodNs = 40000000;

// Low nibbles of register 0x88.
constexpr uint8_t kStandardPal = 2;
constexpr uint8_t kStandardPalAlt = 3;
constexpr uint8_t kStandardPalWide = 10;
constexpr uint8_t kStandardPalWideAlt = 11;

constexpr int kFirstPalRow = 2;
constexpr int kFirstPalWideRow = 6;

uint32_t BufferLines(const TimingRow& row) {
  return static_cast<uint32_t>(row.vTotal + row.vStart + row.vActive);
}

uint32_t FrameSamples(const TimingRow& row) {
  return static_cast<uint32_t>(row.hTotal) * BufferLines(row);
}

// Standard 2's own rows (4 and 5) are wider than their lines, so the host cannot use them; the
// device sends 525-line rows 0/1 for it, as for every nibble that is not 625-line.
int RowFor(uint8_t standard, bool squarePixels) {
  const int column = squarePixels ? 1 : 0;
  switch (standard & 0x0F) {
    case kStandardPal:
    case kStandardPalAlt:
      return kFirstPalRow + column;
    case kStandardPalWide:
    case kStandardPalWideAlt:
      return kFirstPalWideRow + column;
    default:
      return column;
  }
}

}  // namespace

uint32_t RowSamplesPerFrame(const TimingRow& row) {
  return (FrameSamples(row) + kSampleBlock - 1) / kSampleBlock * kSampleBlock;
}

FrameGeometry GeometryFor(uint8_t standard, bool squarePixels, uint32_t samplesPerFrame) {
  const int row = RowFor(standard, squarePixels);
  const bool tableA = RowSamplesPerFrame(kTimingTableA[row]) == samplesPerFrame;
  const TimingRow& t = tableA ? kTimingTableA[row] : kTimingTableB[row];
  FrameGeometry g;
  g.row = row;
  g.tableA = tableA;
  g.hStart = t.hStart;
  g.hActive = t.hActive;
  g.hTotal = t.hTotal;
  g.vStart = t.vStart;
  g.vActive = t.vActive;
  g.vTotal = t.vTotal;
  g.bufferLines = BufferLines(t);
  g.frameSamples = FrameSamples(t);
  return g;
}

uint32_t LargestFrameSamples() {
  uint32_t largest = 0;
  for (int i = 0; i < kTimingRows; ++i) {
    if (FrameSamples(kTimingTableA[i]) > largest) largest = FrameSamples(kTimingTableA[i]);
    if (FrameSamples(kTimingTableB[i]) > largest) largest = FrameSamples(kTimingTableB[i]);
  }
  return largest;
}

int32_t LargestActiveWidth() {
  int32_t largest = 0;
  for (int i = 0; i < kTimingRows; ++i) {
    if (kTimingTableA[i].hActive > largest) largest = kTimingTableA[i].hActive;
  }
  return largest;
}

bool Is625LineStandard(uint8_t standard) {
  const int row = RowFor(standard, false);
  return row == kFirstPalRow || row == kFirstPalWideRow;
}

uint64_t FrameOffsetNs(uint8_t standard, uint64_t index) {
  if (Is625LineStandard(standard)) return index * kPalPeriodNs;
  return index * kNtscPeriodNumeratorNs / kNtscPeriodDenominator;
}

uint64_t FirstFrameAtOrAfter(uint8_t standard, uint64_t elapsedNs) {
  if (Is625LineStandard(standard)) return (elapsedNs + kPalPeriodNs - 1) / kPalPeriodNs;
  // Smallest k with floor(k * N / D) >= e, i.e. k * N >= e * D.
  return (elapsedNs * kNtscPeriodDenominator + kNtscPeriodNumeratorNs - 1) / kNtscPeriodNumeratorNs;
}

}  // namespace zelsim
