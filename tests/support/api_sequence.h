// Sequences of exports as a careless or hostile application might call them: unknown and
// released handles, null pointers, negative and huge sizes, odd modes, codes and register
// numbers, device numbers and sampling codes changed while armed or streaming, file names in
// missing directories, on simulated converters with faults switched on and off. Every call
// returns; nothing reads or writes outside what it was given.
//
// Several threads may run sequences over one `SequenceWorld` at once, as an application's user
// interface thread and its workers share handles. The choices come from an input with the
// interface of the fuzzers' `FuzzInput` (Empty, Bit, Pick, U16, U32, Within): a fuzzer's bytes, or
// a seeded generator.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "ZelCnvPosix.h"
#include "ZelCnvSdk.h"
#include "ZelCnvSdkEx.h"
#include "ZelCnvSim.h"

namespace zelcnv::sequence {

constexpr int kMaxHandles = 3;
constexpr int kConverters = 2;

// What the sequences share: handles, the application's two windows, and the buffers the library
// may still write into. A buffer given to a streaming start is the application's until the
// handle is released (the library copies into it until the stream stops, or another buffer
// replaces it); it is then freed.
class SequenceWorld {
 public:
  struct Options {
    bool longStalls = true;     // a converter may go silent for 20 s
    bool hugeWaitTimes = true;  // wait times up to 2^31 ms (a snapshot then waits out a stall)
  };

  SequenceWorld(std::string scratch, Options options)
      : scratch_(std::move(scratch)), options_(options) {
    for (HWND& window : windows_) window = ZelCnv_CreateMessageWindow();
  }
  ~SequenceWorld() {
    for (int handle : handles_) ZelCam_Release(handle);
    for (HWND window : windows_) ZelCnv_DestroyMessageWindow(window);
  }
  SequenceWorld(const SequenceWorld&) = delete;
  SequenceWorld& operator=(const SequenceWorld&) = delete;

  const std::string& scratch() const { return scratch_; }
  const Options& options() const { return options_; }
  HWND window(int index) const { return windows_[index]; }

  // A live handle (index `pick` among them), or 0 when there is none.
  int Live(uint32_t pick) {
    std::lock_guard lock(mutex_);
    return handles_.empty() ? 0 : handles_[pick % handles_.size()];
  }
  int released() {
    std::lock_guard lock(mutex_);
    return released_;
  }
  void Initialize(HWND window) {
    {
      std::lock_guard lock(mutex_);
      if (handles_.size() + opening_ >= kMaxHandles) return;
      ++opening_;
    }
    const int handle = ZelCam_Initialize(window);
    std::lock_guard lock(mutex_);
    --opening_;
    if (handle != 0) handles_.push_back(handle);
  }
  void Release(int handle) {
    if (ZelCam_Release(handle) != 1) return;
    // No export runs on the handle any more, and none will: what it streamed into is free.
    std::vector<std::unique_ptr<uint8_t[]>> held;
    std::lock_guard lock(mutex_);
    released_ = handle;
    std::erase(handles_, handle);
    if (auto found = streamBuffers_.find(handle); found != streamBuffers_.end()) {
      held = std::move(found->second);
      streamBuffers_.erase(found);
    }
  }
  // A buffer of `bytes` the library may write into while `handle`'s stream runs.
  uint8_t* StreamBuffer(int handle, size_t bytes) {
    std::lock_guard lock(mutex_);
    auto& held = streamBuffers_[handle];
    held.emplace_back(new uint8_t[bytes != 0 ? bytes : 1]);
    return held.back().get();
  }

 private:
  const std::string scratch_;
  const Options options_;
  HWND windows_[2] = {};
  std::mutex mutex_;
  std::vector<int> handles_;
  int opening_ = 0;
  int released_ = 0;
  std::map<int, std::vector<std::unique_ptr<uint8_t[]>>> streamBuffers_;
};

// Every field of a frame record, as an application handling a notification reads it.
inline bool FrameRecordReads(const FrameInfo* info) {
  volatile int sum = info->width + info->height + info->bitsPerPixel + info->frameRate;
  static_cast<void>(sum);
  return info->size == static_cast<int>(sizeof(FrameInfo));
}

template <class Input>
class Sequence {
 public:
  Sequence(SequenceWorld& world, Input& in) : world_(world), in_(in) {}

  void Run(int steps) {
    for (int step = 0; step < steps && !in_.Empty(); ++step) Step();
  }

  // The application reads its messages: frame records are read in place.
  static bool DrainMessages(HWND window, int timeoutMs) {
    ZelCnvMessage message{};
    bool whole = true;
    while (ZelCnv_GetMessage(window, &message, timeoutMs) == 1) {
      if (message.message == MSG_FRAME_NOTIFY && message.wParam != 0) {
        whole = FrameRecordReads(reinterpret_cast<const FrameInfo*>(message.wParam)) && whole;
      }
    }
    return whole;
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
        return world_.released();
      default:
        return world_.Live(in_.Pick(kMaxHandles));
    }
  }
  HWND Window() { return in_.Bit() ? world_.window(static_cast<int>(in_.Pick(2))) : nullptr; }
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
  // A buffer for one call (none for sizes of 0 or below, or when the application passes null).
  std::unique_ptr<uint8_t[]> Buffer(int size) {
    return size > 0 && in_.Pick(8) != 0 ? std::make_unique<uint8_t[]>(size) : nullptr;
  }
  std::string FileName() {
    const char* names[] = {"/still", "/clip.avi", "/missing/dir/file", "/"};
    return world_.scratch() + names[in_.Pick(4)];
  }
  void Fault() {
    static const char* const faults[] = {"unplug",       "replug",      "short=1",
                                         "stall=5",      "read-fail=2", "clear",
                                         "fail-after=2", "release=3",   "stall=20000"};
    const uint32_t count = world_.options().longStalls ? 9 : 8;
    ZelSim_InjectFault(static_cast<int>(in_.Pick(kConverters)), faults[in_.Pick(count)]);
  }
  void Configure() {
    static const char* const configs[] = {"standard=525",  "standard=625",    "standard=525w",
                                          "standard=625w", "timing=free",     "input0=none",
                                          "port=1",        "timing=realtime", "timing=manual"};
    // Real time (frames 33 or 40 ms apart) and manual timing (a frame only when released) only
    // now and then: they slow every stream.
    const uint32_t pick = in_.Pick(64);
    ZelSim_Configure(static_cast<int>(in_.Pick(kConverters)),
                     configs[pick < 7 * 9 ? pick % 7 : 7 + pick % 2]);
  }
  int WaitTime() {
    switch (in_.Pick(4)) {
      case 0:
        return world_.options().hugeWaitTimes ? static_cast<int>(in_.U32()) : -in_.Within(40);
      default:
        return in_.Within(40);
    }
  }

  void Step() {
    const int h = Handle();
    switch (in_.Pick(36)) {
      case 0:
        world_.Initialize(Window());
        break;
      case 1:
        world_.Release(h);
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
        ZelCam_SetWaitTime(h, WaitTime());
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
        uint8_t* buffer = size > 0 && in_.Pick(8) != 0 ? world_.StreamBuffer(h, size) : nullptr;
        ZelCam_CallBackPreview(h, Window(), buffer, size, in_.Bit());
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
        ZelCam_SnapShot(h, Buffer(size).get(), size, in_.Bit());
        break;
      }
      case 13: {
        const int size = Size();
        ZelCam_GetImage(h, Buffer(size).get(), size, in_.Bit());
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
      case 30:
        if (!DrainMessages(world_.window(static_cast<int>(in_.Pick(2))),
                           static_cast<int>(in_.Pick(4)))) {
          __builtin_trap();
        }
        break;
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
        // Refused without a dialog driver; with one, the dialog runs and the stream goes on.
        ZelCam_SetCameraDlg(h, Window());
        ZelCam_SetImageDlg(h, Window());
        break;
      case 33: {
        // The extension: a short wait for a frame into any buffer, and the frame's facts.
        ZelCnvFrameDetails details{};
        details.size = in_.Pick(8) != 0 ? static_cast<int>(sizeof details) : in_.Within(100);
        const int size = Size();
        const std::unique_ptr<uint8_t[]> buffer = Buffer(size);
        ZelCnvEx_WaitFrame(h, buffer.get(), size, in_.Bit() ? 1 : 0, static_cast<int>(in_.Pick(3)),
                           in_.Bit() ? &details : nullptr);
        ZelCnvEx_GetFrameDetails(h, in_.Bit() ? &details : nullptr);
        ZelCnvStreamStats stats{};
        stats.size = in_.Pick(8) != 0 ? static_cast<int>(sizeof stats) : in_.Within(100);
        ZelCnvEx_GetStreamStats(h, &stats);
        break;
      }
      case 34:
        ZelCnvEx_WatchDevices(h, in_.Bit() ? 1 : 0);
        ZelCnvEx_SetAutoResume(h, in_.Bit() ? 1 : 0);
        break;
      default:
        ZelCam_SetBrightness(h, in_.Within(300));
        ZelCam_SetHue(h, in_.Within(300));
        break;
    }
  }

  SequenceWorld& world_;
  Input& in_;
};

// The choices of a seeded generator, for as long as wanted.
class RandomInput {
 public:
  explicit RandomInput(uint64_t seed) : engine_(seed) {}
  bool Empty() const { return false; }
  bool Bit() { return (engine_() & 1) != 0; }
  uint32_t Pick(uint32_t count) {
    return count == 0 ? 0 : static_cast<uint32_t>(engine_() % count);
  }
  uint16_t U16() { return static_cast<uint16_t>(engine_()); }
  uint32_t U32() { return static_cast<uint32_t>(engine_()); }
  int32_t Within(int32_t limit) { return limit <= 0 ? 0 : static_cast<int16_t>(engine_()) % limit; }

 private:
  std::mt19937_64 engine_;
};

}  // namespace zelcnv::sequence
