// The library under abuse, for as long as wanted (built beside the sanitizers, which judge it):
//
//   zelcnv_stress glitch ROUNDS device|format|snapshot
//       A stream, a frame, the converter drops off the bus and comes back, then, while the stream
//       the converter ended is still the application's, a device change (refused: the stream is
//       stopped first), a format change through the video format dialog (the stream goes on in
//       the new format), or a snapshot (refused); the stream is stopped, and a device change is
//       accepted. Each round checks what every call returned.
//   zelcnv_stress threads SEEDS CALLS
//       For each seed, four threads calling CALLS random exports each on up to three shared
//       handles with faults injected and the dialogs answered, and a fifth reading every frame
//       notification's record.
//
// The library is built into the program with its settle times cut to a millisecond (the simulated
// converter needs none), so that rounds run many times faster; nothing else changes.
//
// Prints "stress passed" when every check held.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ZelCnvPosix.h"
#include "ZelCnvSdk.h"
#include "ZelCnvSim.h"
#include "api_sequence.h"

namespace {

using Clock = std::chrono::steady_clock;
using zelcnv::sequence::RandomInput;
using zelcnv::sequence::Sequence;
using zelcnv::sequence::SequenceWorld;

constexpr int kOk = 1;  // the dialogs' OK and Cancel buttons
constexpr int kCancel = 2;
constexpr int kFrameWaitMs = 5000;

int failures = 0;

void Check(bool condition, const char* what, long round, int error = 0) {
  if (condition) return;
  if (++failures <= 20) std::fprintf(stderr, "round %ld: %s (error %d)\n", round, what, error);
}

std::string Scratch() {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("zelcnv-stress-" + std::to_string(getpid())))
          .string();
  std::filesystem::create_directories(path + "/config");
  setenv("XDG_CONFIG_HOME", (path + "/config").c_str(), 1);
  return path;
}

// The dialogs are answered as a user would: OK, now and then Cancel.
std::atomic<unsigned> dialogAnswers{0};
void AnswerDialog(ZelCnvDialog* dialog, int, void*) {
  ZelCnv_DialogClick(dialog, dialogAnswers.fetch_add(1) % 4 == 3 ? kCancel : kOk);
}

// The next frame's record on `window`, past failed frames (null when no frame came; the last
// failed frame's error is in `*error`).
const FrameInfo* NextFrame(HWND window, int* error = nullptr) {
  ZelCnvMessage message{};
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(kFrameWaitMs);
  while (Clock::now() < end) {
    if (ZelCnv_GetMessage(window, &message, 100) != 1 || message.message != MSG_FRAME_NOTIFY) {
      continue;
    }
    if (message.wParam != 0) return reinterpret_cast<const FrameInfo*>(message.wParam);
    if (error != nullptr) *error = static_cast<int>(message.lParam);
  }
  return nullptr;
}

// Waits for the failed frame that tells the stream has ended.
bool StreamEnded(HWND window) {
  ZelCnvMessage message{};
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(kFrameWaitMs);
  while (Clock::now() < end) {
    if (ZelCnv_GetMessage(window, &message, 100) == 1 && message.message == MSG_FRAME_NOTIFY &&
        message.wParam == 0) {
      return true;
    }
  }
  return false;
}

// Whether `result` is what a call returned with `error` left as the last error (0: none asked).
bool Returned(int returned, int expected, int handle, int error = 0) {
  return returned == expected && (error == 0 || ZelCam_GetLastError(handle) == error);
}

void Drain(HWND window) {
  ZelCnvMessage message{};
  while (ZelCnv_GetMessage(window, &message, 0) == 1) {
  }
}

int Glitch(long rounds, const std::string& variant) {
  if (variant != "device" && variant != "format" && variant != "snapshot") return 2;
  ZelSim_Attach(0, "timing=free");
  ZelSim_Attach(1, "timing=free standard=625");
  ZelCnv_SetDialogDriver([](ZelCnvDialog* dialog, int, void*) { ZelCnv_DialogClick(dialog, kOk); },
                         nullptr);
  HWND window = ZelCnv_CreateMessageWindow();
  const int handle = ZelCam_Initialize(nullptr);
  ZelCam_SetColorMode(handle, 24);
  ZelCam_SetWaitTime(handle, 1);
  std::vector<uint8_t> buffer(768 * 576 * 4);  // the largest frame of any format
  std::vector<uint8_t> still(buffer.size());
  RandomInput random(static_cast<uint64_t>(rounds));
  int device = 0;
  for (long round = 0; round < rounds; ++round) {
    Check(ZelCam_CallBackPreview(handle, window, buffer.data(), static_cast<int>(buffer.size()),
                                 1) == 1,
          "the stream starts", round);
    int failed = 0;
    Check(NextFrame(window, &failed) != nullptr, "a frame arrives", round, failed);
    // The glitch: the converter is back at once, or after the stream has noticed it was gone.
    ZelSim_InjectFault(device, "unplug");
    if (random.Bit()) Check(StreamEnded(window), "the unplug ends the stream", round);
    ZelSim_InjectFault(device, "replug");
    if (variant == "device") {
      const int other = static_cast<int>(random.Pick(2));
      Check(Returned(ZelCam_SetDeviceNumber(handle, other), 0, handle, ERR_NOT_READY),
            "a device change during the stream is refused as not ready", round);
    } else if (variant == "format") {
      // The next standard on the converter and another sampling rate, set from the dialog.
      ZelSim_Configure(device, random.Bit() ? "standard=625" : "standard=525");
      ZelCam_SetSamplingRate(handle, static_cast<int>(random.Pick(4)));
      Check(Returned(ZelCam_SetCameraDlg(handle, nullptr), 1, handle), "the format dialog runs",
            round);
      Drain(window);  // frames of the format before
      failed = 0;
      const FrameInfo* info = NextFrame(window, &failed);
      Check(info != nullptr && info->width == ZelCam_Width(handle) &&
                info->height == ZelCam_Height(handle),
            "the stream goes on in the new format", round,
            info != nullptr ? info->width * 10000 + ZelCam_Width(handle) : failed);
    } else {
      Check(Returned(ZelCam_SnapShot(handle, still.data(), static_cast<int>(still.size()), 1), 0,
                     handle, ERR_NOT_READY),
            "a snapshot during the stream is refused as not ready", round);
    }
    // A stream the glitch ended reports its stopped transfer as a device error.
    const int stopped = ZelCam_StopPreview(handle);
    Check(stopped == 1 || Returned(stopped, 0, handle, ERR_DEVICE_IO), "the stream stops", round);
    Drain(window);
    if (variant == "device") {
      device = static_cast<int>(random.Pick(2));
      Check(Returned(ZelCam_SetDeviceNumber(handle, device), 1, handle),
            "the device changes once stopped", round);
    } else if (variant == "snapshot") {
      const int taken = ZelCam_SnapShot(handle, still.data(), static_cast<int>(still.size()), 1);
      Check(taken == 1, "a snapshot once stopped", round, ZelCam_GetLastError(handle));
    }
    while (ZelCam_GetLastError(handle) != 0) {
    }
    if ((round + 1) % 1000 == 0) {
      std::printf("%ld rounds\n", round + 1);
      std::fflush(stdout);
    }
  }
  ZelCam_Release(handle);
  ZelCnv_DestroyMessageWindow(window);
  ZelCnv_SetDialogDriver(nullptr, nullptr);
  ZelSim_Detach(0);
  ZelSim_Detach(1);
  std::printf("glitch %s: %ld rounds, %d failed checks\n", variant.c_str(), rounds, failures);
  return 0;
}

int Threads(long seeds, long calls) {
  constexpr int kThreads = 4;
  const std::string scratch = Scratch();
  ZelCnv_SetDialogDriver(AnswerDialog, nullptr);
  for (long seed = 1; seed <= seeds; ++seed) {
    const Clock::time_point start = Clock::now();
    ZelSim_Attach(0, "timing=free");
    ZelSim_Attach(1, "timing=free standard=625");
    {
      // Wait times stay short: a snapshot would otherwise wait out a 20 s stall, as asked.
      SequenceWorld world(scratch, {.longStalls = true, .hugeWaitTimes = false});
      std::atomic<bool> done{false};
      std::atomic<bool> torn{false};
      std::thread reader([&] {
        while (!done.load()) {
          for (int w = 0; w < 2; ++w) {
            if (!Sequence<RandomInput>::DrainMessages(world.window(w), 5)) torn.store(true);
          }
        }
      });
      std::vector<std::thread> threads;
      for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
          RandomInput input(static_cast<uint64_t>(seed) * 16 + t);
          Sequence<RandomInput>(world, input).Run(static_cast<int>(calls));
        });
      }
      for (std::thread& thread : threads) thread.join();
      done.store(true);
      reader.join();
      Check(!torn.load(), "every frame record read whole", seed);
    }
    ZelSim_Detach(0);
    ZelSim_Detach(1);
    std::printf("seed %ld: %d threads x %ld calls in %.1f s\n", seed, kThreads, calls,
                std::chrono::duration<double>(Clock::now() - start).count());
    std::fflush(stdout);
  }
  ZelCnv_SetDialogDriver(nullptr, nullptr);
  std::filesystem::remove_all(scratch);
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: zelcnv_stress glitch ROUNDS device|format|snapshot\n"
               "       zelcnv_stress threads SEEDS CALLS\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  int code = 2;
  if (args.size() == 3 && args[0] == "glitch") {
    const std::string scratch = Scratch();
    code = Glitch(std::atol(args[1].c_str()), args[2]);
    std::filesystem::remove_all(scratch);
  } else if (args.size() == 3 && args[0] == "threads") {
    code = Threads(std::atol(args[1].c_str()), std::atol(args[2].c_str()));
  }
  if (code == 2) return Usage();
  if (failures != 0) {
    std::printf("%d checks failed\n", failures);
    return 1;
  }
  std::printf("stress passed\n");
  return 0;
}
