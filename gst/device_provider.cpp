// The device provider: each converter present is a device whose element is zelcnvsrc at its
// index. While monitored, a message window of the library receives the device watch's
// MSG_DEVICE_CHANGE, read on a thread of the provider's own.
#include "device_provider.h"

#include <array>
#include <string>
#include <thread>

#include "ZelCnvPosix.h"
#include "ZelCnvSdk.h"
#include "ZelCnvSdkEx.h"
#include "converter_caps.h"

GST_DEBUG_CATEGORY_STATIC(zelcnv_provider_debug);
#define GST_CAT_DEFAULT zelcnv_provider_debug

namespace zelcnv::gst {

namespace {

// --- The device: a converter index. ---

struct ZelCnvDevice {
  GstDevice parent;
  int index;
};

struct ZelCnvDeviceClass {
  GstDeviceClass parent_class;
};

GType zelcnv_device_get_type();
G_DEFINE_TYPE(ZelCnvDevice, zelcnv_device, GST_TYPE_DEVICE)

GstElement* CreateElement(GstDevice* device, const gchar* name) {
  GstElement* element = gst_element_factory_make("zelcnvsrc", name);
  if (element != nullptr) {
    g_object_set(element, "device", reinterpret_cast<ZelCnvDevice*>(device)->index, nullptr);
  }
  return element;
}

gboolean ReconfigureElement(GstDevice* device, GstElement* element) {
  if (g_strcmp0(GST_OBJECT_NAME(gst_element_get_factory(element)), "zelcnvsrc") != 0) {
    return FALSE;
  }
  g_object_set(element, "device", reinterpret_cast<ZelCnvDevice*>(device)->index, nullptr);
  return TRUE;
}

void zelcnv_device_class_init(ZelCnvDeviceClass* klass) {
  GST_DEVICE_CLASS(klass)->create_element = CreateElement;
  GST_DEVICE_CLASS(klass)->reconfigure_element = ReconfigureElement;
}

void zelcnv_device_init(ZelCnvDevice* self) {
  self->index = 0;
}

GstDevice* MakeDevice(int index, const char* name) {
  GstCaps* caps = ConverterCaps(-1, -1);
  char path[32];
  g_snprintf(path, sizeof path, "\\\\.\\ZQVD-%d", index);
  GstStructure* properties =
      gst_structure_new("zelcnv-proplist", "device.api", G_TYPE_STRING, "zelcnv", "device.index",
                        G_TYPE_INT, index, "device.path", G_TYPE_STRING, path, nullptr);
  auto* device = static_cast<ZelCnvDevice*>(
      g_object_new(zelcnv_device_get_type(), "display-name", name, "device-class", "Video/Source",
                   "caps", caps, "properties", properties, nullptr));
  device->index = index;
  gst_caps_unref(caps);
  gst_structure_free(properties);
  return GST_DEVICE(device);
}

// The converters a handle sees, as devices (floating references).
GList* PresentDevices(int handle) {
  GList* devices = nullptr;
  for (int i = 0; i < ZELCNV_MAX_DEVICES; ++i) {
    char name[ZELCNV_DEVICE_NAME_CHARS] = {};
    if (ZelCam_GetDeviceName(handle, i, name, sizeof name) == 1) {
      devices = g_list_append(devices, MakeDevice(i, name));
    }
  }
  return devices;
}

// --- The provider. ---

struct ProviderState {
  HWND window = nullptr;
  int handle = 0;
  std::thread reader;
  std::array<GstDevice*, ZELCNV_MAX_DEVICES> devices{};  // our references to what was added
};

struct ZelCnvDeviceProvider {
  GstDeviceProvider parent;
  ProviderState* state;
};

struct ZelCnvDeviceProviderClass {
  GstDeviceProviderClass parent_class;
};

GType zelcnv_device_provider_get_type();
G_DEFINE_TYPE(ZelCnvDeviceProvider, zelcnv_device_provider, GST_TYPE_DEVICE_PROVIDER)

ProviderState& State(GstDeviceProvider* provider) {
  return *reinterpret_cast<ZelCnvDeviceProvider*>(provider)->state;
}

GList* Probe(GstDeviceProvider*) {
  const int handle = ZelCam_Initialize(nullptr);
  if (handle == 0) return nullptr;
  GList* devices = PresentDevices(handle);
  ZelCam_Release(handle);
  return devices;
}

void Add(GstDeviceProvider* provider, GstDevice* device) {
  ProviderState& s = State(provider);
  const int index = reinterpret_cast<ZelCnvDevice*>(device)->index;
  if (s.devices[index] != nullptr) {
    gst_object_ref_sink(device);
    gst_object_unref(device);
    return;
  }
  s.devices[index] = GST_DEVICE(gst_object_ref(device));
  gst_device_provider_device_add(provider, device);
}

void Remove(GstDeviceProvider* provider, int index) {
  ProviderState& s = State(provider);
  if (s.devices[index] == nullptr) return;
  gst_device_provider_device_remove(provider, s.devices[index]);
  gst_object_unref(s.devices[index]);
  s.devices[index] = nullptr;
}

// The reader: every change the watch posts, until the window is destroyed.
void ReadChanges(GstDeviceProvider* provider) {
  ProviderState& s = State(provider);
  ZelCnvMessage message{};
  while (ZelCnv_GetMessage(s.window, &message, -1) == 1) {
    if (message.message != MSG_DEVICE_CHANGE || message.wParam >= ZELCNV_MAX_DEVICES) continue;
    const int index = static_cast<int>(message.wParam);
    if (message.lParam == 0) {
      GST_INFO_OBJECT(provider, "converter %d removed", index);
      Remove(provider, index);
      continue;
    }
    char name[ZELCNV_DEVICE_NAME_CHARS] = {};
    if (ZelCam_GetDeviceName(s.handle, index, name, sizeof name) == 1) {
      GST_INFO_OBJECT(provider, "converter %d arrived: %s", index, name);
      Add(provider, MakeDevice(index, name));
    }
  }
}

gboolean Start(GstDeviceProvider* provider) {
  ProviderState& s = State(provider);
  s.window = ZelCnv_CreateMessageWindow();
  if (s.window == nullptr) return FALSE;
  s.handle = ZelCam_Initialize(s.window);
  if (s.handle == 0 || ZelCnvEx_WatchDevices(s.handle, 1) != 1) {
    if (s.handle != 0) ZelCam_Release(s.handle);
    ZelCnv_DestroyMessageWindow(s.window);
    s.handle = 0;
    s.window = nullptr;
    return FALSE;
  }
  GList* present = PresentDevices(s.handle);
  for (GList* d = present; d != nullptr; d = d->next) Add(provider, GST_DEVICE(d->data));
  g_list_free(present);
  s.reader = std::thread(ReadChanges, provider);
  return TRUE;
}

void Stop(GstDeviceProvider* provider) {
  ProviderState& s = State(provider);
  if (s.window == nullptr) return;
  // Destroying the window ends the reader's wait.
  ZelCnv_DestroyMessageWindow(s.window);
  if (s.reader.joinable()) s.reader.join();
  ZelCnvEx_WatchDevices(s.handle, 0);
  ZelCam_Release(s.handle);
  s.handle = 0;
  s.window = nullptr;
  for (int i = 0; i < ZELCNV_MAX_DEVICES; ++i) Remove(provider, i);
}

void Finalize(GObject* object) {
  delete reinterpret_cast<ZelCnvDeviceProvider*>(object)->state;
  G_OBJECT_CLASS(zelcnv_device_provider_parent_class)->finalize(object);
}

void zelcnv_device_provider_class_init(ZelCnvDeviceProviderClass* klass) {
  GstDeviceProviderClass* provider = GST_DEVICE_PROVIDER_CLASS(klass);
  G_OBJECT_CLASS(klass)->finalize = Finalize;
  provider->probe = Probe;
  provider->start = Start;
  provider->stop = Stop;
  gst_device_provider_class_set_static_metadata(
      provider, "ZelCnv converter provider", "Source/Video", "Lists ZelCnv analog-video converters",
      "ZelCnvSdk developers");
  GST_DEBUG_CATEGORY_INIT(zelcnv_provider_debug, "zelcnvprovider", 0, "ZelCnv device provider");
}

void zelcnv_device_provider_init(ZelCnvDeviceProvider* self) {
  self->state = new ProviderState;
}

}  // namespace

GType DeviceProviderType() {
  return zelcnv_device_provider_get_type();
}

}  // namespace zelcnv::gst
