// Pixel buffers for kernel tests: rows padded to a chosen stride, with guard bytes before and
// after the pixels, so that a kernel writing outside its area shows up as a changed guard.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "imaging/kernels.h"

namespace zelcnv::imaging::testing {

class PixelBuffer {
 public:
  static constexpr int kGuard = 64;
  static constexpr uint8_t kGuardByte = 0xA5;

  PixelBuffer(int width, int height, int bytesPerPixel, int padding = 0, uint8_t fill = 0)
      : width_(width),
        height_(height),
        bpp_(bytesPerPixel),
        stride_(width * bytesPerPixel + padding),
        bytes_(2 * kGuard + static_cast<size_t>(stride_) * height, fill) {
    for (int i = 0; i < kGuard; ++i) bytes_[i] = bytes_[bytes_.size() - 1 - i] = kGuardByte;
  }

  uint8_t* Base() { return bytes_.data() + kGuard; }
  const uint8_t* Base() const { return bytes_.data() + kGuard; }
  uint8_t* At(int x, int row) { return Base() + row * stride_ + x * bpp_; }
  const uint8_t* At(int x, int row) const { return Base() + row * stride_ + x * bpp_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  uint16_t Bpp() const { return static_cast<uint16_t>(bpp_); }
  int32_t Stride() const { return stride_; }
  Plane View() { return {Base(), stride_, Bpp()}; }
  ConstPlane View() const { return {Base(), stride_, Bpp()}; }

  bool GuardsIntact() const {
    for (int i = 0; i < kGuard; ++i) {
      if (bytes_[i] != kGuardByte || bytes_[bytes_.size() - 1 - i] != kGuardByte) return false;
    }
    return true;
  }
  void Randomize(std::mt19937& rng) {
    for (size_t i = kGuard; i < bytes_.size() - kGuard; ++i)
      bytes_[i] = static_cast<uint8_t>(rng());
  }
  // Pixels only, guards excluded.
  std::vector<uint8_t> Pixels() const {
    return std::vector<uint8_t>(bytes_.begin() + kGuard, bytes_.end() - kGuard);
  }
  bool operator==(const PixelBuffer& other) const { return bytes_ == other.bytes_; }

 private:
  int width_, height_, bpp_, stride_;
  std::vector<uint8_t> bytes_;
};

// Runs a blit kernel with the buffers' own geometry.
inline void Blit(BlitKernel kernel, PixelBuffer& dst, const PixelBuffer& src, PixelRect rect,
                 int32_t x, int32_t y) {
  kernel(dst.View(), src.View(), rect, x, y);
}

inline void Stretch(StretchKernel kernel, PixelBuffer& dst, const PixelBuffer& src,
                    PixelRect dstRect, PixelRect srcRect) {
  kernel(dst.View(), src.View(), dstRect, srcRect, src.Width(), src.Height());
}

}  // namespace zelcnv::imaging::testing
