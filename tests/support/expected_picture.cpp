#include "expected_picture.h"

#include <gtest/gtest.h>

#include "model/frame_stamp.h"
#ifdef _WIN32
#include "sim_control.h"
#else
#include "inprocess/sim_inprocess.h"
#endif

namespace zelcnv::testsupport {

namespace {

uint8_t Channel(double value) {
  const int truncated = static_cast<int>(value);
  return static_cast<uint8_t>(truncated < 0 ? 0 : truncated > 255 ? 255 : truncated);
}

void PutWord(std::vector<uint8_t>& out, unsigned word) {
  out.push_back(static_cast<uint8_t>(word));
  out.push_back(static_cast<uint8_t>(word >> 8));
}

}  // namespace

Expected Render(uint32_t frame, int width, int height, int device) {
  zelsim::PictureParams params{};
  EXPECT_TRUE(zelsim::GetDevicePictureParams(device, &params));
  return Render(frame, width, height, params);
}

Expected Render(uint32_t frame, int width, int height, const zelsim::PictureParams& params) {
  Expected e;
  e.width = width;
  e.height = height;
  const size_t pixels = size_t(width) * height;
  e.samples.resize(zelsim::ExpectedPictureBytes(params));
  EXPECT_EQ(e.samples.size(), pixels * params.bytesPerSample);
  EXPECT_TRUE(zelsim::RenderExpectedPicture(params, frame, e.samples.data(), e.samples.size()));
  e.bgr.resize(pixels * 3);
  for (size_t p = 0; p < pixels && e.samples.size() == pixels * params.bytesPerSample; ++p) {
    uint8_t* out = &e.bgr[3 * p];
    if (params.bytesPerSample == 1) {
      out[0] = out[1] = out[2] = e.samples[p];
      continue;
    }
    const size_t pair = p & ~size_t{1};  // widths are even: every pixel has its pair
    const int y = e.samples[2 * p];
    const int u = e.samples[2 * pair + 1] - 128, v = e.samples[2 * pair + 3] - 128;
    out[0] = Channel(y + 2.032 * u);
    out[1] = Channel((y - 0.395 * u) - 0.581 * v);
    out[2] = Channel(y + 1.14 * v);
  }
  return e;
}

std::vector<uint8_t> InLayout(const Expected& e, int bits) {
  if (bits == 8 || bits == 16) return e.samples;
  std::vector<uint8_t> out;
  for (size_t p = 0; p < e.bgr.size(); p += 3) {
    for (int k = 0; k < 3; ++k) {
      if (bits <= 32) {
        out.push_back(e.bgr[p + k]);
      } else {
        PutWord(out, e.bgr[p + k] * 257u);
      }
    }
    if (bits == 32) out.push_back(0);
    if (bits == 64) PutWord(out, 0xFFFF);
  }
  return out;
}

uint32_t StampOf(const uint8_t* row, int bytesPerPixel) {
  uint8_t luma[zelsim::kStampSamples];
  for (int i = 0; i < zelsim::kStampSamples; ++i) luma[i] = row[i * bytesPerPixel];
  uint32_t sequence = 0;
  EXPECT_TRUE(zelsim::ReadFrameStamp(luma, 1, &sequence)) << "a row without a stamp";
  return sequence;
}

}  // namespace zelcnv::testsupport
