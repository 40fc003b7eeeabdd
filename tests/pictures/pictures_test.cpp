// Every output of every colour mode shows the simulated converter's picture, the right way up:
// the frames the application receives, snapshots, copies, stills taken while streaming, saved
// files and recordings, each compared with the simulator's own rendering of the device frame its
// stamp names. What the standard readers make of the files is checked afterwards by
// tests/readers/check_pictures.py, from the manifest this test leaves beside them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ZelCnvSdk.h"
#include "ZelCnvSim.h"
#include "model/frame_stamp.h"
#include "model/picture.h"
#include "support/camera_fixture.h"
#include "support/file_fixture.h"
#include "expected_picture.h"
#include "test_files.h"
#ifdef _WIN32
#include "sim_control.h"
#else
#include "inprocess/sim_inprocess.h"
#endif

namespace zelcnv::apitest {
namespace {

namespace fs = std::filesystem;
using testsupport::Expected;
using testsupport::InLayout;
using testsupport::Render;
using testsupport::StampOf;

// Copies taken while streaming; ThreadSanitizer, which watches every one for a race with the
// preview thread, makes each about twenty times as slow.
#ifdef __SANITIZE_THREAD__
constexpr int kCopiesWhileStreaming = 6;
#else
constexpr int kCopiesWhileStreaming = 20;
#endif

// The same picture as readers hand it out: red first.
std::vector<uint8_t> AsRgb(const std::vector<uint8_t>& bgr, int channelBytes, int channels) {
  std::vector<uint8_t> out(bgr);
  const size_t pixel = size_t(channelBytes) * channels;
  for (size_t p = 0; p + pixel <= out.size(); p += pixel) {
    for (int b = 0; b < channelBytes; ++b) std::swap(out[p + b], out[p + 2 * channelBytes + b]);
  }
  return out;
}

// Rows of `stride` bytes, bottom row first unless `topDown`, equal `expected` (packed, top first)
// pixel for pixel; padding is not looked at.
::testing::AssertionResult SamePicture(const uint8_t* rows, int stride, bool topDown,
                                       const std::vector<uint8_t>& expected, int width,
                                       int height) {
  const size_t rowBytes = expected.size() / height;
  if (expected.size() != rowBytes * height || rowBytes < size_t(width)) {
    return ::testing::AssertionFailure() << "expected picture of the wrong size";
  }
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = rows + size_t(topDown ? y : height - 1 - y) * stride;
    if (std::memcmp(row, &expected[rowBytes * y], rowBytes) != 0) {
      size_t at = 0;
      while (row[at] == expected[rowBytes * y + at]) ++at;
      return ::testing::AssertionFailure()
             << "picture row " << y << " differs at byte " << at << ": " << int{row[at]}
             << " instead of " << int{expected[rowBytes * y + at]};
    }
  }
  return ::testing::AssertionSuccess();
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

class PicturesTest : public CameraTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    CameraTest::SetUp();
    dir_ = fs::path(ZELCNV_PICTURES_DIR) / ("mode" + std::to_string(GetParam()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::ofstream(PathOf("manifest.jsonl")) << manifest_;
    CameraTest::TearDown();
  }

  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
  int Bytes() const { return GetParam() / 8; }
  int Stride(int bits) const { return (width_ * bits / 8 + 3) / 4 * 4; }

  // Asks the checker to read `file` with `reader` ("pillow", or "ffmpeg" with its pixel format)
  // and compare it with `expected`, exactly or within a mean difference of `tolerance`.
  void Check(const std::string& file, const std::string& reader, const std::string& expected,
             double tolerance = 0) {
    manifest_ += "{\"file\": \"" + file + "\", \"reader\": \"" + reader + "\", \"expected\": \"" +
                 expected + "\", \"width\": " + std::to_string(width_) +
                 ", \"height\": " + std::to_string(height_) +
                 ", \"tolerance\": " + std::to_string(tolerance) + "}\n";
  }

  // One frame's picture in each layout the checker compares with, red first.
  void WriteExpected(const Expected& e) {
    if (GetParam() == 8) WriteBytes(PathOf("expected.gray"), e.samples);
    WriteBytes(PathOf("expected.rgb"), AsRgb(e.bgr, 1, 3));
    WriteBytes(PathOf("expected.rgb48"), AsRgb(InLayout(e, 48), 2, 3));
    WriteBytes(PathOf("expected.rgba64"), AsRgb(InLayout(e, 64), 2, 4));
  }

  fs::path dir_;
  std::string manifest_;
  // The application's buffer: the stream writes into it until the handle is released.
  std::vector<uint8_t> buffer_;
};

TEST_P(PicturesTest, EveryOutputShowsTheConvertersPictureTheRightWayUp) {
  const int bits = GetParam();
  Open("timing=manual input0=moving", bits);
  ASSERT_EQ(width_ % 2, 0);
  const int stride = Stride(bits);
  const size_t size = size_t(stride) * height_;

  // Frames delivered into the application's buffer, top row first, released one at a time so
  // that each is read before the next is due.
  std::vector<uint8_t>& buffer = buffer_;
  buffer.resize(size);
  ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), buffer.data(), int(size), 1), 1);
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(ZelSim_InjectFault(0, "release=1"), 1);
    ASSERT_EQ(NextFrameMessage().lParam, 0);
    const uint32_t frame = StampOf(buffer.data(), Bytes());
    EXPECT_EQ(StampOf(&buffer[size - stride], Bytes()), frame);
    ASSERT_TRUE(SamePicture(buffer.data(), stride, true,
                            InLayout(Render(frame, width_, height_), bits), width_, height_))
        << "delivered frame " << i;
  }
  EXPECT_EQ(StopManualStream(), 1);

  // Stills taken while frames stream as fast as the converter makes them: each is one whole
  // frame, never one the library is halfway through rewriting.
  ASSERT_EQ(ZelSim_Configure(0, "timing=free"), 1);
  ASSERT_EQ(ZelCam_StartPreview(handle_), 1);
  ASSERT_EQ(NextFrameMessage().lParam, 0) << "a first frame of the new stream";
  std::vector<uint8_t> still(size);
  for (int i = 0; i < kCopiesWhileStreaming; ++i) {
    ASSERT_EQ(ZelCam_GetImage(handle_, still.data(), int(size), 0), 1);
    const uint32_t frame = StampOf(&still[size - stride], Bytes());
    EXPECT_EQ(StampOf(still.data(), Bytes()), frame) << "the bottom row from another frame";
    ASSERT_TRUE(SamePicture(still.data(), stride, false,
                            InLayout(Render(frame, width_, height_), bits), width_, height_))
        << "copy " << i << " while streaming";
  }
  ASSERT_EQ(ZelCam_SaveImage(handle_, PathOf("streaming.raw").c_str(), 1), 1);
  EXPECT_EQ(ZelCam_StopPreview(handle_), 1);
  frames_.Drain();
  const std::vector<uint8_t> streamingRaw = zelcnv::testing::ReadFile(PathOf("streaming.raw"));
  ASSERT_EQ(streamingRaw.size(), size);
  const uint32_t savedFrame = StampOf(streamingRaw.data(), Bytes());
  EXPECT_TRUE(SamePicture(streamingRaw.data(), stride, true,
                          InLayout(Render(savedFrame, width_, height_), bits), width_, height_))
      << "raw file saved while streaming";

  // A snapshot, the copy of it, and every file type of that frame.
  ASSERT_EQ(ZelCam_SnapShot(handle_, buffer.data(), int(size), 1), 1);
  const Expected e = Render(StampOf(buffer.data(), Bytes()), width_, height_);
  EXPECT_TRUE(SamePicture(buffer.data(), stride, true, InLayout(e, bits), width_, height_))
      << "snapshot";
  ASSERT_EQ(ZelCam_GetImage(handle_, still.data(), int(size), 0), 1);
  EXPECT_TRUE(SamePicture(still.data(), stride, false, InLayout(e, bits), width_, height_))
      << "copy of the snapshot, bottom row first";
  WriteExpected(e);

  // Files show the colour picture (grey in mode 8) at the mode's own depth; mode 16's YUYV pairs
  // are saved as the 24-bit colour they carry, except in raw files.
  const int fileBits = bits == 16 ? 24 : bits;
  ASSERT_EQ(ZelCam_SaveImage(handle_, PathOf("still.bmp").c_str(), 0), 1);
  const std::vector<uint8_t> bmp = zelcnv::testing::ReadFile(PathOf("still.bmp"));
  ASSERT_GE(bmp.size(), 54u);
  EXPECT_EQ(Le32(bmp, 28) & 0xFFFF, uint32_t(fileBits));
  const size_t offBits = Le32(bmp, 10);
  ASSERT_EQ(bmp.size(), offBits + size_t(Stride(fileBits)) * height_);
  EXPECT_TRUE(
      SamePicture(&bmp[offBits], Stride(fileBits), false, InLayout(e, fileBits), width_, height_))
      << "BMP rows, bottom row first";
  ASSERT_EQ(ZelCam_SaveImage(handle_, PathOf("still.raw").c_str(), 1), 1);
  const std::vector<uint8_t> raw = zelcnv::testing::ReadFile(PathOf("still.raw"));
  ASSERT_EQ(raw.size(), size);
  EXPECT_TRUE(SamePicture(raw.data(), stride, true, InLayout(e, bits), width_, height_))
      << "raw rows, top row first";
  const struct {
    int type;
    const char* name;
    double tolerance;  // mean difference a lossy file may show
  } files[] = {{5, "still.png", 0},
               {6, "still.tif", 0},
               {2, "q100.jpg", 3},
               {3, "q70.jpg", 5},
               {4, "q20.jpg", 8}};
  const std::string eightBit = bits == 8 ? "expected.gray" : "expected.rgb";
  for (const auto& file : files) {
    ASSERT_EQ(ZelCam_SaveImage(handle_, PathOf(file.name).c_str(), file.type), 1) << file.name;
    // No standard reader knows 48- or 64-bit TIFF samples in Pillow's modes; FFmpeg reads them.
    if (!(bits >= 48 && file.type == 6)) Check(file.name, "pillow", eightBit, file.tolerance);
  }
  if (bits <= 32) Check("still.bmp", "pillow", eightBit);  // no reader knows 48/64-bit BMP
  if (bits >= 48) {
    const std::string wide = bits == 48 ? "expected.rgb48" : "expected.rgba64";
    const std::string reader = bits == 48 ? "ffmpeg:rgb48le" : "ffmpeg:rgba64le";
    Check("still.png", reader, wide);
    Check("still.tif", reader, wide);
  }

  // A short recording from the stream: every frame stored bottom row first, as the stream
  // format's positive height declares, and equal to the device frame its stamp names.
  ASSERT_EQ(ZelSim_Configure(0, "timing=realtime"), 1);
  const std::string clip = PathOf("clip.avi");
  ASSERT_EQ(ZelCam_Record(handle_, clip.c_str(), 300, 0), 1);
  const AviCounts counts = WaitFinishedAvi(clip);
  EXPECT_EQ(ZelCam_StopPreview(handle_), 1);
  ASSERT_GE(counts.indexEntries, 2);
  const std::vector<uint8_t> avi = zelcnv::testing::ReadFile(clip);
  const size_t frameBytes = size_t(Stride(24)) * height_;
  size_t at = 0;
  while (at + 4 <= avi.size() && std::memcmp(&avi[at], "movi", 4) != 0) ++at;
  at += 4;
  std::vector<uint8_t> recorded;
  int frames = 0;
  for (; at + 8 <= avi.size() && std::memcmp(&avi[at], "00db", 4) == 0;
       at += 8 + Le32(avi, at + 4), ++frames) {
    ASSERT_EQ(Le32(avi, at + 4), frameBytes);
    ASSERT_LE(at + 8 + frameBytes, avi.size());
    const uint8_t* pixels = &avi[at + 8];
    const uint32_t frame = StampOf(pixels + (height_ - 1) * frameBytes / height_, 3);
    const Expected fe = Render(frame, width_, height_);
    EXPECT_TRUE(SamePicture(pixels, Stride(24), false, fe.bgr, width_, height_))
        << "recorded frame " << frames << " (device frame " << frame << ")";
    const std::vector<uint8_t> rgb = AsRgb(fe.bgr, 1, 3);
    recorded.insert(recorded.end(), rgb.begin(), rgb.end());
  }
  EXPECT_EQ(frames, counts.indexEntries);
  WriteBytes(PathOf("clip.expected.rgb"), recorded);
  Check("clip.avi", "ffmpeg:rgb24", "clip.expected.rgb");
  EXPECT_EQ(ZelCam_GetLastError(handle_), 0);
}

INSTANTIATE_TEST_SUITE_P(ColourModes, PicturesTest, ::testing::Values(8, 16, 24, 32, 48, 64),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return "Mode" + std::to_string(info.param);
                         });

}  // namespace
}  // namespace zelcnv::apitest
