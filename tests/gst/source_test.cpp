// zelcnvsrc and the device provider on simulated converters, through GStreamer's own test
// harness: the element is registered into a static plugin of this program, so that the same
// tests run under ASan with no instrumented plugin loader.
#include <gst/check/gstharness.h>
#include <gst/gst.h>
#include <gst/video/colorbalance.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ZelCnvSdk.h"
#include "ZelCnvSim.h"
#include "expected_picture.h"
#include "inprocess/sim_inprocess.h"
#include "model/picture.h"
#include "registration.h"

namespace zelcnv::gsttest {
namespace {

constexpr GstClockTime kPeriod525 = 33366666;  // 1001/30000 s, as GStreamer rounds it
constexpr GstClockTime kPeriod625 = 40000000;
constexpr int kBrightnessRegister = 0x09;

class Environment : public ::testing::Environment {
 public:
  void SetUp() override {
    // Settings of a user of our own, from the library's defaults.
    gchar* home = g_dir_make_tmp("zelcnv-gst-XXXXXX", nullptr);
    ASSERT_NE(home, nullptr);
    g_setenv("XDG_CONFIG_HOME", home, TRUE);
    home_ = home;
    g_free(home);
    gst_init(nullptr, nullptr);
    ASSERT_TRUE(gst_plugin_register_static(GST_VERSION_MAJOR, GST_VERSION_MINOR, "zelcnv",
                                           "ZelCnv converters", zelcnv::gst::RegisterFeatures, "0",
                                           "Proprietary", "zelcnvsdk", "zelcnvsdk", "tests"));
  }
  void TearDown() override {
    gst_deinit();
    std::filesystem::remove_all(home_);
  }

 private:
  std::string home_;
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new Environment);

// A zelcnvsrc in a harness with a bus of its own, on a simulated converter at index 0 that the
// element attaches with `words`.
class Source {
 public:
  explicit Source(const char* words, const char* sinkCaps = nullptr) {
    for (int i = 0; i < ZELSIM_MAX_DEVICES; ++i) ZelSim_Detach(i);
    h_ = gst_harness_new("zelcnvsrc");
    bus_ = gst_bus_new();
    gst_element_set_bus(h_->element, bus_);
    g_object_set(h_->element, "simulate", words, nullptr);
    if (sinkCaps != nullptr) gst_harness_set_sink_caps_str(h_, sinkCaps);
  }
  ~Source() {
    gst_harness_teardown(h_);
    gst_object_unref(bus_);
  }
  GstElement* element() const { return h_->element; }
  GstHarness* harness() const { return h_; }

  void Play() { gst_harness_play(h_); }
  GstBuffer* Pull() { return gst_harness_pull(h_); }

  GstVideoInfo Info() const {
    GstVideoInfo info;
    GstCaps* caps = gst_pad_get_current_caps(h_->sinkpad);
    EXPECT_NE(caps, nullptr);
    EXPECT_TRUE(caps != nullptr && gst_video_info_from_caps(&info, caps));
    if (caps != nullptr) gst_caps_unref(caps);
    return info;
  }

  // The next message of `type` within `seconds`; its text through `text` (errors, warnings).
  GstMessage* Wait(GstMessageType type, double seconds) {
    return gst_bus_timed_pop_filtered(bus_, GstClockTime(seconds * GST_SECOND), type);
  }
  static std::string TextOf(GstMessage* message) {
    GError* error = nullptr;
    gchar* debug = nullptr;
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
      gst_message_parse_error(message, &error, &debug);
    } else {
      gst_message_parse_warning(message, &error, &debug);
    }
    std::string text = error->message;
    g_error_free(error);
    g_free(debug);
    return text;
  }
  // Waits for a warning whose text holds `part`, skipping others.
  bool WaitWarning(const char* part, double seconds) {
    const gint64 end = g_get_monotonic_time() + gint64(seconds * 1e6);
    while (g_get_monotonic_time() < end) {
      GstMessage* m = Wait(GST_MESSAGE_WARNING, 0.1);
      if (m == nullptr) continue;
      const bool found = TextOf(m).find(part) != std::string::npos;
      gst_message_unref(m);
      if (found) return true;
    }
    return false;
  }

 private:
  GstHarness* h_;
  GstBus* bus_;
};

// The buffer holds the simulator's picture of the device frame its first row's stamp names, in
// GStreamer's layout for `info` (rows top first, `bits` per pixel).
// `params`: the converter's picture settings as they were when the frame was sent, when they
// have changed since.
void ExpectTheConvertersPicture(GstBuffer* buffer, const GstVideoInfo& info, int bits,
                                const zelsim::PictureParams* params = nullptr) {
  GstMapInfo map;
  ASSERT_TRUE(gst_buffer_map(buffer, &map, GST_MAP_READ));
  const int width = GST_VIDEO_INFO_WIDTH(&info), height = GST_VIDEO_INFO_HEIGHT(&info);
  EXPECT_EQ(map.size, GST_VIDEO_INFO_SIZE(&info));
  const int pixelBytes = bits / 8;
  const uint32_t device = testsupport::StampOf(map.data, bits == 16 ? 2 : pixelBytes);
  const std::vector<uint8_t> expected =
      testsupport::InLayout(params != nullptr ? testsupport::Render(device, width, height, *params)
                                              : testsupport::Render(device, width, height),
                            bits);
  const size_t row = size_t(width) * pixelBytes;
  const size_t stride = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
  EXPECT_EQ(expected.size(), row * height);
  int wrongRows = 0;
  for (int y = 0;
       y < height && expected.size() == row * height && map.size >= stride * (height - 1) + row;
       ++y) {
    if (std::memcmp(map.data + y * stride, expected.data() + y * row, row) != 0) ++wrongRows;
  }
  EXPECT_EQ(wrongRows, 0) << "device frame " << device;
  gst_buffer_unmap(buffer, &map);
}

struct FormatCase {
  const char* format;
  int bits;
};

// Every format: its caps, and pixels that are the simulator's picture of the frame the stamp in
// the first row names, row by row, in GStreamer's layout (top row first).
TEST(ZelCnvSrc, EveryFormatCarriesTheConvertersPicture) {
  for (const FormatCase c : {FormatCase{"GRAY8", 8}, FormatCase{"YUY2", 16}, FormatCase{"BGR", 24},
                             FormatCase{"BGRx", 32}}) {
    SCOPED_TRACE(c.format);
    const std::string caps = std::string("video/x-raw,format=") + c.format;
    Source source("standard=525", caps.c_str());
    g_object_set(source.element(), "brightness", 128, "contrast", 128, "hue", 0, "saturation", 128,
                 nullptr);
    source.Play();
    for (int frame = 0; frame < 3; ++frame) {
      GstBuffer* buffer = source.Pull();
      ASSERT_NE(buffer, nullptr);
      const GstVideoInfo info = source.Info();
      EXPECT_STREQ(gst_video_format_to_string(GST_VIDEO_INFO_FORMAT(&info)), c.format);
      EXPECT_EQ(GST_VIDEO_INFO_WIDTH(&info), 640);
      EXPECT_EQ(GST_VIDEO_INFO_HEIGHT(&info), 480);
      EXPECT_EQ(GST_VIDEO_INFO_FPS_N(&info), 30000);
      EXPECT_EQ(GST_VIDEO_INFO_FPS_D(&info), 1001);
      EXPECT_EQ(GST_VIDEO_INFO_INTERLACE_MODE(&info), GST_VIDEO_INTERLACE_MODE_INTERLEAVED);
      EXPECT_EQ(GST_VIDEO_INFO_FIELD_ORDER(&info), GST_VIDEO_FIELD_ORDER_TOP_FIELD_FIRST);
      ExpectTheConvertersPicture(buffer, info, c.bits);
      gst_buffer_unref(buffer);
    }
  }
}

// The 625-line standards: their sizes at 25 frames per second, and a downstream width that asks
// for another sampling rate gets it.
TEST(ZelCnvSrc, CapsFollowTheStandardAndTheAskedWidth) {
  {
    Source source("standard=625");
    source.Play();
    gst_buffer_unref(source.Pull());
    const GstVideoInfo info = source.Info();
    EXPECT_EQ(GST_VIDEO_INFO_WIDTH(&info), 768);
    EXPECT_EQ(GST_VIDEO_INFO_HEIGHT(&info), 570);
    EXPECT_EQ(GST_VIDEO_INFO_FPS_N(&info), 25);
    EXPECT_EQ(GST_VIDEO_INFO_FPS_D(&info), 1);
    EXPECT_EQ(GST_VIDEO_INFO_FORMAT(&info), GST_VIDEO_FORMAT_BGR);
    int standard = -1;
    g_object_get(source.element(), "standard", &standard, nullptr);
    EXPECT_EQ(standard, ZELCNV_VIDEO_625_LINE);
  }
  Source source("standard=525", "video/x-raw,width=720,height=470,format=YUY2");
  source.Play();
  GstBuffer* buffer = source.Pull();
  EXPECT_EQ(gst_buffer_get_size(buffer), size_t(720) * 2 * 470);
  gst_buffer_unref(buffer);
  const GstVideoInfo info = source.Info();
  EXPECT_EQ(GST_VIDEO_INFO_WIDTH(&info), 720);
  EXPECT_EQ(GST_VIDEO_INFO_HEIGHT(&info), 470);
}

// Offsets are the frames' sequence numbers and timestamps their capture times, a frame period
// apart; a stall shows as a gap, a QoS message with the lost frames and a discontinuity. (A busy
// machine loses a frame now and then besides: each gap is told the same way.)
TEST(ZelCnvSrc, OffsetsTimestampsAndLossesFollowTheFrames) {
  Source source("standard=525");
  source.Play();
  std::vector<GstBuffer*> buffers;
  for (int i = 0; i < 4; ++i) buffers.push_back(source.Pull());
  const size_t stalledAfter = buffers.size();
  ASSERT_EQ(ZelSim_InjectFault(0, "stall=117"), 1);  // three and a half periods
  bool stallSeen = false;
  for (int i = 0; i < 30 && !stallSeen; ++i) {
    buffers.push_back(source.Pull());
    const guint64 lost =
        GST_BUFFER_OFFSET(buffers.back()) - GST_BUFFER_OFFSET(buffers[buffers.size() - 2]) - 1;
    stallSeen = lost >= 2 && lost <= 4;
  }
  EXPECT_TRUE(stallSeen) << "no gap of three frames after the stall";
  guint64 lostSoFar = 0;
  for (size_t i = 0; i < buffers.size(); ++i) {
    GstBuffer* b = buffers[i];
    EXPECT_EQ(GST_BUFFER_DURATION(b), kPeriod525);
    EXPECT_EQ(GST_BUFFER_OFFSET_END(b), GST_BUFFER_OFFSET(b) + 1);
    const guint64 lost = i == 0 ? 0 : GST_BUFFER_OFFSET(b) - GST_BUFFER_OFFSET(buffers[i - 1]) - 1;
    EXPECT_EQ(GST_BUFFER_FLAG_IS_SET(b, GST_BUFFER_FLAG_DISCONT), i == 0 || lost > 0) << i;
    if (i > 0) {
      EXPECT_GT(GST_BUFFER_PTS(b), GST_BUFFER_PTS(buffers[i - 1])) << i;
    }
    if (lost == 0) continue;
    lostSoFar += lost;
    GstMessage* qos = source.Wait(GST_MESSAGE_QOS, 1);
    ASSERT_NE(qos, nullptr) << "no QoS message for the gap at " << i;
    gboolean live = FALSE;
    guint64 timestamp = 0, duration = 0, processed = 0, dropped = 0;
    GstFormat format = GST_FORMAT_UNDEFINED;
    gst_message_parse_qos(qos, &live, nullptr, nullptr, &timestamp, &duration);
    gst_message_parse_qos_stats(qos, &format, &processed, &dropped);
    EXPECT_TRUE(live);
    EXPECT_EQ(timestamp, GST_BUFFER_PTS(b));
    EXPECT_EQ(duration, lost * kPeriod525);
    EXPECT_EQ(format, GST_FORMAT_BUFFERS);
    EXPECT_EQ(dropped, lostSoFar);
    EXPECT_EQ(processed, i);
    gst_message_unref(qos);
  }
  EXPECT_EQ(source.Wait(GST_MESSAGE_QOS, 0), nullptr);
  EXPECT_GT(buffers.size(), stalledAfter);
  // The capture times' spacing over the run: a frame period per frame, within a tenth (from the
  // second frame: the first comes late, when the converter has only just been set up).
  const double frames = double(GST_BUFFER_OFFSET(buffers.back()) - GST_BUFFER_OFFSET(buffers[1]));
  const double span = double(GST_BUFFER_PTS(buffers.back()) - GST_BUFFER_PTS(buffers[1]));
  EXPECT_NEAR(span / frames, double(kPeriod525), kPeriod525 / 10.0);
  for (GstBuffer* b : buffers) gst_buffer_unref(b);

  // The latency: live, at least one period, at most the library's ring.
  GstQuery* query = gst_query_new_latency();
  ASSERT_TRUE(gst_pad_peer_query(source.harness()->sinkpad, query));
  gboolean isLive = FALSE;
  GstClockTime min = 0, max = 0;
  gst_query_parse_latency(query, &isLive, &min, &max);
  EXPECT_TRUE(isLive);
  EXPECT_EQ(min, kPeriod525);
  EXPECT_EQ(max, 10 * kPeriod525);
  gst_query_unref(query);
}

// Unplugged: an error naming the converter, and the harness stops at once. With auto-resume:
// warnings, and frames again when it returns, their numbers starting again.
TEST(ZelCnvSrc, UnplugIsAnErrorOrWaitedForWithAutoResume) {
  {
    Source source("standard=525");
    source.Play();
    gst_buffer_unref(source.Pull());
    ASSERT_EQ(ZelSim_InjectFault(0, "unplug"), 1);
    GstMessage* error = source.Wait(GST_MESSAGE_ERROR, 5);
    ASSERT_NE(error, nullptr);
    const std::string text = Source::TextOf(error);
    EXPECT_NE(text.find("index 0"), std::string::npos) << text;
    EXPECT_NE(text.find("ZelCnv_01"), std::string::npos) << text;
    gst_message_unref(error);
  }
  Source source("standard=525");
  g_object_set(source.element(), "auto-resume", TRUE, nullptr);
  source.Play();
  GstBuffer* before = source.Pull();
  gst_buffer_unref(before);
  ASSERT_EQ(ZelSim_InjectFault(0, "unplug"), 1);
  EXPECT_TRUE(source.WaitWarning("went away", 5));
  // Whatever was made before the removal.
  while (GstBuffer* b = gst_harness_try_pull(source.harness())) gst_buffer_unref(b);
  ASSERT_EQ(ZelSim_InjectFault(0, "replug"), 1);
  GstBuffer* after = source.Pull();
  ASSERT_NE(after, nullptr);
  EXPECT_TRUE(GST_BUFFER_FLAG_IS_SET(after, GST_BUFFER_FLAG_DISCONT));
  EXPECT_LT(GST_BUFFER_OFFSET(after), 30u);
  gst_buffer_unref(after);
  EXPECT_TRUE(source.WaitWarning("is back", 5));
  EXPECT_EQ(source.Wait(GST_MESSAGE_ERROR, 0), nullptr);
}

// A converter that is not there, or simulator words the simulator refuses: the pipeline does not
// start, an error says why, and no simulated converter is left behind.
TEST(ZelCnvSrc, AMissingConverterOrBadWordsFailTheStart) {
  for (int i = 0; i < ZELSIM_MAX_DEVICES; ++i) ZelSim_Detach(i);
  for (const char* line : {"zelcnvsrc device=5 ! fakesink",
                           "zelcnvsrc device=5 simulate=\"standard=999\" ! fakesink"}) {
    SCOPED_TRACE(line);
    GstElement* pipeline = gst_parse_launch(line, nullptr);
    ASSERT_NE(pipeline, nullptr);
    EXPECT_EQ(gst_element_set_state(pipeline, GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* error = gst_bus_timed_pop_filtered(bus, GST_SECOND, GST_MESSAGE_ERROR);
    ASSERT_NE(error, nullptr);
    const std::string text = Source::TextOf(error);
    EXPECT_TRUE(text.find("No converter at index 5") != std::string::npos ||
                text.find("refused the configuration \"standard=999\"") != std::string::npos)
        << text;
    gst_message_unref(error);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    EXPECT_EQ(ZelSim_ReadDeviceRegister(5, 0), -1) << "a simulated converter was left behind";
  }
}

// The picture controls, through the properties and GstColorBalance, reach the converter; the
// input property selects what it shows; the read-only properties name it.
TEST(ZelCnvSrc, PropertiesAndColorBalanceReachTheConverter) {
  Source source("standard=525");
  g_object_set(source.element(), "brightness", 90, "input", 1, nullptr);
  source.Play();
  gst_buffer_unref(source.Pull());
  EXPECT_EQ(ZelSim_ReadDeviceRegister(0, kBrightnessRegister), 90);
  zelsim::PictureParams params{};
  ASSERT_TRUE(zelsim::GetDevicePictureParams(0, &params));
  EXPECT_EQ(params.content, zelsim::InputContent::kRamp);

  GstColorBalance* balance = GST_COLOR_BALANCE(source.element());
  int channels = 0;
  for (const GList* l = gst_color_balance_list_channels(balance); l != nullptr; l = l->next) {
    auto* channel = static_cast<GstColorBalanceChannel*>(l->data);
    ++channels;
    EXPECT_EQ(channel->min_value, 0);
    EXPECT_EQ(channel->max_value, 255);
    if (g_strcmp0(channel->label, "BRIGHTNESS") == 0) {
      EXPECT_EQ(gst_color_balance_get_value(balance, channel), 90);
      gst_color_balance_set_value(balance, channel, 200);
    }
  }
  EXPECT_EQ(channels, 4);
  EXPECT_EQ(ZelSim_ReadDeviceRegister(0, kBrightnessRegister), 200);
  int brightness = 0;
  g_object_get(source.element(), "brightness", &brightness, nullptr);
  EXPECT_EQ(brightness, 200);

  gchar* name = nullptr;
  int standard = -1;
  g_object_get(source.element(), "device-name", &name, "standard", &standard, nullptr);
  EXPECT_STREQ(name, "ZelCnv_01");
  EXPECT_EQ(standard, ZELCNV_VIDEO_525_LINE);
  g_free(name);
}

// Listing the converters (a device monitor's probe opens a handle of its own) while one of them
// streams leaves the stream's picture as it was.
TEST(ZelCnvSrc, ProbingWhileStreamingLeavesThePictureAlone) {
  Source source("standard=625", "video/x-raw,format=YUY2");
  source.Play();
  gst_buffer_unref(source.Pull());
  GstDeviceMonitor* monitor = gst_device_monitor_new();
  gst_device_monitor_add_filter(monitor, "Video/Source", nullptr);
  for (int probe = 0; probe < 3; ++probe) {
    g_list_free_full(gst_device_monitor_get_devices(monitor), gst_object_unref);
  }
  gst_object_unref(monitor);
  while (GstBuffer* b = gst_harness_try_pull(source.harness())) gst_buffer_unref(b);
  for (int frame = 0; frame < 3; ++frame) {
    GstBuffer* buffer = source.Pull();
    ExpectTheConvertersPicture(buffer, source.Info(), 16);
    gst_buffer_unref(buffer);
  }
}

// A standard that changes while streaming is negotiated again: new size, new frame rate. Every
// buffer is a whole picture, of the old standard or of the new one.
TEST(ZelCnvSrc, ANewStandardIsNegotiatedAgain) {
  Source source("standard=525");
  source.Play();
  gst_buffer_unref(source.Pull());
  zelsim::PictureParams before{};
  ASSERT_TRUE(zelsim::GetDevicePictureParams(0, &before));
  ASSERT_EQ(ZelSim_Configure(0, "standard=625"), 1);
  bool renegotiated = false;
  for (int i = 0; i < 90 && !renegotiated; ++i) {
    GstBuffer* buffer = source.Pull();
    ASSERT_NE(buffer, nullptr);
    const GstVideoInfo info = source.Info();
    ASSERT_EQ(GST_VIDEO_INFO_FORMAT(&info), GST_VIDEO_FORMAT_BGR);
    ExpectTheConvertersPicture(buffer, info, 24,
                               GST_VIDEO_INFO_HEIGHT(&info) == 570 ? nullptr : &before);
    if (GST_VIDEO_INFO_HEIGHT(&info) == 570) {
      renegotiated = true;
      EXPECT_EQ(GST_VIDEO_INFO_WIDTH(&info), 768);
      EXPECT_EQ(GST_VIDEO_INFO_FPS_N(&info), 25);
      EXPECT_EQ(gst_buffer_get_size(buffer), GST_VIDEO_INFO_SIZE(&info));
      EXPECT_EQ(GST_BUFFER_DURATION(buffer), kPeriod625);
    }
    gst_buffer_unref(buffer);
  }
  EXPECT_TRUE(renegotiated);
  EXPECT_TRUE(source.WaitWarning("standard changed", 1));
}

// The device provider: the converters present, then arrivals and removals as the watch sees
// them; a device's element streams from its converter.
TEST(ZelCnvDeviceProvider, ListsConvertersAndFollowsArrivalsAndRemovals) {
  for (int i = 0; i < ZELSIM_MAX_DEVICES; ++i) ZelSim_Detach(i);
  ASSERT_EQ(ZelSim_Attach(1, "standard=625"), 1);
  GstDeviceMonitor* monitor = gst_device_monitor_new();
  gst_device_monitor_add_filter(monitor, "Video/Source", nullptr);
  ASSERT_TRUE(gst_device_monitor_start(monitor));
  GList* devices = gst_device_monitor_get_devices(monitor);
  int ours = 0;
  for (GList* d = devices; d != nullptr; d = d->next) {
    GstStructure* properties = gst_device_get_properties(GST_DEVICE(d->data));
    if (properties != nullptr &&
        g_strcmp0(gst_structure_get_string(properties, "device.api"), "zelcnv") == 0) {
      ++ours;
      gchar* name = gst_device_get_display_name(GST_DEVICE(d->data));
      EXPECT_STREQ(name, "ZelCnv_02");
      g_free(name);
      GstElement* element = gst_device_create_element(GST_DEVICE(d->data), nullptr);
      int index = -1;
      g_object_get(element, "device", &index, nullptr);
      EXPECT_EQ(index, 1);
      gst_object_unref(element);
    }
    if (properties != nullptr) gst_structure_free(properties);
  }
  g_list_free_full(devices, gst_object_unref);
  EXPECT_EQ(ours, 1);

  GstBus* bus = gst_device_monitor_get_bus(monitor);
  // The next device of `type` for converter `index` (the start's own additions are skipped).
  auto next = [&](GstMessageType type, int index) -> GstDevice* {
    const gint64 end = g_get_monotonic_time() + 5 * G_USEC_PER_SEC;
    while (g_get_monotonic_time() < end) {
      GstMessage* m = gst_bus_timed_pop_filtered(bus, GST_SECOND / 10, type);
      if (m == nullptr) continue;
      GstDevice* device = nullptr;
      if (type == GST_MESSAGE_DEVICE_ADDED) {
        gst_message_parse_device_added(m, &device);
      } else {
        gst_message_parse_device_removed(m, &device);
      }
      gst_message_unref(m);
      GstStructure* properties = gst_device_get_properties(device);
      int found = -1;
      if (properties != nullptr) gst_structure_get_int(properties, "device.index", &found);
      if (properties != nullptr) gst_structure_free(properties);
      if (found == index) return device;
      gst_object_unref(device);
    }
    return nullptr;
  };
  ASSERT_EQ(ZelSim_Attach(4, nullptr), 1);
  GstDevice* added = next(GST_MESSAGE_DEVICE_ADDED, 4);
  ASSERT_NE(added, nullptr);
  gchar* name = gst_device_get_display_name(added);
  EXPECT_STREQ(name, "ZelCnv_05");
  g_free(name);
  gst_object_unref(added);
  ASSERT_EQ(ZelSim_Detach(1), 1);
  GstDevice* removed = next(GST_MESSAGE_DEVICE_REMOVED, 1);
  ASSERT_NE(removed, nullptr);
  gst_object_unref(removed);
  gst_object_unref(bus);
  gst_device_monitor_stop(monitor);
  gst_object_unref(monitor);
  ZelSim_Detach(4);
}

}  // namespace
}  // namespace zelcnv::gsttest
