// A test picture: a bottom-up section selected into its own memory device context, with an
// 8-bit grey colour table, addressed in picture coordinates.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/surface.h"

namespace zelcnv::platform {

// A bottom-up section selected into its own memory device context.
class Surface {
 public:
  Surface(int width, int height, uint16_t bitCount) : width_(width), height_(height) {
    BitmapInfo info = {};
    info.bmiHeader = {
        kBitmapInfoHeaderSize, width, height, 1, bitCount, kBitmapCompressionRgb, 0, 0, 0, 0, 0};
    for (int i = 0; i < kColorTableEntries; ++i) {
      const auto v = static_cast<uint8_t>(i);
      info.bmiColors[i] = {v, v, v, 0};
    }
    section_ = CreateDibSection(nullptr, info, &bits_);
    dc_ = CreateMemoryDc();
    previous_ = SelectDibSection(dc_, section_);
    stride_ = (width * bitCount + 31) / 32 * 4;
    bytes_ = bitCount / 8;
  }
  ~Surface() {
    RestoreSurfaceObject(dc_, previous_);
    DeleteDibSection(section_);
    DeleteMemoryDc(dc_);
  }
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  bool Ready() const { return section_ != nullptr && dc_ != nullptr && previous_ != nullptr; }
  SurfaceDc* Dc() const { return dc_; }
  DibSection* Section() const { return section_; }
  // Picture coordinates: row 0 is the top, stored last.
  uint8_t* At(int x, int y) { return bits_ + (height_ - 1 - y) * stride_ + x * bytes_; }
  std::vector<uint8_t> PixelAt(int x, int y) { return {At(x, y), At(x, y) + bytes_}; }
  void Fill(uint8_t value) { std::memset(bits_, value, static_cast<size_t>(stride_) * height_); }

 private:
  int width_, height_, stride_ = 0, bytes_ = 0;
  uint8_t* bits_ = nullptr;
  DibSection* section_ = nullptr;
  SurfaceDc* dc_ = nullptr;
  SurfaceObject* previous_ = nullptr;
};

}  // namespace zelcnv::platform
