// What the converter can deliver, as GStreamer caps: its four colour modes as video formats, and
// the picture sizes of its sampling rates under each video standard.
#pragma once

#include <gst/gst.h>
#include <gst/video/video.h>

namespace zelcnv::gst {

inline constexpr int kSamplingCodes = 4;

struct PictureSize {
  int width = 0;
  int height = 0;
};

// The picture a sampling code (0..3) gives under a video standard (ZELCNV_VIDEO_*); zero for a
// standard the converter cannot decode (525-line wide) or an unknown one.
PictureSize SizeFor(int standard, int samplingCode);

// 625-line standards run at 25 frames per second, the others at 30000/1001.
bool Is625(int standard);
GstClockTime FramePeriod(int standard);

// The colour mode behind a video format, 0 for one the converter does not deliver.
int BitsFor(GstVideoFormat format);

// The sampling code whose picture is width x height under standard, -1 for none.
int SamplingCodeFor(int standard, int width, int height);

// Caps for one standard (its sizes, the preferred sampling code's first) or, with standard < 0,
// for every standard the converter decodes. Interlaced, top field first.
GstCaps* ConverterCaps(int standard, int preferredCode);

}  // namespace zelcnv::gst
