#include "registration.h"

#include "device_provider.h"
#include "zelcnvsrc.h"

namespace zelcnv::gst {

gboolean RegisterFeatures(GstPlugin* plugin) {
  return gst_element_register(plugin, "zelcnvsrc", GST_RANK_NONE, SourceType()) &&
         gst_device_provider_register(plugin, "zelcnvdeviceprovider", GST_RANK_PRIMARY,
                                      DeviceProviderType());
}

}  // namespace zelcnv::gst
