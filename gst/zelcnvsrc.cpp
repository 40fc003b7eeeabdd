// zelcnvsrc: the converter as a live source. Frames come from ZelCnvEx_WaitFrame straight into
// the pipeline's buffers, in the layout GStreamer's video formats use (rows padded to 4 bytes,
// top row first), stamped with the pipeline clock at their capture time.
#include "zelcnvsrc.h"

#include <gst/base/gstpushsrc.h>
#include <gst/video/colorbalance.h>
#include <gst/video/gstvideopool.h>

#include <array>
#include <atomic>
#include <string>

#include "ZelCnvSdk.h"
#include "ZelCnvSdkEx.h"
#include "ZelCnvSim.h"
#include "converter_caps.h"

GST_DEBUG_CATEGORY_STATIC(zelcnvsrc_debug);
#define GST_CAT_DEFAULT zelcnvsrc_debug

namespace zelcnv::gst {

namespace {

// A wait for a frame is cut in slices so that a flush or a state change ends it promptly.
constexpr int kWaitSliceMs = 50;
// The library's ring of frames: the most a frame can be late by and still be delivered.
constexpr int kRingFrames = 10;
// A capture time more than this away from the clock mapping in use means the clock jumped.
constexpr GstClockTimeDiff kClockJump = GST_SECOND;

enum Control { kBrightness, kContrast, kHue, kSaturation, kControls };
constexpr const char* kControlNames[kControls] = {"BRIGHTNESS", "CONTRAST", "HUE", "SATURATION"};

enum Property {
  kPropDevice = 1,
  kPropDeviceName,
  kPropStandard,
  kPropInput,
  kPropBrightness,
  kPropContrast,
  kPropHue,
  kPropSaturation,
  kPropSimulate,
  kPropAutoResume,
};

// Everything the element keeps besides its GObject parts. Settings are guarded by the object
// lock; what the streaming thread alone uses is not.
struct SourceState {
  // Settings.
  int device = 0;
  int input = 0;
  std::array<int, kControls> controls{-1, -1, -1, -1};  // -1: as the user's stored settings
  std::string simulate;
  bool autoResume = false;

  // The open converter.
  std::atomic<int> handle{0};
  std::atomic<int> standard{-1};
  std::string deviceName;
  int openDevice = -1;  // the index opened, for the streaming thread's messages
  // The user's stored colour mode and sampling rate, which negotiation changes: put back at stop.
  int userColourMode = -1;
  int userSamplingCode = -1;
  bool attached = false;
  std::atomic<bool> unlocked{false};

  // The stream, seen from the streaming thread.
  GstVideoInfo info{};
  bool negotiated = false;
  bool haveLast = false;
  guint64 lastSequence = 0;
  guint64 delivered = 0;
  guint64 lost = 0;
  bool discont = false;
  bool away = false;
  int resumesSeen = 0;
  // The pipeline clock minus the library's, both in nanoseconds, taken at a stream's first frame.
  GstClock* mappedClock = nullptr;
  GstClockTimeDiff clockOffset = 0;

  GList* channels = nullptr;
};

struct ZelCnvSrc {
  GstPushSrc parent;
  SourceState* state;
};

struct ZelCnvSrcClass {
  GstPushSrcClass parent_class;
};

GType zelcnv_src_get_type();
void ColorBalanceInit(GstColorBalanceInterface* iface);
G_DEFINE_TYPE_WITH_CODE(ZelCnvSrc, zelcnv_src, GST_TYPE_PUSH_SRC,
                        G_IMPLEMENT_INTERFACE(GST_TYPE_COLOR_BALANCE, ColorBalanceInit))

SourceState& State(gpointer object) {
  return *reinterpret_cast<ZelCnvSrc*>(object)->state;
}

GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/x-raw, format = (string) { BGR, BGRx, YUY2, GRAY8 }, "
                    "width = (int) [ 640, 860 ], height = (int) [ 470, 570 ], "
                    "framerate = (fraction) { 30000/1001, 25/1 }, "
                    "interlace-mode = (string) interleaved, "
                    "field-order = (string) top-field-first"));

GType StandardType() {
  static GType type = 0;
  if (g_once_init_enter(&type)) {
    static const GEnumValue values[] = {
        {-1, "No converter open", "none"},
        {ZELCNV_VIDEO_525_LINE, "525 lines, 29.97 frames/s", "525-line"},
        {ZELCNV_VIDEO_625_LINE, "625 lines, 25 frames/s", "625-line"},
        {ZELCNV_VIDEO_525_LINE_WIDE, "525 lines, wide (not decoded)", "525-line-wide"},
        {ZELCNV_VIDEO_625_LINE_WIDE, "625 lines, wide", "625-line-wide"},
        {0, nullptr, nullptr}};
    g_once_init_leave(&type, g_enum_register_static("ZelCnvStandard", values));
  }
  return type;
}

int ReadControl(int handle, int control) {
  int valid = 0, value = 0;
  switch (control) {
    case kBrightness:
      value = ZelCam_GetBrightness(handle, &valid);
      break;
    case kContrast:
      value = ZelCam_GetContrast(handle, &valid);
      break;
    case kHue:
      value = ZelCam_GetHue(handle, &valid);
      break;
    default:
      value = ZelCam_GetSaturation(handle, &valid);
      break;
  }
  return valid == 1 ? value : -1;
}

bool WriteControl(int handle, int control, int value) {
  switch (control) {
    case kBrightness:
      return ZelCam_SetBrightness(handle, value) == 1;
    case kContrast:
      return ZelCam_SetContrast(handle, value) == 1;
    case kHue:
      return ZelCam_SetHue(handle, value) == 1;
    default:
      return ZelCam_SetSaturation(handle, value) == 1;
  }
}

// The control's value: the converter's while it is open, else the one set (-1: not set).
int ControlValue(ZelCnvSrc* self, int control) {
  SourceState& s = *self->state;
  const int handle = s.handle.load();
  if (handle != 0) {
    const int value = ReadControl(handle, control);
    if (value >= 0) return value;
  }
  GST_OBJECT_LOCK(self);
  const int value = s.controls[control];
  GST_OBJECT_UNLOCK(self);
  return value;
}

void SetControl(ZelCnvSrc* self, int control, int value) {
  SourceState& s = *self->state;
  GST_OBJECT_LOCK(self);
  s.controls[control] = value;
  GST_OBJECT_UNLOCK(self);
  const int handle = s.handle.load();
  if (handle != 0 && value >= 0 && !WriteControl(handle, control, value)) {
    GST_WARNING_OBJECT(self, "the converter refused %s %d", kControlNames[control], value);
  }
}

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* spec) {
  auto* self = reinterpret_cast<ZelCnvSrc*>(object);
  SourceState& s = State(object);
  switch (id) {
    case kPropDevice:
      GST_OBJECT_LOCK(self);
      s.device = g_value_get_int(value);
      GST_OBJECT_UNLOCK(self);
      break;
    case kPropInput: {
      GST_OBJECT_LOCK(self);
      s.input = g_value_get_int(value);
      GST_OBJECT_UNLOCK(self);
      const int handle = s.handle.load();
      if (handle != 0) ZelCam_SetCrossbar(handle, g_value_get_int(value), 0);
      break;
    }
    case kPropBrightness:
    case kPropContrast:
    case kPropHue:
    case kPropSaturation:
      SetControl(self, static_cast<int>(id - kPropBrightness), g_value_get_int(value));
      break;
    case kPropSimulate: {
      const char* text = g_value_get_string(value);
      GST_OBJECT_LOCK(self);
      s.simulate = text != nullptr ? text : "";
      GST_OBJECT_UNLOCK(self);
      break;
    }
    case kPropAutoResume:
      GST_OBJECT_LOCK(self);
      s.autoResume = g_value_get_boolean(value);
      GST_OBJECT_UNLOCK(self);
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
  }
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* spec) {
  auto* self = reinterpret_cast<ZelCnvSrc*>(object);
  SourceState& s = State(object);
  switch (id) {
    case kPropDevice:
      GST_OBJECT_LOCK(self);
      g_value_set_int(value, s.device);
      GST_OBJECT_UNLOCK(self);
      break;
    case kPropDeviceName:
      GST_OBJECT_LOCK(self);
      g_value_set_string(value, s.deviceName.empty() ? nullptr : s.deviceName.c_str());
      GST_OBJECT_UNLOCK(self);
      break;
    case kPropStandard:
      g_value_set_enum(value, s.standard.load());
      break;
    case kPropInput:
      GST_OBJECT_LOCK(self);
      g_value_set_int(value, s.input);
      GST_OBJECT_UNLOCK(self);
      break;
    case kPropBrightness:
    case kPropContrast:
    case kPropHue:
    case kPropSaturation:
      g_value_set_int(value, ControlValue(self, static_cast<int>(id - kPropBrightness)));
      break;
    case kPropSimulate:
      GST_OBJECT_LOCK(self);
      g_value_set_string(value, s.simulate.empty() ? nullptr : s.simulate.c_str());
      GST_OBJECT_UNLOCK(self);
      break;
    case kPropAutoResume:
      GST_OBJECT_LOCK(self);
      g_value_set_boolean(value, s.autoResume);
      GST_OBJECT_UNLOCK(self);
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
  }
}

// Attaches the simulated converter the `simulate` property asks for, unless one is there already.
bool AttachSimulated(ZelCnvSrc* self, int device, const std::string& config) {
  SourceState& s = *self->state;
  if (config.empty()) return true;
  if (ZelSim_Attach(device, config.c_str()) == 1) {
    s.attached = true;
    return true;
  }
  // Refused: either a converter is at the index already (it is used as it is), or the words are
  // wrong.
  if (ZelSim_ReadDeviceRegister(device, 0) >= 0) return true;
  GST_ELEMENT_ERROR(self, RESOURCE, SETTINGS,
                    ("The simulator refused the configuration \"%s\".", config.c_str()),
                    ("ZelSim_Attach(%d) failed", device));
  return false;
}

gboolean Start(GstBaseSrc* base) {
  auto* self = reinterpret_cast<ZelCnvSrc*>(base);
  SourceState& s = State(base);
  GST_OBJECT_LOCK(self);
  const int device = s.device, input = s.input;
  const std::string simulate = s.simulate;
  const bool autoResume = s.autoResume;
  const std::array<int, kControls> controls = s.controls;
  GST_OBJECT_UNLOCK(self);

  if (!AttachSimulated(self, device, simulate)) return FALSE;
  // A start that fails leaves no simulated converter behind (no stop follows it).
  auto fail = [&](int handle) {
    if (handle != 0) ZelCam_Release(handle);
    if (s.attached) ZelSim_Detach(device);
    s.attached = false;
    return FALSE;
  };
  const int handle = ZelCam_Initialize(nullptr);
  if (handle == 0) {
    GST_ELEMENT_ERROR(self, RESOURCE, OPEN_READ, ("The converter library could not start."),
                      ("ZelCam_Initialize failed"));
    return fail(0);
  }
  char name[ZELCNV_DEVICE_NAME_CHARS] = {};
  if (ZelCam_SetDeviceNumber(handle, device) != 1 ||
      ZelCam_GetDeviceName(handle, device, name, sizeof name) != 1) {
    GST_ELEMENT_ERROR(self, RESOURCE, NOT_FOUND, ("No converter at index %d.", device),
                      ("error %d", ZelCam_GetLastError(handle)));
    return fail(handle);
  }
  if (ZelCam_SetCrossbar(handle, input, 0) != 1) {
    GST_ELEMENT_WARNING(self, RESOURCE, SETTINGS, ("The converter has no input %d.", input),
                        (nullptr));
  }
  for (int c = 0; c < kControls; ++c) {
    if (controls[c] >= 0) WriteControl(handle, c, controls[c]);
  }
  if (autoResume) {
    ZelCnvEx_WatchDevices(handle, 1);
    ZelCnvEx_SetAutoResume(handle, 1);
  }
  int valid = 0;
  s.userColourMode = ZelCam_GetColorMode(handle);
  s.userSamplingCode = ZelCam_GetSamplingRate(handle, &valid);
  if (valid != 1) s.userSamplingCode = -1;
  const int standard = ZelCam_GetVideoFormat(handle, &valid);
  GST_OBJECT_LOCK(self);
  s.deviceName = name;
  GST_OBJECT_UNLOCK(self);
  s.standard = valid == 1 ? standard : ZELCNV_VIDEO_525_LINE;
  s.negotiated = false;
  s.haveLast = false;
  s.delivered = s.lost = 0;
  s.away = false;
  s.resumesSeen = 0;
  s.mappedClock = nullptr;
  s.openDevice = device;
  s.handle = handle;
  GST_INFO_OBJECT(self, "opened %s (index %d), standard %d", name, device, s.standard.load());
  return TRUE;
}

gboolean Stop(GstBaseSrc* base) {
  SourceState& s = State(base);
  const int handle = s.handle.exchange(0);
  if (handle != 0) {
    ZelCam_StopPreview(handle);
    // The library keeps the handle's settings for the user: what negotiation chose is not theirs.
    if (s.userColourMode > 0) ZelCam_SetColorMode(handle, s.userColourMode);
    if (s.userSamplingCode >= 0) ZelCam_SetSamplingRate(handle, s.userSamplingCode);
    ZelCam_Release(handle);
  }
  if (s.attached) ZelSim_Detach(s.openDevice);
  s.attached = false;
  s.standard = -1;
  s.negotiated = false;
  return TRUE;
}

GstCaps* GetCaps(GstBaseSrc* base, GstCaps* filter) {
  SourceState& s = State(base);
  const int handle = s.handle.load();
  GstCaps* caps;
  if (handle == 0) {
    caps = gst_pad_get_pad_template_caps(GST_BASE_SRC_PAD(base));
  } else {
    int valid = 0;
    const int code = ZelCam_GetSamplingRate(handle, &valid);
    caps = ConverterCaps(s.standard.load(), valid == 1 ? code : -1);
  }
  if (filter != nullptr) {
    GstCaps* both = gst_caps_intersect_full(filter, caps, GST_CAPS_INTERSECT_FIRST);
    gst_caps_unref(caps);
    caps = both;
  }
  return caps;
}

// The colour mode and sampling rate the caps ask for, and the stream (re)started with them.
gboolean SetCaps(GstBaseSrc* base, GstCaps* caps) {
  auto* self = reinterpret_cast<ZelCnvSrc*>(base);
  SourceState& s = State(base);
  const int handle = s.handle.load();
  GstVideoInfo info;
  if (handle == 0 || !gst_video_info_from_caps(&info, caps)) return FALSE;
  const int bits = BitsFor(GST_VIDEO_INFO_FORMAT(&info));
  const int code =
      SamplingCodeFor(s.standard.load(), GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info));
  if (bits == 0 || code < 0) return FALSE;
  ZelCam_StopPreview(handle);
  // Both take effect at the stream start that follows.
  if (ZelCam_SetSamplingRate(handle, code) != 1 || ZelCam_SetColorMode(handle, bits) != 1 ||
      ZelCam_StartPreview(handle) != 1) {
    GST_ELEMENT_ERROR(self, RESOURCE, SETTINGS, ("The converter could not start streaming."),
                      ("error %d", ZelCam_GetLastError(handle)));
    return FALSE;
  }
  if (ZelCam_Width(handle) != GST_VIDEO_INFO_WIDTH(&info) ||
      ZelCam_Height(handle) != GST_VIDEO_INFO_HEIGHT(&info)) {
    // The standard changed between the caps and the start: the next look negotiates again.
    GST_WARNING_OBJECT(self, "the converter streams %d x %d, not %d x %d", ZelCam_Width(handle),
                       ZelCam_Height(handle), GST_VIDEO_INFO_WIDTH(&info),
                       GST_VIDEO_INFO_HEIGHT(&info));
  }
  s.info = info;
  s.negotiated = true;
  s.haveLast = false;
  s.discont = true;
  s.mappedClock = nullptr;
  return TRUE;
}

GstCaps* Fixate(GstBaseSrc* base, GstCaps* caps) {
  // The converter's own sampling rate where downstream leaves the size open; BGR where it leaves
  // the format open.
  SourceState& s = State(base);
  const int handle = s.handle.load();
  int valid = 0;
  const int code = handle != 0 ? ZelCam_GetSamplingRate(handle, &valid) : -1;
  const PictureSize own = SizeFor(s.standard.load(), valid == 1 ? code : -1);
  guint chosen = 0;
  for (guint i = 0; own.width != 0 && i < gst_caps_get_size(caps); ++i) {
    GstStructure* size = gst_structure_new("video/x-raw", "width", G_TYPE_INT, own.width, "height",
                                           G_TYPE_INT, own.height, nullptr);
    const bool fits = gst_structure_can_intersect(gst_caps_get_structure(caps, i), size);
    gst_structure_free(size);
    if (fits) {
      chosen = i;
      break;
    }
  }
  GstCaps* one = gst_caps_copy_nth(caps, chosen);
  gst_caps_unref(caps);
  GstStructure* structure = gst_caps_get_structure(one, 0);
  if (own.width != 0) {
    gst_structure_fixate_field_nearest_int(structure, "width", own.width);
    gst_structure_fixate_field_nearest_int(structure, "height", own.height);
  }
  gst_structure_fixate_field_string(structure, "format", "BGR");
  return GST_BASE_SRC_CLASS(zelcnv_src_parent_class)->fixate(base, one);
}

// A video buffer pool of the negotiated size when downstream offers none (as video sources do).
gboolean DecideAllocation(GstBaseSrc* base, GstQuery* query) {
  SourceState& s = State(base);
  GstBufferPool* pool = nullptr;
  guint size = 0, min = 0, max = 0;
  const bool update = gst_query_get_n_allocation_pools(query) > 0;
  if (update) gst_query_parse_nth_allocation_pool(query, 0, &pool, &size, &min, &max);
  size = MAX(size, static_cast<guint>(GST_VIDEO_INFO_SIZE(&s.info)));
  if (pool == nullptr) pool = gst_video_buffer_pool_new();
  GstCaps* caps = nullptr;
  gst_query_parse_allocation(query, &caps, nullptr);
  GstStructure* config = gst_buffer_pool_get_config(pool);
  gst_buffer_pool_config_set_params(config, caps, size, MAX(min, 2u), max);
  if (gst_query_find_allocation_meta(query, GST_VIDEO_META_API_TYPE, nullptr)) {
    gst_buffer_pool_config_add_option(config, GST_BUFFER_POOL_OPTION_VIDEO_META);
  }
  gst_buffer_pool_set_config(pool, config);
  if (update) {
    gst_query_set_nth_allocation_pool(query, 0, pool, size, MAX(min, 2u), max);
  } else {
    gst_query_add_allocation_pool(query, pool, size, MAX(min, 2u), max);
  }
  gst_object_unref(pool);
  return GST_BASE_SRC_CLASS(zelcnv_src_parent_class)->decide_allocation(base, query);
}

gboolean Query(GstBaseSrc* base, GstQuery* query) {
  SourceState& s = State(base);
  if (GST_QUERY_TYPE(query) == GST_QUERY_LATENCY) {
    const int standard = s.standard.load();
    if (s.handle.load() == 0 || standard < 0) return FALSE;
    // A frame is complete one period after its capture began; the library's ring holds the
    // rest.
    const GstClockTime period = FramePeriod(standard);
    gst_query_set_latency(query, TRUE, period, kRingFrames * period);
    return TRUE;
  }
  return GST_BASE_SRC_CLASS(zelcnv_src_parent_class)->query(base, query);
}

gboolean Unlock(GstBaseSrc* base) {
  State(base).unlocked = true;
  return TRUE;
}

gboolean UnlockStop(GstBaseSrc* base) {
  State(base).unlocked = false;
  return TRUE;
}

// Looks at the standard the converter sees; a new one is negotiated (the stream restarts with
// the new picture size and frame rate). False when that fails.
bool FollowStandard(ZelCnvSrc* self, bool* changed) {
  SourceState& s = *self->state;
  *changed = false;
  int valid = 0;
  const int now = ZelCam_GetVideoFormat(s.handle.load(), &valid);
  if (valid != 1 || now == s.standard.load()) return true;
  GST_ELEMENT_WARNING(
      self, STREAM, FORMAT,
      ("The converter's video standard changed from %d to %d.", s.standard.load(), now), (nullptr));
  s.standard = now;
  *changed = true;
  g_object_notify(G_OBJECT(self), "standard");
  if (now == ZELCNV_VIDEO_525_LINE_WIDE) {
    GST_ELEMENT_ERROR(self, STREAM, FORMAT, ("The converter cannot decode this video standard."),
                      ("standard %d", now));
    return false;
  }
  return gst_base_src_negotiate(GST_BASE_SRC(self)) == TRUE;
}

// The library's clock, in nanoseconds, mapped onto the element's clock and its running time.
GstClockTime StampOf(ZelCnvSrc* self, long long captureTime) {
  SourceState& s = *self->state;
  GstClock* clock = gst_element_get_clock(GST_ELEMENT(self));
  if (clock == nullptr) return GST_CLOCK_TIME_NONE;
  const GstClockTime now = gst_clock_get_time(clock);
  const GstClockTimeDiff offset =
      GST_CLOCK_DIFF(static_cast<GstClockTime>(ZelCnvEx_Now()) * 100, now);
  // Taken once per stream and clock: both clocks are monotonic, so the mapping holds, and the
  // buffers' spacing is that of the capture times. A clock that jumped is mapped again.
  if (s.mappedClock != clock || ABS(offset - s.clockOffset) > kClockJump) {
    s.mappedClock = clock;
    s.clockOffset = offset;
  }
  gst_object_unref(clock);
  const GstClockTimeDiff captured = captureTime * 100 + s.clockOffset;
  const GstClockTime baseTime = gst_element_get_base_time(GST_ELEMENT(self));
  if (captured < 0 || static_cast<GstClockTime>(captured) < baseTime) return 0;
  return static_cast<GstClockTime>(captured) - baseTime;
}

// While the converter is away (auto-resume), and when it is back: warnings on the bus.
void NoteAbsence(ZelCnvSrc* self) {
  SourceState& s = *self->state;
  ZelCnvStreamStats stats{};
  stats.size = sizeof stats;
  if (ZelCnvEx_GetStreamStats(s.handle.load(), &stats) != 1) return;
  if (!s.away && stats.running == 0) {
    s.away = true;
    GST_ELEMENT_WARNING(
        self, RESOURCE, READ,
        ("The converter at index %d went away; waiting for it to return.", s.openDevice),
        (nullptr));
  }
}

void NoteReturn(ZelCnvSrc* self) {
  SourceState& s = *self->state;
  ZelCnvStreamStats stats{};
  stats.size = sizeof stats;
  if (ZelCnvEx_GetStreamStats(s.handle.load(), &stats) != 1 || stats.resumes == s.resumesSeen) {
    return;
  }
  s.resumesSeen = stats.resumes;
  s.away = false;
  s.haveLast = false;  // its numbers start again
  s.discont = true;
  GST_ELEMENT_WARNING(self, RESOURCE, READ,
                      ("The converter at index %d is back; streaming goes on.", s.openDevice),
                      (nullptr));
}

void CountLoss(ZelCnvSrc* self, const ZelCnvFrameDetails& details, GstClockTime pts) {
  SourceState& s = *self->state;
  if (s.haveLast && details.sequence > s.lastSequence + 1) {
    // Frames lost: told downstream as QoS (as a live source does), and the buffer is a
    // discontinuity.
    const guint64 lost = details.sequence - s.lastSequence - 1;
    const GstClockTime period = FramePeriod(s.standard.load());
    s.lost += lost;
    GstMessage* qos = gst_message_new_qos(GST_OBJECT(self), TRUE, GST_CLOCK_TIME_NONE,
                                          GST_CLOCK_TIME_NONE, pts, lost * period);
    gst_message_set_qos_stats(qos, GST_FORMAT_BUFFERS, s.delivered, s.lost);
    gst_element_post_message(GST_ELEMENT(self), qos);
    s.discont = true;
  }
  s.lastSequence = details.sequence;
  s.haveLast = true;
}

GstFlowReturn Create(GstPushSrc* push, GstBuffer** out) {
  auto* self = reinterpret_cast<ZelCnvSrc*>(push);
  GstBaseSrc* base = GST_BASE_SRC(push);
  SourceState& s = State(push);
  const int handle = s.handle.load();
  for (;;) {
    if (s.unlocked) return GST_FLOW_FLUSHING;
    bool changed = false;
    if (!s.negotiated) return GST_FLOW_NOT_NEGOTIATED;
    GstBuffer* buffer = nullptr;
    const GstFlowReturn alloc =
        GST_BASE_SRC_GET_CLASS(base)->alloc(base, 0, GST_VIDEO_INFO_SIZE(&s.info), &buffer);
    if (alloc != GST_FLOW_OK) return alloc;
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
      gst_buffer_unref(buffer);
      return GST_FLOW_ERROR;
    }
    ZelCnvFrameDetails details{};
    details.size = sizeof details;
    int got = 0;
    while (got == 0 && !s.unlocked) {
      got = ZelCnvEx_WaitFrame(handle, map.data, static_cast<int>(map.size), 1, kWaitSliceMs,
                               &details);
      if (got == 0 && s.autoResume) NoteAbsence(self);
    }
    gst_buffer_unmap(buffer, &map);
    // Every frame is checked against the standard the converter sees: after a change the
    // stream keeps the geometry it started with, which no longer frames the picture. Such a
    // frame is dropped and the new standard negotiated.
    if (got == 1 && !FollowStandard(self, &changed)) {
      gst_buffer_unref(buffer);
      return GST_FLOW_NOT_NEGOTIATED;
    }
    if (got == 1 && changed) {
      gst_buffer_unref(buffer);
      continue;
    }
    if (got == 1) {
      // Back after an absence, seen or too short to be seen: the numbers started again.
      const bool restarted = s.haveLast && details.sequence <= s.lastSequence;
      if (s.autoResume && (s.away || restarted)) NoteReturn(self);
      const GstClockTime pts = StampOf(self, details.captureTime);
      GST_BUFFER_PTS(buffer) = pts;
      GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
      GST_BUFFER_DURATION(buffer) = FramePeriod(s.standard.load());
      GST_BUFFER_OFFSET(buffer) = details.sequence;
      GST_BUFFER_OFFSET_END(buffer) = details.sequence + 1;
      CountLoss(self, details, pts);
      if (s.discont) GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DISCONT);
      s.discont = false;
      ++s.delivered;
      *out = buffer;
      return GST_FLOW_OK;
    }
    gst_buffer_unref(buffer);
    if (s.unlocked) return GST_FLOW_FLUSHING;
    const int error = ZelCam_GetLastError(handle);
    if (error == ERR_BUFFER) {
      // A frame larger than the caps: the converter came back under another standard.
      if (!FollowStandard(self, &changed)) return GST_FLOW_NOT_NEGOTIATED;
      if (changed) continue;
    }
    GST_OBJECT_LOCK(self);
    const std::string name = s.deviceName;
    GST_OBJECT_UNLOCK(self);
    GST_ELEMENT_ERROR(
        self, RESOURCE, READ,
        ("The converter %s at index %d stopped sending (unplugged?).", name.c_str(), s.openDevice),
        ("ZelCnvEx_WaitFrame: error %d", error));
    return GST_FLOW_ERROR;
  }
}

// GstColorBalance: the four picture controls, 0..255.
const GList* ListChannels(GstColorBalance* balance) {
  return State(balance).channels;
}

int ChannelControl(GstColorBalanceChannel* channel) {
  for (int c = 0; c < kControls; ++c) {
    if (g_strcmp0(channel->label, kControlNames[c]) == 0) return c;
  }
  return -1;
}

void SetBalance(GstColorBalance* balance, GstColorBalanceChannel* channel, gint value) {
  const int c = ChannelControl(channel);
  if (c < 0) return;
  SetControl(reinterpret_cast<ZelCnvSrc*>(balance), c, CLAMP(value, 0, 255));
  gst_color_balance_value_changed(balance, channel, value);
}

gint GetBalance(GstColorBalance* balance, GstColorBalanceChannel* channel) {
  const int c = ChannelControl(channel);
  if (c < 0) return 0;
  const int value = ControlValue(reinterpret_cast<ZelCnvSrc*>(balance), c);
  return value >= 0 ? value : (c == kHue ? 0 : 128);
}

GstColorBalanceType BalanceType(GstColorBalance*) {
  return GST_COLOR_BALANCE_HARDWARE;
}

void ColorBalanceInit(GstColorBalanceInterface* iface) {
  iface->list_channels = ListChannels;
  iface->set_value = SetBalance;
  iface->get_value = GetBalance;
  iface->get_balance_type = BalanceType;
}

void Finalize(GObject* object) {
  SourceState* s = reinterpret_cast<ZelCnvSrc*>(object)->state;
  g_list_free_full(s->channels, g_object_unref);
  delete s;
  G_OBJECT_CLASS(zelcnv_src_parent_class)->finalize(object);
}

GParamFlags Flags(int extra) {
  return static_cast<GParamFlags>(G_PARAM_STATIC_STRINGS | extra);
}

void InstallControl(GObjectClass* object, guint id, const char* name, const char* blurb) {
  g_object_class_install_property(
      object, id,
      g_param_spec_int(
          name, name, blurb, -1, 255, -1,
          Flags(G_PARAM_READWRITE | GST_PARAM_CONTROLLABLE | GST_PARAM_MUTABLE_PLAYING)));
}

void zelcnv_src_class_init(ZelCnvSrcClass* klass) {
  GObjectClass* object = G_OBJECT_CLASS(klass);
  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  GstBaseSrcClass* base = GST_BASE_SRC_CLASS(klass);
  object->set_property = SetProperty;
  object->get_property = GetProperty;
  object->finalize = Finalize;
  g_object_class_install_property(
      object, kPropDevice,
      g_param_spec_int("device", "Device", "The converter's index", 0, ZELCNV_MAX_DEVICES - 1, 0,
                       Flags(G_PARAM_READWRITE | GST_PARAM_MUTABLE_READY)));
  g_object_class_install_property(
      object, kPropDeviceName,
      g_param_spec_string("device-name", "Device name", "The converter's name (once open)", nullptr,
                          Flags(G_PARAM_READABLE)));
  g_object_class_install_property(
      object, kPropStandard,
      g_param_spec_enum("standard", "Standard", "The video standard the converter sees",
                        StandardType(), -1, Flags(G_PARAM_READABLE)));
  g_object_class_install_property(
      object, kPropInput,
      g_param_spec_int("input", "Input", "The converter's video input", 0, 5, 0,
                       Flags(G_PARAM_READWRITE | GST_PARAM_MUTABLE_PLAYING)));
  InstallControl(object, kPropBrightness, "brightness",
                 "Brightness 0..255 (-1: the user's stored setting)");
  InstallControl(object, kPropContrast, "contrast",
                 "Contrast 0..255 (-1: the user's stored setting)");
  InstallControl(object, kPropHue, "hue", "Hue 0..255 (-1: the user's stored setting)");
  InstallControl(object, kPropSaturation, "saturation",
                 "Saturation 0..255 (-1: the user's stored setting)");
  g_object_class_install_property(
      object, kPropSimulate,
      g_param_spec_string(
          "simulate", "Simulate",
          "Simulated converter words (as zelcnv --sim= takes them, e.g. \"standard=625\"): "
          "attached at the device index when no converter is there",
          nullptr, Flags(G_PARAM_READWRITE | GST_PARAM_MUTABLE_READY)));
  g_object_class_install_property(
      object, kPropAutoResume,
      g_param_spec_boolean("auto-resume", "Auto-resume",
                           "Wait for an unplugged converter to return instead of failing", FALSE,
                           Flags(G_PARAM_READWRITE | GST_PARAM_MUTABLE_READY)));
  gst_element_class_set_static_metadata(element, "ZelCnv analog video source", "Source/Video",
                                        "Live video from a ZelCnv USB 2.0 analog-video converter",
                                        "ZelCnvSdk developers");
  gst_element_class_add_static_pad_template(element, &srcTemplate);
  gst_type_mark_as_plugin_api(StandardType(), static_cast<GstPluginAPIFlags>(0));
  base->start = Start;
  base->stop = Stop;
  base->get_caps = GetCaps;
  base->set_caps = SetCaps;
  base->fixate = Fixate;
  base->decide_allocation = DecideAllocation;
  base->query = Query;
  base->unlock = Unlock;
  base->unlock_stop = UnlockStop;
  GST_PUSH_SRC_CLASS(klass)->create = Create;
  GST_DEBUG_CATEGORY_INIT(zelcnvsrc_debug, "zelcnvsrc", 0, "ZelCnv converter source");
}

void zelcnv_src_init(ZelCnvSrc* self) {
  self->state = new SourceState;
  for (const char* label : kControlNames) {
    auto* channel =
        static_cast<GstColorBalanceChannel*>(g_object_new(GST_TYPE_COLOR_BALANCE_CHANNEL, nullptr));
    channel->label = g_strdup(label);
    channel->min_value = 0;
    channel->max_value = 255;
    self->state->channels = g_list_append(self->state->channels, channel);
  }
  gst_base_src_set_live(GST_BASE_SRC(self), TRUE);
  gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
}

}  // namespace

GType SourceType() {
  return zelcnv_src_get_type();
}

}  // namespace zelcnv::gst
