// The AVI recorder: byte layout, timing patch, padded rows, the 32-bit limit and write failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include "imaging/avi_recorder.h"
#include "test_files.h"

namespace zelcnv::imaging {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::RunCommand;

using testing::ReadU32;

std::string Code(const std::vector<uint8_t>& file, size_t offset) {
  return std::string(reinterpret_cast<const char*>(&file[offset]), 4);
}

class AviRecorderTest : public ::testing::Test {
 protected:
  std::string Path(const char* name) {
    fs::create_directories(dir_);
    return (dir_ / name).string();
  }
  // Records `frames` frames of `width` x `height` and finishes at measured rate `measured`.
  std::vector<uint8_t> Record(const std::string& path, int width, int height, int frames,
                              uint32_t measured) {
    recorder_.frameWidth = width;
    recorder_.frameHeight = height;
    recorder_.sourceBitCount = 24;
    recorder_.rate = 30;
    recorder_.frameCount = 0;
    EXPECT_EQ(recorder_.BeginFile(path.c_str()), kStatusOk);
    std::vector<uint8_t> pixels(recorder_.FramePayload());
    for (int i = 0; i < frames; ++i) {
      for (size_t p = 0; p < pixels.size(); ++p) pixels[p] = static_cast<uint8_t>(p * 7 + i);
      EXPECT_EQ(recorder_.AddFrame(pixels.data()), kStatusOk);
      ++recorder_.frameCount;
    }
    recorder_.rate = measured;
    EXPECT_EQ(recorder_.FinishFile(), kStatusOk);
    return ReadFile(path);
  }

  fs::path dir_ = fs::temp_directory_path() / ("zelcnv-avi-" + std::to_string(::getpid()));
  AviRecorder recorder_;

  void TearDown() override { fs::remove_all(dir_); }
};

TEST_F(AviRecorderTest, OneVgaFrameHasTheExactLayout) {
  std::vector<uint8_t> file = Record(Path("one.avi"), 640, 480, 1, 3000);
  ASSERT_EQ(file.size(), 921864u);
  EXPECT_EQ(Code(file, 0), "RIFF");
  EXPECT_EQ(ReadU32(file, 4), 921856u);
  EXPECT_EQ(Code(file, 8), "AVI ");
  EXPECT_EQ(Code(file, 12), "LIST");
  EXPECT_EQ(ReadU32(file, 16), 200u);
  EXPECT_EQ(Code(file, 24), "avih");
  EXPECT_EQ(ReadU32(file, 32), 33333u);
  EXPECT_EQ(ReadU32(file, 44), 0x10010u);
  EXPECT_EQ(ReadU32(file, 48), 1u);
  EXPECT_EQ(ReadU32(file, 56), 1u);
  EXPECT_EQ(ReadU32(file, 60), 921608u);
  EXPECT_EQ(ReadU32(file, 64), 640u);
  EXPECT_EQ(ReadU32(file, 68), 480u);
  EXPECT_EQ(ReadU32(file, 92), 124u);
  EXPECT_EQ(Code(file, 108), "vids");
  EXPECT_EQ(Code(file, 112), "DIB ");
  EXPECT_EQ(ReadU32(file, 128), 333333u);
  EXPECT_EQ(ReadU32(file, 132), 10000000u);
  EXPECT_EQ(ReadU32(file, 140), 1u);
  EXPECT_EQ(Code(file, 172), "strf");
  EXPECT_EQ(ReadU32(file, 184), 640u);
  EXPECT_EQ(ReadU32(file, 188), 480u);
  EXPECT_EQ(file[194], 24);
  EXPECT_EQ(Code(file, 220), "LIST");
  EXPECT_EQ(ReadU32(file, 224), 921612u);
  EXPECT_EQ(Code(file, 228), "movi");
  EXPECT_EQ(Code(file, 232), "00db");
  EXPECT_EQ(ReadU32(file, 236), 921600u);
  const size_t index = 232 + 921608;
  EXPECT_EQ(Code(file, index), "idx1");
  EXPECT_EQ(ReadU32(file, index + 4), 16u);
  EXPECT_EQ(Code(file, index + 8), "00db");
  EXPECT_EQ(ReadU32(file, index + 12), 0x10u);
  EXPECT_EQ(ReadU32(file, index + 16), 4u);
  EXPECT_EQ(ReadU32(file, index + 20), 921600u);
}

TEST_F(AviRecorderTest, IndexOffsetsAndTheMeasuredRate) {
  std::vector<uint8_t> file = Record(Path("two.avi"), 640, 480, 2, 2997);
  const size_t index = 232 + 2 * 921608;
  ASSERT_EQ(file.size(), index + 8 + 32);
  EXPECT_EQ(ReadU32(file, index + 16), 4u);
  EXPECT_EQ(ReadU32(file, index + 32), 921612u);
  EXPECT_EQ(ReadU32(file, 32), 33366u);
  EXPECT_EQ(ReadU32(file, 128), 333667u);
  EXPECT_EQ(ReadU32(file, 48), 2u);
  EXPECT_EQ(ReadU32(file, 140), 2u);
  EXPECT_EQ(file[240 + 921608 + 5], static_cast<uint8_t>(5 * 7 + 1)) << "second frame's pixels";
}

TEST_F(AviRecorderTest, AMeasuredRateOfZeroKeepsTheNominalTiming) {
  std::vector<uint8_t> file = Record(Path("zero.avi"), 8, 2, 1, 0);
  EXPECT_EQ(ReadU32(file, 32), 33333u);
  EXPECT_EQ(ReadU32(file, 128), 333333u);
}

TEST_F(AviRecorderTest, RowsArePaddedToFourBytes) {
  // 5 pixels x 3 bytes = 15 bytes a row, stored as 16 as BI_RGB readers expect.
  std::vector<uint8_t> file = Record(Path("odd.avi"), 5, 3, 2, 3000);
  EXPECT_EQ(ReadU32(file, 236), 48u);
  EXPECT_EQ(Code(file, 232 + 56), "00db") << "chunks follow each other with no pad byte";
  EXPECT_EQ(ReadU32(file, 224), 4u + 2 * 56);
  EXPECT_EQ(file.size(), 232u + 2 * 56 + 8 + 32);
}

TEST_F(AviRecorderTest, AFileNeverGrowsPastItsSizeLimit) {
  recorder_.frameWidth = 64;
  recorder_.frameHeight = 64;
  recorder_.rate = 30;
  recorder_.frameCount = 0;
  const std::string path = Path("full.avi");
  // Room for exactly three frames and their index.
  const uint64_t frameChunk = 64 * 64 * 3 + 8;
  recorder_.SetSizeLimit(232 + 3 * frameChunk + 8 + 3 * 16);
  ASSERT_EQ(recorder_.BeginFile(path.c_str()), kStatusOk);
  std::vector<uint8_t> pixels(recorder_.FramePayload(), 0x42);
  Status status;
  while ((status = recorder_.AddFrame(pixels.data())) == kStatusOk) ++recorder_.frameCount;
  EXPECT_EQ(status, kStatusFull);
  EXPECT_EQ(recorder_.frameCount, 3u);
  recorder_.rate = 3000;
  EXPECT_EQ(recorder_.FinishFile(), kStatusOk);
  std::vector<uint8_t> file = ReadFile(path);
  EXPECT_EQ(file.size(), 232 + 3 * frameChunk + 8 + 3 * 16);
  EXPECT_EQ(ReadU32(file, 4), file.size() - 8);
  EXPECT_EQ(ReadU32(file, 48), 3u);
}

TEST_F(AviRecorderTest, OpenFailuresAndWriteFailuresAreReported) {
  recorder_.frameWidth = 16;
  recorder_.frameHeight = 16;
  EXPECT_EQ(recorder_.BeginFile((dir_ / "missing" / "x.avi").string().c_str()), kStatusOpenFailed);
  EXPECT_EQ(recorder_.BeginFile(nullptr), kStatusOpenFailed);
  EXPECT_EQ(recorder_.BeginFile(""), kStatusOpenFailed);
  EXPECT_FALSE(recorder_.Writing());
  if (fs::exists("/dev/full")) {
    ASSERT_EQ(recorder_.BeginFile("/dev/full"), kStatusOk);
    std::vector<uint8_t> pixels(recorder_.FramePayload());
    EXPECT_EQ(recorder_.AddFrame(pixels.data()), kStatusWriteFailed);
    EXPECT_EQ(recorder_.FinishFile(), kStatusWriteFailed);
  }
}

TEST_F(AviRecorderTest, AnExistingFileIsTruncatedAndRewritten) {
  const std::string path = Path("again.avi");
  Record(path, 640, 480, 2, 3000);
  std::vector<uint8_t> file = Record(path, 8, 2, 1, 3000);
  EXPECT_EQ(file.size(), 232u + 8 + 48 + 8 + 16);
  EXPECT_EQ(ReadU32(file, 4), file.size() - 8);
}

TEST_F(AviRecorderTest, AStandardReaderSeesTheFramesSizeFormatAndRate) {
  if (RunCommand("ffprobe -version").empty()) GTEST_SKIP() << "ffprobe is not installed";
  const std::string path = Path("read.avi");
  // An asymmetric picture: the top-left pixel is white, everything else a gradient.
  recorder_.frameWidth = 320;
  recorder_.frameHeight = 240;
  recorder_.rate = 30;
  recorder_.frameCount = 0;
  ASSERT_EQ(recorder_.BeginFile(path.c_str()), kStatusOk);
  std::vector<uint8_t> first(recorder_.FramePayload());
  for (int frame = 0; frame < 12; ++frame) {
    std::vector<uint8_t> pixels(recorder_.FramePayload());
    for (size_t p = 0; p < pixels.size(); ++p)
      pixels[p] = static_cast<uint8_t>(p / 3 % 251 + frame);
    pixels[0] = pixels[1] = pixels[2] = 255;  // top row first in the file
    if (frame == 0) first = pixels;
    ASSERT_EQ(recorder_.AddFrame(pixels.data()), kStatusOk);
    ++recorder_.frameCount;
  }
  recorder_.rate = 2500;
  ASSERT_EQ(recorder_.FinishFile(), kStatusOk);

  const std::string probe = RunCommand(
      "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
      "stream=width,height,pix_fmt,nb_read_frames,r_frame_rate -of default=nw=1 '" +
      path + "'");
  EXPECT_NE(probe.find("width=320"), std::string::npos) << probe;
  EXPECT_NE(probe.find("height=240"), std::string::npos) << probe;
  EXPECT_NE(probe.find("pix_fmt=bgr24"), std::string::npos) << probe;
  EXPECT_NE(probe.find("nb_read_frames=12"), std::string::npos) << probe;
  EXPECT_NE(probe.find("r_frame_rate=25/1"), std::string::npos) << probe;

  // The decoder turns the bottom-up BI_RGB rows over; the first frame comes back as written.
  const std::string decoded = RunCommand("ffmpeg -v error -i '" + path +
                                         "' -frames:v 1 -f rawvideo -pix_fmt bgr24 -vf vflip -");
  ASSERT_EQ(decoded.size(), first.size());
  EXPECT_EQ(std::memcmp(decoded.data(), first.data(), first.size()), 0);
}

}  // namespace
}  // namespace zelcnv::imaging
