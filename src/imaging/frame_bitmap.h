// FrameBitmap: the one picture container, a bottom-up device-independent bitmap selected into its
// own memory device context, so that kernels address its pixels and surfaces blit it.
#pragma once

#include <cstdint>

#include "imaging/kernels.h"
#include "platform/surface.h"

namespace zelcnv::imaging {

class FrameBitmap {
 public:
  // SetColorTable modes.
  static constexpr int kGreyRamp = 0;
  static constexpr int kCallerTable = 2;

  FrameBitmap() { Reset(); }
  FrameBitmap(const FrameBitmap&) = delete;
  FrameBitmap& operator=(const FrameBitmap&) = delete;
  ~FrameBitmap() { Release(); }

  // Back to the empty state, freeing whatever surface the bitmap holds.
  void Reset() { Release(); }

  // A new zero-filled surface of `width` x `height` pixels at `bitCount` bits per pixel; 8-bit
  // surfaces start with the grey ramp. Refuses (false) a non-positive size, a zero
  // bit count, or a size whose bytes do not fit, keeping the old surface. Past that, a failure
  // leaves the bitmap empty. Depths no surface holds (48, 64, 12, ...) live in plain memory.
  bool Create(int32_t width, int32_t height, uint16_t bitCount);
  // As Create, with the source's header and geometry (not its colour table). False when the source
  // is missing or empty.
  bool CreateLike(const FrameBitmap* source);
  // Frees the surface; harmless on an empty bitmap.
  void Release();

  // kGreyRamp: writes the grey ramp into the header and the surface. kCallerTable: sets entries
  // start .. start + count - 1 of the surface's table. Other modes do nothing. Always 1.
  int SetColorTable(int mode, const platform::RgbQuad* table, uint32_t start, uint32_t count);

  // Copies the source's `rect` (picture coordinates; null: the whole source) to (x, y) through
  // the surfaces, converting depths. Nothing happens where either bitmap has no surface.
  void BlitFrom(const FrameBitmap* source, const PixelRect* rect, int32_t x, int32_t y);

  // Copies the source's `rect` (picture coordinates; null: the whole source) to (x, y) through
  // `kernel`, after clipping to both bitmaps and turning picture rows into memory rows. False,
  // calling nothing and leaving this bitmap as it was, when nothing is left to copy or there is
  // no kernel.
  [[nodiscard]] bool ConvertFrom(BlitKernel kernel, const FrameBitmap* source,
                                 const PixelRect* rect, int32_t x, int32_t y);

  // Resamples the source's `srcRect` (null: the whole source; only its size counts) onto
  // `dstRect` of this bitmap (null: all of it) through `kernel`. Nothing is clipped: false,
  // calling nothing, when there is no kernel, either bitmap has no pixels, or `dstRect` reaches
  // outside this bitmap.
  [[nodiscard]] bool StretchFrom(StretchKernel kernel, const FrameBitmap* source,
                                 const PixelRect* srcRect, const PixelRect* dstRect);

  // Turns a copy of the source's `rect` to (x, y), both in picture coordinates, into the kernels'
  // terms: `rect` becomes the source's memory rows (bottom exclusive) and columns, (x, y) the
  // destination column and memory row where the copy starts. Both rectangles shrink together, so
  // each copied pixel keeps its place. False (and an empty rectangle at (0, 0)) when nothing is
  // left.
  bool ClipToBounds(const FrameBitmap& source, PixelRect* rect, int32_t* x, int32_t* y) const;

  bool Empty() const { return width_ == 0 || height_ == 0; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t Stride() const { return stride_; }
  int BitsPerPixel() const { return bitCount_; }
  uint16_t BytesPerPixel() const { return static_cast<uint16_t>(bitCount_ / 8); }
  uint8_t* Bits() { return bits_; }
  const uint8_t* Bits() const { return bits_; }
  // The pixels as the kernels address them: memory rows, bottom row of the picture first.
  Plane PlaneView() { return {bits_, stride_, BytesPerPixel()}; }
  ConstPlane PlaneView() const { return {bits_, stride_, BytesPerPixel()}; }
  // Null when empty, and for a bitmap in plain memory.
  platform::SurfaceDc* MemoryDc() const { return memoryDc_; }
  bool HasSurface() const { return section_ != nullptr; }
  const platform::BitmapInfo& Header() const { return header_; }

 private:
  bool CreateSurface(platform::SurfaceDc* reference);

  platform::BitmapInfo header_ = {};
  platform::SurfaceDc* memoryDc_ = nullptr;
  platform::DibSection* section_ = nullptr;
  uint8_t* bits_ = nullptr;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t stride_ = 0;
  uint16_t bitCount_ = 0;
  platform::SurfaceObject* previousBitmap_ = nullptr;
};

}  // namespace zelcnv::imaging
