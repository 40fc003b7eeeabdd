// The converters as GStreamer devices: listed by probing, followed through the library's device
// watch while monitored.
#pragma once

#include <gst/gst.h>

namespace zelcnv::gst {

GType DeviceProviderType();

}  // namespace zelcnv::gst
