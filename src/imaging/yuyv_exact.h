// The exact integer formulation behind the YUYV fast paths.
//
// Each channel is luma plus an offset that depends only on the chroma pair: floor(2.032 u) for
// blue, floor(1.14 v) for red and floor(-0.395 u - 0.581 v) for green, computed exactly from
// integers. The double formula of the reference agrees with these floors except where the exact
// value is a whole number and rounding leaves the doubles just below it; then, for some lumas, the
// reference gives one less. Those cases are few and fixed, so they are found once, by running the
// reference formula, and kept here as luma ranges per chroma byte.
#pragma once

#include <cstdint>

#include "imaging/yuyv_colour.h"

namespace zelcnv::imaging {

// floor(2.032 (U - 128)) = floor((256 U + kBlueBias) * kBlueMul / 2^22) - kBlueBase, and the
// same for red with 1.14 (V - 128): one unsigned 16-bit high multiply per chroma byte.
constexpr uint16_t kBlueMul = 33293;
constexpr uint16_t kBlueBias = 114;
constexpr int kBlueBase = 261;
constexpr uint16_t kRedMul = 18678;
constexpr uint16_t kRedBias = 18;
constexpr int kRedBase = 146;
constexpr int kRateShift = 22;

// floor(-0.395 (U - 128) - 0.581 (V - 128)) = floor(m / 1000) - kGreenBase with
// m = kGreenBias - 395 U - 581 V, which is never negative. The quotient is taken in single
// precision: m < 2^18 is exact there and m / 1000 stays at least 0.001 from the next whole number.
constexpr int kGreenU = -395;
constexpr int kGreenV = -581;
constexpr int kGreenBias = 248928;
constexpr int kGreenDivisor = 1000;
constexpr int kGreenBase = 124;

// Single-chroma values (red by V byte, blue by U byte) that need corrections are few; the fast
// paths compare against each, up to this many in all.
constexpr int kMaxListedChroma = 2;

// The U bytes with green ranges, few as they are, also sit in a small table indexed by a few of
// their bits, for processors that look up a whole register of pairs at once: slot
// (U >> greenSlotShift) % kGreenSlots. The shift is the smallest that gives each U a slot alone.
constexpr int kGreenSlots = 32;
constexpr int kMaxGreenSlotShift = 3;

struct YuyvExactTables {
  // False when the reference turned out not to fit this formulation; the fast paths then stay
  // unused rather than be wrong.
  bool usable = false;
  // Luma ranges where the reference is one below the exact floor, per chroma byte: bytes
  // (first, count, first, count). Green's apply only to the one V byte per U byte for which
  // 395 u + 581 v is a multiple of 1000 (581 and 1000 are coprime, so there is at most one).
  uint32_t blueRanges[256] = {};
  uint32_t redRanges[256] = {};
  uint32_t greenRanges[256] = {};
  // The chroma bytes with red or blue ranges, for detecting them quickly. Each one's range is
  // a single one from luma 0: red or blue alone rounds once, and only the lowest lumas keep
  // the doubles below the whole number.
  struct Listed {
    bool red;  // a V byte with red ranges, else a U byte with blue ranges
    uint8_t chroma;
    uint8_t below;  // the reference is one less for lumas below this
  } listed[kMaxListedChroma] = {};
  int listedCount = 0;
  // Every listed chroma byte is a V byte of 128 or more: the byte-permute paths then look the
  // bounds up in one 128-entry table.
  bool listedHighRed = false;
  // Green ranges by slot, and each slot's U byte (unused slots have no ranges). A shift of -1
  // means no shift up to kMaxGreenSlotShift separates them; the slot lookups are then unused.
  uint32_t greenSlotRanges[kGreenSlots] = {};
  uint8_t greenSlotChroma[kGreenSlots] = {};
  int greenSlotShift = -1;
};

// Derived on first use (a fraction of a millisecond) and fixed afterwards.
const YuyvExactTables& YuyvTables();

}  // namespace zelcnv::imaging
