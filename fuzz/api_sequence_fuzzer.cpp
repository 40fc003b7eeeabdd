// Sequences of exports as a careless or hostile application might call them: unknown and
// released handles, null pointers, negative and huge sizes, odd modes, codes and register
// numbers, device numbers and sampling codes changed while armed or streaming, file names in
// missing directories, on simulated converters with faults switched on and off. Every call
// returns; nothing reads or writes outside what it was given.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ZelCnvPosix.h"
#include "ZelCnvSdk.h"
#include "ZelCnvSim.h"
#include "fuzz_input.h"

namespace {

using zelcnv::fuzz::FuzzInput;

constexpr int kMaxHandles = 3;
constexpr int kConverters = 2;

const std::string& Scratch() {
  static const std::string dir = [] {
    const char* base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    const std::string path = std::string(base) + "/zelcnv-fuzz-api-" + std::to_string(getpid());
    std::filesystem::create_directories(path + "/config");
    setenv("XDG_CONFIG_HOME", (path + "/config").c_str(), 1);
    return path;
  }();
  return dir;
}

// A buffer the application owns for the whole sequence (the library may copy into a buffer given
// to a streaming start until the stream stops), exactly as large as it says.
struct Buffers {
  std::vector<std::unique_ptr<uint8_t[]>> owned;
  uint8_t* Make(size_t bytes) {
    owned.emplace_back(new uint8_t[bytes != 0 ? bytes : 1]);
    return owned.back().get();
  }
};

class Sequence {
 public:
  explicit Sequence(FuzzInput& in) : in_(in) {
    for (HWND& window : windows_) window = ZelCnv_CreateMessageWindow();
  }
  ~Sequence() {
    for (int handle : handles_) ZelCam_Release(handle);
    for (HWND window : windows_) ZelCnv_DestroyMessageWindow(window);
  }

  void Run() {
    for (int step = 0; step < 48 && !in_.Empty(); ++step) Step();
  }

 private:
  // A live handle, a released one, 0, or any value.
  int Handle() {
    switch (in_.Pick(8)) {
      case 0:
        return 0;
      case 1:
        return static_cast<int>(in_.U32());
      case 2:
        return released_;
      default:
        return handles_.empty() ? 0 : handles_[in_.Pick(static_cast<uint32_t>(handles_.size()))];
    }
  }
  HWND Window() { return in_.Bit() ? windows_[in_.Pick(2)] : nullptr; }
  int Size() {
    switch (in_.Pick(4)) {
      case 0:
        return -static_cast<int>(in_.U16());
      case 1:
        return static_cast<int>(in_.U16());
      default:
        return static_cast<int>(in_.U32() % (1 << 21));  // up to 2 MiB: a whole colour frame
    }
  }
  // A buffer of `size` bytes (none for sizes of 0 or below, or when the application passes null).
  uint8_t* Buffer(int size) { return size > 0 && in_.Pick(8) != 0 ? buffers_.Make(size) : nullptr; }
  std::string FileName() {
    const char* names[] = {"/still", "/clip.avi", "/missing/dir/file", "/"};
    return Scratch() + names[in_.Pick(4)];
  }
  void Fault() {
    static const char* const faults[] = {"unplug",      "replug", "short=1",      "stall=5",
                                         "read-fail=2", "clear",  "fail-after=2", "release=3"};
    ZelSim_InjectFault(static_cast<int>(in_.Pick(kConverters)), faults[in_.Pick(8)]);
  }
  void Configure() {
    static const char* const configs[] = {"standard=525",  "standard=625",   "standard=525w",
                                          "standard=625w", "timing=free",    "input0=none",
                                          "port=1",        "timing=realtime"};
    // Real time (frames 33 or 40 ms apart) only now and then: it slows every stop.
    const uint32_t pick = in_.Pick(64);
    ZelSim_Configure(static_cast<int>(in_.Pick(kConverters)), configs[pick < 7 * 9 ? pick % 7 : 7]);
  }

  void Step() {
    const int h = Handle();
    switch (in_.Pick(34)) {
      case 0:
        if (handles_.size() < kMaxHandles) {
          if (int handle = ZelCam_Initialize(Window())) handles_.push_back(handle);
        }
        break;
      case 1:
        if (ZelCam_Release(h) == 1) {
          released_ = h;
          std::erase(handles_, h);
        }
        break;
      case 2: {
        static const int bits[] = {8, 16, 24, 32, 48, 64, 12, 0, -8};
        ZelCam_SetColorMode(h, bits[in_.Pick(9)]);
        break;
      }
      case 3:
        ZelCam_SetSamplingRate(h, static_cast<int>(in_.Pick(7)) - 1);
        break;
      case 4:
        ZelCam_SetWaitTime(h, in_.Bit() ? in_.Within(40) : static_cast<int>(in_.U32()));
        break;
      case 5:
        ZelCam_SetDeviceNumber(h, static_cast<int>(in_.Pick(10)) - 1);
        break;
      case 6:
        ZelCam_StartPreview(h);
        break;
      case 7:
        ZelCam_StopPreview(h);
        break;
      case 8:
        ZelCam_Preview(h);
        break;
      case 9: {
        const int size = Size();
        ZelCam_CallBackPreview(h, Window(), Buffer(size), size, in_.Bit());
        break;
      }
      case 10:
        ZelCam_Close(h);
        break;
      case 11:
        ZelCam_Capture(h);
        break;
      case 12: {
        const int size = Size();
        ZelCam_SnapShot(h, Buffer(size), size, in_.Bit());
        break;
      }
      case 13: {
        const int size = Size();
        ZelCam_GetImage(h, Buffer(size), size, in_.Bit());
        break;
      }
      case 14:
        ZelCam_SaveImage(h, in_.Pick(8) == 0 ? nullptr : FileName().c_str(),
                         static_cast<int>(in_.Pick(9)) - 1);
        break;
      case 15:
        ZelCam_Record(h, in_.Pick(8) == 0 ? "" : FileName().c_str(),
                      in_.Bit() ? in_.Within(200) : static_cast<int>(in_.U32()), in_.Bit());
        break;
      case 16: {
        const std::u16string name = std::filesystem::path(FileName()).u16string();
        ZelCam_SaveImageW(h, reinterpret_cast<const ZelCnvWChar*>(name.c_str()),
                          static_cast<int>(in_.Pick(7)));
        break;
      }
      case 17:
        ZelCam_SetFilterValue(h, static_cast<int>(in_.Pick(22)) - 1, in_.Within(600));
        break;
      case 18: {
        int valid = -1;
        ZelCam_GetFilterValue(h, static_cast<int>(in_.Pick(22)) - 1, in_.Bit() ? &valid : nullptr);
        break;
      }
      case 19:
        ZelCam_WriteRegister(h, in_.Within(300), in_.Within(300));
        break;
      case 20: {
        int valid = -1;
        ZelCam_ReadRegister(h, in_.Within(300), in_.Bit() ? &valid : nullptr);
        break;
      }
      case 21:
        ZelCam_SetCrossbar(h, in_.Within(300), 0);
        break;
      case 22: {
        int valid = 0, level = 0;
        ZelCam_GetVideoFormat(h, in_.Bit() ? &valid : nullptr);
        ZelCam_GetIOPort(h, 0, in_.Bit() ? &level : nullptr);
        break;
      }
      case 23: {
        char names[ZELCNV_DEVICE_LIST_ENTRIES][ZELCNV_DEVICE_NAME_CHARS];
        ZelCam_EnumDevice(h, in_.Bit() ? names : nullptr);
        ZelCnvWChar wide[ZELCNV_DEVICE_LIST_ENTRIES][ZELCNV_DEVICE_NAME_CHARS];
        ZelCam_EnumDeviceW(h, in_.Bit() ? wide : nullptr);
        break;
      }
      case 24: {
        const int length = static_cast<int>(in_.Pick(24)) - 2;
        std::vector<char> name(length > 0 ? length : 1);
        std::vector<ZelCnvWChar> wide(length > 0 ? length : 1);
        const int device = static_cast<int>(in_.Pick(10)) - 1;
        ZelCam_GetDeviceName(h, device, in_.Bit() ? name.data() : nullptr, length);
        ZelCam_GetDeviceNameW(h, device, in_.Bit() ? wide.data() : nullptr, length);
        break;
      }
      case 25: {
        CameraInfo info{};
        info.size = in_.U16() % 64;
        ZelCam_GetCameraInfo(h, in_.Pick(8) == 0 ? nullptr : &info);
        break;
      }
      case 26:
        ZelCam_SetPreviewWindow(h, Window(), in_.Within(2000), in_.Within(2000), in_.Within(2000),
                                in_.Within(2000));
        break;
      case 27:
        Fault();
        break;
      case 28:
        Configure();
        break;
      case 29:
        for (int i = 0; i < 1 + static_cast<int>(in_.Pick(4)); ++i) ZelCam_GetLastError(h);
        break;
      case 30: {
        // The application reads its messages: frame records are read in place.
        ZelCnvMessage message{};
        while (ZelCnv_GetMessage(windows_[in_.Pick(2)], &message, static_cast<int>(in_.Pick(4))) ==
               1) {
          if (message.message == MSG_FRAME_NOTIFY && message.wParam != 0) {
            const FrameInfo* info = reinterpret_cast<const FrameInfo*>(message.wParam);
            if (info->size != static_cast<int>(sizeof(FrameInfo))) __builtin_trap();
          }
        }
        break;
      }
      case 31: {
        int valid = 0;
        ZelCam_GetSamplingRate(h, in_.Bit() ? &valid : nullptr);
        ZelCam_GetColorMode(h);
        ZelCam_GetWaitTime(h);
        ZelCam_Width(h);
        ZelCam_Height(h);
        break;
      }
      case 32:
        ZelCam_Trigger(h);
        ZelCam_GetStatus(h, 0);
        // No dialog driver is installed: both dialogs are refused, the stream left as it was.
        ZelCam_SetCameraDlg(h, Window());
        ZelCam_SetImageDlg(h, Window());
        break;
      default:
        ZelCam_SetBrightness(h, in_.Within(300));
        ZelCam_SetHue(h, in_.Within(300));
        break;
    }
  }

  FuzzInput& in_;
  std::vector<int> handles_;
  int released_ = 0;
  HWND windows_[2] = {};
  Buffers buffers_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Scratch();
  FuzzInput in(data, size);
  for (int i = 0; i < kConverters; ++i) {
    // Free-running, so that a stop never waits long for the frame in flight; real time is one
    // of the configurations a sequence may switch to. Manual timing is left out: nobody would
    // release the frame a stop waits for.
    ZelSim_Attach(i, in.Bit() ? "timing=free" : "timing=free standard=625");
  }
  {
    Sequence sequence(in);
    sequence.Run();
  }  // handles released, then the buffers they streamed into freed
  for (int i = 0; i < kConverters; ++i) ZelSim_Detach(i);
  return 0;
}
