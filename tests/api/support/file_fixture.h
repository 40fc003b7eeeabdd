// A camera test that writes files: a scratch directory of its own, and what the tests check of
// the AVI files they record (the same natively and under Wine, where no standard reader runs).
#pragma once

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/camera_fixture.h"
#include "test_files.h"

namespace zelcnv::apitest {

class FileTest : public CameraTest {
 protected:
  void SetUp() override {
    CameraTest::SetUp();
    dir_ = std::filesystem::temp_directory_path() /
           ("zelcnv-files-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    CameraTest::TearDown();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::string PathOf(const char* name) const { return (dir_ / name).string(); }
  // The same path as the wide exports take it.
  std::basic_string<ZelCnvWChar> WidePathOf(const char* name) const {
    const std::u16string wide = (dir_ / name).u16string();
    return {wide.begin(), wide.end()};
  }

  int Stride(int bits) const { return (width_ * bits / 8 + 3) / 4 * 4; }

  std::filesystem::path dir_;
};

inline uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at) {
  uint32_t value = 0;
  if (at + 4 <= bytes.size()) std::memcpy(&value, &bytes[at], 4);
  return value;
}

// Frames an AVI file claims in its main header, and the index entries it holds (-1 without an
// index).
struct AviCounts {
  uint32_t totalFrames = 0;
  int indexEntries = -1;
};

inline AviCounts CountAvi(const std::vector<uint8_t>& file) {
  AviCounts counts;
  if (file.size() < 12 || std::memcmp(&file[0], "RIFF", 4) != 0 ||
      std::memcmp(&file[8], "AVI ", 4) != 0) {
    return counts;
  }
  for (size_t at = 0; at + 8 <= file.size(); ++at) {
    if (std::memcmp(&file[at], "avih", 4) == 0) counts.totalFrames = Le32(file, at + 8 + 16);
    if (std::memcmp(&file[at], "idx1", 4) == 0) {
      counts.indexEntries = static_cast<int>(Le32(file, at + 4) / 16);
      break;
    }
  }
  return counts;
}

// Waits for a recording's file to be finished: its index written and its header patched to
// match (the recording's end shows the application no other sign).
inline AviCounts WaitFinishedAvi(const std::string& path) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  AviCounts counts;
  while (std::chrono::steady_clock::now() < deadline) {
    counts = CountAvi(zelcnv::testing::ReadFile(path));
    if (counts.indexEntries > 0 &&
        counts.totalFrames == static_cast<uint32_t>(counts.indexEntries)) {
      return counts;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return counts;
}

// What ffprobe reads of a video file ("width=…", "height=…", "nb_read_frames=…" lines); empty
// where the standard reader is not at hand (under Wine).
inline std::string ProbeVideo(const std::string& path) {
  if (zelcnv::testing::RunCommand("ffprobe -version 2>/dev/null").empty()) return {};
  return zelcnv::testing::RunCommand(
      "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
      "stream=width,height,nb_read_frames -of default=nw=1 '" +
      path + "' 2>&1");
}

}  // namespace zelcnv::apitest
