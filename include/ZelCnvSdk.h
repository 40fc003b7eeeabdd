/*
 * ZelCnvSdk.h - public interface of the ZelCnv capture SDK (ZelCnvSdk.dll, libzelcnvsdk.so).
 *
 * The SDK drives a USB 2.0 analog-video converter through 116 flat ZelCam_* functions. Every
 * function except ZelCam_GetDllVersion and ZelCam_Initialize takes the handle returned by
 * ZelCam_Initialize first. Unless a comment says otherwise a function returns 1 on success and
 * 0 on failure; the reason for a failure is read with ZelCam_GetLastError. An unknown handle
 * makes a function return its failure value without doing anything else.
 *
 * Every argument and result is 32 bits wide in the 32-bit library (integers, flags, window
 * handles, pointers); the functions use the cdecl calling convention. A flag argument is tested
 * for zero / non-zero.
 *
 * "valid" arguments: an optional pointer that receives 1 when the returned value is valid and 0
 * when it is not. Pass NULL to skip it.
 *
 * The header compiles as C99 or later and as C++11 or later.
 */
#ifndef ZELCNVSDK_H
#define ZELCNVSDK_H

#if defined(_WIN32)
#include <windows.h>
#else
#include <stdint.h>
#endif

/* ------------------------------------------------------------------------------------------ */
/* Linkage                                                                                    */
/* ------------------------------------------------------------------------------------------ */

#if defined(_WIN32)
#define ZELCNV_CALL __cdecl
#if defined(ZELCNV_BUILDING_DLL)
#define ZELCNV_API __declspec(dllexport)
#else
#define ZELCNV_API __declspec(dllimport)
#endif
#else
#define ZELCNV_CALL
#define ZELCNV_API __attribute__((visibility("default")))
#endif

/* ------------------------------------------------------------------------------------------ */
/* Types                                                                                      */
/* ------------------------------------------------------------------------------------------ */

#if defined(_WIN32)

/* One UTF-16 code unit of a wide file or device name. */
typedef WCHAR ZelCnvWChar;

#else

/*
 * Windows receiving the SDK's messages (ZelCnvPosix.h creates them on Linux). Code that already
 * declares HWND defines ZELCNV_HWND_DEFINED before including this header.
 */
#if !defined(ZELCNV_HWND_DEFINED) && !defined(_WINDEF_) && !defined(_WINDEF_H)
#define ZELCNV_HWND_DEFINED
typedef struct HWND__* HWND;
#endif

/*
 * One UTF-16 code unit of a wide file or device name: 2 bytes in C and C++ alike (wchar_t has 4
 * bytes on Linux). C++ uses char16_t so that u"..." literals can be passed directly.
 */
#if defined(__cplusplus)
typedef char16_t ZelCnvWChar;
#else
typedef uint16_t ZelCnvWChar;
#endif

#endif /* _WIN32 */

#if defined(__cplusplus)
static_assert(sizeof(ZelCnvWChar) == 2, "ZelCnvWChar must be one 16-bit UTF-16 code unit");
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(sizeof(ZelCnvWChar) == 2, "ZelCnvWChar must be one 16-bit UTF-16 code unit");
#endif

/*
 * The record whose address comes as wParam of MSG_FRAME_NOTIFY. The SDK overwrites it with the
 * next frame, so read it while handling the message.
 */
typedef struct FrameInfo {
  int size;         /* sizeof(FrameInfo): 24 in the 32-bit library, 32 in the 64-bit one */
  int width;        /* frame width in pixels */
  int height;       /* frame height in pixels */
  int bitsPerPixel; /* 8, 16, 24, 32, 48 or 64, the colour mode */
  int frameRate;    /* measured frame rate in tenths of frames per second (299 = 29.9 fps) */
  void* buffer;     /* the buffer given to ZelCam_CallBackPreview, holding this frame, or NULL */
} FrameInfo;

/*
 * The record filled by ZelCam_GetCameraInfo: nine 32-bit words. Set size to
 * ZELCNV_CAMERA_INFO_SIZE before the call; it is left unchanged.
 */
typedef struct CameraInfo {
  int size;    /* in: size of the record in bytes, at least 36 */
  int info[8]; /* out: info[0] = 860, info[1] = 570, info[2..7] = 0 */
} CameraInfo;

/* ------------------------------------------------------------------------------------------ */
/* Constants                                                                                  */
/* ------------------------------------------------------------------------------------------ */

/* ZelCam_GetDllVersion: version 4.5.20 as 0x00MMmmpp (263444). */
#define ZELCNV_DLL_VERSION 0x00040514

/* Error numbers returned by ZelCam_GetLastError and posted with MSG_ERROR_NOTIFY. */
#define ERR_NOT_READY 1         /* handle not set up, wrong streaming state, no stream */
#define ERR_NO_DEVICE 2         /* the selected converter is not attached */
#define ERR_THREAD 3            /* a worker thread could not be started */
#define ERR_WINDOW 4            /* the preview window or a dialog could not be created */
#define ERR_BUFFER 5            /* out of memory, or a buffer is too small */
#define ERR_DEVICE_IO 6         /* a register access or the frame transfer failed */
#define ERR_CAPTURE 8           /* a frame could not be read or decoded */
#define ERR_PARAMETER 9         /* an argument is out of range */
#define ERR_UNSUPPORTED 11      /* the converter does not support the function */
#define ERR_OPERATION 12        /* recording could not start, or the port query failed */
#define ERR_TRANSFER_STOPPED 13 /* the frame transfer stopped while streaming */

/*
 * Messages posted (never sent) to the application's windows: MSG_FRAME_NOTIFY is WM_APP + 2,
 * MSG_ERROR_NOTIFY is WM_APP + 3.
 *
 * MSG_ERROR_NOTIFY goes to the window given to ZelCam_Initialize: wParam 0, lParam the error
 * number just reported.
 *
 * MSG_FRAME_NOTIFY goes to the window given to ZelCam_CallBackPreview: for a new frame wParam
 * points to a FrameInfo and lParam is 0; otherwise wParam is 0 and lParam an error number
 * (ERR_BUFFER, ERR_CAPTURE or ERR_TRANSFER_STOPPED).
 */
#define MSG_FRAME_NOTIFY 0x8002
#define MSG_ERROR_NOTIFY 0x8003

/* Colour modes of ZelCam_SetColorMode / ZelCam_GetColorMode, in bits per pixel. */
#define ZELCNV_COLOR_MODE_8 8   /* 8-bit grey */
#define ZELCNV_COLOR_MODE_16 16 /* 16-bit YUV 4:2:2 (YUYV) */
#define ZELCNV_COLOR_MODE_24 24 /* 24-bit colour, blue, green, red (default) */
#define ZELCNV_COLOR_MODE_32 32 /* 32-bit colour */
#define ZELCNV_COLOR_MODE_48 48 /* 48-bit colour, three 16-bit channels */
#define ZELCNV_COLOR_MODE_64 64 /* 64-bit colour, four 16-bit channels */

/*
 * Bytes per row and per frame of the images the SDK copies out: rows are padded to a multiple
 * of 4 bytes. A frame buffer needs ZELCNV_FRAME_BYTES(ZelCam_Width(h), ZelCam_Height(h),
 * ZelCam_GetColorMode(h)) bytes.
 */
#define ZELCNV_FRAME_STRIDE(width, bitsPerPixel) ((((width) * ((bitsPerPixel) / 8)) + 3) / 4 * 4)
#define ZELCNV_FRAME_BYTES(width, height, bitsPerPixel) \
  (ZELCNV_FRAME_STRIDE(width, bitsPerPixel) * (height))

/* Sampling codes of ZelCam_SetSamplingRate / ZelCam_GetSamplingRate. */
#define ZELCNV_SAMPLING_WIDE_HISPEED 0
#define ZELCNV_SAMPLING_WIDE_LOWSPEED 1
#define ZELCNV_SAMPLING_NORMAL_HISPEED 2
#define ZELCNV_SAMPLING_NORMAL_LOWSPEED 3 /* default */

/* Video standards reported by ZelCam_GetVideoFormat. */
#define ZELCNV_VIDEO_525_LINE 0      /* 525 lines, 60 fields per second */
#define ZELCNV_VIDEO_625_LINE 1      /* 625 lines, 50 fields per second */
#define ZELCNV_VIDEO_525_LINE_WIDE 2 /* 525 lines, 860-sample wide lines */
#define ZELCNV_VIDEO_625_LINE_WIDE 3 /* 625 lines, 860-sample wide lines */

/* Image parameter identifiers of ZelCam_SetFilterValue / ZelCam_GetFilterValue. The converter
 * supports the first four; the others fail with ERR_PARAMETER. */
#define ZELCNV_FILTER_BRIGHTNESS 1
#define ZELCNV_FILTER_CONTRAST 2
#define ZELCNV_FILTER_HUE 3
#define ZELCNV_FILTER_SATURATION 4
#define ZELCNV_FILTER_SHARPNESS 5
#define ZELCNV_FILTER_BAYER_GAIN_RGB 6
#define ZELCNV_FILTER_BAYER_GAIN_RED 7
#define ZELCNV_FILTER_BAYER_GAIN_GREEN 8
#define ZELCNV_FILTER_BAYER_GAIN_BLUE 9
#define ZELCNV_FILTER_BAYER_GAIN_AUTO 10
#define ZELCNV_FILTER_GAMMA 11
#define ZELCNV_FILTER_BAYER_MODE 12
#define ZELCNV_FILTER_GLOBAL_GAIN 13
#define ZELCNV_FILTER_COLOR_GAIN_RED 14
#define ZELCNV_FILTER_COLOR_GAIN_GREEN1 15
#define ZELCNV_FILTER_COLOR_GAIN_GREEN2 16
#define ZELCNV_FILTER_COLOR_GAIN_BLUE 17
#define ZELCNV_FILTER_EXPOSURE_TIME 18

/* Converters: device numbers 0..7; the device list of ZelCam_EnumDevice / ZelCam_EnumDeviceW
 * has 10 entries of 256 characters; a name buffer needs at least 10 characters. */
#define ZELCNV_MAX_DEVICES 8
#define ZELCNV_DEVICE_LIST_ENTRIES 10
#define ZELCNV_DEVICE_NAME_CHARS 256
#define ZELCNV_DEVICE_NAME_MIN_CHARS 10

/* Size of CameraInfo in bytes, the least ZelCam_GetCameraInfo accepts. */
#define ZELCNV_CAMERA_INFO_SIZE 36

#if defined(__cplusplus)
extern "C" {
#endif

/* ------------------------------------------------------------------------------------------ */
/* Functions with behaviour of their own                                                      */
/* ------------------------------------------------------------------------------------------ */

/* Handles and errors */

/* Returns ZELCNV_DLL_VERSION. */
ZELCNV_API int ZELCNV_CALL ZelCam_GetDllVersion(void);
/* Returns a new handle (0 on failure); errors of the set-up are on its error stack and are
 * posted to window (may be NULL). */
ZELCNV_API int ZELCNV_CALL ZelCam_Initialize(HWND window);
/* Returns 1 / 0 (unknown handle); the handle is invalid afterwards. */
ZELCNV_API int ZELCNV_CALL ZelCam_Release(int handle);
/* Returns and removes the newest of the last 20 error numbers; 0 when there is none. */
ZELCNV_API int ZELCNV_CALL ZelCam_GetLastError(int handle);

/* Settings */

/* Returns 1 / 0; bitsPerPixel is a ZELCNV_COLOR_MODE_* value. */
ZELCNV_API int ZELCNV_CALL ZelCam_SetColorMode(int handle, int bitsPerPixel);
/* Returns the colour mode in bits per pixel; -1 on failure. */
ZELCNV_API int ZELCNV_CALL ZelCam_GetColorMode(int handle);
/* Returns 0 for an invalid code (ERR_PARAMETER); a valid ZELCNV_SAMPLING_* code is stored and
 * takes effect at the next stream start. */
ZELCNV_API int ZELCNV_CALL ZelCam_SetSamplingRate(int handle, int samplingCode);
/* Returns the ZELCNV_SAMPLING_* code; 0 on failure, with *valid = 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_GetSamplingRate(int handle, int* valid);
/* Returns 1 / 0 (negative values are refused); the preview thread's poll interval. */
ZELCNV_API int ZELCNV_CALL ZelCam_SetWaitTime(int handle, int milliseconds);
/* Returns the poll interval in milliseconds; -1 on failure. */
ZELCNV_API int ZELCNV_CALL ZelCam_GetWaitTime(int handle);
/* Returns the frame width in pixels; 0 on failure. */
ZELCNV_API int ZELCNV_CALL ZelCam_Width(int handle);
/* Returns the frame height in pixels; 0 on failure. */
ZELCNV_API int ZELCNV_CALL ZelCam_Height(int handle);
/*
 * Runs the video format dialog modally (colour mode, sampling rate, wait time; stored per user).
 * Streaming stops while it is open and runs again afterwards; after OK the stored settings are
 * loaded (the image parameters too) and the converter is programmed with them. Returns 1 after
 * OK or Cancel; 0 with ERR_NOT_READY without a converter object, or with ERR_WINDOW when the
 * dialog cannot be shown (one video format dialog per process at a time; on Linux only once
 * ZelCnv_SetDialogDriver has installed a driver, see ZelCnvPosix.h).
 */
ZELCNV_API int ZELCNV_CALL ZelCam_SetCameraDlg(int handle, HWND owner);
/*
 * Runs the image adjustment dialog modally: brightness, contrast, hue and saturation, written to
 * the converter as they change while streaming or armed. OK stores all settings; Cancel or a
 * close puts the four values back as they were (the converter keeps the last ones written until
 * the next stream start). Returns 1 after OK or Cancel; 0 with ERR_NOT_READY or ERR_WINDOW as
 * for ZelCam_SetCameraDlg (one image dialog per process at a time).
 */
ZELCNV_API int ZELCNV_CALL ZelCam_SetImageDlg(int handle, HWND owner);

/* Streaming */

/* Starts streaming without a preview window; returns 1 / 0 (1 if already streaming). */
ZELCNV_API int ZELCNV_CALL ZelCam_StartPreview(int handle);
/* Stops streaming; returns 1 / 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_StopPreview(int handle);
/* Opens the preview window and starts streaming; returns 1 / 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_Preview(int handle);
/* As ZelCam_Preview, and copies each frame into buffer (bufferSize bytes, top row first when
 * topDown is non-zero) and posts MSG_FRAME_NOTIFY to window; returns 1 / 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_CallBackPreview(int handle, HWND window, void* buffer,
                                                  int bufferSize, int topDown);

/* Single frames, still images, recording */

/* Records an AVI file of durationMs milliseconds from the stream, starting streaming if needed
 * and opening the preview window when showWindow is non-zero; returns 1 / 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_Record(int handle, const char* fileName, int durationMs,
                                         int showWindow);
/* As ZelCam_Record with a UTF-16 file name; returns 1 / 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_RecordW(int handle, const ZelCnvWChar* fileName, int durationMs,
                                          int showWindow);
/* Prepares the stream once for repeated ZelCam_SnapShot calls; returns 1 / 0 (0 while
 * streaming). */
ZELCNV_API int ZELCNV_CALL ZelCam_Capture(int handle);
/* Reads one frame (not while streaming) and copies it into buffer unless buffer is NULL or
 * bufferSize 0; returns 1 / 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_SnapShot(int handle, void* buffer, int bufferSize, int topDown);
/* Copies the last frame taken into buffer without reading the converter; returns 1 / 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_GetImage(int handle, void* buffer, int bufferSize, int topDown);
/* Saves the last frame taken; returns 1 / 0. fileType: 0 BMP, 1 raw rows (top row first),
 * 2 / 3 / 4 JPEG of quality 100 / 70 / 20, 5 PNG, 6 TIFF; the file name extension is ignored. */
ZELCNV_API int ZELCNV_CALL ZelCam_SaveImage(int handle, const char* fileName, int fileType);
/* As ZelCam_SaveImage with a UTF-16 file name; returns 1 / 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_SaveImageW(int handle, const ZelCnvWChar* fileName, int fileType);

/* Preview window */

/* Makes later preview windows children of parent at (x, y), width x height (a NULL parent
 * gives a free-standing window); returns 1 / 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_SetPreviewWindow(int handle, HWND parent, int x, int y, int width,
                                                   int height);
/* Closes the preview window and stops streaming; returns 1 (0 for an unknown handle). */
ZELCNV_API int ZELCNV_CALL ZelCam_Close(int handle);

/* Converters */

/* Selects converter deviceNumber (0..7); returns 1 / 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_SetDeviceNumber(int handle, int deviceNumber);
/* Fills list with the names of the attached converters (unused entries empty); returns their
 * number, 0 on failure. */
ZELCNV_API int ZELCNV_CALL
ZelCam_EnumDevice(int handle, char list[ZELCNV_DEVICE_LIST_ENTRIES][ZELCNV_DEVICE_NAME_CHARS]);
/* As ZelCam_EnumDevice with UTF-16 names; returns the number of converters, 0 on failure. */
ZELCNV_API int ZELCNV_CALL ZelCam_EnumDeviceW(
    int handle, ZelCnvWChar list[ZELCNV_DEVICE_LIST_ENTRIES][ZELCNV_DEVICE_NAME_CHARS]);
/* Writes the name of converter deviceNumber into name (length characters, at least 10);
 * returns 1 / 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_GetDeviceName(int handle, int deviceNumber, char* name,
                                                int length);
/* As ZelCam_GetDeviceName with a UTF-16 name; length counts UTF-16 code units. */
ZELCNV_API int ZELCNV_CALL ZelCam_GetDeviceNameW(int handle, int deviceNumber, ZelCnvWChar* name,
                                                 int length);

/* Image parameters and device registers */

/* Sets image parameter id (ZELCNV_FILTER_*) to the low byte of value; returns 1 / 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_SetFilterValue(int handle, int id, int value);
/* Returns the value of image parameter id (0..255); 0 on failure, with *valid = 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_GetFilterValue(int handle, int id, int* valid);
/* Selects video input 0..5; returns 1 for an accepted input, else 0 (no error is reported). */
ZELCNV_API int ZELCNV_CALL ZelCam_SetCrossbar(int handle, int input, int reserved);
/* Writes the low byte of value to a converter register; returns 1 / 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_WriteRegister(int handle, int reg, int value);
/* Returns the converter register's value (0..255); 0 on failure, with *valid = 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_ReadRegister(int handle, int reg, int* valid);
/* Returns the video standard the converter sees now (ZELCNV_VIDEO_*); 0 on failure, with
 * *valid = 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_GetVideoFormat(int handle, int* valid);
/* Stores the I/O port level (0 or 1) in *value; returns 1 / 0. Failures are only posted as
 * MSG_ERROR_NOTIFY, never kept for ZelCam_GetLastError. reserved is ignored. */
ZELCNV_API int ZELCNV_CALL ZelCam_GetIOPort(int handle, int reserved, int* value);

/* Fixed answers */

/* Fills info (info->size set by the caller, at least ZELCNV_CAMERA_INFO_SIZE); returns 1 / 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_GetCameraInfo(int handle, CameraInfo* info);
/* Returns 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_GetStatus(int handle, int reserved);
/* Returns 0; -1 for an unknown handle. */
ZELCNV_API int ZELCNV_CALL ZelCam_GetSubSample(int handle);
/* Returns 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_GetMirrorH(int handle);
/* Returns 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_GetMirrorV(int handle);
/* Stores 0 in *value for a valid handle; returns 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_GetAutoIris(int handle, int* value);
/* Stores 0 in *value for a valid handle; returns 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_GetHalfClock(int handle, int* value);
/* Stores 0 in *value for a valid handle; returns 0. reserved is ignored. */
ZELCNV_API int ZELCNV_CALL ZelCam_ReadSromID(int handle, int reserved, int* value);

/* ------------------------------------------------------------------------------------------ */
/* Image parameters: ZelCam_SetFilterValue / ZelCam_GetFilterValue with the identifier       */
/* ZELCNV_FILTER_<NAME>, in identifier order. Set takes the value (its low byte is kept); Get  */
/* returns it, or 0 on failure with *valid = 0.                                               */
/* ------------------------------------------------------------------------------------------ */

/* Brightness, 0..255 (default 128): Set returns 1 / 0, Get returns the value. */
ZELCNV_API int ZELCNV_CALL ZelCam_SetBrightness(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_GetBrightness(int handle, int* valid);
/* Contrast, 0..255 (default 128): Set returns 1 / 0, Get returns the value. */
ZELCNV_API int ZELCNV_CALL ZelCam_SetContrast(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_GetContrast(int handle, int* valid);
/* Hue, 0..255 (default 0): Set returns 1 / 0, Get returns the value. */
ZELCNV_API int ZELCNV_CALL ZelCam_SetHue(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_GetHue(int handle, int* valid);
/* Saturation, 0..255 (default 128): Set returns 1 / 0, Get returns the value. */
ZELCNV_API int ZELCNV_CALL ZelCam_SetSaturation(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_GetSaturation(int handle, int* valid);
/* Not supported by the converter: both return 0 and report ERR_PARAMETER. */
ZELCNV_API int ZELCNV_CALL ZelCam_SetSharpness(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_GetSharpness(int handle, int* valid);
/* Not supported by the converter: both return 0 and report ERR_PARAMETER. */
ZELCNV_API int ZELCNV_CALL ZelCam_SetBayerGainRGB(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_GetBayerGainRGB(int handle, int* valid);
/* Not supported by the converter: both return 0 and report ERR_PARAMETER. */
ZELCNV_API int ZELCNV_CALL ZelCam_SetBayerGainRed(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_GetBayerGainRed(int handle, int* valid);
/* Not supported by the converter: both return 0 and report ERR_PARAMETER. */
ZELCNV_API int ZELCNV_CALL ZelCam_SetBayerGainGreen(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_GetBayerGainGreen(int handle, int* valid);
/* Not supported by the converter: both return 0 and report ERR_PARAMETER. */
ZELCNV_API int ZELCNV_CALL ZelCam_SetBayerGainBlue(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_GetBayerGainBlue(int handle, int* valid);
/* Not supported by the converter: both return 0 and report ERR_PARAMETER. */
ZELCNV_API int ZELCNV_CALL ZelCam_SetBayerGainAuto(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_GetBayerGainAuto(int handle, int* valid);
/* Not supported by the converter: both return 0 and report ERR_PARAMETER. */
ZELCNV_API int ZELCNV_CALL ZelCam_SetGamma(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_GetGamma(int handle, int* valid);
/* Not supported by the converter: both return 0 and report ERR_PARAMETER. */
ZELCNV_API int ZELCNV_CALL ZelCam_SetBayerMode(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_GetBayerMode(int handle, int* valid);
/* Not supported by the converter: both return 0 and report ERR_PARAMETER. */
ZELCNV_API int ZELCNV_CALL ZelCam_SetGlobalGain(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_GetGlobalGain(int handle, int* valid);
/* Not supported by the converter: both return 0 and report ERR_PARAMETER. */
ZELCNV_API int ZELCNV_CALL ZelCam_SetColorGainRed(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_GetColorGainRed(int handle, int* valid);
/* Not supported by the converter: both return 0 and report ERR_PARAMETER. */
ZELCNV_API int ZELCNV_CALL ZelCam_SetColorGainGreen1(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_GetColorGainGreen1(int handle, int* valid);
/* Not supported by the converter: both return 0 and report ERR_PARAMETER. */
ZELCNV_API int ZELCNV_CALL ZelCam_SetColorGainGreen2(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_GetColorGainGreen2(int handle, int* valid);
/* Not supported by the converter: both return 0 and report ERR_PARAMETER. */
ZELCNV_API int ZELCNV_CALL ZelCam_SetColorGainBlue(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_GetColorGainBlue(int handle, int* valid);
/* Not supported by the converter: both return 0 and report ERR_PARAMETER. */
ZELCNV_API int ZELCNV_CALL ZelCam_SetExposureTime(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_GetExposureTime(int handle, int* valid);

/* ------------------------------------------------------------------------------------------ */
/* Functions the converter does not support. Each returns 0 and, for a valid handle, reports  */
/* ERR_UNSUPPORTED. Only the handle is read; the other arguments are ignored and no pointer   */
/* is written.                                                                                */
/* ------------------------------------------------------------------------------------------ */

/* Returns 0; the measured frame rate comes with each frame in FrameInfo.frameRate. */
ZELCNV_API int ZELCNV_CALL ZelCam_Fps(int handle);
/* Returns 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_GetCaptureWindowEx(int handle, int* x, int* y, int* width,
                                                     int* height);
/* Return 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_GetGrayGainB(int handle, int* valid);
ZELCNV_API int ZELCNV_CALL ZelCam_GetGrayGainG1(int handle, int* valid);
ZELCNV_API int ZELCNV_CALL ZelCam_GetGrayGainG2(int handle, int* valid);
ZELCNV_API int ZELCNV_CALL ZelCam_GetGrayGainR(int handle, int* valid);
ZELCNV_API int ZELCNV_CALL ZelCam_GetGrayMode(int handle, int* valid);
ZELCNV_API int ZELCNV_CALL ZelCam_GetGrayOffsetB(int handle, int* valid);
ZELCNV_API int ZELCNV_CALL ZelCam_GetGrayOffsetG1(int handle, int* valid);
ZELCNV_API int ZELCNV_CALL ZelCam_GetGrayOffsetG2(int handle, int* valid);
ZELCNV_API int ZELCNV_CALL ZelCam_GetGrayOffsetR(int handle, int* valid);
ZELCNV_API int ZELCNV_CALL ZelCam_GetRealExposureTime(int handle, int* valid);
/* Return 0. */
ZELCNV_API int ZELCNV_CALL ZelCam_SetAnalogDlg(int handle, HWND owner);
ZELCNV_API int ZELCNV_CALL ZelCam_SetAutoIris(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_SetCaptureWindow(int handle, int x, int y, int width, int height);
ZELCNV_API int ZELCNV_CALL ZelCam_SetCaptureWindowEx(int handle, int x, int y, int width,
                                                     int height);
ZELCNV_API int ZELCNV_CALL ZelCam_SetGrayGainB(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_SetGrayGainG1(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_SetGrayGainG2(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_SetGrayGainR(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_SetGrayMode(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_SetGrayOffsetB(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_SetGrayOffsetG1(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_SetGrayOffsetG2(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_SetGrayOffsetR(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_SetHalfClock(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_SetIOPort(int handle, int reserved, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_SetMirrorH(int handle, int enable);
ZELCNV_API int ZELCNV_CALL ZelCam_SetMirrorV(int handle, int enable);
ZELCNV_API int ZELCNV_CALL ZelCam_SetRealExposureTime(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_SetSubSample(int handle, int value);
ZELCNV_API int ZELCNV_CALL ZelCam_Trigger(int handle);
ZELCNV_API int ZELCNV_CALL ZelCam_WriteSromID(int handle, int reserved, int value);

#if defined(__cplusplus)
} /* extern "C" */
#endif

#endif /* ZELCNVSDK_H */
