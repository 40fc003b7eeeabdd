// CZelCam: the per-handle camera object. It keeps the streaming state machine (idle, streaming,
// capture armed) and the calls between the parts it owns: the device library object, the
// settings, the frame callback, the error stack, the preview window, the recorder and the preview
// stream (the preview thread with the output and colour pictures).
//
// Threads: the application's thread runs every member function; the preview thread runs in the
// preview stream, and alone writes the pictures and the frame records while a stream runs. Fields
// both touch are atomic, or parts that lock for themselves.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "camera/call_turn.h"
#include "camera/colour_modes.h"
#include "camera/device_watch.h"
#include "camera/error_stack.h"
#include "camera/frame_callback.h"
#include "camera/preview_stream.h"
#include "camera/preview_window.h"
#include "camera/recorder.h"
#include "device/zel_cnv_sdk.h"
#include "settings/settings_store.h"

namespace zelcnv::camera {

constexpr int kRingSlots = 10;
constexpr int kFormatSettleMs = 20;  // the device settles between reset, format and read-back

static_assert(settings::CameraSettings{}.colourMode == kDefaultColourMode);

// Image parameter identifiers the converter supports.
enum FilterId : uint32_t {
  kFilterBrightness = 1,
  kFilterContrast = 2,
  kFilterHue = 3,
  kFilterSaturation = 4,
};

// Writes picture control `index` (brightness, contrast, hue, saturation) to the converter.
void WritePictureControl(device::CZelCnvSdk& device, int index, uint8_t value);

class CZelCam : private DeviceWatch::Owner {
 public:
  CZelCam();
  virtual ~CZelCam();
  CZelCam(const CZelCam&) = delete;
  CZelCam& operator=(const CZelCam&) = delete;

  // Creates the device library object and bitmaps, loads the settings and programs the device.
  int Initialize(WindowHandle appWindow);

  // The error stack: the 20 newest error numbers, newest first; pushes also post
  // MSG_ERROR_NOTIFY to the application's window.
  void PushError(ErrorNumber code) { errors_.Push(code); }
  int PopError() { return errors_.Pop(); }

  // Settings operations.
  int SetColorMode(int bitsPerPixel);
  int GetColorMode() const;
  int SetSamplingRate(int code);
  int GetSamplingRate(int* valid) const;
  int SetWaitTime(int milliseconds);
  int GetWaitTime() const { return settings_.Get().waitTime; }
  int Width() const { return imageWidth_; }
  int Height() const { return imageHeight_; }
  // The format code: detected standard in the low nibble, the sampling rate's nibble above it.
  int FormatCode(int standard) const;
  bool NormalRate() const { return settings_.Get().samplingRate == 1; }

  // The two settings dialogs (settings_dialogs.cpp): 1 after OK or Cancel; 0 when there is no
  // device, or the dialog could not be shown (ERR_WINDOW).
  int SetCameraDlg(WindowHandle owner);
  int SetImageDlg(WindowHandle owner);

  // Image parameters (image_parameters.cpp).
  int SetFilterValue(uint32_t id, int value);
  int GetFilterValue(uint32_t id, int* valid);
  void ApplyPictureControls();

  // Device operations behind the exports (device_operations.cpp).
  int WriteRegister(int reg, int value);
  int ReadRegister(int reg, int* valid);
  int SetCrossbar(int input);
  int GetVideoFormat(int* valid);
  int GetIoPort(int* value);
  int SetDeviceNumber(int index);
  int EnumDevice(char (*list)[256]);
  int EnumDeviceW(char16_t (*list)[256]);
  int GetDeviceName(int index, char* buffer, int length);
  int GetDeviceNameW(int index, char16_t* buffer, int length);

  // Streaming (streaming.cpp).
  int StartPreview() { return StartStreaming() ? 1 : 0; }
  int StopPreview() { return StopStreaming() ? 1 : 0; }
  int Preview(WindowHandle window, void* buffer, int32_t size, int32_t topDown);
  int SetPreviewWindow(WindowHandle parent, int32_t x, int32_t y, int32_t width, int32_t height);
  int Close();

  // Single frames, still images and recording (single_frames.cpp).
  int Capture();
  int SnapShot(void* buffer, int32_t size, int32_t topDown);
  int GetImage(void* buffer, int32_t size, int32_t topDown);
  int SaveImage(const char* fileName, uint32_t fileType);
  int SaveImageW(const char16_t* fileName, uint32_t fileType);
  int Record(const char* fileName, int32_t durationMs, int32_t showWindow);
  int RecordW(const char16_t* fileName, int32_t durationMs, int32_t showWindow);

  // The extension interface (extension.cpp). WaitFrame, the details and the figures take no
  // turn: a waiting thread holds up no other call.
  int WaitFrame(void* buffer, int32_t size, int32_t topDown, int32_t timeoutMs,
                FrameDetails* details);
  int GetFrameDetails(FrameDetails* details);
  int GetStreamStats(StreamStats* stats);
  int WatchDevices(bool enable);
  int SetAutoResume(bool enable);
  // The handle is being released: waiting threads return at once, and no new wait begins.
  void EndWaits() { stream_.Tap().Stopped(); }

  device::CZelCnvSdk* Device() { return device_.get(); }
  // The processor time, in nanoseconds, that this handle's running threads have used so far; a
  // thread not running counts 0. For measurements on the application's thread while a stream
  // runs.
  struct ThreadCpu {
    uint64_t preview = 0;
    uint64_t transfer = 0;
    uint64_t recorder = 0;
    uint64_t Total() const { return preview + transfer + recorder; }
  };
  ThreadCpu ThreadCpuTimes() const;
  // Exports on this object take turns; one thread may re-enter (through its window procedure).
  CallTurn& Turn() { return turn_; }

 private:
  // Pushes `code` and gives the failure result of an export (0).
  [[nodiscard]] int Fail(ErrorNumber code) {
    errors_.Push(code);
    return 0;
  }
  // The same for a step that answers yes or no.
  [[nodiscard]] bool Refuse(ErrorNumber code) {
    errors_.Push(code);
    return false;
  }
  // The inner cause first, then the outer operation's number, which the application reads first.
  [[nodiscard]] int Fail(ErrorNumber inner, ErrorNumber outer) {
    errors_.Push(inner);
    errors_.Push(outer);
    return 0;
  }

  // The state machine. Preparing gives the standard detected. A stream resumed after its
  // converter came back keeps its waiting threads and its counts; so does the stop before it.
  [[nodiscard]] bool PrepareStream(int* standardFound = nullptr);
  [[nodiscard]] bool StartStreaming(bool resumed = false);
  bool StopStreaming(bool forResume = false);

  // The device watch's looks (on its thread): the converters there (the one streaming counts as
  // there while its transfer runs, whether or not its path opens a second time); posting those
  // that came and went, and resuming a stream whose converter came back.
  uint32_t ConvertersPresent() override;
  void Looked(uint32_t present, uint32_t changed) override;
  void ResumeIfDue(uint32_t present);

  // The mode of the image a copy or a save reads: the one the output pictures were made for, or
  // before any stream the chosen one. Null for a mode outside the table, and when the chosen mode
  // is not the one the pictures hold (a buffer sized for it must not receive another mode's
  // bytes).
  const ColourModeTraits* ImageMode() const;

  void LoadSettings();
  void SaveSettings();
  void ReadBackFrameSize();
  // Common checks of the two name exports: false when refused (error pushed).
  bool CheckNameRequest(int index, const void* buffer, int length);

  CallTurn turn_;
  ErrorStack errors_;
  std::unique_ptr<device::CZelCnvSdk> device_;
  int32_t imageWidth_ = 640;
  int32_t imageHeight_ = 480;
  // Read by the preview thread and a modal dialog while other threads' exports may run.
  settings::SharedSettings settings_;

  std::atomic<int32_t> streamState_{kStreamIdle};
  FrameCallback callback_;

  Recorder recorder_{errors_};
  PreviewWindow window_;
  // A stream stopped because its converter went away, to start again when it is back.
  std::atomic<bool> resumePending_{false};
  // After the parts it uses, so that its thread stops before they go.
  PreviewStream stream_{device_, settings_, errors_, callback_, window_, recorder_, streamState_};
  // Last: its thread calls into the parts above, and is stopped first.
  DeviceWatch watch_;
};

}  // namespace zelcnv::camera
