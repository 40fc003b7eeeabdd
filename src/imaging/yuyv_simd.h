// The YUYV fast path's row loop, written once over a vector type whose operations act on each
// 128-bit lane alone (SSSE3 registers, both halves of an AVX2 register, or the four quarters of an
// AVX-512 one alike).
//
// Besides the vector type I, a type names the results of comparisons: M16 and M32 per 16- and
// 32-bit lane (vectors of all-ones lanes, or mask registers), and Flags, what a block's "may need
// a correction" test collects before one test of all. Its GreenTable looks up the green ranges of
// a register of pairs.
//
// Include only from an instruction-set file, after its target pragma: everything here is a
// template over that file's vector type, so nothing is shared between instruction sets.
#pragma once

#include <cstdint>

#include "imaging/yuyv_exact.h"

namespace zelcnv::imaging::yuyv_simd {

// Comparison results as vectors of all-ones lanes, for instruction sets without mask registers;
// the green ranges are gathered from the table by U byte. `Ops` has the vector operations.
template <class Ops>
struct WithVectorMasks : Ops {
  using I = typename Ops::I;
  using M16 = I;
  using M32 = I;
  using Flags = I;
  using GreenTable = const uint32_t*;
  // A gather costs enough that dense pictures make green's corrections apart, in the blocks that
  // may need them.
  static constexpr bool kCheapGreen = false;
  static constexpr bool kPermutesBytes = false;
  // The listed corrections come from comparisons with each listed chroma byte.
  static constexpr bool kListedByTable = false;
  struct ListedTable {};
  static ListedTable MakeListedTable(const YuyvExactTables&) { return {}; }

  static I NonZero16(I a) {
    const I zero = Ops::Cmpeq16(a, Ops::Zero());
    return Ops::AndNot(zero, Ops::Cmpeq16(zero, zero));
  }
  static I Dec16(I a, I lanes, I) { return Ops::Add16(a, lanes); }
  static I OneWhere16(I lanes, I one) { return Ops::And(lanes, one); }
  static I OrWhere32(I a, I lanes, I b) { return Ops::Or(a, Ops::And(b, lanes)); }
  static I Less16(I a, I b) { return Ops::Cmpgt16(b, a); }
  static I MaskAndNot32(I a, I b) { return Ops::AndNot(a, b); }
  static I Flag16(I a) { return a; }
  static I Flag32(I a) { return a; }
  static I FlagOr(I a, I b) { return Ops::Or(a, b); }
  static bool AnyFlag(I a) { return Ops::Any(a); }
  static GreenTable MakeGreenTable(const YuyvExactTables& t) { return t.greenRanges; }
  static I GreenRanges(I, I uMasked, I whole, GreenTable table) {
    return Ops::And(Ops::Gather(table, Ops::template Srli32<8>(uMasked)), whole);
  }
};

// Pixel p of a 128-bit lane's eight: byte 3p of the output takes blue (bg[p]), 3p + 1 green
// (bg[8 + p]) and 3p + 2 red (rr[p]). The first 16 output bytes, then the remaining 8.
struct BgrShuffles {
  uint8_t headFromBg[16], headFromR[16], tailFromBg[16], tailFromR[16];
  // From green and red packed as the two bytes of each pixel's 16-bit lane, blue left 0.
  uint8_t headFromGr[16], tailFromGr[16];
};

constexpr uint8_t kZero = 0x80;  // a shuffle index that yields 0

constexpr BgrShuffles MakeBgrShuffles() {
  BgrShuffles s{};
  for (int k = 0; k < 24; ++k) {
    const int p = k / 3, channel = k % 3;
    uint8_t* fromBg = k < 16 ? &s.headFromBg[k] : &s.tailFromBg[k - 16];
    uint8_t* fromR = k < 16 ? &s.headFromR[k] : &s.tailFromR[k - 16];
    uint8_t* fromGr = k < 16 ? &s.headFromGr[k] : &s.tailFromGr[k - 16];
    *fromBg = channel == 2 ? kZero : static_cast<uint8_t>(channel * 8 + p);
    *fromR = channel == 2 ? static_cast<uint8_t>(p) : kZero;
    *fromGr = channel == 0 ? kZero : static_cast<uint8_t>(2 * p + channel - 1);
  }
  for (int k = 8; k < 16; ++k) s.tailFromBg[k] = s.tailFromR[k] = s.tailFromGr[k] = kZero;
  return s;
}

// Each pixel's 16-bit lane: its pair's V byte low, 0 high.
constexpr uint8_t kVByteToLows[16] = {3,  kZero, 3,  kZero, 7,  kZero, 7,  kZero,
                                      11, kZero, 11, kZero, 15, kZero, 15, kZero};
// Per 32-bit pair lane: spread its low or its high 16-bit half over both halves.
constexpr uint8_t kLowHalfToBoth[16] = {0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13};
constexpr uint8_t kHighHalfToBoth[16] = {2, 3, 2, 3, 6, 7, 6, 7, 10, 11, 10, 11, 14, 15, 14, 15};
// Each pixel's luma into both bytes of its 16-bit lane.
constexpr uint8_t kLumaTwice[16] = {0, 0, 2, 2, 4, 4, 6, 6, 8, 8, 10, 10, 12, 12, 14, 14};
// Per pair lane, from a range descriptor (first0, count0, first1, count1): the two firsts, and
// the two counts, into the low and high byte of both 16-bit pixel halves.
constexpr uint8_t kRangeFirsts[16] = {0, 2, 0, 2, 4, 6, 4, 6, 8, 10, 8, 10, 12, 14, 12, 14};
constexpr uint8_t kRangeCounts[16] = {1, 3, 1, 3, 5, 7, 5, 7, 9, 11, 9, 11, 13, 15, 13, 15};

template <class V>
struct Constants {
  using I = typename V::I;
  using F = typename V::F;

  explicit Constants(const YuyvExactTables& t)
      : green(V::MakeGreenTable(t)), listedTable(V::MakeListedTable(t)) {
    static constexpr BgrShuffles kShuffles = MakeBgrShuffles();
    lowByte = V::Set16(0x00FF);
    uByte = V::Set32(0x0000FF00);
    vByte = V::Set32(0xFF000000u);
    neutralM = V::Set32(kGreenBias + (kGreenU + kGreenV) * kChromaOffset);
    rateBias = V::Set32(kBlueBias | uint32_t{kRedBias} << 16);
    rateMul = V::Set32(kBlueMul | uint32_t{kRedMul} << 16);
    rateBase = V::Set32(kBlueBase | uint32_t{kRedBase} << 16);
    greenMul =
        V::Set32(static_cast<uint16_t>(kGreenU) | uint32_t{static_cast<uint16_t>(kGreenV)} << 16);
    greenBias = V::Set32(kGreenBias);
    greenBase = V::Set32(kGreenBase);
    milli = V::SetF(1.0f / kGreenDivisor);
    divisor = V::Set32(kGreenDivisor);
    one16 = V::Set16(1);
    lowToBoth = V::Bytes(kLowHalfToBoth);
    highToBoth = V::Bytes(kHighHalfToBoth);
    lumaTwice = V::Bytes(kLumaTwice);
    rangeFirsts = V::Bytes(kRangeFirsts);
    rangeCounts = V::Bytes(kRangeCounts);
    vByteToLows = V::Bytes(kVByteToLows);
    headFromBg = V::Bytes(kShuffles.headFromBg);
    headFromR = V::Bytes(kShuffles.headFromR);
    tailFromBg = V::Bytes(kShuffles.tailFromBg);
    tailFromR = V::Bytes(kShuffles.tailFromR);
    headFromGr = V::Bytes(kShuffles.headFromGr);
    tailFromGr = V::Bytes(kShuffles.tailFromGr);
    // Unused list entries compare a masked byte against a value it can never have.
    anyBlue = false;
    for (int k = 0; k < kMaxListedChroma; ++k) {
      const bool used = k < t.listedCount;
      const bool red = used && t.listed[k].red;
      const uint8_t chroma = used ? t.listed[k].chroma : 0;
      listedIsRed[k] = red;
      listedValue[k] = V::Set32(!used ? 1u : red ? uint32_t{chroma} << 24 : uint32_t{chroma} << 8);
      // The same test on chroma bytes as 16-bit lanes: U low, V high; 0xFFFF never matches.
      listedChroma[k] = V::Set32(!used ? 0xFFFFFFFFu
                                 : red ? 0xFFFFu | uint32_t{chroma} << 16
                                       : 0xFFFF0000u | chroma);
      const uint16_t below = used ? t.listed[k].below : 0;
      listedRedBelow[k] = V::Set16(red ? below : 0);
      listedBlueBelow[k] = V::Set16(used && !red ? below : 0);
      anyBlue = anyBlue || (used && !red);
    }
  }

  typename V::GreenTable green;
  typename V::ListedTable listedTable;
  I lowByte, uByte, vByte, neutralM, rateBias, rateMul, rateBase, greenMul, greenBias, greenBase;
  F milli;
  I divisor;
  I one16, lowToBoth, highToBoth, lumaTwice, rangeFirsts, rangeCounts, vByteToLows;
  I headFromBg, headFromR, tailFromBg, tailFromR, headFromGr, tailFromGr;
  bool listedIsRed[kMaxListedChroma];
  I listedValue[kMaxListedChroma], listedChroma[kMaxListedChroma];
  I listedRedBelow[kMaxListedChroma], listedBlueBelow[kMaxListedChroma];
  bool anyBlue;
};

// The 16-bit pixel lanes whose luma falls in one of its pair's two ranges. Works on bytes: each
// pixel's luma sits in both its bytes, the first range is tested in the low byte and the second
// in the high byte.
template <class V>
inline typename V::M16 RangeHits(typename V::I lumaTwice, typename V::I ranges,
                                 const Constants<V>& k) {
  using I = typename V::I;
  const I first = V::Shuffle(ranges, k.rangeFirsts);
  const I count = V::Shuffle(ranges, k.rangeCounts);
  // count - (luma - first), saturating, is non-zero exactly when first <= luma < first + count.
  return V::NonZero16(V::SubsU8(count, V::Sub8(lumaTwice, first)));
}

// Blue, green and red bytes of a block in output order: 16 bytes of each 128-bit lane's 24 in
// `head`, the other 8 in the low half of `tail`.
template <class V>
inline void Interleave(typename V::I blue, typename V::I green, typename V::I red,
                       const Constants<V>& k, typename V::I* head, typename V::I* tail) {
  using I = typename V::I;
  const I bg = V::PackUs16(blue, green);
  const I rr = V::PackUs16(red, red);
  *head = V::Or(V::Shuffle(bg, k.headFromBg), V::Shuffle(rr, k.headFromR));
  *tail = V::Or(V::Shuffle(bg, k.tailFromBg), V::Shuffle(rr, k.tailFromR));
}

// Green's offset for each pair, from m = kGreenBias - 395 U - 581 V (per pair lane, from the
// chroma bytes `chroma` as 16-bit lanes): the quotient m / 1000, and whether the division is
// exact (all ones per pair lane). The quotient fits 16 bits, so 1000 q is one multiply-add.
template <class V>
inline typename V::I GreenQuotient(typename V::I chroma, const Constants<V>& k, typename V::I* m,
                                   typename V::M32* whole) {
  using I = typename V::I;
  *m = V::Add32(V::Madd16(chroma, k.greenMul), k.greenBias);
  const I quotient = V::TruncToInt(V::MulF(V::ToFloat(*m), k.milli));
  *whole = V::Cmpeq32(V::Madd16(quotient, k.divisor), *m);
  return quotient;
}

// The listed corrections of a block: the 16-bit pixel lanes where red (or blue, when a listed
// chroma byte is a U byte) is one below the exact floor.
template <class V>
inline void ListedCorrections(typename V::I w, typename V::I luma, const Constants<V>& k,
                              typename V::M16* blue, typename V::M16* red) {
  using I = typename V::I;
  if constexpr (V::kListedByTable) {
    // Every listed chroma byte is a V byte of 128 or more (the path is chosen only then): each
    // pixel lane looks its pair's V byte up, and has the bound of a listed one, else 0.
    *red = V::Less16(luma, V::LookUpHigh(V::Shuffle(w, k.vByteToLows), k.listedTable));
    return;
  }
  const I uMasked = V::And(w, k.uByte);
  const I vMasked = V::And(w, k.vByte);
  // Listed red and blue chroma bytes correct the lumas below a bound, 0 for other pairs.
  I redBelow = V::Zero(), blueBelow = V::Zero();
  for (int i = 0; i < kMaxListedChroma; ++i) {
    const typename V::M32 hit = V::Cmpeq32(k.listedIsRed[i] ? vMasked : uMasked, k.listedValue[i]);
    redBelow = V::OrWhere32(redBelow, hit, k.listedRedBelow[i]);
    if (k.anyBlue) blueBelow = V::OrWhere32(blueBelow, hit, k.listedBlueBelow[i]);
  }
  // Lumas and bounds are below 256: any 16-bit comparison orders them.
  *red = V::Less16(luma, redBelow);
  if (k.anyBlue) *blue = V::Less16(luma, blueBelow);
}

// The green corrections of a block, from its green exactness mask `whole`.
template <class V>
inline typename V::M16 GreenCorrections(typename V::I w, typename V::M32 whole,
                                        const Constants<V>& k) {
  const typename V::I ranges = V::GreenRanges(w, V::And(w, k.uByte), whole, k.green);
  return RangeHits<V>(V::Shuffle(w, k.lumaTwice), ranges, k);
}

// Which corrections a block makes as it converts: none (it holds the exact floors), the listed
// ones, or all.
enum class Fix { kNone, kListed, kAll };

// The flags of a block's pairs that may need a correction: green exactly whole (except for
// neutral U, which never does; `greenFlags` receives these alone, unless null), or a listed red
// or blue chroma byte. `chroma` holds the chroma bytes as 16-bit lanes, `m` green's numerator.
template <class V>
inline typename V::Flags Suspects(typename V::I chroma, typename V::I m, typename V::M32 whole,
                                  const Constants<V>& k, typename V::Flags* greenFlags) {
  // Neutral chroma is the one exact pair with U byte 128, so it is told apart by its m.
  const typename V::Flags green = V::Flag32(V::MaskAndNot32(V::Cmpeq32(m, k.neutralM), whole));
  typename V::Flags flagged = green;
  for (int i = 0; i < kMaxListedChroma; ++i) {
    flagged = V::FlagOr(flagged, V::Flag16(V::Cmpeq16(chroma, k.listedChroma[i])));
  }
  if (greenFlags != nullptr) *greenFlags = green;
  return flagged;
}

// Converts V::kPixels pixels (whole chroma pairs) from `src` into blue, green, red at `dst`, with
// the corrections `kFix` names, as pixels of kOut bytes: 3 (blue, green, red), or where the
// vector type permutes bytes also 4 (and 0), 6 (each channel a 16-bit word, the byte times 257)
// or 8 (those and 0xFFFF). With kFlagged, returns the block's Suspects (`greenFlags`, unless
// null, its green ones), else none. `whole` receives the green exactness mask, for Correct.
template <class V, Fix kFix, bool kFlagged, int kOut>
inline typename V::Flags Block(const uint8_t* src, uint8_t* dst, const Constants<V>& k,
                               typename V::M32* whole, typename V::Flags* greenFlags) {
  using I = typename V::I;
  const I w = V::Load(src);
  const I luma = V::And(w, k.lowByte);

  // Blue offset in each pair's low half, red in its high half.
  const I rate = V::Or(V::AndNot(k.lowByte, w), k.rateBias);
  const I blueRed =
      V::Sub16(V::template Srli16<kRateShift - 16>(V::MulHiU16(rate, k.rateMul)), k.rateBase);
  I blue = V::Add16(luma, V::Shuffle(blueRed, k.lowToBoth));
  I red = V::Add16(luma, V::Shuffle(blueRed, k.highToBoth));
  const I chroma = V::template Srli16<8>(w);
  I m;
  const I quotient = GreenQuotient<V>(chroma, k, &m, whole);
  I green = V::Add16(luma, V::Shuffle(V::Sub32(quotient, k.greenBase), k.lowToBoth));

  if constexpr (kFix != Fix::kNone) {
    typename V::M16 lowerBlue{}, lowerRed;
    ListedCorrections<V>(w, luma, k, &lowerBlue, &lowerRed);
    if (k.anyBlue) blue = V::Dec16(blue, lowerBlue, k.one16);
    red = V::Dec16(red, lowerRed, k.one16);
  }
  if constexpr (kFix == Fix::kAll)
    green = V::Dec16(green, GreenCorrections<V>(w, *whole, k), k.one16);

  static_assert(kOut == 3 || V::kPermutesBytes);
  if constexpr (V::kPermutesBytes) {
    V::template StorePacked<kOut>(dst, V::PackUs16(blue, green), V::PackUs16(red, red));
  } else {
    I head, tail;
    Interleave<V>(blue, green, red, k, &head, &tail);
    V::StoreBgr(dst, head, tail);
  }
  if constexpr (kFlagged) {
    return Suspects<V>(chroma, m, *whole, k, greenFlags);
  } else {
    return typename V::Flags{};
  }
}

// A block's Suspects and green exactness mask, without converting it.
template <class V>
inline typename V::Flags Suspicion(const uint8_t* src, const Constants<V>& k,
                                   typename V::M32* whole, typename V::Flags* greenFlags) {
  const typename V::I chroma = V::template Srli16<8>(V::Load(src));
  typename V::I m;
  GreenQuotient<V>(chroma, k, &m, whole);
  return Suspects<V>(chroma, m, *whole, k, greenFlags);
}

// Lowers by one the output bytes of a block that Block converted without its green corrections
// (kListed: nor the listed ones). The tables only list lumas where the reference is also one
// below after clamping.
template <class V, bool kListed, int kOut>
inline void Correct(const uint8_t* src, uint8_t* dst, typename V::M32 whole,
                    const Constants<V>& k) {
  using I = typename V::I;
  const I w = V::Load(src);
  const I greenOnes = V::OneWhere16(GreenCorrections<V>(w, whole, k), k.one16);
  if constexpr (V::kPermutesBytes) {
    // Ones laid out as Block stores the pixels; a wide channel's word is v * 257, and v - 1 is
    // 257 less: one off each of its bytes.
    I blueOnes = V::Zero(), redOnes = V::Zero();
    if (kListed) {
      typename V::M16 blue{}, red{};
      ListedCorrections<V>(w, V::And(w, k.lowByte), k, &blue, &red);
      redOnes = V::OneWhere16(red, k.one16);
      if (k.anyBlue) blueOnes = V::OneWhere16(blue, k.one16);
    }
    V::template SubtractPacked<kOut>(dst, V::PackUs16(blueOnes, greenOnes),
                                     V::PackUs16(redOnes, redOnes));
    return;
  }
  I head, tail;
  if (!kListed) {
    head = V::Shuffle(greenOnes, k.headFromGr);
    tail = V::Shuffle(greenOnes, k.tailFromGr);
  } else {
    typename V::M16 blue{}, red;
    ListedCorrections<V>(w, V::And(w, k.lowByte), k, &blue, &red);
    const I redOnes = V::OneWhere16(red, k.one16);
    if (k.anyBlue) {
      Interleave<V>(V::OneWhere16(blue, k.one16), greenOnes, redOnes, k, &head, &tail);
    } else {
      // Green and red only: both fit one register, one byte each per pixel.
      const I greenRed = V::Or(greenOnes, V::template Slli16<8>(redOnes));
      head = V::Shuffle(greenRed, k.headFromGr);
      tail = V::Shuffle(greenRed, k.tailFromGr);
    }
  }
  V::SubtractBgr(dst, head, tail);
}

// How a row's blocks are corrected, carried from run to run and row to row.
enum class Mode { kAfterwards, kListedAtOnce, kAllAtOnce };

// Converts the largest whole number of blocks in `pixels` and returns how many pixels that was.
//
// Blocks go in runs. Where few blocks need corrections, a run converts every block from the
// exact floors and only gathers the flags of all; a run with a flag set (rare in a natural
// picture) is looked at again block by block, and its flagged blocks are corrected. The loop
// has no branch that depends on the picture and no bookkeeping per block. Where most blocks need
// corrections, the next runs make the listed corrections (a few comparisons) in each block as it
// goes, which costs less than converting and correcting apart, and correct green afterwards in
// the blocks that may need it; where most of those do as well (or green costs little), green is
// corrected at once too, and only every fourth block is looked at to see whether the picture
// has changed.
template <class V, int kOut = 3>
inline int32_t Row(const uint8_t* src, uint8_t* __restrict dst, int32_t pixels,
                   const Constants<V>& k, Mode* mode) {
  constexpr int32_t kRun = 64;
  constexpr int32_t kSampleEvery = 4;
  int32_t flagged[kRun];
  typename V::M32 whole[kRun];
  int32_t done = 0;
  while (done + V::kPixels <= pixels) {
    const int32_t start = done;
    // Of the blocks looked at: those that may need corrections, and green ones among them.
    int32_t looked = 0, count = 0, green = 0;
    typename V::M32 exact;
    typename V::Flags greenFlags{};
    if (*mode == Mode::kAfterwards) {
      typename V::Flags any{};
      for (; looked < kRun && done + V::kPixels <= pixels; ++looked, done += V::kPixels) {
        any = V::FlagOr(any, Block<V, Fix::kNone, true, kOut>(src + 2 * done, dst + kOut * done, k,
                                                              &exact, nullptr));
      }
      if (!V::AnyFlag(any)) continue;
      for (int32_t at = start; at < done; at += V::kPixels) {
        if (!V::AnyFlag(Suspicion<V>(src + 2 * at, k, &exact, &greenFlags))) continue;
        Correct<V, true, kOut>(src + 2 * at, dst + kOut * at, exact, k);
        ++count;
        green += V::AnyFlag(greenFlags) ? 1 : 0;
      }
    } else if (*mode == Mode::kAllAtOnce) {
      for (int32_t blocks = 0; blocks < kRun && done + V::kPixels <= pixels;
           ++blocks, done += V::kPixels) {
        if (blocks % kSampleEvery != 0) {
          Block<V, Fix::kAll, false, kOut>(src + 2 * done, dst + kOut * done, k, &exact, nullptr);
          continue;
        }
        ++looked;
        count += V::AnyFlag(Block<V, Fix::kAll, true, kOut>(src + 2 * done, dst + kOut * done, k,
                                                            &exact, &greenFlags))
                     ? 1
                     : 0;
        green += V::AnyFlag(greenFlags) ? 1 : 0;
      }
    } else {
      for (; looked < kRun && done + V::kPixels <= pixels; ++looked, done += V::kPixels) {
        flagged[green] = done;
        count += V::AnyFlag(Block<V, Fix::kListed, true, kOut>(src + 2 * done, dst + kOut * done, k,
                                                               &whole[green], &greenFlags))
                     ? 1
                     : 0;
        green += V::AnyFlag(greenFlags) ? 1 : 0;
      }
      for (int32_t i = 0; i < green; ++i) {
        Correct<V, false, kOut>(src + 2 * flagged[i], dst + kOut * flagged[i], whole[i], k);
      }
    }
    *mode = 2 * count <= looked                    ? Mode::kAfterwards
            : V::kCheapGreen || 2 * green > looked ? Mode::kAllAtOnce
                                                   : Mode::kListedAtOnce;
  }
  return done;
}

// One row through the loop. The constants are made once; the loop reads them where they lie, and
// its destination is declared not to alias them (nor the source), so that they stay in registers
// across its stores. Each thread carries its way of correcting blocks from row to row.
template <class V, int kOut = 3>
int32_t ConvertRow(const uint8_t* src, uint8_t* dst, int32_t pixels) {
  static const Constants<V> kConstants(YuyvTables());
  static thread_local Mode mode = Mode::kAfterwards;
  return Row<V, kOut>(src, dst, pixels, kConstants, &mode);
}

}  // namespace zelcnv::imaging::yuyv_simd
