// Soak: eight simulated converters on eight handles streaming free-running until a number of
// frames has been delivered in all, with snapshots, still images and short recordings taken in
// turn on every handle. Resident memory is measured once every operation has run on every handle
// (warm-up) and again at the end; open descriptors before the first handle and after the last.
// Exits 1 when memory grew by 1 MiB or more (runs of 20000 frames or more), a descriptor stayed
// open, or an operation failed.
//
//   zelcnv_soak [FRAMES] [DIRECTORY]      (defaults: 100000 frames, the system's temporary folder)
#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ZelCnvPosix.h"
#include "ZelCnvSdk.h"
#include "ZelCnvSim.h"

namespace {

constexpr int kConverters = 8;
constexpr int kModes[] = {8, 16, 24};

long ResidentKiB() {
  long pages = 0, resident = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int OpenDescriptors() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
    closedir(dir);
  }
  return count - 1;  // the directory being read
}

struct Camera {
  int handle = 0;
  HWND window = nullptr;
  int bits = 24;
  std::vector<uint8_t> buffer;
  long frames = 0;
  int operations = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const long target = argc > 1 ? std::atol(argv[1]) : 100000;
  const std::filesystem::path dir =
      std::filesystem::path(argc > 2 ? argv[2] : std::filesystem::temp_directory_path().string()) /
      ("zelcnv-soak-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir / "config");
  setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
  const int descriptorsBefore = OpenDescriptors();
  int failures = 0;
  auto check = [&](bool ok, const char* what, int camera) {
    if (!ok) {
      ++failures;
      std::fprintf(stderr, "soak: %s failed on handle %d\n", what, camera);
    }
  };

  std::vector<Camera> cameras(kConverters);
  for (int i = 0; i < kConverters; ++i) {
    ZelSim_Attach(i, "timing=free input0=moving");
    Camera& c = cameras[i];
    c.window = ZelCnv_CreateMessageWindow();
    c.handle = ZelCam_Initialize(c.window);
    c.bits = kModes[i % 3];
    check(c.handle != 0 && ZelCam_SetDeviceNumber(c.handle, i) == 1 &&
              ZelCam_SetColorMode(c.handle, c.bits) == 1 && ZelCam_SetWaitTime(c.handle, 1) == 1,
          "set-up", i);
    const int stride = (ZelCam_Width(c.handle) * c.bits / 8 + 3) / 4 * 4;
    c.buffer.resize(static_cast<size_t>(stride) * ZelCam_Height(c.handle));
    check(ZelCam_CallBackPreview(c.handle, c.window, c.buffer.data(),
                                 static_cast<int>(c.buffer.size()), 1) == 1,
          "stream", i);
  }

  const auto start = std::chrono::steady_clock::now();
  long delivered = 0, warmResident = 0, warmAt = 0;
  // Every handle's operations in turn, one every `interval` frames delivered.
  const long interval = target / 400 > 50 ? target / 400 : 50;
  long nextOperation = interval;
  int turn = 0;
  while (delivered < target) {
    for (Camera& c : cameras) {
      ZelCnvMessage message{};
      while (ZelCnv_GetMessage(c.window, &message, 0) == 1) {
        if (message.message == MSG_FRAME_NOTIFY && message.wParam != 0) {
          ++c.frames;
          ++delivered;
        } else if (message.message == MSG_ERROR_NOTIFY || message.message == MSG_FRAME_NOTIFY) {
          check(false, "an error notification", static_cast<int>(&c - cameras.data()));
        }
      }
    }
    if (delivered >= nextOperation) {
      nextOperation += interval;
      const int i = turn++ % kConverters;
      Camera& c = cameras[i];
      const std::string stem = (dir / ("h" + std::to_string(i))).string();
      auto restart = [&] {
        check(ZelCam_CallBackPreview(c.handle, c.window, c.buffer.data(),
                                     static_cast<int>(c.buffer.size()), 1) == 1,
              "restart", i);
      };
      // Staggered, so that only some handles record at a time (a recording takes its stream's
      // notifications away until the stop that ends it).
      switch ((c.operations++ + i) % 3) {
        case 0:  // a still image of the stream's last frame, then of a snapshot
          check(ZelCam_SaveImage(c.handle, (stem + ".png").c_str(), c.operations % 7) == 1,
                "save while streaming", i);
          check(ZelCam_StopPreview(c.handle) == 1, "stop", i);
          check(
              ZelCam_SnapShot(c.handle, c.buffer.data(), static_cast<int>(c.buffer.size()), 0) == 1,
              "snapshot", i);
          check(ZelCam_SaveImage(c.handle, (stem + ".bmp").c_str(), 0) == 1, "save", i);
          restart();
          break;
        case 1:  // a short recording from the running stream (which then notifies nobody)
          check(ZelCam_Record(c.handle, (stem + ".avi").c_str(), 50, 0) == 1, "record", i);
          break;
        default:  // the stream stopped (ending the recording if it still runs), armed capture
          check(ZelCam_StopPreview(c.handle) == 1, "stop", i);
          check(ZelCam_Capture(c.handle) == 1 && ZelCam_SnapShot(c.handle, nullptr, 0, 0) == 1,
                "armed snapshot", i);
          check(ZelCam_StopPreview(c.handle) == 1, "disarm", i);
          restart();
          break;
      }
      // Warm: every kind of operation has run on every handle, and a fifth of the frames have
      // come (the allocator has seen every size it will be asked for).
      if (warmResident == 0 && turn >= 3 * kConverters && delivered >= target / 5) {
        warmResident = ResidentKiB();
        warmAt = delivered;
      }
    }
    usleep(500);
    if (std::getenv("ZELCNV_SOAK_PROGRESS") != nullptr && delivered % 500 == 0) {
      std::fprintf(stderr, "%ld frames, %d operations\n", delivered, turn);
    }
  }
  const long endResident = ResidentKiB();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  for (int i = 0; i < kConverters; ++i) {
    check(ZelCam_Release(cameras[i].handle) == 1, "release", i);
    ZelCnv_DestroyMessageWindow(cameras[i].window);
    ZelSim_Detach(i);
  }
  const int descriptorsAfter = OpenDescriptors();
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);

  const long growth = warmResident != 0 ? endResident - warmResident : 0;
  std::printf("frames delivered   %ld in %.1f s (%.0f frames/s), per handle:", delivered, seconds,
              delivered / seconds);
  for (const Camera& c : cameras) std::printf(" %ld", c.frames);
  std::printf("\noperations         %d (snapshots, saves, recordings, armed captures)\n", turn);
  std::printf(
      "resident memory    %ld KiB after warm-up (frame %ld), %ld KiB at the end: %+ld KiB\n",
      warmResident, warmAt, endResident, growth);
  std::printf("open descriptors   %d before, %d after\n", descriptorsBefore, descriptorsAfter);
  std::printf("failures           %d\n", failures);
  // Memory is judged on long runs only: a short one (a sanitizer build's) ends near its warm-up.
  const bool memoryOk = target < 20000 || (warmResident != 0 && growth < 1024);
  const bool ok = failures == 0 && memoryOk && descriptorsAfter <= descriptorsBefore;
  std::printf("%s\n", ok ? "soak passed" : "soak FAILED");
  return ok ? 0 : 1;
}
