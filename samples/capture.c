/*
 * capture.c - the ZelCnv capture SDK in a few calls: open a handle, list the converters, stream
 * five frames into a buffer of our own, save the last one as a PNG file and record a one-second
 * AVI clip. Builds on Windows (MinGW or MSVC) and on Linux.
 *
 *   capture [DIRECTORY]     (writes DIRECTORY/capture.png and DIRECTORY/capture.avi; default .)
 */
#ifndef _WIN32
#define _POSIX_C_SOURCE 200809L /* nanosleep */
#endif
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ZelCnvSdk.h"
#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>

#include "ZelCnvPosix.h"
#endif

#ifdef _WIN32
/* A message-only window for the SDK's notifications. */
static HWND CreateNotifyWindow(void) {
  WNDCLASSA wc;
  memset(&wc, 0, sizeof wc);
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(NULL);
  wc.lpszClassName = "ZelCnvCaptureSample";
  RegisterClassA(&wc);
  return CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, wc.hInstance,
                         NULL);
}

/* Waits up to timeoutMs for MSG_FRAME_NOTIFY: 1 with its parameters, 0 on time-out. */
static int NextFrameMessage(HWND window, int timeoutMs, WPARAM* wParam, LPARAM* lParam) {
  const DWORD deadline = GetTickCount() + (DWORD)timeoutMs;
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
      if (msg.hwnd == window && msg.message == MSG_FRAME_NOTIFY) {
        *wParam = msg.wParam;
        *lParam = msg.lParam;
        return 1;
      }
      DispatchMessageA(&msg);
    }
    const DWORD now = GetTickCount();
    if ((int)(deadline - now) <= 0) return 0;
    MsgWaitForMultipleObjects(0, NULL, FALSE, deadline - now, QS_ALLINPUT);
  }
}

static void PauseMs(int ms) {
  Sleep((DWORD)ms);
}
#else
static HWND CreateNotifyWindow(void) {
  return ZelCnv_CreateMessageWindow();
}

static int NextFrameMessage(HWND window, int timeoutMs, uintptr_t* wParam, intptr_t* lParam) {
  ZelCnvMessage msg;
  while (ZelCnv_GetMessage(window, &msg, timeoutMs) == 1) {
    if (msg.message == MSG_FRAME_NOTIFY) {
      *wParam = msg.wParam;
      *lParam = msg.lParam;
      return 1;
    }
  }
  return 0;
}

static void PauseMs(int ms) {
  struct timespec pause = {ms / 1000, (long)(ms % 1000) * 1000000};
  nanosleep(&pause, NULL);
}
#endif

static int Fail(int handle, const char* what) {
  fprintf(stderr, "%s failed: error %d\n", what, ZelCam_GetLastError(handle));
  return 1;
}

int main(int argc, char** argv) {
  const char* dir = argc > 1 ? argv[1] : ".";
  char png[1024], avi[1024];
  snprintf(png, sizeof png, "%s/capture.png", dir);
  snprintf(avi, sizeof avi, "%s/capture.avi", dir);

  const int version = ZelCam_GetDllVersion();
  printf("ZelCnvSdk %d.%d.%d\n", version >> 16, (version >> 8) & 0xFF, version & 0xFF);
  HWND window = CreateNotifyWindow();
  const int handle = ZelCam_Initialize(window);
  if (handle == 0) {
    fprintf(stderr, "ZelCam_Initialize failed\n");
    return 1;
  }

  static char names[ZELCNV_DEVICE_LIST_ENTRIES][ZELCNV_DEVICE_NAME_CHARS];
  const int converters = ZelCam_EnumDevice(handle, names);
  for (int i = 0; i < converters; ++i) printf("converter %d: %s\n", i, names[i]);
  if (converters == 0) {
    fprintf(stderr, "no converter attached\n");
    return 2;
  }

  /* 24-bit colour: rows of width * 3 bytes, padded to 4, top row first in our buffer. */
  if (!ZelCam_SetColorMode(handle, ZELCNV_COLOR_MODE_24))
    return Fail(handle, "ZelCam_SetColorMode");
  const int width = ZelCam_Width(handle), height = ZelCam_Height(handle);
  const int size = (width * 3 + 3) / 4 * 4 * height;
  unsigned char* buffer = malloc((size_t)size);
  if (buffer == NULL) return 1;
  if (!ZelCam_CallBackPreview(handle, window, buffer, size, 1)) {
    return Fail(handle, "ZelCam_CallBackPreview");
  }
  for (int frames = 0; frames < 5;) {
#ifdef _WIN32
    WPARAM wParam;
    LPARAM lParam;
#else
    uintptr_t wParam;
    intptr_t lParam;
#endif
    if (!NextFrameMessage(window, 10000, &wParam, &lParam)) {
      fprintf(stderr, "no frame within 10 s\n");
      return 1;
    }
    if (lParam != 0) {
      fprintf(stderr, "frame error %d\n", (int)lParam);
      return 1;
    }
    const FrameInfo* info = (const FrameInfo*)wParam; /* read it now: the next frame rewrites it */
    printf("frame %d: %d x %d, %d bits, %.1f frames/s\n", ++frames, info->width, info->height,
           info->bitsPerPixel, info->frameRate / 10.0);
  }
  ZelCam_StopPreview(handle);

  if (!ZelCam_SaveImage(handle, png, 5)) return Fail(handle, "ZelCam_SaveImage");
  printf("saved %s\n", png);
  if (!ZelCam_Record(handle, avi, 1000, 0)) return Fail(handle, "ZelCam_Record");
  PauseMs(1500);
  ZelCam_StopPreview(handle); /* the stream stops; a recording still running is finished */
  printf("recorded %s\n", avi);

  ZelCam_Release(handle);
  free(buffer);
  return 0;
}
