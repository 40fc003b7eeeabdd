// What each colour mode does, in one table that every path reads: the native frame and the sample
// width, the conversion into the output picture, the colour picture the preview window draws and
// the recorder writes, and what still images are written from.
#pragma once

#include <cstdint>

#include "imaging/kernels.h"

namespace zelcnv::camera {

// Colour mode index and the bits per pixel it stands for.
enum ColourModeIndex : int { kMode8, kMode16, kMode24, kMode32, kMode48, kMode64 };
constexpr int kColourModeCount = 6;
constexpr int kDefaultColourMode = kMode24;

struct ColourModeTraits {
  int bitsPerPixel;  // of the output picture
  // The native frame: grey samples (8 bits, one-byte samples) or YUYV pairs (16 bits).
  uint16_t nativeBits;
  bool twoByteSamples;
  // Native samples to the output picture's pixels, which the stream runs on each field of a raw
  // frame; null where the output picture holds the native samples themselves.
  const imaging::RowKernel* toOutput;
  // The preview window and the recorder take the output picture itself (null), or the 24-bit
  // colour picture (colour_picture.h) that this makes of it.
  const imaging::RowKernel* toShown;
  // The window's own picture when the shown one is scaled to the client area.
  uint16_t displayBits;
  imaging::StretchFn* stretch;
  // Still images are written from the colour picture (the output picture is not colour to a
  // reader), or else from the output picture itself; raw files always hold the output picture's
  // own bytes.
  bool stillInColour;
};

constexpr ColourModeTraits kColourModes[kColourModeCount] = {
    {8, 8, false, nullptr, nullptr, 8, imaging::StretchGray8, false},
    // The application receives the YUYV pairs; the window, stills and recordings show the
    // colour picture they carry.
    {16, 16, true, nullptr, &imaging::kYuyvToBgr24, 24, imaging::StretchBgr24, true},
    {24, 16, true, &imaging::kYuyvToBgr24, nullptr, 24, imaging::StretchBgr24, false},
    {32, 16, true, &imaging::kYuyvToBgrx32, &imaging::kBgrx32ToBgr24, 24, imaging::StretchBgr24,
     false},
    {48, 16, true, &imaging::kYuyvToBgr48, &imaging::kBgr48ToBgr24, 24, imaging::StretchBgr24,
     false},
    {64, 16, true, &imaging::kYuyvToBgra64, &imaging::kBgra64ToBgr24, 24, imaging::StretchBgr24,
     false},
};

// The traits of colour mode `index`; null outside the table (a damaged stored setting).
constexpr const ColourModeTraits* ModeTraits(int index) {
  return index >= 0 && index < kColourModeCount ? &kColourModes[index] : nullptr;
}

// The index of the mode with `bitsPerPixel`, or -1.
constexpr int ModeIndexOfBits(int bitsPerPixel) {
  for (int index = 0; index < kColourModeCount; ++index) {
    if (kColourModes[index].bitsPerPixel == bitsPerPixel) return index;
  }
  return -1;
}

// Each mode's kernels read and write pixels of its sizes.
constexpr bool KernelsFitModes() {
  for (const ColourModeTraits& mode : kColourModes) {
    const int sample = mode.twoByteSamples ? 2 : 1;
    const imaging::RowKernel* out = mode.toOutput;
    if (out == nullptr ? mode.bitsPerPixel != mode.nativeBits
                       : out->srcBytes != sample || out->dstBytes * 8 != mode.bitsPerPixel) {
      return false;
    }
    if (mode.toShown != nullptr && mode.toShown->srcBytes * 8 != mode.bitsPerPixel) return false;
  }
  return true;
}

static_assert(ModeIndexOfBits(24) == kDefaultColourMode);
static_assert(KernelsFitModes());
static_assert(kColourModes[kMode64].bitsPerPixel == 64);

}  // namespace zelcnv::camera
