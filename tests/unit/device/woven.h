// The picture the library's one frame road makes of the rows the device library names: the
// samples as they are, top row first, rows packed.
#pragma once

#include <cstdint>
#include <vector>

#include "device/vxm_sdk_lib.h"
#include "imaging/field_weave.h"

namespace zelcnv::device {

inline imaging::InterlacedFrame Interlaced(const FieldRows& rows) {
  return {{rows.field[0], rows.field[1]},
          rows.pitchBytes,
          rows.width,
          rows.height,
          rows.bytesPerSample};
}

// Empty when the weave refused the rows.
inline std::vector<uint8_t> Woven(const FieldRows& rows) {
  imaging::FrameBitmap picture;
  if (picture.Create(rows.width, rows.height, static_cast<uint16_t>(8 * rows.bytesPerSample)) ==
      0) {
    return {};
  }
  const size_t stride = static_cast<size_t>(picture.Stride());
  std::vector<uint8_t> upright(stride * static_cast<size_t>(rows.height));
  if (!imaging::WeaveFrame(Interlaced(rows), nullptr, picture, upright.data(), true)) return {};
  const size_t rowBytes =
      static_cast<size_t>(rows.width) * static_cast<size_t>(rows.bytesPerSample);
  std::vector<uint8_t> packed(rowBytes * static_cast<size_t>(rows.height));
  for (int32_t row = 0; row < rows.height; ++row) {
    std::copy_n(&upright[stride * static_cast<size_t>(row)], rowBytes, &packed[rowBytes * row]);
  }
  return packed;
}

}  // namespace zelcnv::device
