// CZelCam: the per-handle camera object. It owns the device library object, the frame bitmaps
// and the handle's settings, keeps the handle's error stack, and carries out the exports.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "camera/call_turn.h"
#include "camera/frame_record.h"
#include "device/zel_cnv_sdk.h"
#include "imaging/avi_recorder.h"
#include "imaging/frame_bitmap.h"
#include "platform/thread.h"

namespace zelcnv::camera {

using WindowHandle = void*;

constexpr int kErrorStackDepth = 20;
constexpr int kRingSlots = 10;
constexpr int kFormatSettleMs = 20;  // the device settles between reset, format and read-back

// Error numbers reported to the application.
enum ErrorNumber : int {
  kErrNotReady = 1,
  kErrNoDevice = 2,
  kErrThread = 3,
  kErrWindow = 4,
  kErrBuffer = 5,
  kErrDeviceIo = 6,
  kErrCapture = 8,
  kErrParameter = 9,
  kErrUnsupported = 11,
  kErrOperation = 12,
  kErrTransferStopped = 13,
};

constexpr uint32_t kMsgFrameNotify = 0x8002;
constexpr uint32_t kMsgErrorNotify = 0x8003;

// Streaming states.
enum StreamState : int32_t { kStreamIdle = 0, kStreamRunning = 1, kStreamArmed = 2 };

constexpr int32_t kPreviewControlId = 6540;

// Colour mode index 0..5 and its bits per pixel.
enum ColourModeIndex : int { kMode8, kMode16, kMode24, kMode32, kMode48, kMode64 };
constexpr int kColourModeBits[] = {8, 16, 24, 32, 48, 64};

// Frames are decoded by weaving the two fields, without the colour decode.
constexpr int kDecodeSelector = 1;
constexpr int kColourModeCount = 6;
constexpr int kDefaultColourMode = 2;  // 24 bits

// The eight bitmaps, in field order.
enum BitmapIndex : int {
  kBitmap8,
  kBitmap16,
  kBitmap24,
  kBitmap32,
  kBitmap48,
  kBitmap64,
  kNativeBitmap,
  kDisplayBitmap,
  kBitmapCount
};

// Image parameter identifiers the converter supports.
enum FilterId : uint32_t {
  kFilterBrightness = 1,
  kFilterContrast = 2,
  kFilterHue = 3,
  kFilterSaturation = 4,
};

class CZelCam {
 public:
  CZelCam();
  virtual ~CZelCam();
  CZelCam(const CZelCam&) = delete;
  CZelCam& operator=(const CZelCam&) = delete;

  // Creates the device library object and bitmaps, loads the settings and programs the device.
  int Initialize(WindowHandle appWindow);

  // Error stack: the 20 newest error numbers, newest first; pushes also post MSG_ERROR_NOTIFY.
  int PushError(int code);
  int PopError();
  void PostToAppWindow(uint32_t message, uintptr_t wParam, intptr_t lParam);

  // Settings operations.
  int SetColorMode(int bitsPerPixel);
  int GetColorMode() const;
  int SetSamplingRate(int code);
  int GetSamplingRate(int* valid) const;
  int SetWaitTime(int milliseconds);
  int GetWaitTime() const { return waitTime_.load(); }
  int Width() const { return imageWidth_; }
  int Height() const { return imageHeight_; }
  // The format code: detected standard in the low nibble, the sampling rate's nibble above it.
  int FormatCode(int standard) const;
  int NormalRate() const { return samplingRate_ == 1 ? 1 : 0; }

  // The two settings dialogs (settings_dialogs.cpp): 1 after OK or Cancel; 0 when there is no
  // device, or the dialog could not be shown (ERR_WINDOW).
  int SetCameraDlg(WindowHandle owner);
  int SetImageDlg(WindowHandle owner);

  // Image parameters.
  int SetFilterValue(uint32_t id, int value);
  int GetFilterValue(uint32_t id, int* valid);
  void ApplyPictureControls();

  // Device operations behind the exports.
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
  int StartPreview() { return StartStreaming(); }
  int StopPreview() { return StopStreaming(); }
  int Preview(WindowHandle window, void* buffer, int32_t size, int32_t topDown);
  int PrepareStream();
  int StartStreaming();
  int StopStreaming();

  // Single frames, still images and recording (single_frames.cpp, recording.cpp).
  int Capture();
  int SnapShot(void* buffer, int32_t size, int32_t topDown);
  int GetImage(void* buffer, int32_t size, int32_t topDown);
  int SaveImage(const char* fileName, uint32_t fileType);
  int SaveImageW(const char16_t* fileName, uint32_t fileType);
  int Record(const char* fileName, int32_t durationMs, int32_t showWindow);
  int RecordW(const char16_t* fileName, int32_t durationMs, int32_t showWindow);

  // Preview window (preview_window.cpp).
  int SetPreviewWindow(WindowHandle parent, int32_t x, int32_t y, int32_t width, int32_t height);
  int Close();

  device::CZelCnvSdk* Device() { return device_.get(); }
  // Exports on this object take turns; one thread may re-enter (through its window procedure).
  CallTurn& Turn() { return turn_; }

 private:
  static void PreviewThreadEntry(void* camera);
  void PreviewLoop();
  void UpdateFrameRate();
  // Fills the frame record, copies the output picture into the application's buffer and
  // announces the frame.
  void DeliverFrame(int32_t width, int32_t height);
  // The output bitmap of the colour mode the stream was prepared for; null when there is none.
  imaging::FrameBitmap* OutputBitmap() const;
  void ConvertToOutput();
  int CopyOut(const imaging::FrameBitmap& bitmap, int32_t topDown, void* destination, int32_t size);
  int SizeOutputBitmaps(int mode);
  void PostFrameNotify(uintptr_t wParam, intptr_t lParam);
  // The preview thread reads the four callback fields afresh for every frame.
  void SetCallback(WindowHandle window, void* buffer, int32_t size, int32_t topDown);

  // The output bitmap a copy or a save reads: the streamed colour mode's, or before any stream
  // the chosen mode's (then still empty). Null for a mode outside the table.
  imaging::FrameBitmap* CurrentImage() const;

  // Recording: the preview thread hands each frame over as a 24-bit picture, the recorder
  // thread appends it to the file.
  static void RecorderThreadEntry(void* camera);
  void RecorderLoop();
  void HandFrameToRecorder();
  void FinishRecording(uint32_t now);
  // Ends a running recorder thread, finishing its file with the frames written so far.
  void StopRecording();

  void* CreatePreviewWindow();
  // CreatePreviewWindow and its device context; 0 when either fails.
  int OpenPreviewWindow();
  // Releases the device context, destroys the window and unregisters its class.
  void ClosePreviewWindow();
  void DrawFrame();

  void LoadSettings();
  void SaveSettings();
  void ReadBackFrameSize();
  // Common checks of the two name exports: 0 when refused (error pushed).
  int CheckNameRequest(int index, const void* buffer, int length);

  std::unique_ptr<device::CZelCnvSdk> device_;
  std::unique_ptr<imaging::FrameBitmap> bitmaps_[kBitmapCount];

  int32_t imageWidth_ = 640;
  int32_t imageHeight_ = 480;
  std::atomic<uint8_t> brightness_{0x80};
  std::atomic<uint8_t> contrast_{0x80};
  std::atomic<uint8_t> hue_{0x00};
  std::atomic<uint8_t> saturation_{0x80};
  int32_t previewRect_[4] = {0, 0, 640, 480};

  WindowHandle appWindow_ = nullptr;
  std::atomic<int32_t> streamState_{0};
  std::atomic<int32_t> colourMode_{kDefaultColourMode};
  std::atomic<int32_t> waitTime_{10};
  // Atomic: a modal dialog reads them while other threads' exports may run.
  std::atomic<int32_t> samplingRate_{1};
  std::atomic<int32_t> hiRate_{0};

  // Streaming. While the preview thread runs it alone writes the bitmaps, the frame record and
  // the frame-rate fields. The callback fields change under callbackMutex_, which the preview
  // thread holds from reading them until the frame is copied and announced: once a change has
  // returned, nothing more lands in the buffer it withdrew.
  std::atomic<int32_t> previewRun_{0};
  std::atomic<int32_t> frameReady_{0};
  // The colour mode the running stream was prepared for: a mode chosen meanwhile takes effect at
  // the next start, as the bitmaps and the sample width are sized for this one.
  std::atomic<int32_t> streamColourMode_{-1};
  platform::Thread* previewThread_ = nullptr;
  platform::Event* previewDoneEvent_ = nullptr;
  // Signalled to cut the preview thread's wait between polls short when streaming stops.
  platform::Event* previewWakeEvent_ = nullptr;
  std::mutex callbackMutex_;
  std::atomic<WindowHandle> callbackWindow_{nullptr};
  std::atomic<void*> callbackBuffer_{nullptr};
  std::atomic<int32_t> callbackBufferSize_{0};
  std::atomic<int32_t> callbackTopDown_{0};
  // Outlives this object (frame_record.h); null only when memory ran out.
  FrameInfo* frameInfo_ = nullptr;
  int32_t fpsTenths_ = 0;
  int32_t fpsFrameCount_ = 0;
  uint32_t fpsWindowStart_ = 0;

  // Recording. frameReady_ hands recordFrame_ over: the preview thread fills it only while
  // frameReady_ is 0 and then sets it; the recorder thread clears it once the frame is written.
  std::atomic<int32_t> recording_{0};
  imaging::AviRecorder recorder_;
  uint32_t recordStartTime_ = 0;
  uint32_t recordEndTime_ = 0;
  platform::Thread* recorderThread_ = nullptr;
  platform::Event* recorderDoneEvent_ = nullptr;
  imaging::FrameBitmap recordFrame_;    // the 24-bit frame, top row first
  imaging::FrameBitmap recordScratch_;  // 24-bit intermediate
  imaging::FrameBitmap recordGrey_;     // 8-bit intermediate

  // Preview window.
  WindowHandle previewParent_ = nullptr;
  // Read by the preview thread, which may meet a window created while it streams.
  std::atomic<WindowHandle> previewWindow_{nullptr};
  std::atomic<platform::SurfaceDc*> previewDC_{nullptr};
  char windowClassName_[256] = {};

  CallTurn turn_;
  std::mutex errorMutex_;
  int32_t errorStack_[kErrorStackDepth] = {};
};

}  // namespace zelcnv::camera
