// Derives the YUYV fast paths' correction tables from the reference formula itself, and checks
// that the integer formulation holds, so that a fast path is only ever used where it is exact.
#include "imaging/yuyv_exact.h"

#include "imaging/yuyv_colour.h"

namespace zelcnv::imaging {
namespace {

int FloorDiv(int numerator, int divisor) {
  const int q = numerator / divisor;
  return (numerator % divisor != 0 && (numerator < 0) != (divisor < 0)) ? q - 1 : q;
}

int BlueOffset(int u) {
  return FloorDiv(2032 * u, 1000);
}
int RedOffset(int v) {
  return FloorDiv(114 * v, 100);
}

// The products the fast paths compute must equal the exact floors for every byte.
bool RatesHold() {
  for (int c = 0; c < 256; ++c) {
    const int blue = static_cast<int>(((256u * c + kBlueBias) * kBlueMul) >> kRateShift);
    const int red = static_cast<int>(((256u * c + kRedBias) * kRedMul) >> kRateShift);
    if (blue - kBlueBase != BlueOffset(c - kChromaOffset)) return false;
    if (red - kRedBase != RedOffset(c - kChromaOffset)) return false;
  }
  for (int m = 0; m <= kGreenBias; ++m) {
    const float scaled = static_cast<float>(m) * (1.0f / kGreenDivisor);
    if (static_cast<int>(scaled) != m / kGreenDivisor) return false;
  }
  return true;
}

// Encodes the lumas at which `reference(y)` is one below clamp(y + offset) as up to two ranges.
// Any other disagreement, or more ranges, makes the formulation unusable.
template <class Reference>
bool Ranges(int offset, Reference reference, uint32_t* encoded) {
  int runs = 0;
  int first[2] = {}, count[2] = {};
  bool inRun = false;
  for (int y = 0; y < 256; ++y) {
    const int got = reference(y);
    const bool lower = got == ClampToByte(y + offset - 1) && got != ClampToByte(y + offset);
    if (!lower && got != ClampToByte(y + offset)) return false;
    if (lower && !inRun) {
      if (runs == 2) return false;
      first[runs] = y;
      ++runs;
    }
    if (lower) ++count[runs - 1];
    inRun = lower;
  }
  if (count[0] > 255 || count[1] > 255) return false;
  *encoded = static_cast<uint32_t>(first[0] | count[0] << 8 | first[1] << 16 | count[1] << 24);
  return true;
}

uint8_t Channel(int y, int u, int v, int channel) {
  uint8_t bgr[3];
  YuyvPixelToBgr(y, u, v, bgr);
  return bgr[channel];
}

bool List(YuyvExactTables& t, bool red, int chroma, uint32_t ranges) {
  const uint32_t first = ranges & 0xFF, count = ranges >> 8 & 0xFF, second = ranges >> 24;
  if (t.listedCount == kMaxListedChroma || first != 0 || second != 0) return false;
  t.listed[t.listedCount++] = {red, static_cast<uint8_t>(chroma), static_cast<uint8_t>(count)};
  return true;
}

// The smallest shift that gives every U byte with green ranges a slot of its own.
void PlaceGreenSlots(YuyvExactTables& t) {
  for (int shift = 0; shift <= kMaxGreenSlotShift; ++shift) {
    bool taken[kGreenSlots] = {};
    bool apart = true;
    for (int u = 0; u < 256 && apart; ++u) {
      if (t.greenRanges[u] == 0) continue;
      const int slot = (u >> shift) % kGreenSlots;
      apart = !taken[slot];
      taken[slot] = true;
    }
    if (!apart) continue;
    for (int u = 0; u < 256; ++u) {
      if (t.greenRanges[u] == 0) continue;
      const int slot = (u >> shift) % kGreenSlots;
      t.greenSlotRanges[slot] = t.greenRanges[u];
      t.greenSlotChroma[slot] = static_cast<uint8_t>(u);
    }
    t.greenSlotShift = shift;
    return;
  }
}

YuyvExactTables Derive() {
  YuyvExactTables t;
  if (!RatesHold()) return t;
  for (int c = 0; c < 256; ++c) {
    const int s = c - kChromaOffset;
    const bool ok =
        Ranges(
            BlueOffset(s), [&](int y) { return Channel(y, s, 0, 0); }, &t.blueRanges[c]) &&
        Ranges(
            RedOffset(s), [&](int y) { return Channel(y, 0, s, 2); }, &t.redRanges[c]);
    if (!ok) return t;
    if (t.blueRanges[c] != 0 && !List(t, false, c, t.blueRanges[c])) return t;
    if (t.redRanges[c] != 0 && !List(t, true, c, t.redRanges[c])) return t;
  }
  for (int uByte = 0; uByte < 256; ++uByte) {
    for (int vByte = 0; vByte < 256; ++vByte) {
      const int m = kGreenBias + kGreenU * uByte + kGreenV * vByte;
      if (m % kGreenDivisor != 0) continue;
      const int u = uByte - kChromaOffset, v = vByte - kChromaOffset;
      const int offset = m / kGreenDivisor - kGreenBase;
      if (!Ranges(
              offset, [&](int y) { return Channel(y, u, v, 1); }, &t.greenRanges[uByte])) {
        return t;
      }
    }
  }
  PlaceGreenSlots(t);
  t.listedHighRed = true;
  for (int i = 0; i < t.listedCount; ++i) {
    t.listedHighRed = t.listedHighRed && t.listed[i].red && t.listed[i].chroma >= kChromaOffset;
  }
  // The fast paths skip the corrections for neutral chroma (U byte 128), the commonest pair.
  t.usable = t.greenRanges[kChromaOffset] == 0;
  return t;
}

}  // namespace

const YuyvExactTables& YuyvTables() {
  static const YuyvExactTables tables = Derive();
  return tables;
}

}  // namespace zelcnv::imaging
