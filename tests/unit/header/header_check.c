// The C half of the header check, compiled as C99 with -pedantic: the header must compile as
// plain C, declare every export, and give C the same types and layout as C++.
#include "ZelCnvSdk.h"
#include "ZelCnvSdkEx.h"

#include "header_check.h"

#include <stddef.h>

// C99 has no static assertion; a negative array size stops the build instead.
#define HEADER_CHECK_JOIN2(a, b) a##b
#define HEADER_CHECK_JOIN(a, b) HEADER_CHECK_JOIN2(a, b)
#define HEADER_CHECK_NAMED(name, cond) typedef char name[(cond) ? 1 : -1]
#define HEADER_CHECK(cond) HEADER_CHECK_NAMED(HEADER_CHECK_JOIN(header_check_, __LINE__), cond)

// Wide names are UTF-16 code units on every platform.
HEADER_CHECK(sizeof(ZelCnvWChar) == 2);
HEADER_CHECK((ZelCnvWChar)-1 > 0);

// Every argument and result of the x86 DLL is 32 bits wide.
HEADER_CHECK(sizeof(int) == 4);
HEADER_CHECK(sizeof(HWND) == sizeof(void*));

// FrameInfo: five ints, then the buffer pointer; 24 bytes on 32-bit targets.
HEADER_CHECK(offsetof(FrameInfo, size) == 0);
HEADER_CHECK(offsetof(FrameInfo, width) == 4);
HEADER_CHECK(offsetof(FrameInfo, height) == 8);
HEADER_CHECK(offsetof(FrameInfo, bitsPerPixel) == 12);
HEADER_CHECK(offsetof(FrameInfo, frameRate) == 16);
HEADER_CHECK(offsetof(FrameInfo, buffer) == (sizeof(void*) == 4 ? 20 : 24));
HEADER_CHECK(sizeof(FrameInfo) == (sizeof(void*) == 4 ? 24 : 32));

// The extension's records: their 32-bit fields first, then the 64-bit ones, the same on every
// target.
HEADER_CHECK(offsetof(ZelCnvFrameDetails, sequence) == 32);
HEADER_CHECK(offsetof(ZelCnvFrameDetails, framesLost) == 48);
HEADER_CHECK(sizeof(ZelCnvFrameDetails) == 56);
HEADER_CHECK(offsetof(ZelCnvStreamStats, frameRate) == 24);
HEADER_CHECK(offsetof(ZelCnvStreamStats, conversionMedian) == 48);
HEADER_CHECK(sizeof(ZelCnvStreamStats) == 56);
HEADER_CHECK(MSG_DEVICE_CHANGE == 0x8004);

// The camera information record is nine 32-bit words everywhere.
HEADER_CHECK(sizeof(CameraInfo) == 36);
HEADER_CHECK(sizeof(CameraInfo) == ZELCNV_CAMERA_INFO_SIZE);
HEADER_CHECK(offsetof(CameraInfo, info) == 4);

// Device lists: 10 entries of 256 characters, 2560 bytes narrow and 5120 bytes wide.
HEADER_CHECK(ZELCNV_DEVICE_LIST_ENTRIES* ZELCNV_DEVICE_NAME_CHARS == 2560);
HEADER_CHECK(sizeof(ZelCnvWChar[ZELCNV_DEVICE_LIST_ENTRIES][ZELCNV_DEVICE_NAME_CHARS]) == 5120);
HEADER_CHECK(ZELCNV_MAX_DEVICES == 8);
HEADER_CHECK(ZELCNV_DEVICE_NAME_MIN_CHARS == 10);

// Error numbers; 7 and 10 are never reported.
HEADER_CHECK(ERR_NOT_READY == 1);
HEADER_CHECK(ERR_NO_DEVICE == 2);
HEADER_CHECK(ERR_THREAD == 3);
HEADER_CHECK(ERR_WINDOW == 4);
HEADER_CHECK(ERR_BUFFER == 5);
HEADER_CHECK(ERR_DEVICE_IO == 6);
HEADER_CHECK(ERR_CAPTURE == 8);
HEADER_CHECK(ERR_PARAMETER == 9);
HEADER_CHECK(ERR_UNSUPPORTED == 11);
HEADER_CHECK(ERR_OPERATION == 12);
HEADER_CHECK(ERR_TRANSFER_STOPPED == 13);

// Messages are WM_APP (0x8000) + 2 and + 3.
HEADER_CHECK(MSG_FRAME_NOTIFY == 32770);
HEADER_CHECK(MSG_ERROR_NOTIFY == 32771);
#if defined(_WIN32)
HEADER_CHECK(MSG_FRAME_NOTIFY == WM_APP + 2);
HEADER_CHECK(MSG_ERROR_NOTIFY == WM_APP + 3);
#endif

HEADER_CHECK(ZELCNV_DLL_VERSION == 263444);

// Colour modes are bits per pixel; sampling codes and video standards as the functions use them.
HEADER_CHECK(ZELCNV_COLOR_MODE_8 == 8 && ZELCNV_COLOR_MODE_16 == 16 && ZELCNV_COLOR_MODE_24 == 24);
HEADER_CHECK(ZELCNV_COLOR_MODE_32 == 32 && ZELCNV_COLOR_MODE_48 == 48 &&
             ZELCNV_COLOR_MODE_64 == 64);
HEADER_CHECK(ZELCNV_SAMPLING_WIDE_HISPEED == 0 && ZELCNV_SAMPLING_WIDE_LOWSPEED == 1);
HEADER_CHECK(ZELCNV_SAMPLING_NORMAL_HISPEED == 2 && ZELCNV_SAMPLING_NORMAL_LOWSPEED == 3);
HEADER_CHECK(ZELCNV_VIDEO_525_LINE == 0 && ZELCNV_VIDEO_625_LINE == 1);
HEADER_CHECK(ZELCNV_VIDEO_525_LINE_WIDE == 2 && ZELCNV_VIDEO_625_LINE_WIDE == 3);

// Each image parameter pair passes its own identifier 1..18.
#define CHECK_FILTER_ID(Name, ID, id) \
  HEADER_CHECK_NAMED(header_check_##ID, ZELCNV_FILTER_##ID == id);
ZELCNV_FILTER_PAIRS(CHECK_FILTER_ID)

// Naming a function in sizeof needs a declaration but no definition, so nothing is linked.
#define COUNT_EXPORT(name) +(sizeof(&name) > 0)
#define COUNT_FILTER_PAIR(Name, ID, id) \
  COUNT_EXPORT(ZelCam_Set##Name) COUNT_EXPORT(ZelCam_Get##Name)
enum {
  kOwnExports = 0 ZELCNV_OWN_EXPORTS(COUNT_EXPORT),
  kFilterExports = 0 ZELCNV_FILTER_PAIRS(COUNT_FILTER_PAIR),
  kUnsupportedExports = 0 ZELCNV_UNSUPPORTED_EXPORTS(COUNT_EXPORT)
};

void zelcnv_header_c_view(ZelCnvHeaderView* view) {
  view->wcharSize = sizeof(ZelCnvWChar);
  view->hwndSize = sizeof(HWND);
  view->frameInfoSize = sizeof(FrameInfo);
  view->frameInfoOffsets[0] = offsetof(FrameInfo, size);
  view->frameInfoOffsets[1] = offsetof(FrameInfo, width);
  view->frameInfoOffsets[2] = offsetof(FrameInfo, height);
  view->frameInfoOffsets[3] = offsetof(FrameInfo, bitsPerPixel);
  view->frameInfoOffsets[4] = offsetof(FrameInfo, frameRate);
  view->frameInfoOffsets[5] = offsetof(FrameInfo, buffer);
  view->cameraInfoSize = sizeof(CameraInfo);
  view->deviceListBytes = sizeof(char[ZELCNV_DEVICE_LIST_ENTRIES][ZELCNV_DEVICE_NAME_CHARS]);
  view->wideDeviceListBytes =
      sizeof(ZelCnvWChar[ZELCNV_DEVICE_LIST_ENTRIES][ZELCNV_DEVICE_NAME_CHARS]);
  view->ownExports = kOwnExports;
  view->filterExports = kFilterExports;
  view->unsupportedExports = kUnsupportedExports;
}
