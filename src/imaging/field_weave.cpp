// Weaving a raw frame's fields into a picture, band by band.
#include "imaging/field_weave.h"

#include <algorithm>
#include <cstring>

namespace zelcnv::imaging {

namespace {

// Rows of each field converted before their picture rows are copied out: a band of 16 picture
// rows of 24-bit colour at 640 pixels stays within the first-level cache.
constexpr int32_t kBandFieldRows = 8;

}  // namespace

bool WeaveFrame(const InterlacedFrame& frame, const RowKernel* kernel, FrameBitmap& picture,
                std::span<const PictureCopy> copies) {
  const int32_t height = frame.height;
  const int32_t sampleBytes = kernel == nullptr ? picture.BytesPerPixel() : kernel->srcBytes;
  const int32_t pixelBytes = kernel == nullptr ? frame.bytesPerSample : kernel->dstBytes;
  // A picture sized for another geometry is never written past.
  if (frame.field[0] == nullptr || frame.field[1] == nullptr || height <= 0 ||
      frame.width != picture.Width() || height != picture.Height() ||
      sampleBytes != frame.bytesPerSample || pixelBytes != picture.BytesPerPixel()) {
    return false;
  }
  const size_t stride = size_t(picture.Stride());
  const size_t rowBytes = size_t(frame.bytesPerSample) * size_t(frame.width);
  const auto sourceRow = [&](int32_t p) {
    return frame.field[p % 2] + size_t(p / 2) * frame.pitchBytes;
  };
  // Picture row p is memory row height - 1 - p of the bottom-up picture.
  const auto memoryRow = [&](int32_t p) {
    return picture.Bits() + stride * size_t(height - 1 - p);
  };
  const int32_t fieldRows[2] = {(height + 1) / 2, height / 2};
  for (int32_t first = 0; first < fieldRows[0]; first += kBandFieldRows) {
    const int32_t bandEnd = std::min(height, 2 * (first + kBandFieldRows));
    if (kernel == nullptr) {
      for (int32_t p = 2 * first; p < bandEnd; ++p)
        std::memcpy(memoryRow(p), sourceRow(p), rowBytes);
    } else {
      // Each field's rows are every second row of the picture. The band's rows are written
      // upwards in memory, its last picture row first, as the prefetcher likes best.
      for (int field = 0; field < 2; ++field) {
        const int32_t count = std::min(kBandFieldRows, fieldRows[field] - first);
        if (count <= 0) continue;
        const int32_t last = 2 * (first + count - 1) + field;
        ConvertRows(*kernel, sourceRow(last), -ptrdiff_t(frame.pitchBytes), memoryRow(last),
                    2 * ptrdiff_t(stride), frame.width, count);
      }
    }
    for (const PictureCopy& copy : copies) {
      for (int32_t p = 2 * first; p < bandEnd; ++p) {
        const int32_t row = copy.topDown ? p : height - 1 - p;
        std::memcpy(copy.to + stride * size_t(row), memoryRow(p), stride);
      }
    }
  }
  return true;
}

}  // namespace zelcnv::imaging
