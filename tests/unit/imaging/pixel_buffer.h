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
  PictureRows<uint8_t> Rows() { return {Base(), stride_, width_, height_}; }
  PictureRows<const uint8_t> Rows() const { return {Base(), stride_, width_, height_}; }

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

// Runs a row function down `height` rows of both buffers from row `first` of the source (counting
// down from it when `flipped`) into the destination's first rows, `width` pixels from each
// buffer's column `left`. The pixel sizes are the buffers'.
inline void Convert(RowFn* row, PixelBuffer& dst, const PixelBuffer& src, int width, int height,
                    int first = 0, bool flipped = false, int left = 0) {
  const RowKernel kernel{row, uint8_t(src.Bpp()), uint8_t(dst.Bpp())};
  ConvertRows(kernel, src.At(left, first), flipped ? -src.Stride() : src.Stride(), dst.At(left, 0),
              dst.Stride(), width, height);
}

}  // namespace zelcnv::imaging::testing
