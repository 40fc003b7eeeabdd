// A recording past 4 GiB through the C API: the free-running simulated converter, 24-bit colour,
// recorded until the file is larger than the size asked for; then ffprobe counts its frames and
// FFmpeg seeks to a frame that lies past the 4 GiB mark and must give exactly that frame's bytes.
// Prints the file's size, its frames, the time taken and the process's peak resident memory.
//
//   zelcnv_long_recording [DIRECTORY] [GIB]      (defaults: the system's temporary folder, 4.6)
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ZelCnvSdk.h"
#include "ZelCnvSim.h"

namespace {

namespace fs = std::filesystem;

long PeakResidentKiB() {
  long peak = 0;
  if (FILE* status = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
      if (std::strncmp(line, "VmHWM:", 6) == 0) peak = std::atol(line + 6);
    }
    std::fclose(status);
  }
  return peak;
}

std::string Run(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

uint32_t U32(FILE* file, uint64_t at) {
  uint32_t value = 0;
  if (fseeko(file, static_cast<off_t>(at), SEEK_SET) != 0 || std::fread(&value, 4, 1, file) != 1) {
    return 0;
  }
  return value;
}
bool CodeAt(FILE* file, uint64_t at, const char* code) {
  char got[4] = {};
  return fseeko(file, static_cast<off_t>(at), SEEK_SET) == 0 && std::fread(got, 4, 1, file) == 1 &&
         std::memcmp(got, code, 4) == 0;
}

// The file offset of every frame chunk, walking each RIFF part's movi list.
std::vector<uint64_t> FrameChunks(FILE* file, uint64_t size) {
  std::vector<uint64_t> chunks;
  for (uint64_t part = 0; part + 12 <= size && CodeAt(file, part, "RIFF");
       part += 8 + uint64_t{U32(file, part + 4)}) {
    const uint64_t end = part + 8 + U32(file, part + 4);
    for (uint64_t at = part + 12; at + 8 <= end; at += 8 + uint64_t{U32(file, at + 4)}) {
      if (!CodeAt(file, at, "LIST") || !CodeAt(file, at + 8, "movi")) continue;
      const uint64_t moviEnd = at + 8 + U32(file, at + 4);
      for (uint64_t c = at + 12; c + 8 <= moviEnd; c += 8 + uint64_t{U32(file, c + 4)}) {
        if (CodeAt(file, c, "00db")) chunks.push_back(c);
      }
    }
  }
  return chunks;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
  const double gib = argc > 2 ? std::atof(argv[2]) : 4.6;
  const uint64_t wanted = static_cast<uint64_t>(gib * 1024 * 1024 * 1024);
  const std::string path = (dir / "zelcnv-long-recording.avi").string();

  if (ZelSim_Attach(0, "timing=free input0=moving") != 1) return 1;
  const int handle = ZelCam_Initialize(nullptr);
  if (handle == 0 || ZelCam_SetColorMode(handle, 24) != 1 || ZelCam_SetWaitTime(handle, 1) != 1) {
    std::fprintf(stderr, "no handle\n");
    return 1;
  }
  const int width = ZelCam_Width(handle), height = ZelCam_Height(handle);
  const auto start = std::chrono::steady_clock::now();
  // Ten minutes asked for; the stream is stopped once the file is large enough, which finishes
  // the recording with the frames written so far.
  if (ZelCam_Record(handle, path.c_str(), 600000, 0) != 1) {
    std::fprintf(stderr, "the recording did not start: error %d\n", ZelCam_GetLastError(handle));
    return 1;
  }
  std::error_code error;
  while (fs::file_size(path, error) < wanted || error) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  ZelCam_StopPreview(handle);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const long peakKiB = PeakResidentKiB();
  ZelCam_Release(handle);
  ZelSim_Detach(0);

  const uint64_t size = fs::file_size(path);
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return 1;
  const std::vector<uint64_t> chunks = FrameChunks(file, size);
  const uint32_t scale = U32(file, 128), rate = U32(file, 132);
  std::printf(
      "file %s: %llu bytes, %zu frames of %dx%d, recorded in %.1f s; peak resident "
      "memory %ld KiB\n",
      path.c_str(), static_cast<unsigned long long>(size), chunks.size(), width, height, seconds,
      peakKiB);

  // ffprobe counts every frame.
  const std::string probe =
      Run("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
          "stream=nb_read_frames -of default=nw=1:nk=1 '" +
          path + "'");
  const long counted = std::atol(probe.c_str());
  std::printf("ffprobe counts %ld frames\n", counted);

  // The first frame past 4 GiB, sought by time and extracted.
  size_t target = 0;
  while (target < chunks.size() && chunks[target] < (uint64_t{4} << 30)) ++target;
  bool exact = false;
  if (target < chunks.size() && scale != 0 && rate != 0) {
    const uint32_t payload = U32(file, chunks[target] + 4);
    std::vector<uint8_t> stored(payload);
    fseeko(file, static_cast<off_t>(chunks[target] + 8), SEEK_SET);
    if (std::fread(stored.data(), 1, payload, file) == payload) {
      // Stored bottom row first; FFmpeg gives the top row first.
      const size_t row = size_t(width) * 3;
      std::vector<uint8_t> expected;
      for (int y = height - 1; y >= 0; --y) {
        expected.insert(expected.end(), stored.begin() + y * row, stored.begin() + (y + 1) * row);
      }
      char time[64];
      std::snprintf(time, sizeof time, "%.6f", double(target) * scale / rate);
      const std::string out = Run(std::string("ffmpeg -v error -ss ") + time + " -i '" + path +
                                  "' -frames:v 1 -f rawvideo -pix_fmt bgr24 -");
      exact = out.size() == expected.size() &&
              std::memcmp(out.data(), expected.data(), expected.size()) == 0;
      std::printf("frame %zu at byte %llu (%s s): FFmpeg's frame %s\n", target,
                  static_cast<unsigned long long>(chunks[target]), time,
                  exact ? "is exactly the stored one" : "differs");
    }
  }
  std::fclose(file);
  const bool passed = size > (uint64_t{9} << 29) && counted == long(chunks.size()) && exact;
  std::printf("long recording %s\n", passed ? "passed" : "FAILED");
  if (passed) fs::remove(path);
  return passed ? 0 : 1;
}
