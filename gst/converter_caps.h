// What the converter can deliver, as GStreamer caps: its four colour modes as video formats, and
// the picture sizes of its sampling rates under each video standard.
#pragma once

#include <gst/gst.h>
#include <gst/video/video.h>

#include "converter_picture.h"

namespace zelcnv::gst {

using adapters::Is625;
using adapters::kSamplingCodes;
using adapters::PictureSize;
using adapters::SizeFor;

GstClockTime FramePeriod(int standard);

// The colour mode behind a video format, 0 for one the converter does not deliver.
int BitsFor(GstVideoFormat format);

// The sampling code whose picture is width x height under standard, -1 for none.
int SamplingCodeFor(int standard, int width, int height);

// Caps for one standard (its sizes, the preferred sampling code's first) or, with standard < 0,
// for every standard the converter decodes. Interlaced, top field first.
GstCaps* ConverterCaps(int standard, int preferredCode);

}  // namespace zelcnv::gst
