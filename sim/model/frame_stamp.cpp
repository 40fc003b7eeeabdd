#include "frame_stamp.h"

namespace zelsim {

namespace {

// Chosen to be unlike anything the test patterns contain, so that a stamp is never read out of
// picture content.
constexpr uint8_t kMarker[4] = {0xE1, 0x1E, 0xD2, 0x2D};
constexpr int kSequenceAt = 4;
constexpr int kComplementAt = 8;
constexpr int kFieldAt = 12;
constexpr int kLineAt = 13;
constexpr uint8_t kNeutralChroma = 128;

void PutWord(uint8_t* luma, uint32_t word) {
  for (int i = 0; i < 4; ++i) luma[i] = static_cast<uint8_t>(word >> (8 * i));
}

uint32_t GetWord(const uint8_t* luma) {
  uint32_t word = 0;
  for (int i = 0; i < 4; ++i) word |= static_cast<uint32_t>(luma[i]) << (8 * i);
  return word;
}

}  // namespace

void WriteFrameStamp(uint8_t* activeLine, int bytesPerSample, const FrameStamp& stamp) {
  uint8_t luma[kStampSamples];
  for (int i = 0; i < 4; ++i) luma[i] = kMarker[i];
  PutWord(luma + kSequenceAt, stamp.sequence);
  PutWord(luma + kComplementAt, ~stamp.sequence);
  luma[kFieldAt] = stamp.field;
  luma[kLineAt] = stamp.line;
  for (int i = 0; i < kStampSamples; ++i) {
    activeLine[i * bytesPerSample] = luma[i];
    if (bytesPerSample == 2) activeLine[i * 2 + 1] = kNeutralChroma;
  }
}

bool ReadFrameStamp(const uint8_t* decodedRow, int bytesPerSample, FrameStamp* stamp) {
  if (decodedRow == nullptr || stamp == nullptr) return false;
  if (bytesPerSample != 1 && bytesPerSample != 2) return false;
  uint8_t luma[kStampSamples];
  for (int i = 0; i < kStampSamples; ++i) luma[i] = decodedRow[i * bytesPerSample];
  for (int i = 0; i < 4; ++i) {
    if (luma[i] != kMarker[i]) return false;
  }
  const uint32_t sequence = GetWord(luma + kSequenceAt);
  if (GetWord(luma + kComplementAt) != ~sequence) return false;
  if (luma[kFieldAt] > kStampFieldSecond || luma[kLineAt] > kStampLineLast) return false;
  stamp->sequence = sequence;
  stamp->field = luma[kFieldAt];
  stamp->line = luma[kLineAt];
  return true;
}

bool ReadFrameStamp(const uint8_t* decodedRow, int bytesPerSample, uint32_t* sequence) {
  if (sequence == nullptr) return false;
  FrameStamp stamp;
  if (!ReadFrameStamp(decodedRow, bytesPerSample, &stamp)) return false;
  *sequence = stamp.sequence;
  return true;
}

}  // namespace zelsim
