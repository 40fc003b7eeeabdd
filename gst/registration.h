// What the plugin registers: the zelcnvsrc element and the device provider. Test programs
// register them into a static plugin of their own.
#pragma once

#include <gst/gst.h>

namespace zelcnv::gst {

gboolean RegisterFeatures(GstPlugin* plugin);

}  // namespace zelcnv::gst
