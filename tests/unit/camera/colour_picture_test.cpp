// The frame's colour picture and the recorder's hand-over: what the preview thread does with each
// frame after the weave, away from any device.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "camera/colour_modes.h"
#include "camera/colour_picture.h"
#include "camera/recorder.h"

namespace zelcnv::camera {
namespace {

constexpr int32_t kWidth = 64, kHeight = 16;

// A picture of `bits` whose every byte tells where it is and which frame it belongs to.
void Fill(imaging::FrameBitmap& picture, int frame) {
  for (int32_t y = 0; y < picture.Height(); ++y) {
    uint8_t* row = picture.Bits() + size_t(y) * picture.Stride();
    for (int32_t x = 0; x < picture.Stride(); ++x) row[x] = uint8_t(x * 7 + y * 3 + frame * 29);
  }
}

bool SamePixels(const imaging::FrameBitmap& a, const imaging::FrameBitmap& b) {
  return a.Stride() == b.Stride() && a.Height() == b.Height() &&
         std::memcmp(a.Bits(), b.Bits(), size_t(a.Stride()) * size_t(a.Height())) == 0;
}

// Every mode: the window and the recorder asking for the same frame get one picture, made by one
// conversion (none where the output picture is already what they take), equal to the mode's
// conversion of the output picture; a frame nobody asks for costs nothing.
TEST(ColourPictureTest, EachFrameIsConvertedAtMostOnceAndOnlyWhenAskedFor) {
  for (const ColourModeTraits& mode : kColourModes) {
    SCOPED_TRACE(mode.bitsPerPixel);
    imaging::FrameBitmap output;
    ASSERT_TRUE(output.Create(kWidth, kHeight, uint16_t(mode.bitsPerPixel)));
    ColourPicture colour;
    ASSERT_TRUE(colour.Create(kWidth, kHeight, mode));
    const uint64_t perFrame = mode.toShown != nullptr ? 1 : 0;
    for (int frame = 0; frame < 3; ++frame) {
      Fill(output, frame);
      colour.NewFrame(output);
      if (frame == 1) continue;  // neither a window on screen nor a recording wants this one
      const imaging::FrameBitmap& forRecorder = colour.Get();
      const imaging::FrameBitmap& forWindow = colour.Get();
      EXPECT_EQ(&forRecorder, &forWindow);
      if (mode.toShown == nullptr) {
        EXPECT_EQ(&forRecorder, &output) << "the output picture itself";
        continue;
      }
      ASSERT_EQ(forRecorder.BitsPerPixel(), 24);
      imaging::FrameBitmap expected;
      ASSERT_TRUE(expected.Create(kWidth, kHeight, 24));
      ASSERT_TRUE(expected.ConvertFrom(*mode.toShown, output));
      EXPECT_TRUE(SamePixels(forRecorder, expected)) << "frame " << frame;
    }
    EXPECT_EQ(colour.Conversions(), 2 * perFrame) << "two frames asked for";

    // Without a window the recorder's frame is converted straight from the output picture; with
    // one it copies what the window drew. Either way, one conversion for the frame.
    imaging::FrameBitmap direct, copied;
    ASSERT_TRUE(direct.Create(kWidth, kHeight, 24));
    ASSERT_TRUE(copied.Create(kWidth, kHeight, 24));
    Fill(output, 7);
    colour.NewFrame(output);
    colour.CopyInto(&direct);
    colour.NewFrame(output);
    const imaging::FrameBitmap& drawn = colour.Get();
    colour.CopyInto(&copied);
    EXPECT_EQ(colour.Conversions(), 4 * perFrame);
    EXPECT_TRUE(SamePixels(direct, copied));
    if (mode.toShown != nullptr) {
      EXPECT_TRUE(SamePixels(direct, drawn));
    }
  }
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The payloads of the file's frame chunks, in order.
std::vector<std::vector<uint8_t>> FrameChunks(const std::vector<uint8_t>& file, size_t frameBytes) {
  std::vector<std::vector<uint8_t>> frames;
  for (size_t at = 0; at + 8 + frameBytes <= file.size(); ++at) {
    uint32_t size = 0;
    std::memcpy(&size, &file[at + 4], 4);
    if (std::memcmp(&file[at], "00db", 4) == 0 && size == frameBytes) {
      frames.emplace_back(file.begin() + long(at + 8), file.begin() + long(at + 8 + frameBytes));
      at += 7 + frameBytes;
    }
  }
  return frames;
}

// The preview thread hands frames over only when the recorder has taken the last; the recorder
// thread, woken by each hand-over, writes exactly the frames handed over, in order, and a stop
// finishes the file with them.
TEST(RecorderTest, TheFileHoldsEveryFrameHandedOverAndNoOther) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("zelcnv-handover-" + std::to_string(::getpid()) + ".avi"))
                               .string();
  ErrorStack errors;
  Recorder recorder(errors);
  EXPECT_FALSE(recorder.WantsFrame()) << "no recording yet";
  ASSERT_EQ(recorder.Start(path.c_str(), 600000, kWidth, kHeight, 24), kStatusOk);
  imaging::FrameBitmap colour;
  ASSERT_TRUE(colour.Create(kWidth, kHeight, 24));
  ColourPicture picture;  // of mode 24: the output picture is the colour one
  ASSERT_TRUE(picture.Create(kWidth, kHeight, kColourModes[kMode24]));
  std::vector<std::vector<uint8_t>> handedOver;
  for (int frame = 0; frame < 40; ++frame) {
    Fill(colour, frame);
    picture.NewFrame(colour);
    if (recorder.WantsFrame()) {
      recorder.Offer(picture);
      handedOver.emplace_back(colour.Bits(), colour.Bits() + size_t(colour.Stride()) * kHeight);
    } else {
      // Not taken yet: this frame is dropped, and the one waiting is left alone.
      recorder.Offer(picture);
    }
    // Mostly taken before the next frame; every fourth the next comes at once, and is dropped
    // unless the recorder was quicker.
    if (frame % 4 != 3) {
      while (!recorder.WantsFrame()) std::this_thread::yield();
    }
  }
  while (!recorder.WantsFrame()) std::this_thread::yield();  // the last one is written
  EXPECT_TRUE(recorder.Recording());
  recorder.Stop();
  EXPECT_FALSE(recorder.Recording());
  EXPECT_EQ(errors.Pop(), kErrNone);
  const auto frames = FrameChunks(ReadAll(path), size_t(colour.Stride()) * kHeight);
  std::filesystem::remove(path);
  EXPECT_GE(handedOver.size(), 30u);
  ASSERT_EQ(frames.size(), handedOver.size());
  for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i], handedOver[i]) << i;
}

}  // namespace
}  // namespace zelcnv::camera
