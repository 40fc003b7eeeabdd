// Weaving raw frames into pictures, on synthetic raw frames whose every byte tells where it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "device/protocol.h"
#include "device/zel_cnv_sdk.h"

namespace zelcnv::device {
namespace {

uint8_t Marker(size_t offset) {
  return static_cast<uint8_t>(offset * 131 + (offset >> 9) * 7);
}

void FillSynthetic(uint8_t* raw, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) raw[i] = Marker(i);
}

class FrameDecodeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(lib_.Geometry().frameWidth, 640) << "a reset library is in format B1";
  }
  CZelCnvSdk lib_{10};
};

TEST_F(FrameDecodeTest, FormatB1RowsComeFromAlternateFields) {
  for (int b : {2, 1}) {
    lib_.SetSampleWidth(b == 2);
    uint8_t* raw = lib_.SingleFrameBuffer();
    FillSynthetic(raw, 2 * lib_.SamplesPerFrame());
    std::vector<uint8_t> out(640 * 480 * b);
    // One byte short of the frame: refused, nothing written.
    std::fill(out.begin(), out.end(), 0xEE);
    ASSERT_EQ(lib_.DecodeSingleFrame(out.data(), out.size() - 1, 0, 0, kSelectorCopyFrame),
              kStatusBadRegion);
    EXPECT_EQ(out[0], 0xEE);
    ASSERT_EQ(lib_.DecodeSingleFrame(out.data(), out.size(), 0, 0, kSelectorCopyFrame), kStatusOk);
    const size_t row = 640 * b;
    const size_t row0 = b * (12 * 780 + 88);
    EXPECT_EQ(std::memcmp(&out[0], raw + row0, row), 0) << "row 0 from line 12, sample 88";
    EXPECT_EQ(std::memcmp(&out[row], raw + row0 + b * 780 * 263, row), 0) << "row 1 from line 275";
    EXPECT_EQ(std::memcmp(&out[2 * row], raw + row0 + b * 780, row), 0) << "row 2 from line 13";
    const size_t lastLine = 263 + 12 + 239;  // field 2's last active line
    EXPECT_EQ(std::memcmp(&out[479 * row], raw + b * (lastLine * 780 + 88), row), 0);
  }
}

TEST_F(FrameDecodeTest, RingDecodeAdvancesTheReadIndexButNotOnNullOutput) {
  lib_.SetSampleWidth(1);
  const int last = lib_.Ring().SlotCount() - 1;
  FillSynthetic(lib_.Ring().Slot(last), 2 * lib_.SamplesPerFrame());
  lib_.Ring().SetReadIndex(last);
  std::vector<uint8_t> out(640 * 480 * 2);
  EXPECT_EQ(lib_.DecodeRingFrame(nullptr, 0, 0, 0, kSelectorCopyFrame), kStatusNullPointer);
  EXPECT_EQ(lib_.Ring().ReadIndex(), last);
  EXPECT_EQ(lib_.DecodeRingFrame(out.data(), out.size(), 0, 0, kSelectorCopyFrame), kStatusOk);
  EXPECT_EQ(lib_.Ring().ReadIndex(), 0);
  EXPECT_EQ(std::memcmp(out.data(), lib_.Ring().Slot(last) + 2 * (12 * 780 + 88), 1280), 0);
}

// A consumer reading the held slot in place finds every row the weave would have copied, and the
// slot stays held until it lets go.
TEST_F(FrameDecodeTest, HeldRingFrameNamesTheRowsTheWeaveCopies) {
  const int slot = 4;
  for (int b : {2, 1}) {
    lib_.SetSampleWidth(b == 2);
    FillSynthetic(lib_.Ring().Slot(slot), 2 * lib_.SamplesPerFrame());
    lib_.Ring().SetReadIndex(slot);
    FieldRows rows;
    ASSERT_EQ(lib_.HeldRingFrame(&rows), kStatusOk);
    EXPECT_EQ(lib_.Ring().ReadIndex(), slot) << "still held";
    ASSERT_EQ(rows.width, 640);
    ASSERT_EQ(rows.height, 480);
    ASSERT_EQ(rows.bytesPerSample, b);
    EXPECT_EQ(rows.Rows(0) + rows.Rows(1), 480);
    EXPECT_EQ(rows.Row(0), lib_.Ring().Slot(slot) + b * (12 * 780 + 88)) << "line 12, sample 88";
    EXPECT_EQ(rows.Row(1), rows.Row(0) + b * 780 * 263) << "line 275";

    std::vector<uint8_t> woven(640 * 480 * b);
    ASSERT_EQ(lib_.DecodeRingFrame(woven.data(), woven.size(), 0, 0, kSelectorCopyFrame),
              kStatusOk);
    for (int row = 0; row < 480; ++row) {
      ASSERT_EQ(std::memcmp(rows.Row(row), &woven[size_t(row) * 640 * b], 640 * b), 0) << row;
    }
  }
  lib_.Ring().SetReadIndex(slot);
  lib_.ReleaseRingFrame();
  EXPECT_EQ(lib_.Ring().ReadIndex(), slot + 1) << "let go: the reader names the next slot";
  lib_.Ring().SetReadIndex(lib_.Ring().SlotCount());
  FieldRows none;
  EXPECT_EQ(lib_.HeldRingFrame(&none), kStatusNullPointer) << "no slot held";
  EXPECT_EQ(none.field[0], nullptr);
  EXPECT_EQ(lib_.HeldRingFrame(nullptr), kStatusNullPointer);
}

TEST_F(FrameDecodeTest, RegionMustLieInsideTheFrame) {
  std::vector<uint8_t> out(640 * 480 * 3);
  const uint8_t* raw = lib_.SingleFrameBuffer();
  EXPECT_EQ(lib_.DecodeRegion(out.data(), raw, 0, 0, -1, 0, 10, 10), kStatusBadRegion);
  EXPECT_EQ(lib_.DecodeRegion(out.data(), raw, 0, 0, 0, -1, 10, 10), kStatusBadRegion);
  EXPECT_EQ(lib_.DecodeRegion(out.data(), raw, 0, 0, 0, 0, 640, 10), kStatusBadRegion);
  EXPECT_EQ(lib_.DecodeRegion(out.data(), raw, 0, 0, 0, 0, 10, 480), kStatusBadRegion);
  EXPECT_EQ(lib_.DecodeRegion(out.data(), raw, 0, 0, 5, 0, 4, 10), kStatusBadRegion);
  EXPECT_EQ(lib_.DecodeRegion(nullptr, raw, 0, 0, 5, 0, 4, 10), kStatusBadRegion)
      << "the rectangle is checked before the pointers";
  EXPECT_EQ(lib_.DecodeRegion(nullptr, raw, 0, 0, 0, 0, 4, 10), kStatusNullPointer);
  EXPECT_EQ(lib_.DecodeRegion(out.data(), nullptr, 0, 0, 0, 0, 4, 10), kStatusNullPointer);
  EXPECT_EQ(lib_.DecodeRegion(out.data(), raw, 0, 0, 639, 479, 639, 479), kStatusOk);
}

// Writes one two-byte sample of picture row `row`, column `x`, into the raw frame.
void PutSample(const FrameGeometry& g, uint8_t* raw, int row, int x, uint8_t luma, uint8_t chroma) {
  int line = row % 2 == 0 ? g.fieldStart + row / 2 : g.fieldLines + g.fieldStart + row / 2;
  uint8_t* sample = raw + 2 * (static_cast<size_t>(line) * g.pitch + g.windowStart + x);
  sample[0] = luma;
  sample[1] = chroma;
}

TEST_F(FrameDecodeTest, ColourDecodePairsPixelsFromTheRegionsLeftEdge) {
  lib_.SetSampleWidth(1);
  uint8_t* raw = lib_.SingleFrameBuffer();
  std::memset(raw, 0x80, 2 * lib_.SamplesPerFrame());
  const FrameGeometry& g = lib_.Geometry();
  // Row 1 (field 2): pixels 3, 4 and 5; Y = 124, and chroma 100 then 255.
  PutSample(g, raw, 1, 3, 124, 100);
  PutSample(g, raw, 1, 4, 124, 255);
  PutSample(g, raw, 1, 5, 124, 100);
  uint8_t out[9] = {};
  ASSERT_EQ(lib_.DecodeRegion(out, raw, 1, 0, 3, 1, 5, 1), kStatusOk);
  // Pixels 3 and 4 pair up (U = -28, V = 127): R = 268.78 -> 255, G = 61.273, B = 67.104.
  const uint8_t paired[3] = {67, 61, 255};
  EXPECT_EQ(std::memcmp(out, paired, 3), 0);
  EXPECT_EQ(std::memcmp(out + 3, paired, 3), 0);
  // Pixel 5 has no partner in the region: U = -28, no V.
  EXPECT_EQ(out[6], 67);
  EXPECT_EQ(out[7], 135);  // 124 + 0.395 * 28 = 135.06
  EXPECT_EQ(out[8], 124);

  // The grey path copies the luma byte into all three channels.
  ASSERT_EQ(lib_.DecodeRegion(out, raw, 0, 0, 3, 1, 5, 1), kStatusOk);
  for (uint8_t channel : out) EXPECT_EQ(channel, 124);
}

TEST_F(FrameDecodeTest, WholeFrameDecodeMatchesTheRawFrameSampleForSample) {
  lib_.SetSampleWidth(0);
  uint8_t* raw = lib_.SingleFrameBuffer();
  FillSynthetic(raw, lib_.SamplesPerFrame());
  std::vector<uint8_t> copy(640 * 480), bgr(640 * 480 * 3);
  ASSERT_EQ(lib_.DecodeSingleFrame(copy.data(), copy.size(), 0, 0, kSelectorCopyFrame), kStatusOk);
  ASSERT_EQ(lib_.DecodeSingleFrame(bgr.data(), bgr.size() - 1, 1, 0, 0), kStatusBadRegion)
      << "colour needs three bytes a pixel";
  ASSERT_EQ(lib_.DecodeSingleFrame(bgr.data(), bgr.size(), 1, 0, 0), kStatusOk)
      << "any other selector";
  for (size_t i = 0; i < copy.size(); ++i) {
    ASSERT_EQ(bgr[3 * i], copy[i]) << i;
    ASSERT_EQ(bgr[3 * i + 2], copy[i]) << i;
  }
}

}  // namespace
}  // namespace zelcnv::device
