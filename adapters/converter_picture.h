// The converter's pictures as the adapters over the public API (the GStreamer element, the
// DirectShow filter) describe them: the size each sampling code gives under each video standard,
// and which standards run at 25 frames per second.
#pragma once

#include "ZelCnvSdk.h"

namespace zelcnv::adapters {

inline constexpr int kSamplingCodes = 4;

struct PictureSize {
  int width = 0;
  int height = 0;
};

// By sampling code (wide high-speed, wide low-speed, normal high-speed, normal low-speed), from
// the converter's timing tables; 625-line wide has one timing row whatever the sampling rate.
inline constexpr PictureSize k525[kSamplingCodes] = {
    {720, 470}, {720, 480}, {640, 470}, {640, 480}};
inline constexpr PictureSize k625[kSamplingCodes] = {
    {720, 560}, {720, 570}, {768, 560}, {768, 570}};
inline constexpr PictureSize k625Wide = {860, 558};

// The picture a sampling code (0..3) gives under a video standard (ZELCNV_VIDEO_*); zero for a
// standard the converter cannot decode (525-line wide), an unknown one or an unknown code.
inline PictureSize SizeFor(int standard, int samplingCode) {
  if (samplingCode < 0 || samplingCode >= kSamplingCodes) return {};
  switch (standard) {
    case ZELCNV_VIDEO_525_LINE:
      return k525[samplingCode];
    case ZELCNV_VIDEO_625_LINE:
      return k625[samplingCode];
    case ZELCNV_VIDEO_625_LINE_WIDE:
      return k625Wide;
    default:
      return {};
  }
}

// 625-line standards run at 25 frames per second, the others at 30000/1001.
inline bool Is625(int standard) {
  return standard == ZELCNV_VIDEO_625_LINE || standard == ZELCNV_VIDEO_625_LINE_WIDE;
}

}  // namespace zelcnv::adapters
