// The preview window: class and creation, drawing, teardown.
#include "camera/preview_window.h"

#include <cstdio>
#include <cstdlib>

#include "platform/clock.h"
#include "platform/preview_window.h"

namespace zelcnv::camera {

namespace {

constexpr char kChildTitle[] = "ActiveMovie Window";
constexpr char kOwnTitle[] = "Active Window";

}  // namespace

void PreviewWindow::Place(void* parent, int32_t x, int32_t y, int32_t width, int32_t height) {
  parent_ = parent;
  rect_[0] = x;
  rect_[1] = y;
  rect_[2] = width;
  rect_[3] = height;
}

void* PreviewWindow::MakeWindow(const void* owner, int32_t frameWidth, int32_t frameHeight) {
  // A fresh class per window: the owner's address and a changing number keep names apart.
  std::snprintf(className_, sizeof(className_), "VideoRenderer_%08x_%08x",
                static_cast<unsigned>(reinterpret_cast<uintptr_t>(owner)),
                static_cast<unsigned>(platform::MultimediaTimeMs() + std::rand()));
  if (!platform::RegisterPreviewClass(className_)) return nullptr;

  platform::WindowSpec spec{className_, kChildTitle,      platform::kChildWindowStyle, 0, 0, 0, 0,
                            parent_,    kPreviewControlId};
  if (parent_ != nullptr) {
    spec.x = rect_[0];
    spec.y = rect_[1];
    spec.width = rect_[2];
    spec.height = rect_[3];
  } else {
    int32_t rect[4] = {0, 0, frameWidth, frameHeight};
    if (!platform::AdjustWindowRectangle(rect, platform::kOwnWindowStyle)) return nullptr;
    int32_t screenWidth = 0, screenHeight = 0;
    platform::ScreenSize(&screenWidth, &screenHeight);
    spec.title = kOwnTitle;
    spec.style = platform::kOwnWindowStyle;
    spec.width = rect[2] - rect[0];
    spec.height = rect[3] - rect[1];
    spec.x = (screenWidth + rect[0] - rect[2]) / 2;
    spec.y = (screenHeight + rect[1] - rect[3]) / 2;
  }
  void* window = platform::CreatePreviewWindow(spec);
  if (window == nullptr) return nullptr;
  if (!platform::ShowPreviewWindow(window)) {
    window_ = window;  // on screen until Close takes it down
    return nullptr;
  }
  return window;
}

bool PreviewWindow::Open(const void* owner, int32_t frameWidth, int32_t frameHeight) {
  // Only ever one window per handle: an earlier one (streaming stopped, not closed) goes first.
  Close();
  void* window = MakeWindow(owner, frameWidth, frameHeight);
  if (window == nullptr) return false;
  window_ = window;
  dc_ = platform::GetWindowDc(window);
  return dc_.load() != nullptr;
}

void PreviewWindow::Close() {
  if (platform::SurfaceDc* dc = dc_.exchange(nullptr)) {
    platform::ReleaseWindowDc(window_.load(), dc);
  }
  if (void* window = window_.exchange(nullptr)) platform::DestroyPreviewWindow(window);
  platform::UnregisterPreviewClass(className_);
  className_[0] = '\0';
}

bool PreviewWindow::OnScreen() const {
  void* window = window_.load();
  return window != nullptr && dc_.load() != nullptr && platform::IsWindowOnScreen(window);
}

void PreviewWindow::FitDisplay(uint16_t bits) {
  void* window = window_.load();
  int32_t width = 0, height = 0;
  if (window != nullptr && dc_.load() != nullptr && platform::IsWindowOnScreen(window) &&
      platform::GetClientSize(window, &width, &height) && width > 0 && height > 0) {
    display_.Create(width, height, bits);
  }
}

void PreviewWindow::Draw(const imaging::FrameBitmap& picture, uint16_t displayBits,
                         imaging::StretchFn* stretch) {
  void* window = window_.load();
  platform::SurfaceDc* dc = dc_.load();
  int32_t width = 0, height = 0;
  if (window == nullptr || dc == nullptr || !platform::IsWindowOnScreen(window) ||
      !platform::GetClientSize(window, &width, &height) || width <= 0 || height <= 0) {
    return;
  }
  if (width == picture.Width() && height == picture.Height()) {
    platform::StretchSurface(dc, 0, 0, width, height, picture.MemoryDc(), 0, 0, width, height);
    return;
  }
  imaging::FrameBitmap& display = display_;
  if (display.Width() != width || display.Height() != height ||
      display.BitsPerPixel() != displayBits) {
    display.Release();
    if (!display.Create(width, height, displayBits)) return;
  }
  // Refused only where the picture has no pixels; the display picture is drawn as it stands.
  static_cast<void>(display.StretchFrom(stretch, picture));
  platform::BlitSurface(dc, 0, 0, width, height, display.MemoryDc(), 0, 0);
}

}  // namespace zelcnv::camera
