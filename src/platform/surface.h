// Drawing surfaces: device-independent bitmaps selected into memory device contexts, their colour
// tables, and block transfers between device contexts.
// Win32: GDI (CreateDIBSection, CreateCompatibleDC, SelectObject, Set/GetDIBColorTable, BitBlt,
// StretchBlt). POSIX: software surfaces with the GDI behaviour the library relies on.
#pragma once

#include <cstdint>

namespace zelcnv::platform {

// The 40-byte header of a device-independent bitmap, laid out as GDI and the file formats use it.
struct BitmapInfoHeader {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;  // positive: bottom-up, memory row 0 is the picture's bottom row
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40, "the header is 40 bytes in every file and in GDI");

struct RgbQuad {
  uint8_t rgbBlue;
  uint8_t rgbGreen;
  uint8_t rgbRed;
  uint8_t rgbReserved;
};

constexpr int kColorTableEntries = 256;

struct BitmapInfo {
  BitmapInfoHeader bmiHeader;
  RgbQuad bmiColors[kColorTableEntries];
};

constexpr uint32_t kBitmapInfoHeaderSize = sizeof(BitmapInfoHeader);
constexpr uint32_t kBitmapCompressionRgb = 0;

struct SurfaceDc;      // a device context; null means none
struct DibSection;     // a device-independent bitmap whose pixels the caller addresses directly
struct SurfaceObject;  // what selecting a section displaced from a device context

// Creates a section described by `info`, colours given as RGB values. `*bits` receives memory
// row 0 of its pixels, all zero; rows are padded to multiples of 4 bytes. `reference` may be
// null. Null (and *bits null) when the depth, size or memory does not allow it: the POSIX
// surfaces, like GDI, take 8, 16, 24 and 32 bits per pixel, and not 48 or 64.
DibSection* CreateDibSection(SurfaceDc* reference, const BitmapInfo& info, uint8_t** bits);
// Delete a section only once it is no longer selected: GDI defers or refuses deleting a selected
// one, and our surfaces refuse (false), so that no device context is left holding freed pixels.
bool DeleteDibSection(DibSection* section);

// A memory device context compatible with the screen; null on failure.
SurfaceDc* CreateMemoryDc();
bool DeleteMemoryDc(SurfaceDc* dc);

// Selects `section` into `dc` and returns what it displaced, or null on failure (a section is
// selected into at most one device context at a time).
SurfaceObject* SelectDibSection(SurfaceDc* dc, DibSection* section);
// Selects back what SelectDibSection returned, freeing the section for deletion.
void RestoreSurfaceObject(SurfaceDc* dc, SurfaceObject* previous);

// The colour table of the 8-bit section selected into `dc`: entries start .. start + count - 1.
// Returns the number of entries read; 0 when there is no such section.
uint32_t GetDcColorTable(SurfaceDc* dc, uint32_t start, uint32_t count, RgbQuad* colors);

// Source copies in picture coordinates (y = 0 at the top), clipped to both surfaces: pixels
// outside either are left alone. Depths convert as GDI converts them: 8-bit pixels through the
// colour table, the fourth byte of 32-bit pixels dropped; equal depths copy bits unchanged.
bool BlitSurface(SurfaceDc* dst, int32_t x, int32_t y, int32_t width, int32_t height,
                 SurfaceDc* src, int32_t srcX, int32_t srcY);
// As BlitSurface, resampling the source extent onto the destination extent. An extent whose sign
// differs from the other's mirrors: source origin (0, h - 1) with extent (w, -h) turns the
// picture upside down.
bool StretchSurface(SurfaceDc* dst, int32_t x, int32_t y, int32_t width, int32_t height,
                    SurfaceDc* src, int32_t srcX, int32_t srcY, int32_t srcWidth,
                    int32_t srcHeight);

}  // namespace zelcnv::platform
