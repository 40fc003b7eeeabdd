// Surfaces on Windows: GDI device-independent bitmaps and memory device contexts.
#include "platform/surface.h"

#include <windows.h>

#include <cstddef>

namespace zelcnv::platform {

static_assert(sizeof(BitmapInfoHeader) == sizeof(BITMAPINFOHEADER));
static_assert(offsetof(BitmapInfoHeader, biBitCount) == offsetof(BITMAPINFOHEADER, biBitCount));
static_assert(offsetof(BitmapInfoHeader, biClrImportant) ==
              offsetof(BITMAPINFOHEADER, biClrImportant));
static_assert(sizeof(RgbQuad) == sizeof(RGBQUAD));
static_assert(offsetof(BitmapInfo, bmiColors) == offsetof(BITMAPINFO, bmiColors));

namespace {
HDC Dc(SurfaceDc* dc) {
  return reinterpret_cast<HDC>(dc);
}
}  // namespace

DibSection* CreateDibSection(SurfaceDc* reference, const BitmapInfo& info, uint8_t** bits) {
  void* pixels = nullptr;
  HBITMAP section = CreateDIBSection(Dc(reference), reinterpret_cast<const BITMAPINFO*>(&info),
                                     DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (bits != nullptr) *bits = section != nullptr ? static_cast<uint8_t*>(pixels) : nullptr;
  return reinterpret_cast<DibSection*>(section);
}

bool DeleteDibSection(DibSection* section) {
  return section != nullptr && DeleteObject(reinterpret_cast<HBITMAP>(section)) != FALSE;
}

SurfaceDc* CreateMemoryDc() {
  return reinterpret_cast<SurfaceDc*>(CreateCompatibleDC(nullptr));
}

bool DeleteMemoryDc(SurfaceDc* dc) {
  return dc != nullptr && DeleteDC(Dc(dc)) != FALSE;
}

SurfaceObject* SelectDibSection(SurfaceDc* dc, DibSection* section) {
  HGDIOBJ previous = SelectObject(Dc(dc), reinterpret_cast<HGDIOBJ>(section));
  return previous == HGDI_ERROR ? nullptr : reinterpret_cast<SurfaceObject*>(previous);  // null too
}

void RestoreSurfaceObject(SurfaceDc* dc, SurfaceObject* previous) {
  SelectObject(Dc(dc), reinterpret_cast<HGDIOBJ>(previous));
}

uint32_t GetDcColorTable(SurfaceDc* dc, uint32_t start, uint32_t count, RgbQuad* colors) {
  return GetDIBColorTable(Dc(dc), start, count, reinterpret_cast<RGBQUAD*>(colors));
}

bool BlitSurface(SurfaceDc* dst, int32_t x, int32_t y, int32_t width, int32_t height,
                 SurfaceDc* src, int32_t srcX, int32_t srcY) {
  return BitBlt(Dc(dst), x, y, width, height, Dc(src), srcX, srcY, SRCCOPY) != FALSE;
}

bool StretchSurface(SurfaceDc* dst, int32_t x, int32_t y, int32_t width, int32_t height,
                    SurfaceDc* src, int32_t srcX, int32_t srcY, int32_t srcWidth,
                    int32_t srcHeight) {
  return StretchBlt(Dc(dst), x, y, width, height, Dc(src), srcX, srcY, srcWidth, srcHeight,
                    SRCCOPY) != FALSE;
}

}  // namespace zelcnv::platform
