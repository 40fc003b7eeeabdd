// Where a raw frame's picture lies, and the weave of its two fields into the picture, on synthetic
// raw frames whose every byte tells where it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "device/protocol.h"
#include "device/zel_cnv_sdk.h"
#include "imaging/kernels.h"
#include "woven.h"

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
    FieldRows rows;
    ASSERT_EQ(lib_.HeldSingleFrame(&rows), kStatusOk);
    const std::vector<uint8_t> out = Woven(rows);
    ASSERT_EQ(out.size(), size_t(640 * 480 * b));
    const size_t row = 640 * b;
    const size_t row0 = b * (12 * 780 + 88);
    EXPECT_EQ(std::memcmp(&out[0], raw + row0, row), 0) << "row 0 from line 12, sample 88";
    EXPECT_EQ(std::memcmp(&out[row], raw + row0 + b * 780 * 263, row), 0) << "row 1 from line 275";
    EXPECT_EQ(std::memcmp(&out[2 * row], raw + row0 + b * 780, row), 0) << "row 2 from line 13";
    const size_t lastLine = 263 + 12 + 239;  // field 2's last active line
    EXPECT_EQ(std::memcmp(&out[479 * row], raw + b * (lastLine * 780 + 88), row), 0);
  }
}

// A consumer reading the held slot in place finds every row of the woven picture, and the slot
// stays held until it lets go.
TEST_F(FrameDecodeTest, HeldRingFrameNamesTheRowsOfTheWovenPicture) {
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
    const std::vector<uint8_t> woven = Woven(rows);
    ASSERT_EQ(woven.size(), size_t(640 * 480 * b));
    for (int row = 0; row < 480; ++row) {
      ASSERT_EQ(std::memcmp(rows.Row(row), &woven[size_t(row) * 640 * b], 640 * b), 0) << row;
    }
  }
  lib_.ReleaseRingFrame();
  EXPECT_EQ(lib_.Ring().ReadIndex(), slot + 1) << "let go: the reader names the next slot";
  lib_.Ring().SetReadIndex(lib_.Ring().SlotCount());
  FieldRows none;
  EXPECT_EQ(lib_.HeldRingFrame(&none), kStatusNullPointer) << "no slot held";
  EXPECT_EQ(none.field[0], nullptr);
  EXPECT_EQ(lib_.HeldRingFrame(nullptr), kStatusNullPointer);
}

// The weave through a colour kernel: the picture is bottom-up in memory, the application's copy
// top row first or last as asked, and a picture of another size or sample size is refused with
// nothing written. An odd row count leaves the first field one row longer.
TEST_F(FrameDecodeTest, TheWeaveKeepsThePictureUprightAndRefusesAnotherSize) {
  lib_.SetSampleWidth(true);
  ASSERT_EQ(lib_.SetVideoTiming(780, 88, 6, 20, 3, 5), kStatusOk);
  FillSynthetic(lib_.SingleFrameBuffer(), 2 * lib_.SamplesPerFrame());
  FieldRows rows;
  ASSERT_EQ(lib_.HeldSingleFrame(&rows), kStatusOk);
  rows.height -= 1;  // the device's pictures have even heights; the weave takes any
  const imaging::InterlacedFrame frame = Interlaced(rows);

  imaging::FrameBitmap picture;
  ASSERT_EQ(picture.Create(rows.width, rows.height, 24), 1);
  const size_t stride = size_t(picture.Stride());
  std::vector<uint8_t> topDown(stride * rows.height), bottomUp(topDown.size());
  ASSERT_TRUE(imaging::WeaveFrame(frame, &imaging::kYuyvToBgr24, picture, topDown.data(), true));
  ASSERT_TRUE(imaging::WeaveFrame(frame, &imaging::kYuyvToBgr24, picture, bottomUp.data(), false));
  EXPECT_EQ(std::memcmp(bottomUp.data(), picture.Bits(), bottomUp.size()), 0);
  for (int32_t p = 0; p < rows.height; ++p) {
    // Picture row p, converted on its own, is memory row height - 1 - p and copy row p.
    std::vector<uint8_t> expected(stride);
    imaging::reference::YuyvToBgr24(rows.Row(p), expected.data(), rows.width);
    EXPECT_EQ(std::memcmp(&topDown[stride * p], expected.data(), 3 * rows.width), 0) << p;
    EXPECT_EQ(
        std::memcmp(&bottomUp[stride * (rows.height - 1 - p)], expected.data(), 3 * rows.width), 0)
        << p;
  }

  std::fill(topDown.begin(), topDown.end(), 0xEE);
  imaging::FrameBitmap shorter, grey;
  ASSERT_EQ(shorter.Create(rows.width, rows.height - 1, 24), 1);
  EXPECT_FALSE(imaging::WeaveFrame(frame, &imaging::kYuyvToBgr24, shorter, topDown.data(), true));
  ASSERT_EQ(grey.Create(rows.width, rows.height, 8), 1);
  EXPECT_FALSE(imaging::WeaveFrame(frame, nullptr, grey, topDown.data(), true))
      << "two-byte samples into one-byte pixels";
  EXPECT_FALSE(imaging::WeaveFrame(frame, &imaging::kYuyvToBgrx32, picture, topDown.data(), true))
      << "a kernel writing other pixels than the picture's";
  EXPECT_EQ(topDown[0], 0xEE);
  EXPECT_FALSE(imaging::WeaveFrame({}, nullptr, grey, nullptr, false)) << "no frame";
}

}  // namespace
}  // namespace zelcnv::device
