// FrameBitmap: the one picture container, a bottom-up device-independent bitmap selected into its
// own memory device context, so that kernels address its pixels and surfaces blit it.
#pragma once

#include <cstdint>

#include "imaging/kernels.h"
#include "platform/surface.h"

namespace zelcnv::imaging {

class FrameBitmap {
 public:
  FrameBitmap() { Release(); }
  FrameBitmap(const FrameBitmap&) = delete;
  FrameBitmap& operator=(const FrameBitmap&) = delete;
  ~FrameBitmap() { Release(); }

  // A new zero-filled surface of `width` x `height` pixels at `bitCount` bits per pixel; 8-bit
  // surfaces start with the grey ramp. Refuses (false) a non-positive size, a zero
  // bit count, or a size whose bytes do not fit, keeping the old surface. Past that, a failure
  // leaves the bitmap empty. Depths no surface holds (48, 64, 12, ...) live in plain memory.
  bool Create(int32_t width, int32_t height, uint16_t bitCount);
  // Frees the surface; harmless on an empty bitmap.
  void Release();

  // Copies the source to this bitmap's top left through the surfaces, converting depths. Nothing
  // happens where either bitmap has no surface.
  void BlitFrom(const FrameBitmap& source);

  // Converts the source's pixels through `kernel` into this bitmap, upright, as far as both
  // reach from the top left. False, calling nothing, when the kernel's pixel sizes are not the
  // two bitmaps' or either has no pixels.
  [[nodiscard]] bool ConvertFrom(const RowKernel& kernel, const FrameBitmap& source);

  // The picture's bytes (Stride() x Height()) into `out`, top row first when `topDown`, else as
  // they lie in memory.
  void CopyPixels(uint8_t* out, bool topDown) const;

  // Resamples the whole source onto the whole of this bitmap through `stretch`, which takes
  // pixels of this bitmap's size, sampling from the bottom row up as the rows lie in memory. False,
  // calling nothing, when the two pixel sizes differ or either bitmap has no pixels.
  [[nodiscard]] bool StretchFrom(StretchFn* stretch, const FrameBitmap& source);

  bool Empty() const { return width_ == 0 || height_ == 0; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t Stride() const { return stride_; }
  int BitsPerPixel() const { return bitCount_; }
  uint16_t BytesPerPixel() const { return static_cast<uint16_t>(bitCount_ / 8); }
  uint8_t* Bits() { return bits_; }
  const uint8_t* Bits() const { return bits_; }
  // The rows in memory order, bottom row of the picture first.
  PictureRows<uint8_t> Rows() { return {bits_, stride_, width_, height_}; }
  PictureRows<const uint8_t> Rows() const { return {bits_, stride_, width_, height_}; }
  // Null when empty, and for a bitmap in plain memory.
  platform::SurfaceDc* MemoryDc() const { return memoryDc_; }
  bool HasSurface() const { return section_ != nullptr; }
  const platform::BitmapInfo& Header() const { return header_; }

 private:
  bool CreateSurface();

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
