// The formats the capture pin offers: the converter's four colour modes (YUY2, RGB24, RGB32 and
// 8-bit grey as Y800) at the picture size of each sampling rate under a video standard, as
// VIDEOINFOHEADER media types and, after them, as VIDEOINFOHEADER2 ones that carry the interlace
// flags (interleaved fields, the top one first).
#pragma once

#include <windows.h>
#include <dshow.h>

#include <vector>

namespace zelcnv::dshow {

struct Format {
  int bits = 0;          // the library's colour mode: 8, 16, 24, 32
  int samplingCode = 0;  // 0..3
  int width = 0;
  int height = 0;
  bool info2 = false;  // a VIDEOINFOHEADER2 type
};

// Every format of a standard, the sampling code `preferred` first and YUY2 first within a size;
// the VIDEOINFOHEADER ones, then the same as VIDEOINFOHEADER2.
std::vector<Format> FormatsOf(int standard, int preferred);

// 100 ns per frame: 333667 for 525 lines, 400000 for 625.
REFERENCE_TIME FramePeriod(int standard);

// The media type of `format` (its format block allocated with CoTaskMemAlloc).
bool MakeMediaType(const Format& format, int standard, AM_MEDIA_TYPE* type);
// The format a media type asks for, if it is one of the standard's; false otherwise.
bool FormatOf(const AM_MEDIA_TYPE& type, int standard, Format* format);
// Rows of the picture are stored bottom row first (RGB) or top row first (YUY2, Y800).
bool TopDown(int bits);
int FrameBytes(const Format& format);

void FreeMediaType(AM_MEDIA_TYPE* type);
HRESULT CopyMediaType(AM_MEDIA_TYPE* to, const AM_MEDIA_TYPE& from);

}  // namespace zelcnv::dshow
