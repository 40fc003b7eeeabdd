// The window the library shows live video in: its class, creation, device context, client size
// and visibility. Win32: USER. POSIX: off-screen windows whose device context is a software
// surface of the client size, so drawing behaves as it does on screen; as no screen shows them,
// the library draws nothing into them.
#pragma once

#include <cstdint>

#include "platform/surface.h"

namespace zelcnv::platform {

constexpr uint32_t kChildWindowStyle = 0x52000000u;  // WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN
constexpr uint32_t kOwnWindowStyle = 0x16CF0000u;    // WS_OVERLAPPEDWINDOW | WS_VISIBLE | clips

struct WindowSpec {
  const char* className;
  const char* title;
  uint32_t style;
  int32_t x, y, width, height;
  void* parent;       // null: a top-level window
  int32_t controlId;  // child windows only
};

// Registers a class of that name: no style, the default window procedure, arrow cursor, black
// background. False when it cannot be registered (a class of that name exists already).
bool RegisterPreviewClass(const char* className);
// Harmless for a name that is not registered.
void UnregisterPreviewClass(const char* className);

// Grows the client rectangle {left, top, right, bottom} to the whole window of `style` (no menu,
// no extended style). False on failure.
bool AdjustWindowRectangle(int32_t rect[4], uint32_t style);
void ScreenSize(int32_t* width, int32_t* height);

// Null on failure.
void* CreatePreviewWindow(const WindowSpec& spec);
// Gives the window the keyboard focus, shows and updates it; false when the update fails.
bool ShowPreviewWindow(void* window);
void DestroyPreviewWindow(void* window);

// The window's device context; null on failure. Release it on the thread that got it.
SurfaceDc* GetWindowDc(void* window);
void ReleaseWindowDc(void* window, SurfaceDc* dc);

// False (and 0 x 0) for a destroyed or unknown window.
bool GetClientSize(void* window, int32_t* width, int32_t* height);
bool IsWindowShown(void* window);
// Whether what is drawn into the window can be seen on a screen: shown, its parents too, and not
// minimised. POSIX windows are off-screen, so never.
bool IsWindowOnScreen(void* window);

}  // namespace zelcnv::platform
