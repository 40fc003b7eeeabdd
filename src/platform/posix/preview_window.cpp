// Preview windows on Linux: off-screen windows with a client area of their own size, drawn into
// through a 24-bit software surface that serves as the window's device context. Window classes
// are names in a table, so registration and unregistration fail and succeed as USER's do.
#include "platform/preview_window.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace zelcnv::platform {

namespace {

// What an off-screen "screen" measures; own windows are centred on it.
constexpr int32_t kScreenWidth = 1920;
constexpr int32_t kScreenHeight = 1080;
constexpr uint32_t kVisibleStyle = 0x10000000u;  // WS_VISIBLE

struct Window {
  int32_t width = 0;
  int32_t height = 0;
  bool visible = false;
  SurfaceDc* dc = nullptr;
  DibSection* section = nullptr;
  SurfaceObject* previous = nullptr;

  ~Window() {
    if (dc != nullptr) {
      if (previous != nullptr) RestoreSurfaceObject(dc, previous);
      DeleteMemoryDc(dc);
    }
    if (section != nullptr) DeleteDibSection(section);
  }
};

struct Windows {
  std::mutex mutex;
  std::set<std::string> classes;
  std::map<uintptr_t, std::unique_ptr<Window>> windows;
  uintptr_t next = 0x20000;  // apart from the message windows' handles
};

Windows& Registry() {
  static Windows* instance = new Windows;  // outlives every static destructor
  return *instance;
}

Window* FindLocked(Windows& all, void* window) {
  auto it = all.windows.find(reinterpret_cast<uintptr_t>(window));
  return it == all.windows.end() ? nullptr : it->second.get();
}

// The client area's surface: 24 bits, black, as a freshly painted window.
bool CreateClientSurface(Window& window) {
  if (window.width <= 0 || window.height <= 0) return true;  // nothing to draw into
  BitmapInfo info{};
  info.bmiHeader.biSize = kBitmapInfoHeaderSize;
  info.bmiHeader.biWidth = window.width;
  info.bmiHeader.biHeight = window.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = kBitmapCompressionRgb;
  uint8_t* bits = nullptr;
  window.section = CreateDibSection(nullptr, info, &bits);
  window.dc = CreateMemoryDc();
  if (window.section == nullptr || window.dc == nullptr) return false;
  window.previous = SelectDibSection(window.dc, window.section);
  return window.previous != nullptr;
}

}  // namespace

bool RegisterPreviewClass(const char* className) {
  if (className == nullptr || *className == '\0') return false;
  Windows& all = Registry();
  std::lock_guard lock(all.mutex);
  return all.classes.insert(className).second;
}

void UnregisterPreviewClass(const char* className) {
  if (className == nullptr) return;
  Windows& all = Registry();
  std::lock_guard lock(all.mutex);
  all.classes.erase(className);
}

bool AdjustWindowRectangle(int32_t* /*rect*/, uint32_t /*style*/) {
  return true;  // off-screen windows have no frame: the window is its client area
}

void ScreenSize(int32_t* width, int32_t* height) {
  *width = kScreenWidth;
  *height = kScreenHeight;
}

void* CreatePreviewWindow(const WindowSpec& spec) {
  if (spec.className == nullptr) return nullptr;
  auto window = std::make_unique<Window>();
  window->width = spec.width > 0 ? spec.width : 0;
  window->height = spec.height > 0 ? spec.height : 0;
  window->visible = (spec.style & kVisibleStyle) != 0;
  if (!CreateClientSurface(*window)) return nullptr;
  Windows& all = Registry();
  std::lock_guard lock(all.mutex);
  if (all.classes.count(spec.className) == 0) return nullptr;
  const uintptr_t handle = all.next++;
  all.windows[handle] = std::move(window);
  return reinterpret_cast<void*>(handle);
}

bool ShowPreviewWindow(void* window) {
  Windows& all = Registry();
  std::lock_guard lock(all.mutex);
  Window* found = FindLocked(all, window);
  if (found == nullptr) return false;
  found->visible = true;
  return true;
}

void DestroyPreviewWindow(void* window) {
  std::unique_ptr<Window> gone;
  Windows& all = Registry();
  std::lock_guard lock(all.mutex);
  auto it = all.windows.find(reinterpret_cast<uintptr_t>(window));
  if (it == all.windows.end()) return;
  gone = std::move(it->second);
  all.windows.erase(it);
}

SurfaceDc* GetWindowDc(void* window) {
  Windows& all = Registry();
  std::lock_guard lock(all.mutex);
  Window* found = FindLocked(all, window);
  return found != nullptr ? found->dc : nullptr;
}

void ReleaseWindowDc(void* /*window*/, SurfaceDc* /*dc*/) {
  // The client surface belongs to the window and goes with it.
}

bool GetClientSize(void* window, int32_t* width, int32_t* height) {
  Windows& all = Registry();
  std::lock_guard lock(all.mutex);
  Window* found = FindLocked(all, window);
  *width = found != nullptr ? found->width : 0;
  *height = found != nullptr ? found->height : 0;
  return found != nullptr;
}

bool IsWindowShown(void* window) {
  Windows& all = Registry();
  std::lock_guard lock(all.mutex);
  Window* found = FindLocked(all, window);
  return found != nullptr && found->visible;
}

bool IsWindowOnScreen(void* /*window*/) {
  return false;  // no screen shows an off-screen window
}

}  // namespace zelcnv::platform
