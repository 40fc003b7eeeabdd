// Single frames, still images and recordings through the C API: snapshots with and without an
// armed capture, copies of the current image, saved files and timed AVI clips.
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ZelCnvSdk.h"
#include "ZelCnvSim.h"
#include "support/camera_fixture.h"
#include "support/file_fixture.h"
#include "test_files.h"

namespace zelcnv::apitest {
namespace {

using SingleFramesTest = FileTest;

TEST_F(SingleFramesTest, SnapshotsReadOneFrameWithOrWithoutAnArmedCapture) {
  Open("timing=free", 16);
  const int stride = Stride(16);
  std::vector<uint8_t> buffer(static_cast<size_t>(stride) * height_);
  ASSERT_EQ(ZelCam_SnapShot(handle_, buffer.data(), static_cast<int>(buffer.size()), 1), 1);
  const uint32_t first = StampOfRow(buffer, stride, 0, 2).sequence;
  EXPECT_EQ(StampOfRow(buffer, stride, height_ - 1, 2).sequence, first) << "one whole frame";
  EXPECT_EQ(ZelCam_SnapShot(handle_, nullptr, 0, 0), 1) << "read and converted, nothing copied";

  EXPECT_EQ(ZelCam_Capture(handle_), 1);
  EXPECT_EQ(ZelCam_Capture(handle_), 1) << "armed already";
  ASSERT_EQ(ZelCam_SnapShot(handle_, buffer.data(), static_cast<int>(buffer.size()), 1), 1);
  EXPECT_GT(StampOfRow(buffer, stride, 0, 2).sequence, first);
  EXPECT_EQ(ZelCam_StartPreview(handle_), 0) << "capture armed";
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_NOT_READY);
  EXPECT_EQ(ZelCam_SnapShot(handle_, buffer.data(), static_cast<int>(buffer.size()) - 1, 1), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_BUFFER);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_BUFFER);
  EXPECT_EQ(ZelCam_StopPreview(handle_), 1) << "disarms";

  ASSERT_EQ(ZelCam_StartPreview(handle_), 1);
  EXPECT_EQ(ZelCam_Capture(handle_), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), 0) << "refused without an error while streaming";
  EXPECT_EQ(ZelCam_SnapShot(handle_, buffer.data(), static_cast<int>(buffer.size()), 1), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_NOT_READY);
  EXPECT_EQ(ZelCam_StopPreview(handle_), 1);

  ASSERT_EQ(ZelSim_InjectFault(0, "unplug"), 1);
  EXPECT_EQ(ZelCam_SnapShot(handle_, buffer.data(), static_cast<int>(buffer.size()), 1), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_CAPTURE);
}

TEST_F(SingleFramesTest, AnArmedCaptureFollowsAGeometryChangedByADeviceChange) {
  // Armed at 640 x 480; a new sampling code, or a new standard, and a device change program a
  // larger format: the next snapshot is a whole frame of the new size, not one past the old
  // pictures.
  for (const char* change : {"rate", "standard"}) {
    Open("timing=free standard=525", 8);
    ASSERT_EQ(ZelCam_SetSamplingRate(handle_, 3), 1);
    ASSERT_EQ(ZelCam_Capture(handle_), 1);
    ASSERT_EQ(ZelCam_SnapShot(handle_, nullptr, 0, 0), 1);
    const int armedWidth = ZelCam_Width(handle_), armedHeight = ZelCam_Height(handle_);
    if (std::string(change) == "rate") {
      ASSERT_EQ(ZelCam_SetSamplingRate(handle_, 1), 1);
    } else {
      ASSERT_EQ(ZelSim_Configure(0, "standard=625"), 1);
    }
    ASSERT_EQ(ZelCam_SetDeviceNumber(handle_, 0), 1);
    EXPECT_EQ(ZelCam_SnapShot(handle_, nullptr, 0, 0), 1) << change;
    const int width = ZelCam_Width(handle_), height = ZelCam_Height(handle_);
    EXPECT_GT(int64_t{width} * height, int64_t{armedWidth} * armedHeight) << change;
    const int stride = (width + 3) / 4 * 4;
    std::vector<uint8_t> frame(static_cast<size_t>(stride) * height);
    ASSERT_EQ(ZelCam_SnapShot(handle_, frame.data(), static_cast<int>(frame.size()), 1), 1);
    EXPECT_EQ(StampOfRow(frame, stride, 0, 1).line, zelsim::kStampLineFirst) << change;
    EXPECT_EQ(StampOfRow(frame, stride, height - 1, 1).line, zelsim::kStampLineLast) << change;
    EXPECT_EQ(ZelCam_StartPreview(handle_), 0) << "still armed";
    ASSERT_EQ(ZelCam_Release(handle_), 1);
    handle_ = 0;
    ASSERT_EQ(ZelSim_Detach(0), 1);
  }
}

TEST_F(SingleFramesTest, GetImageCopiesTheLastFrameTaken) {
  Open("timing=free", 24);
  const int stride = Stride(24);
  std::vector<uint8_t> image(static_cast<size_t>(stride) * height_);
  EXPECT_EQ(ZelCam_GetImage(handle_, image.data(), static_cast<int>(image.size()), 0), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_BUFFER) << "no frame taken yet";

  std::vector<uint8_t> snapshot(image.size());
  ASSERT_EQ(ZelCam_SnapShot(handle_, snapshot.data(), static_cast<int>(snapshot.size()), 1), 1);
  ASSERT_EQ(ZelCam_GetImage(handle_, image.data(), static_cast<int>(image.size()), 1), 1);
  EXPECT_EQ(image, snapshot);
  ASSERT_EQ(ZelCam_GetImage(handle_, image.data(), static_cast<int>(image.size()), 0), 1);
  EXPECT_EQ(std::memcmp(&image[0], &snapshot[static_cast<size_t>(height_ - 1) * stride], stride), 0)
      << "bottom row first";
  EXPECT_EQ(ZelCam_GetImage(handle_, nullptr, static_cast<int>(image.size()), 0), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_BUFFER);
  EXPECT_EQ(ZelCam_GetImage(handle_, image.data(), stride * height_ - 1, 0), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_BUFFER);
}

TEST_F(SingleFramesTest, CopiesAfterAColourModeChangeWaitForAFrameOfThatMode) {
  // A buffer sized for the mode the application chose never receives another mode's bytes: the
  // 24-bit picture taken before the change is not handed out as an 8-bit one, nor the other way.
  Open("timing=free", 24);
  std::vector<uint8_t> colour(static_cast<size_t>(Stride(24)) * height_);
  ASSERT_EQ(ZelCam_SnapShot(handle_, colour.data(), static_cast<int>(colour.size()), 1), 1);
  ASSERT_EQ(ZelCam_SetColorMode(handle_, 8), 1);
  std::vector<uint8_t> grey(static_cast<size_t>(Stride(8)) * height_, 0xEE);
  EXPECT_EQ(ZelCam_GetImage(handle_, grey.data(), static_cast<int>(grey.size()), 1), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_NOT_READY);
  EXPECT_EQ(ZelCam_SaveImage(handle_, PathOf("changed.bmp").c_str(), 0), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_NOT_READY);
  EXPECT_FALSE(std::filesystem::exists(PathOf("changed.bmp")));
  EXPECT_EQ(grey[0], 0xEE) << "nothing copied";

  ASSERT_EQ(ZelCam_SnapShot(handle_, nullptr, 0, 0), 1) << "a frame of the chosen mode";
  ASSERT_EQ(ZelCam_GetImage(handle_, grey.data(), static_cast<int>(grey.size()), 1), 1);
  EXPECT_EQ(StampOfRow(grey, Stride(8), 0, 1).line, zelsim::kStampLineFirst);
  ASSERT_EQ(ZelCam_SetColorMode(handle_, 24), 1);
  EXPECT_EQ(ZelCam_GetImage(handle_, colour.data(), static_cast<int>(colour.size()), 1), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_NOT_READY);
  ASSERT_EQ(ZelCam_SetColorMode(handle_, 8), 1);
  EXPECT_EQ(ZelCam_GetImage(handle_, grey.data(), static_cast<int>(grey.size()), 1), 1)
      << "the mode of the picture held again";
}

TEST_F(SingleFramesTest, SaveImageWritesTheCurrentImageByTypeCode) {
  Open("timing=free input0=ramp", 24);
  const std::string bmp = PathOf("frame.bmp");
  EXPECT_EQ(ZelCam_SaveImage(handle_, bmp.c_str(), 0), 0) << "no frame taken yet";
  const int stride = Stride(24);
  std::vector<uint8_t> bottomUp(static_cast<size_t>(stride) * height_);
  ASSERT_EQ(ZelCam_SnapShot(handle_, nullptr, 0, 0), 1);
  ASSERT_EQ(ZelCam_GetImage(handle_, bottomUp.data(), static_cast<int>(bottomUp.size()), 0), 1);

  ASSERT_EQ(ZelCam_SaveImage(handle_, bmp.c_str(), 0), 1);
  const std::vector<uint8_t> file = zelcnv::testing::ReadFile(bmp);
  ASSERT_GE(file.size(), 54 + bottomUp.size());
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(static_cast<int32_t>(Le32(file, 18)), width_);
  EXPECT_EQ(static_cast<int32_t>(Le32(file, 22)), height_);
  const uint32_t pixels = Le32(file, 10);
  EXPECT_EQ(std::memcmp(&file[pixels], bottomUp.data(), bottomUp.size()), 0)
      << "the picture as GetImage gives it, bottom row first";

  // Every type code writes a file; the raw one holds the rows top row first.
  const std::string raw = PathOf("frame.raw");
  ASSERT_EQ(ZelCam_SaveImage(handle_, raw.c_str(), 1), 1);
  const std::vector<uint8_t> rawFile = zelcnv::testing::ReadFile(raw);
  ASSERT_GE(rawFile.size(), static_cast<size_t>(width_) * 3);
  EXPECT_EQ(std::memcmp(rawFile.data(), &bottomUp[static_cast<size_t>(height_ - 1) * stride],
                        static_cast<size_t>(width_) * 3),
            0);
  for (int type : {2, 3, 4, 5, 6}) {
    const std::string path = PathOf(("frame" + std::to_string(type)).c_str());
    EXPECT_EQ(ZelCam_SaveImage(handle_, path.c_str(), type), 1) << "type " << type;
    EXPECT_GT(zelcnv::testing::ReadFile(path).size(), 100u) << "type " << type;
  }
  EXPECT_EQ(ZelCam_SaveImage(handle_, PathOf("frame7").c_str(), 7), 0) << "unknown type";
  EXPECT_EQ(ZelCam_SaveImage(handle_, nullptr, 0), 0);
  EXPECT_EQ(ZelCam_SaveImage(handle_, PathOf("missing/frame.bmp").c_str(), 0), 0);

  const std::basic_string<ZelCnvWChar> wide = WidePathOf("wide.png");
  ASSERT_EQ(ZelCam_SaveImageW(handle_, wide.c_str(), 5), 1);
  const std::vector<uint8_t> png = zelcnv::testing::ReadFile(PathOf("wide.png"));
  ASSERT_GE(png.size(), 8u);
  EXPECT_EQ(std::memcmp(png.data(), "\x89PNG", 4), 0);
}

TEST_F(SingleFramesTest, RecordingOfNoDurationWritesTwoFrames) {
  Open("timing=realtime", 24);
  EXPECT_EQ(ZelCam_Record(handle_, "", 0, 0), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_PARAMETER);
  EXPECT_EQ(ZelCam_Record(handle_, nullptr, 0, 0), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_PARAMETER);

  const std::string path = PathOf("clip.avi");
  ASSERT_EQ(ZelCam_Record(handle_, path.c_str(), 0, 0), 1);
  const AviCounts counts = WaitFinishedAvi(path);
  EXPECT_EQ(counts.indexEntries, 2);
  EXPECT_EQ(counts.totalFrames, 2u);
  // Where the standard reader is at hand (natively), it reads both frames at the frame's size.
  if (!zelcnv::testing::RunCommand("ffprobe -version 2>/dev/null").empty()) {
    const std::string probe = zelcnv::testing::RunCommand(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=width,height,nb_read_frames -of default=nw=1 '" +
        path + "'");
    EXPECT_NE(probe.find("width=" + std::to_string(width_)), std::string::npos) << probe;
    EXPECT_NE(probe.find("height=" + std::to_string(height_)), std::string::npos) << probe;
    EXPECT_NE(probe.find("nb_read_frames=2"), std::string::npos) << probe;
  }
  // The stream goes on after the recording; another recording may start from it.
  const std::basic_string<ZelCnvWChar> wide = WidePathOf("second.avi");
  ASSERT_EQ(ZelCam_RecordW(handle_, wide.c_str(), 0, 0), 1);
  EXPECT_EQ(WaitFinishedAvi(PathOf("second.avi")).indexEntries, 2);
  EXPECT_EQ(ZelCam_StopPreview(handle_), 1);
}

TEST_F(SingleFramesTest, StoppingTheStreamFinishesARunningRecording) {
  Open("timing=realtime", 8);
  const std::string path = PathOf("long.avi");
  ASSERT_EQ(ZelCam_Record(handle_, path.c_str(), 600000, 1), 1);
  EXPECT_EQ(ZelCam_Record(handle_, PathOf("other.avi").c_str(), 1000, 0), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_OPERATION) << "one recording at a time";
  // Some frames in, the application stops: the file is finished with what it has.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  const uintmax_t threeFrames = 4 * static_cast<uintmax_t>(Stride(24)) * height_;
  std::error_code sizeError;  // the file is not shared while written: ask only its size
  while ((std::filesystem::file_size(path, sizeError) < threeFrames || sizeError) &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(ZelCam_StopPreview(handle_), 1);
  const AviCounts counts = CountAvi(zelcnv::testing::ReadFile(path));
  EXPECT_GE(counts.indexEntries, 3);
  EXPECT_EQ(counts.totalFrames, static_cast<uint32_t>(counts.indexEntries));
  EXPECT_FALSE(std::filesystem::exists(PathOf("other.avi")));

  EXPECT_EQ(ZelCam_Record(handle_, PathOf("missing/clip.avi").c_str(), 1000, 0), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_OPERATION) << "the file cannot be created";
  EXPECT_EQ(ZelCam_StartPreview(handle_), 1) << "the failed start closed the stream";
  EXPECT_EQ(ZelCam_Close(handle_), 1);
}

}  // namespace
}  // namespace zelcnv::apitest
