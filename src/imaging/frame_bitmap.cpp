// FrameBitmap: surfaces, colour tables, and the copies between bitmaps.
#include "imaging/frame_bitmap.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>

namespace zelcnv::imaging {
namespace {

void WriteGreyRamp(platform::RgbQuad* table) {
  for (int i = 0; i < platform::kColorTableEntries; ++i) {
    const auto level = static_cast<uint8_t>(i);
    table[i] = {level, level, level, 0};
  }
}

PixelRect WholeOf(const FrameBitmap& bitmap) {
  return {0, 0, bitmap.Width(), bitmap.Height()};
}

}  // namespace

bool FrameBitmap::Create(int32_t width, int32_t height, uint16_t bitCount) {
  if (width <= 0 || height <= 0 || bitCount == 0) return false;
  // The bit count is divided by 8 before the multiplication, truncating: 12 bits take one byte.
  const int64_t stride = (int64_t{width} * (bitCount / 8) + 3) & ~int64_t{3};
  if (stride > INT32_MAX || stride * height > PTRDIFF_MAX) return false;
  Release();
  platform::BitmapInfoHeader& h = header_.bmiHeader;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = bitCount;
  h.biCompression = platform::kBitmapCompressionRgb;
  width_ = width;
  height_ = height;
  stride_ = static_cast<int32_t>(stride);
  bitCount_ = bitCount;
  return CreateSurface(nullptr);
}

bool FrameBitmap::CreateLike(const FrameBitmap* source) {
  if (source == nullptr || source->width_ <= 0 || source->height_ <= 0 || source->bitCount_ == 0) {
    return false;
  }
  // Taken before Release, which would clear them if the source is this bitmap.
  const platform::BitmapInfoHeader header = source->header_.bmiHeader;
  const int32_t width = source->width_, height = source->height_, stride = source->stride_;
  const uint16_t bitCount = source->bitCount_;
  platform::SurfaceDc* reference = source == this ? nullptr : source->memoryDc_;
  Release();
  header_.bmiHeader = header;
  width_ = width;
  height_ = height;
  stride_ = stride;
  bitCount_ = bitCount;
  return CreateSurface(reference);
}

bool FrameBitmap::CreateSurface(platform::SurfaceDc* reference) {
  if (header_.bmiHeader.biBitCount == 8) WriteGreyRamp(header_.bmiColors);
  section_ = platform::CreateDibSection(reference, header_, &bits_);
  if (section_ != nullptr) {
    memoryDc_ = platform::CreateMemoryDc();
    if (memoryDc_ != nullptr) previousBitmap_ = platform::SelectDibSection(memoryDc_, section_);
    if (memoryDc_ == nullptr || previousBitmap_ == nullptr) {
      Release();
      return false;
    }
    return true;
  }
  // Depths no surface holds live in plain zeroed memory; kernels still reach them.
  const size_t bytes = static_cast<size_t>(stride_) * static_cast<size_t>(height_);
  bits_ = static_cast<uint8_t*>(std::calloc(bytes != 0 ? bytes : 1, 1));
  if (bits_ == nullptr) {
    Release();
    return false;
  }
  return true;
}

void FrameBitmap::Release() {
  if (section_ != nullptr) {
    // A section is deleted only once it is no longer selected.
    if (memoryDc_ != nullptr && previousBitmap_ != nullptr) {
      platform::RestoreSurfaceObject(memoryDc_, previousBitmap_);
    }
    platform::DeleteDibSection(section_);
    section_ = nullptr;
    previousBitmap_ = nullptr;
    bits_ = nullptr;
  }
  if (memoryDc_ != nullptr) {
    platform::DeleteMemoryDc(memoryDc_);
    memoryDc_ = nullptr;
  }
  if (bits_ != nullptr) {
    std::free(bits_);
    bits_ = nullptr;
  }
  width_ = 0;
  height_ = 0;
  stride_ = 0;
  bitCount_ = 0;
  header_ = {};
  header_.bmiHeader.biSize = platform::kBitmapInfoHeaderSize;
}

int FrameBitmap::SetColorTable(int mode, const platform::RgbQuad* table, uint32_t start,
                               uint32_t count) {
  if (mode == kGreyRamp) {
    WriteGreyRamp(header_.bmiColors);
    platform::SetDcColorTable(memoryDc_, 0, platform::kColorTableEntries, header_.bmiColors);
  } else if (mode == kCallerTable && table != nullptr) {
    platform::SetDcColorTable(memoryDc_, start, count, table);
  }
  return 1;
}

void FrameBitmap::BlitFrom(const FrameBitmap* source, const PixelRect* rect, int32_t x, int32_t y) {
  if (source == nullptr) return;
  const PixelRect r = rect != nullptr ? *rect : WholeOf(*source);
  const int64_t width = int64_t{r.right} - r.left, height = int64_t{r.bottom} - r.top;
  if (width < INT32_MIN || width > INT32_MAX || height < INT32_MIN || height > INT32_MAX) return;
  platform::BlitSurface(memoryDc_, x, y, static_cast<int32_t>(width), static_cast<int32_t>(height),
                        source->memoryDc_, r.left, r.top);
}

bool FrameBitmap::ConvertFrom(BlitKernel kernel, const FrameBitmap* source, const PixelRect* rect,
                              int32_t x, int32_t y) {
  if (source == nullptr) return false;
  PixelRect r = rect != nullptr ? *rect : WholeOf(*source);
  if (ClipToBounds(*source, &r, &x, &y) == 0 || kernel == nullptr) return false;
  kernel(PlaneView(), source->PlaneView(), r, x, y);
  return true;
}

bool FrameBitmap::StretchFrom(StretchKernel kernel, const FrameBitmap* source,
                              const PixelRect* srcRect, const PixelRect* dstRect) {
  if (kernel == nullptr || source == nullptr || bits_ == nullptr || source->bits_ == nullptr) {
    return false;
  }
  const PixelRect from = srcRect != nullptr ? *srcRect : WholeOf(*source);
  const PixelRect to = dstRect != nullptr ? *dstRect : WholeOf(*this);
  const bool hasPixels = to.right > to.left && to.bottom > to.top;
  if (hasPixels && (to.left < 0 || to.top < 0 || to.right > width_ || to.bottom > height_)) {
    return false;
  }
  kernel(PlaneView(), source->PlaneView(), to, from, source->width_, source->height_);
  return true;
}

bool FrameBitmap::ClipToBounds(const FrameBitmap& source, PixelRect* rect, int32_t* x,
                               int32_t* y) const {
  const int64_t dw = width_, dh = height_, sw = source.width_, sh = source.height_;
  const int64_t l = rect->left, t = rect->top, r = rect->right, b = rect->bottom;
  const int64_t x0 = *x, y0 = *y;
  const auto nothing = [&] {
    *rect = {0, 0, 0, 0};
    *x = 0;
    *y = 0;
    return false;
  };
  // T: the destination area, in this bitmap's picture coordinates.
  int64_t tl = x0, tt = y0, tr = x0 + (r - l), tb = y0 + (b - t);
  if (tr <= 0 || tb <= 0 || tl >= dw || tt >= dh) return nothing();
  tl = std::max<int64_t>(tl, 0);
  tt = std::max<int64_t>(tt, 0);
  tr = std::min(tr, dw);
  tb = std::min(tb, dh);
  // U: the source area those pixels come from.
  int64_t ul = l + (tl - x0), ut = t + (tt - y0);
  int64_t ur = ul + (tr - tl), ub = ut + (tb - tt);
  if (ur <= 0 || ub <= 0 || ul >= sw || ut >= sh) return nothing();
  // Whatever clipping U to the source removes is removed from T too, so that each pixel still
  // lands where it would have without clipping. (T's top and right are not needed further.)
  if (ul < 0) tl -= ul, ul = 0;
  if (ut < 0) ut = 0;
  if (ur > sw) ur = sw;
  if (ub > sh) tb -= ub - sh, ub = sh;
  if (ur <= ul || ub <= ut) return nothing();
  // Bottom-up bitmaps: picture row p is memory row height - 1 - p.
  *x = static_cast<int32_t>(tl);
  *y = static_cast<int32_t>(dh - tb);
  *rect = {static_cast<int32_t>(ul), static_cast<int32_t>(sh - ub), static_cast<int32_t>(ur),
           static_cast<int32_t>(sh - ut)};
  return true;
}

}  // namespace zelcnv::imaging
