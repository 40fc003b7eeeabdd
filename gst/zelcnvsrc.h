// zelcnvsrc: a converter as a live GStreamer source.
#pragma once

#include <gst/gst.h>

namespace zelcnv::gst {

GType SourceType();

}  // namespace zelcnv::gst
