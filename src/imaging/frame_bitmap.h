// FrameBitmap: the one picture container, a bottom-up device-independent bitmap.
#pragma once

#include <cstdint>

namespace zelcnv::imaging {

class FrameBitmap {
 public:
  FrameBitmap() = default;
  FrameBitmap(const FrameBitmap&) = delete;
  FrameBitmap& operator=(const FrameBitmap&) = delete;
  ~FrameBitmap() = default;

  // Back to the empty state: no surface, no pixels.
  void Reset() {
    width_ = 0;
    height_ = 0;
    bitsPerPixel_ = 0;
  }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int BitsPerPixel() const { return bitsPerPixel_; }

 private:
  int width_ = 0;
  int height_ = 0;
  int bitsPerPixel_ = 0;
};

}  // namespace zelcnv::imaging
