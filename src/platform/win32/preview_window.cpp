// The preview window on Windows: USER windows and their device contexts.
#include "platform/preview_window.h"

#include <windows.h>

namespace zelcnv::platform {

bool RegisterPreviewClass(const char* className) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.style = 0;
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = className;
  return RegisterClassExA(&wc) != 0;
}

void UnregisterPreviewClass(const char* className) {
  UnregisterClassA(className, GetModuleHandleA(nullptr));
}

bool AdjustWindowRectangle(int32_t rect[4], uint32_t style) {
  RECT r{rect[0], rect[1], rect[2], rect[3]};
  if (!AdjustWindowRectEx(&r, style, FALSE, 0)) return false;
  rect[0] = r.left;
  rect[1] = r.top;
  rect[2] = r.right;
  rect[3] = r.bottom;
  return true;
}

void ScreenSize(int32_t* width, int32_t* height) {
  *width = GetSystemMetrics(SM_CXSCREEN);
  *height = GetSystemMetrics(SM_CYSCREEN);
}

void* CreatePreviewWindow(const WindowSpec& spec) {
  const bool child = spec.parent != nullptr;
  HMENU id = child ? reinterpret_cast<HMENU>(static_cast<intptr_t>(spec.controlId)) : nullptr;
  return CreateWindowExA(0, spec.className, spec.title, spec.style, spec.x, spec.y, spec.width,
                         spec.height, static_cast<HWND>(spec.parent), id, GetModuleHandleA(nullptr),
                         nullptr);
}

bool ShowPreviewWindow(void* window) {
  HWND hwnd = static_cast<HWND>(window);
  SetFocus(hwnd);
  ShowWindow(hwnd, SW_SHOW);
  return UpdateWindow(hwnd) != FALSE;
}

void DestroyPreviewWindow(void* window) {
  DestroyWindow(static_cast<HWND>(window));
}

SurfaceDc* GetWindowDc(void* window) {
  return reinterpret_cast<SurfaceDc*>(GetDC(static_cast<HWND>(window)));
}

void ReleaseWindowDc(void* window, SurfaceDc* dc) {
  ReleaseDC(static_cast<HWND>(window), reinterpret_cast<HDC>(dc));
}

bool GetClientSize(void* window, int32_t* width, int32_t* height) {
  RECT r{};
  const bool known = GetClientRect(static_cast<HWND>(window), &r) != FALSE;
  *width = known ? r.right - r.left : 0;
  *height = known ? r.bottom - r.top : 0;
  return known;
}

bool IsWindowShown(void* window) {
  return IsWindowVisible(static_cast<HWND>(window)) != FALSE;
}

bool IsWindowOnScreen(void* window) {
  // IsWindowVisible also asks whether every parent is shown; a minimised window, or a child of a
  // minimised top-level window, shows nothing.
  HWND hwnd = static_cast<HWND>(window);
  return IsWindowVisible(hwnd) != FALSE && IsIconic(hwnd) == FALSE &&
         IsIconic(GetAncestor(hwnd, GA_ROOT)) == FALSE;
}

}  // namespace zelcnv::platform
