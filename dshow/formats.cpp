#include "formats.h"

#include <dvdmedia.h>
#include <uuids.h>

#include <cstring>

#include "ZelCnvSdk.h"
#include "converter_picture.h"

namespace zelcnv::dshow {

namespace {

constexpr int kBits[] = {16, 24, 32, 8};

// Y800: 8-bit luma, top row first.
constexpr GUID kSubtypeY800 = {
    0x30303859, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

const GUID& SubtypeOf(int bits) {
  switch (bits) {
    case 8:
      return kSubtypeY800;
    case 16:
      return MEDIASUBTYPE_YUY2;
    case 24:
      return MEDIASUBTYPE_RGB24;
    default:
      return MEDIASUBTYPE_RGB32;
  }
}

DWORD CompressionOf(int bits) {
  switch (bits) {
    case 8:
      return MAKEFOURCC('Y', '8', '0', '0');
    case 16:
      return MAKEFOURCC('Y', 'U', 'Y', '2');
    default:
      return BI_RGB;
  }
}

}  // namespace

std::vector<Format> FormatsOf(int standard, int preferred) {
  std::vector<Format> formats;
  int codes[4], count = 0;
  for (int c : {preferred, 3, 2, 1, 0}) {
    if (c < 0 || c > 3) continue;
    bool seen = false;
    for (int k = 0; k < count; ++k) seen = seen || codes[k] == c;
    if (!seen && count < 4) codes[count++] = c;
  }
  for (int k = 0; k < count; ++k) {
    const adapters::PictureSize size = adapters::SizeFor(standard, codes[k]);
    if (size.width == 0) continue;
    bool duplicate = false;
    for (const Format& f : formats)
      duplicate = duplicate || (f.width == size.width && f.height == size.height);
    if (duplicate) continue;
    for (int bits : kBits) formats.push_back({bits, codes[k], size.width, size.height, false});
  }
  const size_t plain = formats.size();
  for (size_t i = 0; i < plain; ++i) {
    Format f = formats[i];
    f.info2 = true;
    formats.push_back(f);
  }
  return formats;
}

REFERENCE_TIME FramePeriod(int standard) {
  return adapters::Is625(standard) ? 400000 : 333667;
}

bool TopDown(int bits) {
  return bits == 8 || bits == 16;
}

int FrameBytes(const Format& format) {
  return ZELCNV_FRAME_BYTES(format.width, format.height, format.bits);
}

bool MakeMediaType(const Format& format, int standard, AM_MEDIA_TYPE* type) {
  std::memset(type, 0, sizeof *type);
  const size_t size = format.info2 ? sizeof(VIDEOINFOHEADER2) : sizeof(VIDEOINFOHEADER);
  auto* block = static_cast<BYTE*>(CoTaskMemAlloc(size));
  if (block == nullptr) return false;
  std::memset(block, 0, size);
  const REFERENCE_TIME period = FramePeriod(standard);
  const auto bitRate =
      static_cast<DWORD>(static_cast<long long>(FrameBytes(format)) * 8 * 10000000LL / period);
  BITMAPINFOHEADER* bmi;
  if (format.info2) {
    auto* info = reinterpret_cast<VIDEOINFOHEADER2*>(block);
    info->AvgTimePerFrame = period;
    info->dwBitRate = bitRate;
    // Both fields in each frame, the top one first, shown woven or one after the other.
    info->dwInterlaceFlags = AMINTERLACE_IsInterlaced | AMINTERLACE_Field1First |
                             AMINTERLACE_FieldPatBothRegular | AMINTERLACE_DisplayModeBobOrWeave;
    info->dwPictAspectRatioX = 4;
    info->dwPictAspectRatioY = 3;
    bmi = &info->bmiHeader;
  } else {
    auto* info = reinterpret_cast<VIDEOINFOHEADER*>(block);
    info->AvgTimePerFrame = period;
    info->dwBitRate = bitRate;
    bmi = &info->bmiHeader;
  }
  bmi->biSize = sizeof *bmi;
  bmi->biWidth = format.width;
  bmi->biHeight = format.height;
  bmi->biPlanes = 1;
  bmi->biBitCount = static_cast<WORD>(format.bits);
  bmi->biCompression = CompressionOf(format.bits);
  bmi->biSizeImage = static_cast<DWORD>(FrameBytes(format));
  type->majortype = MEDIATYPE_Video;
  type->subtype = SubtypeOf(format.bits);
  type->bFixedSizeSamples = TRUE;
  type->bTemporalCompression = FALSE;
  type->lSampleSize = bmi->biSizeImage;
  type->formattype = format.info2 ? FORMAT_VideoInfo2 : FORMAT_VideoInfo;
  type->cbFormat = static_cast<ULONG>(size);
  type->pbFormat = block;
  return true;
}

bool FormatOf(const AM_MEDIA_TYPE& type, int standard, Format* format) {
  if (type.majortype != MEDIATYPE_Video) return false;
  const BITMAPINFOHEADER* bmi = nullptr;
  if (type.formattype == FORMAT_VideoInfo && type.cbFormat >= sizeof(VIDEOINFOHEADER) &&
      type.pbFormat != nullptr) {
    bmi = &reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat)->bmiHeader;
  } else if (type.formattype == FORMAT_VideoInfo2 && type.cbFormat >= sizeof(VIDEOINFOHEADER2) &&
             type.pbFormat != nullptr) {
    bmi = &reinterpret_cast<const VIDEOINFOHEADER2*>(type.pbFormat)->bmiHeader;
  } else {
    return false;
  }
  const bool info2 = type.formattype == FORMAT_VideoInfo2;
  for (const Format& f : FormatsOf(standard, -1)) {
    if (f.info2 == info2 && type.subtype == SubtypeOf(f.bits) && bmi->biWidth == f.width &&
        (bmi->biHeight == f.height || (TopDown(f.bits) && bmi->biHeight == -f.height))) {
      *format = f;
      return true;
    }
  }
  return false;
}

void FreeMediaType(AM_MEDIA_TYPE* type) {
  if (type->pbFormat != nullptr) CoTaskMemFree(type->pbFormat);
  type->pbFormat = nullptr;
  type->cbFormat = 0;
  if (type->pUnk != nullptr) type->pUnk->Release();
  type->pUnk = nullptr;
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* to, const AM_MEDIA_TYPE& from) {
  *to = from;
  if (from.cbFormat != 0 && from.pbFormat != nullptr) {
    to->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(from.cbFormat));
    if (to->pbFormat == nullptr) return E_OUTOFMEMORY;
    std::memcpy(to->pbFormat, from.pbFormat, from.cbFormat);
  } else {
    to->pbFormat = nullptr;
    to->cbFormat = 0;
  }
  if (to->pUnk != nullptr) to->pUnk->AddRef();
  return S_OK;
}

}  // namespace zelcnv::dshow
