// Frame decode: weaving a raw frame's two fields into the picture, and the colour decode of a
// region. A raw frame is lines of `pitch` samples; field 1 starts at line 0, field 2 at line
// `fieldLines`, and each field's picture starts at its own line `fieldStart`.
#include <algorithm>
#include <cstring>

#include "device/protocol.h"
#include "device/vxm_sdk_lib.h"

namespace zelcnv::device {

namespace {

// The same double constants as the YUYV colour kernel.
constexpr double kRedFromV = 1.14;
constexpr double kGreenFromU = 0.395;
constexpr double kGreenFromV = 0.581;
constexpr double kBlueFromU = 2.032;
constexpr int kChromaOffset = 128;

uint8_t Clamp(double value) {
  if (value > 255.0) return 255;
  if (value < 0.0) return 0;
  return static_cast<uint8_t>(static_cast<int>(value));
}

// The raw line that picture row `row` comes from: even rows from field 1, odd rows from field 2.
int SourceLine(const FrameGeometry& g, int row) {
  return row % 2 == 0 ? g.fieldStart + row / 2 : g.fieldLines + g.fieldStart + (row - 1) / 2;
}

}  // namespace

FieldRows CVXMSdkLib::RowsOf(const uint8_t* raw) const {
  const FrameGeometry& g = geometry_;
  FieldRows rows;
  rows.bytesPerSample = BytesPerSample();
  const size_t b = static_cast<size_t>(rows.bytesPerSample);
  rows.pitchBytes = b * static_cast<size_t>(g.pitch);
  rows.width = g.frameWidth;
  rows.height = g.frameHeight;
  rows.field[0] = raw + b * (static_cast<size_t>(g.fieldStart) * g.pitch + g.windowStart);
  rows.field[1] = rows.field[0] + rows.pitchBytes * static_cast<size_t>(g.fieldLines);
  return rows;
}

void CVXMSdkLib::CopyFrame(uint8_t* output, const uint8_t* raw) {
  const FieldRows rows = RowsOf(raw);
  const size_t rowBytes =
      static_cast<size_t>(rows.bytesPerSample) * static_cast<size_t>(rows.width);
  for (int32_t i = 0; i < rows.height; ++i, output += rowBytes) {
    std::memcpy(output, rows.Row(i), rowBytes);
  }
}

LibStatus CVXMSdkLib::DecodeFrame(uint8_t* output, const uint8_t* raw, int colour, int reserved) {
  return DecodeRegion(output, raw, colour, reserved, 0, 0, geometry_.frameWidth - 1,
                      geometry_.frameHeight - 1);
}

LibStatus CVXMSdkLib::DecodeRegion(uint8_t* output, const uint8_t* raw, int colour,
                                   int /*reserved*/, int left, int top, int right, int bottom) {
  const FrameGeometry& g = geometry_;
  if (left < 0 || top < 0 || right >= g.frameWidth || bottom >= g.frameHeight || right < left ||
      bottom < top) {
    return kStatusBadRegion;
  }
  if (output == nullptr || raw == nullptr) return kStatusNullPointer;
  const int b = BytesPerSample();
  const bool withColour = colour != 0 && b == 2;
  const int width = right - left + 1;
  for (int row = top; row <= bottom; ++row) {
    const uint8_t* src =
        raw + static_cast<size_t>(b) *
                  (static_cast<size_t>(SourceLine(g, row)) * g.pitch + g.windowStart + left);
    if (!withColour) {
      // Grey: every channel is the sample's luma byte.
      for (int x = 0; x < width; ++x, output += 3) {
        output[0] = output[1] = output[2] = src[static_cast<size_t>(b) * x];
      }
      continue;
    }
    // Pixels pair up from the region's left edge: U on the even one, V on the odd one. A last
    // pixel without a partner has no V.
    for (int x = 0; x < width; x += 2) {
      const double u = src[2 * x + 1] - kChromaOffset;
      const double v = x + 1 < width ? src[2 * x + 3] - kChromaOffset : 0.0;
      for (int k = x; k < std::min(x + 2, width); ++k, output += 3) {
        const double y = src[2 * k];
        output[0] = Clamp(y + kBlueFromU * u);
        output[1] = Clamp((y - kGreenFromU * u) - kGreenFromV * v);
        output[2] = Clamp(y + kRedFromV * v);
      }
    }
  }
  return kStatusOk;
}

size_t CVXMSdkLib::DecodedBytes(int selector) const {
  const FrameGeometry& g = geometry_;
  if (g.frameWidth <= 0 || g.frameHeight <= 0) return 0;
  const size_t pixelBytes = selector == kSelectorCopyFrame ? size_t(BytesPerSample()) : 3;
  return pixelBytes * size_t(g.frameWidth) * size_t(g.frameHeight);
}

LibStatus CVXMSdkLib::Dispatch(uint8_t* output, size_t capacity, const uint8_t* raw, int colour,
                               int reserved, int selector) {
  if (output == nullptr || raw == nullptr) return kStatusNullPointer;
  // A picture sized for an earlier geometry (another device, another standard) is too small
  // for this frame: refused rather than written past.
  if (DecodedBytes(selector) > capacity) return kStatusBadRegion;
  if (selector != kSelectorCopyFrame) return DecodeFrame(output, raw, colour, reserved);
  CopyFrame(output, raw);
  return kStatusOk;
}

LibStatus CVXMSdkLib::DecodeSingleFrame(uint8_t* output, size_t capacity, int colour, int reserved,
                                        int selector) {
  return Dispatch(output, capacity, frameBuffer_, colour, reserved, selector);
}

LibStatus CVXMSdkLib::HeldRingFrame(FieldRows* rows) const {
  const uint8_t* slot = ring_.ReadSlot();
  if (rows == nullptr || slot == nullptr) return kStatusNullPointer;
  if (DecodedBytes(kSelectorCopyFrame) == 0) return kStatusBadRegion;
  *rows = RowsOf(slot);
  return kStatusOk;
}

LibStatus CVXMSdkLib::DecodeRingFrame(uint8_t* output, size_t capacity, int colour, int reserved,
                                      int selector) {
  const uint8_t* slot = ring_.ReadSlot();
  if (output == nullptr || slot == nullptr) return kStatusNullPointer;
  const LibStatus status = Dispatch(output, capacity, slot, colour, reserved, selector);
  ring_.ReleaseRead();
  return status;
}

}  // namespace zelcnv::device
