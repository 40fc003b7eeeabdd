// What each colour mode does, in one table that every path reads: which pictures a stream sizes,
// the sample width, the conversion from the native frame, what the preview window draws and how,
// and how the recorder makes its 24-bit frame.
#pragma once

#include <cstdint>

#include "imaging/kernels.h"

namespace zelcnv::camera {

// Colour mode index and the bits per pixel it stands for.
enum ColourModeIndex : int { kMode8, kMode16, kMode24, kMode32, kMode48, kMode64 };
constexpr int kColourModeCount = 6;
constexpr int kDefaultColourMode = kMode24;

// The camera object's eight bitmaps, in field order.
enum BitmapIndex : int {
  kBitmap8,
  kBitmap16,
  kBitmap24,
  kBitmap32,
  kBitmap48,
  kBitmap64,
  kNativeBitmap,
  kDisplayBitmap,
  kBitmapCount,
  kNoBitmap = kBitmapCount,
};

// How the recorder turns the output picture into the file's 24-bit frame, top row first.
enum class RecordConversion {
  kThroughColourTable,  // 8 bits: a device-context copy applies the grey colour table
  kGreyFromTenBits,     // 16 bits: samples read as 10-bit grey, then through the colour table
  kColourFromTenBits,   // 48 and 64 bits: channels read as 10-bit words
  kColour24,            // 24 and 32 bits: the first three bytes of each pixel
};

struct BitmapSize {
  BitmapIndex bitmap;
  uint16_t bits;
};

struct ColourModeTraits {
  int bitsPerPixel;
  BitmapIndex output;
  // The pictures a stream in this mode sizes, in this order (kNoBitmap ends the list).
  BitmapSize sized[3];
  // The native frame takes the format of this picture: grey samples or YUYV pairs.
  BitmapIndex nativeLike;
  bool twoByteSamples;
  // Native frame to output picture, rows turned over; null: no conversion fills it.
  imaging::BlitKernel toOutput;
  // The picture the preview window shows, filled from the output picture by `toShown` unless
  // that is null (then it is the output picture itself).
  BitmapIndex shown;
  imaging::BlitKernel toShown;
  // The window's own picture when the shown one is scaled to the client area.
  uint16_t displayBits;
  imaging::StretchKernel stretch;
  bool alwaysScaled;
  RecordConversion record;
};

constexpr ColourModeTraits kColourModes[kColourModeCount] = {
    {8,
     kBitmap8,
     {{kBitmap8, 8}, {kNoBitmap, 0}, {kNoBitmap, 0}},
     kBitmap8,
     false,
     imaging::CopyGray8Flip,
     kBitmap8,
     nullptr,
     8,
     imaging::StretchGray8,
     false,
     RecordConversion::kThroughColourTable},
    {16,
     kBitmap16,
     {{kBitmap8, 8}, {kBitmap16, 16}, {kNoBitmap, 0}},
     kBitmap16,
     true,
     imaging::CopyYuv16Flip,
     kBitmap8,
     imaging::Gray16ToGray8,
     8,
     imaging::StretchGray8,
     true,
     RecordConversion::kGreyFromTenBits},
    {24,
     kBitmap24,
     {{kBitmap16, 16}, {kBitmap24, 24}, {kNoBitmap, 0}},
     kBitmap16,
     true,
     imaging::YuyvToBgr24Flip,
     kBitmap24,
     nullptr,
     24,
     imaging::StretchColor24,
     false,
     RecordConversion::kColour24},
    {32,
     kBitmap32,
     {{kBitmap16, 16}, {kBitmap24, 24}, {kBitmap32, 32}},
     kBitmap16,
     true,
     nullptr,
     kBitmap24,
     imaging::CopyColor24,
     24,
     imaging::StretchColor24,
     false,
     RecordConversion::kColour24},
    {48,
     kBitmap48,
     {{kBitmap16, 16}, {kBitmap24, 24}, {kBitmap48, 48}},
     kBitmap16,
     true,
     nullptr,
     kBitmap24,
     imaging::Color48ToColor24,
     24,
     imaging::StretchColor24,
     false,
     RecordConversion::kColourFromTenBits},
    {64,
     kBitmap64,
     {{kBitmap16, 16}, {kBitmap24, 24}, {kBitmap64, 64}},
     kBitmap16,
     true,
     nullptr,
     kBitmap24,
     imaging::Color48ToColor24,
     24,
     imaging::StretchColor24,
     false,
     RecordConversion::kColourFromTenBits},
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

static_assert(ModeIndexOfBits(24) == kDefaultColourMode);
static_assert(kColourModes[kMode64].output == kBitmap64);

}  // namespace zelcnv::camera
