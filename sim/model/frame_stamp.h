// The machine-readable stamp every simulated frame carries in the first and last active line of
// both fields, so that tests can tell which device frame a decoded picture came from and whether
// its fields were woven in the right order.
#pragma once

#include <stdint.h>

namespace zelsim {

// Samples at the start of a stamped line: marker, sequence, its complement, field id, line id.
inline constexpr int kStampSamples = 14;

enum StampField : uint8_t { kStampFieldFirst = 0, kStampFieldSecond = 1 };
enum StampLine : uint8_t { kStampLineFirst = 0, kStampLineLast = 1 };

struct FrameStamp {
  uint32_t sequence;
  uint8_t field;  // StampField
  uint8_t line;   // StampLine
};

// Writes the stamp into the luma of the first kStampSamples samples at `activeLine` (the start of
// an active window); chroma there is the neutral 128.
void WriteFrameStamp(uint8_t* activeLine, int bytesPerSample, const FrameStamp& stamp);

// Reads the stamp at the start of a decoded picture row; false when the row carries none (or the
// arguments are unusable).
bool ReadFrameStamp(const uint8_t* decodedRow, int bytesPerSample, FrameStamp* stamp);
bool ReadFrameStamp(const uint8_t* decodedRow, int bytesPerSample, uint32_t* sequence);

}  // namespace zelsim
