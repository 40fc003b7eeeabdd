// Screenshots of the dialogs, written with the library's own PNG writer.
#include "dialog_support.h"

#include <cstdlib>
#include <string>

#include "imaging/frame_bitmap.h"
#include "imaging/still_image.h"

namespace zelcnv::dialogtest {

namespace {

BOOL CALLBACK FindUnpainted(HWND window, LPARAM found) {
  if (IsWindowVisible(window) && GetUpdateRect(window, nullptr, FALSE)) {
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
  }
  return TRUE;
}

// The dialog's thread paints when it gets to it: wait until no part of the window or of its
// controls waits to be painted.
// A paint validates its window first and draws afterwards, so once nothing waits any more, a
// message sent to the dialog's thread returns only after the paint in progress has finished.
bool WaitPainted(HWND window) {
  const DWORD deadline = GetTickCount() + kDialogWaitMs;
  while (static_cast<int32_t>(deadline - GetTickCount()) > 0) {
    bool unpainted = GetUpdateRect(window, nullptr, FALSE) != FALSE;
    if (!unpainted) EnumChildWindows(window, FindUnpainted, reinterpret_cast<LPARAM>(&unpainted));
    if (!unpainted) {
      SendMessageW(window, WM_NULL, 0, 0);
      unpainted = GetUpdateRect(window, nullptr, FALSE) != FALSE;
      if (!unpainted) {
        EnumChildWindows(window, FindUnpainted, reinterpret_cast<LPARAM>(&unpainted));
      }
      if (!unpainted) return true;
    }
    Sleep(10);
  }
  return false;
}

}  // namespace

bool Screenshot(HWND window, const char* name) {
  // No repaint is forced: from another thread its order is not the dialog's own, and a control
  // could be painted before the background it stands on.
  if (!WaitPainted(window)) return false;
  RECT r{};
  if (!GetWindowRect(window, &r)) return false;
  imaging::FrameBitmap shot;
  if (!shot.Create(r.right - r.left, r.bottom - r.top, 24)) return false;
  // The window's own picture, frame and controls included.
  HDC source = GetWindowDC(window);
  const BOOL copied = BitBlt(reinterpret_cast<HDC>(shot.MemoryDc()), 0, 0, shot.Width(),
                             shot.Height(), source, 0, 0, SRCCOPY);
  ReleaseDC(window, source);
  if (!copied) return false;
  const char* dir = std::getenv("ZELCNV_SCREENSHOT_DIR");
  const std::string folder = dir != nullptr && *dir != '\0' ? dir : "screenshots";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string path = folder + "\\" + name;
  return imaging::SaveImageFile(path.c_str(), &shot, imaging::kFilePng) == 1;
}

}  // namespace zelcnv::dialogtest
