// Recordings longer than one part: OpenDML files with parts of a lowered size, written from
// every colour mode's 24-bit frames, read by FFmpeg frame for frame and by a classic reader of
// ours as the first part alone; and recordings that fit, which keep the classic layout.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "camera/colour_modes.h"
#include "camera/colour_picture.h"
#include "camera/recorder.h"
#include "imaging/avi_recorder.h"
#include "imaging/frame_bitmap.h"
#include "test_files.h"

namespace zelcnv::imaging {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::RunCommand;

constexpr int kWidth = 160, kHeight = 120;
constexpr uint64_t kPart = 300 * 1024;  // five frames of 160 x 120 and their indexes

using testing::ReadU32;
bool CodeIs(const std::vector<uint8_t>& file, size_t at, const char* code) {
  return at + 4 <= file.size() && std::memcmp(&file[at], code, 4) == 0;
}

bool StandardReaderAvailable() {
  return !RunCommand("ffprobe -version 2>/dev/null").empty();
}

// What ffprobe counts and FFmpeg decodes of the file's last frame (top row first, BGR).
std::string Probe(const std::string& path) {
  return RunCommand(
      "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
      "stream=width,height,r_frame_rate,nb_read_frames -of default=nw=1 '" +
      path + "' 2>&1");
}
std::vector<uint8_t> LastFrame(const std::string& path, int frames) {
  const std::string out = RunCommand("ffmpeg -v error -i '" + path + "' -vf 'select=eq(n\\," +
                                     std::to_string(frames - 1) +
                                     ")' -vsync 0 -f rawvideo -pix_fmt bgr24 - 2>/dev/null");
  return {out.begin(), out.end()};
}

// The first RIFF part as a reader of the classic layout alone sees it: its length, the frames
// its idx1 lists (each a whole "00db" chunk inside the part) and the main header's count; -1
// where the part is not a valid classic file.
struct ClassicView {
  uint64_t partBytes = 0;
  int indexed = -1;
  uint32_t totalFrames = 0;
};
ClassicView ReadClassically(const std::vector<uint8_t>& file) {
  ClassicView view;
  if (!CodeIs(file, 0, "RIFF") || !CodeIs(file, 8, "AVI ")) return view;
  view.partBytes = uint64_t{ReadU32(file, 4)} + 8;
  if (view.partBytes > file.size()) return view;
  view.totalFrames = ReadU32(file, 48);
  size_t movi = 0;
  for (size_t at = 12; at + 8 <= view.partBytes; at += 8 + size_t(ReadU32(file, at + 4))) {
    if (CodeIs(file, at, "LIST") && CodeIs(file, at + 8, "movi")) movi = at + 8;
    if (CodeIs(file, at, "idx1")) {
      const uint32_t entries = ReadU32(file, at + 4) / 16;
      for (uint32_t i = 0; i < entries; ++i) {
        const size_t entry = at + 8 + 16 * size_t(i);
        const size_t chunk = movi + ReadU32(file, entry + 8);
        if (movi == 0 || !CodeIs(file, entry, "00db") || !CodeIs(file, chunk, "00db") ||
            chunk + 8 + ReadU32(file, entry + 12) > view.partBytes) {
          return view;
        }
      }
      view.indexed = static_cast<int>(entries);
      return view;
    }
  }
  return view;
}

class OpenDmlTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) {
    fs::create_directories(dir_);
    return (dir_ / name).string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Begin(const std::string& path, uint32_t plannedMs) {
    avi_.frameWidth = kWidth;
    avi_.frameHeight = kHeight;
    avi_.sourceBitCount = 24;
    avi_.rate = 30;
    avi_.frameCount = 0;
    avi_.plannedDurationMs = plannedMs;
    avi_.SetPartLimit(kPart);
    ASSERT_EQ(avi_.BeginFile(path.c_str()), kStatusOk);
  }

  // Frame `n` as colour mode `mode` makes it for the file: a YUYV picture that differs from
  // frame to frame, turned into the mode's output picture and then into the 24-bit frame.
  const FrameBitmap& FrameOfMode(const camera::ColourModeTraits& mode, int n) {
    EXPECT_TRUE(native_.Create(kWidth, kHeight, mode.nativeBits));
    for (int y = 0; y < kHeight; ++y) {
      uint8_t* row = native_.Bits() + size_t(y) * native_.Stride();
      for (int x = 0; x < native_.Stride(); ++x) row[x] = uint8_t(x * 3 + y * 5 + n * 11);
    }
    EXPECT_TRUE(output_.Create(kWidth, kHeight, uint16_t(mode.bitsPerPixel)));
    if (mode.toOutput == nullptr) {  // the output picture holds the samples themselves
      std::memcpy(output_.Bits(), native_.Bits(), size_t(native_.Stride()) * kHeight);
    } else {
      EXPECT_TRUE(output_.ConvertFrom(*mode.toOutput, native_));
    }
    EXPECT_TRUE(frame_.Create(kWidth, kHeight, 24));
    EXPECT_TRUE(colour_.Create(kWidth, kHeight, mode));
    colour_.NewFrame(output_);
    colour_.CopyInto(&frame_);
    return frame_;
  }

  // Adds mode-24 frames until the recorder refuses one or `most` are in: how many went in, and
  // in `refusal` the result that stopped them (kOk when none did).
  int AddUntilRefused(int most, Status* refusal) {
    int written = 0;
    *refusal = kStatusOk;
    for (; written < most; ++written) {
      *refusal = avi_.AddFrame(FrameOfMode(camera::kColourModes[camera::kMode24], written).Bits());
      if (*refusal != kStatusOk) break;
      ++avi_.frameCount;
    }
    return written;
  }

  fs::path dir_ = fs::temp_directory_path() / ("zelcnv-odml-" + std::to_string(::getpid()));
  AviRecorder avi_;
  FrameBitmap native_, output_, frame_;
  camera::ColourPicture colour_;
};

TEST_F(OpenDmlTest, ARecordingThatFitsKeepsTheClassicLayoutByteForByte) {
  std::vector<std::vector<uint8_t>> files;
  for (uint32_t planned : {0u, 50u}) {
    const std::string path = Path("fits" + std::to_string(planned) + ".avi");
    Begin(path, planned);
    EXPECT_FALSE(avi_.OpenDml()) << planned << " ms fit one part";
    for (int n = 0; n < 4; ++n) {
      ASSERT_EQ(avi_.AddFrame(FrameOfMode(camera::kColourModes[camera::kMode24], n).Bits()),
                kStatusOk);
      ++avi_.frameCount;
    }
    avi_.rate = 3000;
    ASSERT_EQ(avi_.FinishFile(), kStatusOk);
    files.push_back(ReadFile(path));
  }
  EXPECT_EQ(files[0], files[1]);
  EXPECT_EQ(files[0].size(), 232 + 4 * (57600 + 8) + 8 + 4 * 16u);
}

TEST_F(OpenDmlTest, LongRecordingsArePartsThatEveryReaderReadsInEveryColourMode) {
  constexpr int kFrames = 23;  // five parts, the last one short
  for (const camera::ColourModeTraits& mode : camera::kColourModes) {
    SCOPED_TRACE(mode.bitsPerPixel);
    const std::string path = Path("long" + std::to_string(mode.bitsPerPixel) + ".avi");
    Begin(path, 1000);
    ASSERT_TRUE(avi_.OpenDml());
    std::vector<uint8_t> last;
    size_t mostHeld = 0;
    for (int n = 0; n < kFrames; ++n) {
      const FrameBitmap& frame = FrameOfMode(mode, n);
      ASSERT_EQ(avi_.AddFrame(frame.Bits()), kStatusOk) << "frame " << n;
      ++avi_.frameCount;
      mostHeld = std::max(mostHeld, avi_.HeldIndexEntries());
      last.clear();
      for (int y = kHeight - 1; y >= 0; --y) {  // top row first, as FFmpeg gives it
        const uint8_t* row = frame.Bits() + size_t(y) * frame.Stride();
        last.insert(last.end(), row, row + kWidth * 3);
      }
    }
    EXPECT_LE(mostHeld, 5u) << "one part's index entries at a time";
    avi_.rate = 2500;
    ASSERT_EQ(avi_.FinishFile(), kStatusOk);

    const std::vector<uint8_t> file = ReadFile(path);
    // Parts of at most the limit, one after another to the end of the file.
    int parts = 0;
    for (size_t at = 0; at + 12 <= file.size(); at += 8 + size_t(ReadU32(file, at + 4)), ++parts) {
      ASSERT_TRUE(CodeIs(file, at, "RIFF")) << "part " << parts;
      EXPECT_TRUE(CodeIs(file, at + 8, parts == 0 ? "AVI " : "AVIX"));
      EXPECT_LE(ReadU32(file, at + 4) + 8u, kPart);
      ASSERT_LE(at + 8 + ReadU32(file, at + 4), file.size());
    }
    EXPECT_EQ(parts, 5);
    const ClassicView classic = ReadClassically(file);
    EXPECT_EQ(classic.indexed, 5) << "the first part on its own";
    EXPECT_EQ(classic.totalFrames, 5u);

    if (!StandardReaderAvailable()) continue;
    const std::string probe = Probe(path);
    EXPECT_NE(probe.find("nb_read_frames=" + std::to_string(kFrames)), std::string::npos) << probe;
    EXPECT_NE(probe.find("width=160"), std::string::npos) << probe;
    EXPECT_NE(probe.find("height=120"), std::string::npos) << probe;
    EXPECT_NE(probe.find("r_frame_rate=25/1"), std::string::npos) << probe;
    EXPECT_TRUE(LastFrame(path, kFrames) == last) << "the last frame, bit for bit";
  }
}

TEST_F(OpenDmlTest, ARecordingThatOutgrowsItsSuperIndexEndsReadable) {
  // 300 ms plan for two parts and the spare ones; a converter far faster than nominal fills them.
  const std::string path = Path("outgrown.avi");
  Begin(path, 300);
  ASSERT_TRUE(avi_.OpenDml());
  Status result = kStatusOk;
  const int written = AddUntilRefused(1000, &result);
  EXPECT_EQ(result, kStatusFull);
  EXPECT_GT(written, 10);
  EXPECT_LT(written, 1000);
  avi_.rate = 3000;
  ASSERT_EQ(avi_.FinishFile(), kStatusOk);
  if (StandardReaderAvailable()) {
    const std::string probe = Probe(path);
    EXPECT_NE(probe.find("nb_read_frames=" + std::to_string(written)), std::string::npos) << probe;
  }
}

#ifndef _WIN32
// Linux: a file-size limit stands in for a full disk.
TEST_F(OpenDmlTest, AWriteFailureInALaterPartFinishesTheFileWithEveryCompleteFrame) {
  const std::string path = Path("failed.avi");
  Begin(path, 1000);
  // Files may grow to the middle of the thirteenth frame (in the third part) from here on.
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  auto* previous = signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 12 * (57600 + 8) + 30000;
  setrlimit(RLIMIT_FSIZE, &limited);
  Status result = kStatusOk;
  const int written = AddUntilRefused(20, &result);
  avi_.rate = 3000;
  const Status finished = avi_.FinishFile();
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);
  EXPECT_EQ(result, kStatusWriteFailed);
  // The failed write is reported again; the indexes went where the torn frame was.
  EXPECT_EQ(finished, kStatusWriteFailed);
  EXPECT_GE(written, 10);
  if (StandardReaderAvailable()) {
    const std::string probe = Probe(path);
    EXPECT_NE(probe.find("nb_read_frames=" + std::to_string(written)), std::string::npos) << probe;
  }
}

#endif

}  // namespace
}  // namespace zelcnv::imaging
