// The preview stream's steps that a snapshot shares with the preview thread, away from any device:
// the stream's colour mode and pictures, the weave of a raw frame into them, and the copy into the
// application's buffer.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "camera/preview_stream.h"

namespace zelcnv::camera {
namespace {

constexpr int32_t kFrameWidth = 64, kFrameHeight = 16;

class PreviewStreamTest : public ::testing::Test {
 protected:
  std::unique_ptr<device::CZelCnvSdk> device_;  // none: nothing here starts the thread
  settings::SharedSettings settings_;
  ErrorStack errors_;
  FrameCallback callback_;
  PreviewWindow window_;
  Recorder recorder_{errors_};
  std::atomic<int32_t> state_{kStreamIdle};
  PreviewStream stream_{device_, settings_, errors_, callback_, window_, recorder_, state_};
};

// A copy or a save checks the mode against the one the pictures were made for: the stream's mode
// changes only together with pictures sized for it.
TEST_F(PreviewStreamTest, TheModeChangesOnlyWithPicturesSizedForIt) {
  EXPECT_EQ(stream_.ModeIndex(), -1);
  EXPECT_EQ(stream_.Mode(), nullptr);
  EXPECT_FALSE(stream_.SizePictures(kFrameWidth, kFrameHeight, -1));
  EXPECT_FALSE(stream_.SizePictures(kFrameWidth, kFrameHeight, kColourModeCount));
  EXPECT_EQ(stream_.ModeIndex(), -1) << "a mode outside the table is not taken";

  ASSERT_TRUE(stream_.SizePictures(kFrameWidth, kFrameHeight, kMode48));
  EXPECT_EQ(stream_.Mode(), &kColourModes[kMode48]);
  EXPECT_EQ(stream_.Output().Width(), kFrameWidth);
  EXPECT_EQ(stream_.Output().Height(), kFrameHeight);
  EXPECT_EQ(stream_.Output().BitsPerPixel(), 48);

  EXPECT_FALSE(stream_.SizePictures(kFrameWidth / 2, kFrameHeight, kColourModeCount + 3));
  EXPECT_EQ(stream_.ModeIndex(), kMode48);
  EXPECT_EQ(stream_.Output().Width(), kFrameWidth) << "the pictures stay as they were";
  EXPECT_FALSE(stream_.SizePictures(0, kFrameHeight, kMode8));
  EXPECT_EQ(stream_.ModeIndex(), kMode48) << "nor is one whose pictures could not be made";
}

// Grey frames weave straight into the output picture: a frame whose samples are not the mode's
// size is refused before anything is written; one that fits reaches the picture (bottom row
// first) and the application's buffer (top row first) alike.
TEST_F(PreviewStreamTest, AFrameIsWovenOnlyWhenItsSamplesAreTheModes) {
  ASSERT_TRUE(stream_.SizePictures(kFrameWidth, kFrameHeight, kMode8));
  std::vector<uint8_t> raw(size_t(kFrameWidth) * kFrameHeight);
  for (size_t i = 0; i < raw.size(); ++i) raw[i] = uint8_t(i * 7 + 3);
  device::FieldRows rows;
  rows.field[0] = raw.data();
  rows.field[1] = raw.data() + raw.size() / 2;
  rows.pitchBytes = kFrameWidth;
  rows.width = kFrameWidth;
  rows.height = kFrameHeight;
  rows.bytesPerSample = 2;
  std::vector<uint8_t> buffer(raw.size(), 0xEE);
  const imaging::PictureCopy copy[] = {{buffer.data(), true}};
  EXPECT_FALSE(stream_.WeaveIntoOutput(rows, copy));
  EXPECT_EQ(buffer, std::vector<uint8_t>(raw.size(), 0xEE)) << "nothing copied";

  rows.bytesPerSample = 1;
  ASSERT_TRUE(stream_.WeaveIntoOutput(rows, copy));
  const imaging::FrameBitmap& output = stream_.Output().Publish();
  for (int32_t row = 0; row < kFrameHeight; ++row) {
    EXPECT_EQ(std::memcmp(buffer.data() + size_t(row) * kFrameWidth, rows.Row(row), kFrameWidth), 0)
        << row;
    const uint8_t* held = output.Bits() + size_t(kFrameHeight - 1 - row) * output.Stride();
    EXPECT_EQ(std::memcmp(held, rows.Row(row), kFrameWidth), 0) << row;
  }
}

// A buffer too small for the picture receives nothing and the buffer error is reported; otherwise
// the rows come as held (bottom row first) or, asked for, top row first.
TEST_F(PreviewStreamTest, CopyOutRefusesAShortBufferAndKeepsTheAskedRowOrder) {
  imaging::FrameBitmap picture;
  ASSERT_TRUE(picture.Create(kFrameWidth, kFrameHeight, 24));
  const size_t stride = size_t(picture.Stride()), bytes = stride * kFrameHeight;
  for (size_t i = 0; i < bytes; ++i) picture.Bits()[i] = uint8_t(i * 13 + i / stride);
  std::vector<uint8_t> buffer(bytes, 0xEE);
  for (const int32_t size : {int32_t(bytes) - 1, -1}) {
    EXPECT_FALSE(stream_.CopyOut(picture, 0, buffer.data(), size)) << size;
    EXPECT_EQ(errors_.Pop(), kErrBuffer) << size;
  }
  EXPECT_EQ(buffer, std::vector<uint8_t>(bytes, 0xEE));

  ASSERT_TRUE(stream_.CopyOut(picture, 0, buffer.data(), int32_t(bytes)));
  EXPECT_EQ(std::memcmp(buffer.data(), picture.Bits(), bytes), 0);
  ASSERT_TRUE(stream_.CopyOut(picture, 1, buffer.data(), int32_t(bytes)));
  for (size_t row = 0; row < size_t(kFrameHeight); ++row) {
    const uint8_t* held = picture.Bits() + (kFrameHeight - 1 - row) * stride;
    EXPECT_EQ(std::memcmp(buffer.data() + row * stride, held, stride), 0) << row;
  }
  EXPECT_EQ(errors_.Pop(), kErrNone);
}

}  // namespace
}  // namespace zelcnv::camera
