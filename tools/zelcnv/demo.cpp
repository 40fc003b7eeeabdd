// The demo: an application's main job through the C API, on a simulated converter. It opens a
// handle, streams live video into its own buffer with a notification per frame, saves the last
// frame in every still format, records a clip from the stream and takes a grey snapshot.
#include "demo.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "ZelCnvSdk.h"
#include "ZelCnvSim.h"
#include "message_pump.h"

namespace zelcnv::tool {

namespace {

constexpr int kDemoDevice = 0;
#ifdef _WIN32
#define ZELCNV_VIEWER "start"
#else
#define ZELCNV_VIEWER "xdg-open"
#endif
constexpr int kNotifyWaitMs = 2000;
constexpr int kClipMs = 2000;

struct StillFile {
  const char* name;
  int type;
};
constexpr StillFile kStills[] = {
    {"frame.bmp", 0}, {"frame.raw", 1}, {"frame.jpg", 2}, {"frame.png", 5}, {"frame.tif", 6}};

long FileSize(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return -1;
  std::fseek(file, 0, SEEK_END);
  const long size = std::ftell(file);
  std::fclose(file);
  return size;
}

// Error numbers the handle collected, newest first.
void PrintErrors(int handle) {
  for (int error = ZelCam_GetLastError(handle); error != 0; error = ZelCam_GetLastError(handle)) {
    std::printf("  error %d reported\n", error);
  }
}

class Demo {
 public:
  explicit Demo(const DemoOptions& options) : options_(options) {}
  ~Demo() {
    // The library keeps the settings of the handle released last: the user's colour mode goes
    // back before this one is released.
    if (handle_ != 0) {
      if (userMode_ > 0) ZelCam_SetColorMode(handle_, userMode_);
      ZelCam_Release(handle_);
    }
    DestroyNotifyWindow(frames_);
    DestroyNotifyWindow(app_);
    ZelSim_Detach(kDemoDevice);
  }

  int Run() {
    if (ZelSim_Attach(kDemoDevice, options_.simConfig.c_str()) != 1) {
      return Fail("the simulator refused the configuration");
    }
    std::printf("simulated converter attached (%s)\n", options_.simConfig.c_str());
    app_ = CreateNotifyWindow();
    frames_ = CreateNotifyWindow();
    handle_ = ZelCam_Initialize(app_);
    if (handle_ == 0) return Fail("no handle");
    userMode_ = ZelCam_GetColorMode(handle_);
    char name[256] = {};
    ZelCam_GetDeviceName(handle_, kDemoDevice, name, sizeof(name));
    const int version = ZelCam_GetDllVersion();
    std::printf("library %d.%d.%d, converter %d \"%s\", frame %d x %d\n", (version >> 16) & 0xFF,
                (version >> 8) & 0xFF, version & 0xFF, kDemoDevice, name, ZelCam_Width(handle_),
                ZelCam_Height(handle_));
    if (!Stream()) return Fail("streaming failed");
    SaveStills();
    if (!RecordClip()) return Fail("recording failed");
    if (!GreySnapshot()) return Fail("the snapshot failed");
    return 0;
  }

 private:
  int Fail(const char* what) {
    std::fprintf(stderr, "zelcnv demo: %s\n", what);
    if (handle_ != 0) PrintErrors(handle_);
    return 1;
  }

  std::string Path(const char* name) const { return options_.outputDirectory + "/" + name; }

  bool Stream() {
    ZelCam_SetColorMode(handle_, 24);
    const int stride = (ZelCam_Width(handle_) * 3 + 3) / 4 * 4;
    buffer_.assign(static_cast<size_t>(stride) * ZelCam_Height(handle_), 0);
    if (ZelCam_CallBackPreview(handle_, frames_, buffer_.data(), static_cast<int>(buffer_.size()),
                               1) != 1) {
      return false;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(options_.seconds);
    int frames = 0, errors = 0, rate = 0, width = 0, height = 0;
    Notification note{};
    while (std::chrono::steady_clock::now() < end &&
           NextNotification(frames_, &note, kNotifyWaitMs)) {
      if (note.message != MSG_FRAME_NOTIFY) continue;
      if (note.wParam == 0) {
        ++errors;
        std::printf("  frame notification with error %ld\n", static_cast<long>(note.lParam));
        if (note.lParam == ERR_TRANSFER_STOPPED) break;
        continue;
      }
      const FrameInfo* info = reinterpret_cast<const FrameInfo*>(note.wParam);
      width = info->width;
      height = info->height;
      rate = info->frameRate;
      ++frames;
    }
    const int stopped = ZelCam_StopPreview(handle_);
    std::printf(
        "streamed %d s: %d frames of %d x %d at 24 bits, measured %d.%d frames/s, %d "
        "errors, stop %s\n",
        options_.seconds, frames, width, height, rate / 10, rate % 10, errors,
        stopped == 1 ? "clean" : "reported a transfer error");
    return frames > 0 && stopped == 1;
  }

  void SaveStills() {
    for (const StillFile& still : kStills) {
      const std::string path = Path(still.name);
      const int saved = ZelCam_SaveImage(handle_, path.c_str(), still.type);
      std::printf("saved %s (type %d): %s, %ld bytes%s%s\n", path.c_str(), still.type,
                  saved == 1 ? "ok" : "FAILED", FileSize(path),
                  still.type == 1 ? "" : "; view: " ZELCNV_VIEWER " ",
                  still.type == 1 ? "; raw BGR rows, top row first" : path.c_str());
    }
  }

  bool RecordClip() {
    const std::string path = Path("clip.avi");
    if (ZelCam_Record(handle_, path.c_str(), kClipMs, 0) != 1) return false;
    // The recording ends with the first frame after its time; stopping the stream then finishes
    // the file in any case.
    std::this_thread::sleep_for(std::chrono::milliseconds(kClipMs + 500));
    const int stopped = ZelCam_StopPreview(handle_);
    std::printf("recorded %s (%d ms from the stream): %ld bytes; view: ffplay %s\n", path.c_str(),
                kClipMs, FileSize(path), path.c_str());
    return stopped == 1;
  }

  bool GreySnapshot() {
    ZelCam_SetColorMode(handle_, 8);
    if (ZelCam_SnapShot(handle_, nullptr, 0, 0) != 1) return false;
    const std::string path = Path("snapshot-grey.png");
    const int saved = ZelCam_SaveImage(handle_, path.c_str(), 5);
    std::printf("grey snapshot saved as %s: %s, %ld bytes; view: " ZELCNV_VIEWER " %s\n",
                path.c_str(), saved == 1 ? "ok" : "FAILED", FileSize(path), path.c_str());
    return saved == 1;
  }

  const DemoOptions& options_;
  HWND app_ = nullptr;
  HWND frames_ = nullptr;
  int handle_ = 0;
  int userMode_ = 0;
  std::vector<uint8_t> buffer_;
};

}  // namespace

int RunDemo(const DemoOptions& options) {
  Demo demo(options);
  return demo.Run();
}

}  // namespace zelcnv::tool
