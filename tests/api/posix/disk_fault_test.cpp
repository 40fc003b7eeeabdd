// Linux only: a full disk and a file-size limit under every file the library writes, and a
// settings store that cannot be written. Each write reports its failure, or leaves a file its
// standard reader opens; the next write to a sound place works.
#include <signal.h>
#include <sys/resource.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "ZelCnvSdk.h"
#include "ZelCnvSim.h"
#include "support/file_fixture.h"

namespace zelcnv::apitest {
namespace {

// Files may grow to `bytes` while this lives; writing past the limit fails with EFBIG instead of
// ending the process.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, previous_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*previous_)(int) = nullptr;
};

using DiskFaultTest = FileTest;

TEST_F(DiskFaultTest, EveryStillTypeReportsAFullDiskAndALimitedFile) {
  Open("timing=free input0=ramp", 24);
  ASSERT_EQ(ZelCam_SnapShot(handle_, nullptr, 0, 0), 1);
  for (int type = 0; type <= 6; ++type) {
    EXPECT_EQ(ZelCam_SaveImage(handle_, "/dev/full", type), 0) << "type " << type;
    const std::string path = PathOf(("limited" + std::to_string(type)).c_str());
    {
      const FileSizeLimit limit(200);  // less than any type's headers
      EXPECT_EQ(ZelCam_SaveImage(handle_, path.c_str(), type), 0) << "type " << type;
    }
    EXPECT_EQ(ZelCam_SaveImage(handle_, path.c_str(), type), 1) << "type " << type << " after";
  }
}

TEST_F(DiskFaultTest, ARecordingOnAFullDiskIsRefusedOrEndsWithAReadableFile) {
  Open("timing=free", 24);
  // Refused at once, or (the headers still buffered) ended by the first frame that does not fit.
  if (ZelCam_Record(handle_, "/dev/full", 10000, 0) == 1) {
    ReceivedMessage error{};
    do {
      ASSERT_TRUE(app_.Next(&error, kMessageWaitMs)) << "the full disk is reported";
    } while (error.lParam != ERR_OPERATION);
  } else {
    EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_OPERATION);
  }
  ASSERT_EQ(ZelCam_StopPreview(handle_), 1);
  app_.Drain();

  // A file that may hold about five frames: the recording ends there, reported, and the file
  // keeps every complete frame with an index that says so.
  const std::string path = PathOf("limited.avi");
  const rlim_t frameBytes = static_cast<rlim_t>((width_ * 3 + 3) / 4 * 4) * height_;
  {
    const FileSizeLimit limit(5 * frameBytes + frameBytes / 2);
    ASSERT_EQ(ZelCam_Record(handle_, path.c_str(), 600000, 0), 1);
    ReceivedMessage error{};
    do {
      ASSERT_TRUE(app_.Next(&error, kMessageWaitMs)) << "the full file is reported";
    } while (error.lParam != ERR_OPERATION);
    EXPECT_EQ(ZelCam_StopPreview(handle_), 1);
  }
  const AviCounts counts = CountAvi(zelcnv::testing::ReadFile(path));
  EXPECT_GE(counts.indexEntries, 4);
  EXPECT_LE(counts.indexEntries, 5);
  EXPECT_EQ(counts.totalFrames, static_cast<uint32_t>(counts.indexEntries));
  const std::string probe = ProbeVideo(path);
  EXPECT_NE(probe.find("nb_read_frames=" + std::to_string(counts.indexEntries)), std::string::npos)
      << probe;
  // Frames at the standard's pace: a recording of no duration takes the first frame and the
  // first one after it.
  ASSERT_EQ(ZelSim_Configure(0, "timing=realtime"), 1);
  ASSERT_EQ(ZelCam_Record(handle_, PathOf("after.avi").c_str(), 0, 0), 1);
  EXPECT_EQ(WaitFinishedAvi(PathOf("after.avi")).indexEntries, 2);
  EXPECT_EQ(ZelCam_StopPreview(handle_), 1);
}

TEST_F(DiskFaultTest, ASettingsStoreThatCannotBeWrittenLosesOnlyThatSave) {
  // The configuration home is a plain file: no directory can be made under it.
  const char* home = std::getenv("XDG_CONFIG_HOME");
  ASSERT_NE(home, nullptr);
  const std::string saved = home;
  const std::string blocked = PathOf("not-a-directory");
  std::ofstream(blocked) << "x";
  setenv("XDG_CONFIG_HOME", blocked.c_str(), 1);
  Open("timing=free", 8);
  EXPECT_EQ(ZelCam_SetWaitTime(handle_, 33), 1);
  EXPECT_EQ(ZelCam_Release(handle_), 1) << "a failed save fails nothing the application sees";
  handle_ = ZelCam_Initialize(nullptr);
  EXPECT_EQ(ZelCam_GetWaitTime(handle_), 10) << "nothing was stored";
  EXPECT_EQ(ZelCam_SnapShot(handle_, nullptr, 0, 0), 1);
  ASSERT_EQ(ZelCam_Release(handle_), 1);
  handle_ = 0;
  setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}

}  // namespace
}  // namespace zelcnv::apitest
