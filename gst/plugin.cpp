// The zelcnv plugin: the zelcnvsrc element and the converters' device provider.
//
// ZELCNV_GST_SIMULATE="INDEX:WORDS[;INDEX:WORDS...]" attaches simulated converters when the plugin
// loads (WORDS as zelcnv --sim= takes them), so that device listings and pipelines can be tried
// with no hardware, gst-device-monitor-1.0 included.
#include <gst/gst.h>

#include <cstdlib>
#include <string>

#include "ZelCnvSim.h"
#include "registration.h"

namespace {

void AttachFromEnvironment() {
  const char* text = std::getenv("ZELCNV_GST_SIMULATE");
  if (text == nullptr) return;
  gchar** entries = g_strsplit(text, ";", ZELSIM_MAX_DEVICES);
  for (gchar** entry = entries; *entry != nullptr; ++entry) {
    const std::string item = *entry;
    const size_t colon = item.find(':');
    char* end = nullptr;
    const long index = std::strtol(item.c_str(), &end, 10);
    if (item.empty() || end == item.c_str() ||
        (colon != std::string::npos && end != item.c_str() + colon) ||
        (colon == std::string::npos && *end != '\0') || index < 0 || index >= ZELSIM_MAX_DEVICES ||
        ZelSim_Attach(static_cast<int>(index),
                      colon == std::string::npos ? nullptr : item.c_str() + colon + 1) != 1) {
      g_warning("ZELCNV_GST_SIMULATE: \"%s\" attaches no simulated converter", item.c_str());
    }
  }
  g_strfreev(entries);
}

gboolean PluginInit(GstPlugin* plugin) {
  AttachFromEnvironment();
  return zelcnv::gst::RegisterFeatures(plugin);
}

}  // namespace

#define PACKAGE "zelcnvsdk"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, zelcnv, "ZelCnv analog-video converters",
                  PluginInit, ZELCNV_VERSION, "Proprietary", "ZelCnvSdk", "ZelCnvSdk")
