// Surfaces on Linux: software device-independent bitmaps and memory device contexts with the GDI
// behaviour the library relies on. Handles are checked against a table, as GDI checks its own, so
// a stale or foreign handle fails instead of touching freed memory; a transfer keeps the surfaces
// it works on alive until it ends.
#include "platform/surface.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace zelcnv::platform {
namespace {

constexpr int64_t kMaxSurfaceBytes = int64_t{1} << 31;

struct Section {
  int32_t width = 0;
  int32_t height = 0;  // rows, positive
  bool bottomUp = true;
  uint16_t bitCount = 0;
  int32_t stride = 0;
  uint8_t* pixels = nullptr;
  uint32_t colorCount = 0;
  RgbQuad colors[kColorTableEntries] = {};
  const void* selectedInto = nullptr;  // the device context holding it, guarded by the table

  ~Section() { std::free(pixels); }

  uint8_t* Row(int64_t pictureRow) const {
    const int64_t memoryRow = bottomUp ? height - 1 - pictureRow : pictureRow;
    return pixels + memoryRow * stride;
  }
};

struct Dc {
  std::shared_ptr<Section> selected;
};

struct Table {
  std::mutex mutex;
  std::unordered_map<const void*, std::shared_ptr<Section>> sections;
  std::unordered_map<const void*, std::unique_ptr<Dc>> dcs;
};

// Never destroyed: surfaces may be released by other objects' static destructors.
Table& Surfaces() {
  static Table* table = new Table;
  return *table;
}

// What a new memory device context holds before a section is selected into it.
char stockBitmap;
SurfaceObject* Stock() {
  return reinterpret_cast<SurfaceObject*>(&stockBitmap);
}

Dc* FindDc(Table& t, const void* handle) {
  auto it = t.dcs.find(handle);
  return it == t.dcs.end() ? nullptr : it->second.get();
}

std::shared_ptr<Section> FindSection(Table& t, const void* handle) {
  auto it = t.sections.find(handle);
  return it == t.sections.end() ? nullptr : it->second;
}

SurfaceObject* Handle(const std::shared_ptr<Section>& section) {
  return reinterpret_cast<SurfaceObject*>(section.get());
}

// Selects `section` (or nothing) into `dc`; returns what was there. Table lock held.
SurfaceObject* SelectLocked(Dc& dc, const void* dcHandle, std::shared_ptr<Section> section) {
  if (section != nullptr && section->selectedInto != nullptr && section->selectedInto != dcHandle) {
    return nullptr;
  }
  SurfaceObject* previous = dc.selected != nullptr ? Handle(dc.selected) : Stock();
  if (dc.selected != nullptr) dc.selected->selectedInto = nullptr;
  dc.selected = std::move(section);
  if (dc.selected != nullptr) dc.selected->selectedInto = dcHandle;
  return previous;
}

// ---- pixels ----

struct Bgr {
  uint8_t b, g, r;
};

Bgr ReadBgr(const Section& s, const RgbQuad* colors, const uint8_t* p) {
  switch (s.bitCount) {
    case 8: {
      const RgbQuad c = p[0] < s.colorCount ? colors[p[0]] : RgbQuad{};
      return {c.rgbBlue, c.rgbGreen, c.rgbRed};
    }
    case 16: {
      // 5-5-5: each five-bit channel widened by repeating its top bits.
      const unsigned v = p[0] | p[1] << 8;
      auto widen = [](unsigned c) { return static_cast<uint8_t>(c << 3 | c >> 2); };
      return {widen(v & 31), widen(v >> 5 & 31), widen(v >> 10 & 31)};
    }
    default:
      return {p[0], p[1], p[2]};
  }
}

void WriteBgr(uint16_t bitCount, Bgr c, uint8_t* p) {
  p[0] = c.b;
  p[1] = c.g;
  p[2] = c.r;
  if (bitCount == 32) p[3] = 0;
}

bool Convertible(uint16_t to, uint16_t from) {
  return to == from || to == 24 || to == 32;
}

// Maps one axis of a transfer. Coordinates count from the origin in the extent's direction, so
// the origin pixel is always the first one covered: a negative extent covers origin + extent + 1
// .. origin. Index k of the destination samples index Sample(k) of the source.
struct Axis {
  int64_t origin;
  int64_t extent;
  int64_t srcOrigin;
  int64_t srcExtent;

  int64_t Count() const { return extent < 0 ? -extent : extent; }
  int64_t At(int64_t k) const { return extent < 0 ? origin - k : origin + k; }
  int64_t SourceAt(int64_t k) const {
    const int64_t n = Count();
    const int64_t sn = srcExtent < 0 ? -srcExtent : srcExtent;
    // The source pixel under the destination pixel's centre.
    const int64_t i = sn == n ? k : (2 * k + 1) * sn / (2 * n);
    return srcExtent < 0 ? srcOrigin - i : srcOrigin + i;
  }
};

bool Transfer(SurfaceDc* dstDc, SurfaceDc* srcDc, const Axis& xs, const Axis& ys) {
  std::shared_ptr<Section> dst, src;
  RgbQuad colors[kColorTableEntries];
  uint32_t colorCount = 0;
  {
    Table& t = Surfaces();
    std::lock_guard lock(t.mutex);
    Dc* d = FindDc(t, dstDc);
    Dc* s = FindDc(t, srcDc);
    if (d == nullptr || s == nullptr) return false;
    dst = d->selected;
    src = s->selected;
    if (dst == nullptr || src == nullptr) return false;
    // The table is copied, so that a concurrent SetDcColorTable cannot tear a transfer.
    std::memcpy(colors, src->colors, sizeof colors);
    colorCount = src->colorCount;
  }
  if (!Convertible(dst->bitCount, src->bitCount)) return false;
  const int dstBytes = dst->bitCount / 8, srcBytes = src->bitCount / 8;
  const bool rawCopy = dst->bitCount == src->bitCount;
  // 8-bit sources: the colour of every index looked up once per transfer, not once per pixel.
  Bgr palette[kColorTableEntries] = {};
  if (src->bitCount == 8) {
    for (uint32_t i = 0; i < colorCount && i < kColorTableEntries; ++i) {
      palette[i] = {colors[i].rgbBlue, colors[i].rgbGreen, colors[i].rgbRed};
    }
  }
  // Rows copied left to right at the same size are clipped once and moved as spans.
  const bool straightColumns = xs.extent > 0 && xs.srcExtent == xs.extent;
  int64_t first = 0, last = 0;
  if (straightColumns) {
    first = std::max({int64_t{0}, -xs.origin, -xs.srcOrigin});
    last = std::min({xs.extent, dst->width - xs.origin, src->width - xs.srcOrigin});
  }
  for (int64_t k = 0; k < ys.Count(); ++k) {
    const int64_t dy = ys.At(k), sy = ys.SourceAt(k);
    if (dy < 0 || dy >= dst->height || sy < 0 || sy >= src->height) continue;
    uint8_t* dRow = dst->Row(dy);
    const uint8_t* sRow = src->Row(sy);
    if (straightColumns) {
      if (last <= first) continue;
      uint8_t* d = dRow + (xs.origin + first) * dstBytes;
      const uint8_t* s = sRow + (xs.srcOrigin + first) * srcBytes;
      if (rawCopy) {
        std::memmove(d, s, static_cast<size_t>((last - first) * dstBytes));
      } else if (src->bitCount == 8) {
        for (int64_t j = first; j < last; ++j, d += dstBytes, ++s) {
          const Bgr c = palette[*s];
          d[0] = c.b;
          d[1] = c.g;
          d[2] = c.r;
          if (dstBytes == 4) d[3] = 0;
        }
      } else {
        for (int64_t j = first; j < last; ++j, d += dstBytes, s += srcBytes) {
          WriteBgr(dst->bitCount, ReadBgr(*src, colors, s), d);
        }
      }
      continue;
    }
    for (int64_t j = 0; j < xs.Count(); ++j) {
      const int64_t dx = xs.At(j), sx = xs.SourceAt(j);
      if (dx < 0 || dx >= dst->width || sx < 0 || sx >= src->width) continue;
      uint8_t* d = dRow + dx * dstBytes;
      const uint8_t* s = sRow + sx * srcBytes;
      if (rawCopy) {
        std::memmove(d, s, static_cast<size_t>(dstBytes));
      } else {
        WriteBgr(dst->bitCount, ReadBgr(*src, colors, s), d);
      }
    }
  }
  return true;
}

}  // namespace

DibSection* CreateDibSection(SurfaceDc*, const BitmapInfo& info, uint8_t** bits) {
  if (bits != nullptr) *bits = nullptr;
  const BitmapInfoHeader& h = info.bmiHeader;
  const uint16_t depth = h.biBitCount;
  const bool supported = depth == 8 || depth == 16 || depth == 24 || depth == 32;
  if (h.biSize < kBitmapInfoHeaderSize || !supported || h.biCompression != kBitmapCompressionRgb ||
      h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN) {
    return nullptr;
  }
  const int64_t rows = h.biHeight < 0 ? -int64_t{h.biHeight} : h.biHeight;
  const int64_t stride = (int64_t{h.biWidth} * depth + 31) / 32 * 4;
  if (stride * rows > kMaxSurfaceBytes) return nullptr;
  auto section = std::make_shared<Section>();
  section->pixels = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(stride * rows), 1));
  if (section->pixels == nullptr) return nullptr;
  section->width = h.biWidth;
  section->height = static_cast<int32_t>(rows);
  section->bottomUp = h.biHeight > 0;
  section->bitCount = depth;
  section->stride = static_cast<int32_t>(stride);
  if (depth == 8) {
    section->colorCount = h.biClrUsed != 0 && h.biClrUsed < kColorTableEntries
                              ? h.biClrUsed
                              : static_cast<uint32_t>(kColorTableEntries);
    std::memcpy(section->colors, info.bmiColors, section->colorCount * sizeof(RgbQuad));
  }
  Table& t = Surfaces();
  std::lock_guard lock(t.mutex);
  t.sections.emplace(section.get(), section);
  if (bits != nullptr) *bits = section->pixels;
  return reinterpret_cast<DibSection*>(section.get());
}

bool DeleteDibSection(DibSection* section) {
  Table& t = Surfaces();
  std::lock_guard lock(t.mutex);
  auto it = t.sections.find(section);
  if (it == t.sections.end() || it->second->selectedInto != nullptr) return false;
  t.sections.erase(it);
  return true;
}

SurfaceDc* CreateMemoryDc() {
  auto dc = std::make_unique<Dc>();
  SurfaceDc* handle = reinterpret_cast<SurfaceDc*>(dc.get());
  Table& t = Surfaces();
  std::lock_guard lock(t.mutex);
  t.dcs.emplace(handle, std::move(dc));
  return handle;
}

bool DeleteMemoryDc(SurfaceDc* dc) {
  Table& t = Surfaces();
  std::lock_guard lock(t.mutex);
  auto it = t.dcs.find(dc);
  if (it == t.dcs.end()) return false;
  if (it->second->selected != nullptr) it->second->selected->selectedInto = nullptr;
  t.dcs.erase(it);
  return true;
}

SurfaceObject* SelectDibSection(SurfaceDc* dc, DibSection* section) {
  Table& t = Surfaces();
  std::lock_guard lock(t.mutex);
  Dc* found = FindDc(t, dc);
  std::shared_ptr<Section> selected = FindSection(t, section);
  if (found == nullptr || selected == nullptr) return nullptr;
  return SelectLocked(*found, dc, std::move(selected));
}

void RestoreSurfaceObject(SurfaceDc* dc, SurfaceObject* previous) {
  Table& t = Surfaces();
  std::lock_guard lock(t.mutex);
  Dc* found = FindDc(t, dc);
  if (found == nullptr) return;
  if (previous == Stock()) {
    SelectLocked(*found, dc, nullptr);
  } else if (std::shared_ptr<Section> section = FindSection(t, previous)) {
    SelectLocked(*found, dc, std::move(section));
  }
}

uint32_t GetDcColorTable(SurfaceDc* dc, uint32_t start, uint32_t count, RgbQuad* colors) {
  Table& t = Surfaces();
  std::lock_guard lock(t.mutex);
  Dc* found = FindDc(t, dc);
  const Section* s = found != nullptr ? found->selected.get() : nullptr;
  if (s == nullptr || colors == nullptr || start >= s->colorCount) return 0;
  const uint32_t n = count < s->colorCount - start ? count : s->colorCount - start;
  std::memcpy(colors, s->colors + start, n * sizeof(RgbQuad));
  return n;
}

bool BlitSurface(SurfaceDc* dst, int32_t x, int32_t y, int32_t width, int32_t height,
                 SurfaceDc* src, int32_t srcX, int32_t srcY) {
  return Transfer(dst, src, {x, width, srcX, width}, {y, height, srcY, height});
}

bool StretchSurface(SurfaceDc* dst, int32_t x, int32_t y, int32_t width, int32_t height,
                    SurfaceDc* src, int32_t srcX, int32_t srcY, int32_t srcWidth,
                    int32_t srcHeight) {
  return Transfer(dst, src, {x, width, srcX, srcWidth}, {y, height, srcY, srcHeight});
}

}  // namespace zelcnv::platform
