// The preview window a handle shows live video in: where it goes, its class and creation, the
// drawing of each frame from the preview thread, and its teardown. Created and closed on the
// application's thread; drawn into by the preview thread, which therefore reads the window and
// its device context atomically.
#pragma once

#include <atomic>
#include <cstdint>

#include "imaging/frame_bitmap.h"
#include "platform/surface.h"

namespace zelcnv::camera {

constexpr int32_t kPreviewControlId = 6540;

class PreviewWindow {
 public:
  PreviewWindow() = default;
  ~PreviewWindow() { Close(); }
  PreviewWindow(const PreviewWindow&) = delete;
  PreviewWindow& operator=(const PreviewWindow&) = delete;

  // Later windows are children of `parent` at (x, y), width x height; a null parent gives a
  // window of its own, centred. Fit: a child at the origin of the frame's size.
  void Place(void* parent, int32_t x, int32_t y, int32_t width, int32_t height);
  void Fit(int32_t width, int32_t height) { Place(parent_, 0, 0, width, height); }

  // The window, shown, with its device context; any earlier one of this object goes first.
  // `owner` and the frame size name the class and size a window of its own. False when the class,
  // the window or its context cannot be made (a window made but not updated stays until Close).
  [[nodiscard]] bool Open(const void* owner, int32_t frameWidth, int32_t frameHeight);
  // Releases the device context, destroys the window and unregisters its class.
  void Close();
  bool Exists() const { return window_.load() != nullptr; }
  // A window with its device context whose drawing can be seen (platform::IsWindowOnScreen).
  bool OnScreen() const;

  // The display picture sized to the client area, when the window is shown (stream preparation).
  void FitDisplay(uint16_t bits);
  // Draws `picture` into the client area: copied 1:1 when it fits, otherwise scaled with
  // `stretch` through the display picture (`displayBits` deep). Nothing for a closed or empty
  // window, or one not on screen.
  void Draw(const imaging::FrameBitmap& picture, uint16_t displayBits, imaging::StretchFn* stretch);

 private:
  void* MakeWindow(const void* owner, int32_t frameWidth, int32_t frameHeight);

  void* parent_ = nullptr;
  int32_t rect_[4] = {0, 0, 640, 480};  // x, y, width, height of a child window
  char className_[256] = {};
  std::atomic<void*> window_{nullptr};
  std::atomic<platform::SurfaceDc*> dc_{nullptr};
  // The picture frames are scaled into when they do not fit the client area 1:1.
  imaging::FrameBitmap display_;
};

}  // namespace zelcnv::camera
