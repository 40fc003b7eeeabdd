#include "converter_caps.h"

#include <initializer_list>

#include "ZelCnvSdk.h"

namespace zelcnv::gst {

namespace {

constexpr int kStandards[] = {ZELCNV_VIDEO_525_LINE, ZELCNV_VIDEO_625_LINE,
                              ZELCNV_VIDEO_625_LINE_WIDE};

void AddSize(GstCaps* caps, int standard, PictureSize size) {
  for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
    const GstStructure* s = gst_caps_get_structure(caps, i);
    int w = 0, h = 0, n = 0, d = 0;
    gst_structure_get_int(s, "width", &w);
    gst_structure_get_int(s, "height", &h);
    gst_structure_get_fraction(s, "framerate", &n, &d);
    if (w == size.width && h == size.height && n == (Is625(standard) ? 25 : 30000)) return;
  }
  GValue formats = G_VALUE_INIT;
  gst_value_list_init(&formats, 4);
  for (const char* name : {"BGR", "BGRx", "YUY2", "GRAY8"}) {
    GValue format = G_VALUE_INIT;
    g_value_init(&format, G_TYPE_STRING);
    g_value_set_static_string(&format, name);
    gst_value_list_append_and_take_value(&formats, &format);
  }
  GstStructure* s =
      gst_structure_new("video/x-raw", "width", G_TYPE_INT, size.width, "height", G_TYPE_INT,
                        size.height, "framerate", GST_TYPE_FRACTION, Is625(standard) ? 25 : 30000,
                        Is625(standard) ? 1 : 1001, "interlace-mode", G_TYPE_STRING, "interleaved",
                        "field-order", G_TYPE_STRING, "top-field-first", nullptr);
  gst_structure_take_value(s, "format", &formats);
  gst_caps_append_structure(caps, s);
}

}  // namespace

GstClockTime FramePeriod(int standard) {
  return Is625(standard) ? GST_SECOND / 25 : gst_util_uint64_scale(GST_SECOND, 1001, 30000);
}

int BitsFor(GstVideoFormat format) {
  switch (format) {
    case GST_VIDEO_FORMAT_GRAY8:
      return ZELCNV_COLOR_MODE_8;
    case GST_VIDEO_FORMAT_YUY2:
      return ZELCNV_COLOR_MODE_16;
    case GST_VIDEO_FORMAT_BGR:
      return ZELCNV_COLOR_MODE_24;
    case GST_VIDEO_FORMAT_BGRx:
      return ZELCNV_COLOR_MODE_32;
    default:
      return 0;
  }
}

int SamplingCodeFor(int standard, int width, int height) {
  for (int code = 0; code < kSamplingCodes; ++code) {
    const PictureSize size = SizeFor(standard, code);
    if (size.width == width && size.height == height) return code;
  }
  return -1;
}

GstCaps* ConverterCaps(int standard, int preferredCode) {
  GstCaps* caps = gst_caps_new_empty();
  for (const int s : kStandards) {
    if (standard >= 0 && s != standard) continue;
    if (preferredCode >= 0 && preferredCode < kSamplingCodes) {
      AddSize(caps, s, SizeFor(s, preferredCode));
    }
    for (int code = kSamplingCodes - 1; code >= 0; --code) AddSize(caps, s, SizeFor(s, code));
  }
  return caps;
}

}  // namespace zelcnv::gst
