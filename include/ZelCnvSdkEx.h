/*
 * ZelCnvSdkEx.h - the extension interface of the ZelCnv capture SDK, exported by the same
 * library as ZelCnvSdk.h (ZelCnvSdk.dll, libzelcnvsdk.so) and taking the same handles.
 *
 * It adds what the ZelCam_* functions leave out: the next frame on demand, without a window or a
 * message loop; the facts of every frame (its sequence number and capture time, and how many
 * frames were lost); the stream's statistics; and converters that come and go.
 *
 * Every structure opens with its size, which the caller sets to sizeof the structure; a size the
 * library does not know is refused with ERR_PARAMETER. Times are in 100 ns units on the clock
 * ZelCnvEx_Now reads. Unless a comment says otherwise a function returns 1 on success and 0 on
 * failure, with the reason on the handle's error stack (ZelCam_GetLastError); an unknown handle
 * gives the failure value and nothing else. Every function may be called from any thread.
 */
#ifndef ZELCNVSDKEX_H
#define ZELCNVSDKEX_H

#include "ZelCnvSdk.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The facts of one frame. */
typedef struct ZelCnvFrameDetails {
  int size; /* set by the caller: sizeof(ZelCnvFrameDetails) */
  int width, height, bitsPerPixel;
  int stride;        /* bytes per row of the copy: ZELCNV_FRAME_STRIDE(width, bitsPerPixel) */
  int standard;      /* ZELCNV_VIDEO_* the stream runs with */
  int topFieldFirst; /* 1 when the picture's first row comes from the field sent first */
  int reserved;
  unsigned long long sequence;   /* 0 for the stream's first frame; a gap is frames lost */
  long long captureTime;         /* when the frame's last byte arrived */
  unsigned long long framesLost; /* since the stream started, every cause */
} ZelCnvFrameDetails;

/* A stream's figures. Rate and latencies are over the last second. */
typedef struct ZelCnvStreamStats {
  int size;    /* set by the caller: sizeof(ZelCnvStreamStats) */
  int running; /* 1 while the stream runs; 0 before, after, and while it waits for its converter */
  unsigned long long framesDelivered; /* frames announced since the stream started */
  unsigned long long framesLost;      /* frames the converter sent that were not announced */
  int frameRate;                      /* frames per second, in thousandths (29970 for 29.97) */
  int resumes;                        /* times the stream started again by itself */
  long long latencyMedian;            /* capture time to MSG_FRAME_NOTIFY */
  long long latencyMax;
  long long conversionMedian; /* the conversion of a frame, its copies into the buffers included */
} ZelCnvStreamStats;

/* Posted to the window given to ZelCam_Initialize while ZelCnvEx_WatchDevices is on: wParam the
 * converter's index (0..7), lParam 1 when it arrived and 0 when it was removed. */
#define MSG_DEVICE_CHANGE 0x8004

/* Now, monotonic, in 100 ns units (QueryPerformanceCounter on Windows, CLOCK_MONOTONIC on Linux).
 */
ZELCNV_API long long ZELCNV_CALL ZelCnvEx_Now(void);

/*
 * While a stream of the handle runs (ZelCam_StartPreview, ZelCam_Preview, ZelCam_CallBackPreview,
 * ZelCam_Record), waits up to timeoutMs milliseconds (negative: without limit) for the next frame
 * the stream delivers and copies it into buffer as ZelCam_CallBackPreview does: rows padded to 4
 * bytes, the top row first when topDown is non-zero. details (may be NULL) receives the frame's
 * facts. Returns 1 with a frame; 0 when none came in time (nothing reported); -1 with an error
 * reported: ERR_NOT_READY without a stream, ERR_BUFFER for a NULL or short buffer,
 * ERR_PARAMETER for a details size the library does not know, ERR_TRANSFER_STOPPED when the
 * stream ended (a waiter is woken at once; with ZelCnvEx_SetAutoResume on, a stream whose
 * converter went away is waiting for it, not ended). Several threads may wait on one handle;
 * waiting holds up no other call, nor the preview window or the frame notifications. A stream
 * nobody waits on makes no copy for this function.
 */
ZELCNV_API int ZELCNV_CALL ZelCnvEx_WaitFrame(int handle, void* buffer, int size, int topDown,
                                              int timeoutMs, ZelCnvFrameDetails* details);

/* The details of the frame whose MSG_FRAME_NOTIFY was posted last: the frame whose pixels are in
 * the application's buffer. 0 with ERR_NOT_READY before the stream's first frame, ERR_PARAMETER
 * for a NULL details or an unknown size. */
ZELCNV_API int ZELCNV_CALL ZelCnvEx_GetFrameDetails(int handle, ZelCnvFrameDetails* details);

/* The figures of the handle's stream (the last one, once it has stopped). 0 with ERR_PARAMETER
 * for a NULL stats or an unknown size. */
ZELCNV_API int ZELCNV_CALL ZelCnvEx_GetStreamStats(int handle, ZelCnvStreamStats* stats);

/* enable non-zero: posts MSG_DEVICE_CHANGE within a second of a converter's arrival or removal,
 * until called with 0 or the handle is released. */
ZELCNV_API int ZELCNV_CALL ZelCnvEx_WatchDevices(int handle, int enable);

/* enable non-zero: a stream that ends because its converter went away starts again when the
 * converter returns, with the same settings, window and buffer; its sequence numbers start again
 * from 0, its frames lost do not. A recording ends at the removal and does not resume. */
ZELCNV_API int ZELCNV_CALL ZelCnvEx_SetAutoResume(int handle, int enable);

#ifdef __cplusplus
}
#endif

#endif /* ZELCNVSDKEX_H */
