// The preview window: where its parameters come from, its class and creation, the drawing of
// each frame from the preview thread, and taking it down.
#include <cstdio>
#include <cstdlib>

#include "camera/camera.h"
#include "platform/clock.h"
#include "platform/preview_window.h"

namespace zelcnv::camera {

namespace {

constexpr char kChildTitle[] = "ActiveMovie Window";
constexpr char kOwnTitle[] = "Active Window";

}  // namespace

int CZelCam::SetPreviewWindow(WindowHandle parent, int32_t x, int32_t y, int32_t width,
                              int32_t height) {
  if (!device_) {
    PushError(kErrNotReady);
    return 0;
  }
  previewParent_ = parent;
  previewRect_[0] = x;
  previewRect_[1] = y;
  previewRect_[2] = width;
  previewRect_[3] = height;
  return 1;
}

void* CZelCam::CreatePreviewWindow() {
  // A fresh class per window: the object's address and a changing number keep names apart.
  std::snprintf(windowClassName_, sizeof(windowClassName_), "VideoRenderer_%08x_%08x",
                static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)),
                static_cast<unsigned>(platform::MultimediaTimeMs() + std::rand()));
  if (!platform::RegisterPreviewClass(windowClassName_)) return nullptr;

  platform::WindowSpec spec{
      windowClassName_, kChildTitle,      platform::kChildWindowStyle, 0, 0, 0, 0,
      previewParent_,   kPreviewControlId};
  if (previewParent_ != nullptr) {
    spec.x = previewRect_[0];
    spec.y = previewRect_[1];
    spec.width = previewRect_[2];
    spec.height = previewRect_[3];
  } else {
    int32_t rect[4] = {0, 0, imageWidth_, imageHeight_};
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
    previewWindow_ = window;  // on screen until Close takes it down
    return nullptr;
  }
  return window;
}

int CZelCam::OpenPreviewWindow() {
  // Only ever one window per handle: an earlier one (streaming stopped, not closed) goes first.
  ClosePreviewWindow();
  void* window = CreatePreviewWindow();
  if (window == nullptr) return 0;
  previewWindow_ = window;
  previewDC_ = platform::GetWindowDc(window);
  return previewDC_ != nullptr ? 1 : 0;
}

void CZelCam::ClosePreviewWindow() {
  if (platform::SurfaceDc* dc = previewDC_.exchange(nullptr)) {
    platform::ReleaseWindowDc(previewWindow_.load(), dc);
  }
  if (void* window = previewWindow_.exchange(nullptr)) platform::DestroyPreviewWindow(window);
  platform::UnregisterPreviewClass(windowClassName_);
  windowClassName_[0] = '\0';
}

int CZelCam::Close() {
  // The stream stops first, so that no frame is being drawn with the context released below.
  StopStreaming();
  ClosePreviewWindow();
  return 1;
}

void CZelCam::DrawFrame() {
  // Without a window there is nothing to prepare a picture for.
  if (previewWindow_.load() == nullptr || previewDC_.load() == nullptr) return;
  const int mode = streamColourMode_.load();
  imaging::FrameBitmap* source = nullptr;
  switch (mode) {
    case kMode8:
      source = bitmaps_[kBitmap8].get();
      break;
    case kMode16:
      bitmaps_[kBitmap8]->ConvertFrom(imaging::Gray16ToGray8, bitmaps_[kBitmap16].get(), nullptr, 0,
                                      0, 0, 0);
      source = bitmaps_[kBitmap8].get();
      break;
    case kMode24:
      source = bitmaps_[kBitmap24].get();
      break;
    case kMode32:
      bitmaps_[kBitmap24]->ConvertFrom(imaging::CopyColor24, bitmaps_[kBitmap32].get(), nullptr, 0,
                                       0, 0, 0);
      source = bitmaps_[kBitmap24].get();
      break;
    case kMode48:
    case kMode64:
      bitmaps_[kBitmap24]->ConvertFrom(imaging::Color48ToColor24, bitmaps_[kBitmap8 + mode].get(),
                                       nullptr, 0, 0, 0, 0);
      source = bitmaps_[kBitmap24].get();
      break;
    default:
      return;
  }
  void* window = previewWindow_.load();
  platform::SurfaceDc* dc = previewDC_.load();
  int32_t width = 0, height = 0;
  if (window == nullptr || dc == nullptr || !platform::IsWindowShown(window) ||
      !platform::GetClientSize(window, &width, &height) || width <= 0 || height <= 0) {
    return;
  }
  if (width == source->Width() && height == source->Height() && mode != kMode16) {
    platform::StretchSurface(dc, 0, 0, width, height, source->MemoryDc(), 0, 0, width, height);
    return;
  }
  imaging::FrameBitmap& display = *bitmaps_[kDisplayBitmap];
  const uint16_t bits = mode <= kMode16 ? 8 : 24;
  if (display.Width() != width || display.Height() != height || display.BitsPerPixel() != bits) {
    display.Release();
    if (!display.Create(width, height, bits)) return;
  }
  display.StretchFrom(mode <= kMode16 ? imaging::StretchGray8 : imaging::StretchColor24, source,
                      nullptr, nullptr, 0, 0);
  platform::BlitSurface(dc, 0, 0, width, height, display.MemoryDc(), 0, 0);
}

}  // namespace zelcnv::camera
