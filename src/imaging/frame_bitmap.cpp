// FrameBitmap: surfaces, colour tables, and the copies between bitmaps.
#include "imaging/frame_bitmap.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace zelcnv::imaging {
namespace {

void WriteGreyRamp(platform::RgbQuad* table) {
  for (int i = 0; i < platform::kColorTableEntries; ++i) {
    const auto level = static_cast<uint8_t>(i);
    table[i] = {level, level, level, 0};
  }
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
  return CreateSurface();
}

bool FrameBitmap::CreateSurface() {
  if (header_.bmiHeader.biBitCount == 8) WriteGreyRamp(header_.bmiColors);
  section_ = platform::CreateDibSection(nullptr, header_, &bits_);
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

void FrameBitmap::BlitFrom(const FrameBitmap& source) {
  platform::BlitSurface(memoryDc_, 0, 0, source.width_, source.height_, source.memoryDc_, 0, 0);
}

bool FrameBitmap::ConvertFrom(const RowKernel& kernel, const FrameBitmap& source) {
  if (kernel.srcBytes != source.BytesPerPixel() || kernel.dstBytes != BytesPerPixel() || Empty() ||
      source.Empty() || bits_ == nullptr || source.bits_ == nullptr) {
    return false;
  }
  // Both pictures lie bottom row first: the top `rows` picture rows are the last memory rows of
  // each, walked upwards in memory, as the prefetcher likes best.
  const int32_t rows = std::min(height_, source.height_);
  ConvertRows(kernel, source.bits_ + ptrdiff_t{source.stride_} * (source.height_ - rows),
              source.stride_, bits_ + ptrdiff_t{stride_} * (height_ - rows), stride_,
              std::min(width_, source.width_), rows);
  return true;
}

void FrameBitmap::CopyPixels(uint8_t* out, bool topDown) const {
  const size_t stride = size_t(stride_);
  if (!topDown) {
    if (bits_ != nullptr) std::memcpy(out, bits_, stride * size_t(height_));
    return;
  }
  for (int32_t row = height_ - 1; row >= 0; --row, out += stride) {
    std::memcpy(out, bits_ + stride * size_t(row), stride);
  }
}

bool FrameBitmap::StretchFrom(StretchFn* stretch, const FrameBitmap& source) {
  if (stretch == nullptr || source.BytesPerPixel() != BytesPerPixel() || Empty() ||
      source.Empty() || bits_ == nullptr || source.bits_ == nullptr) {
    return false;
  }
  stretch(source.Rows(), Rows());
  return true;
}

}  // namespace zelcnv::imaging
