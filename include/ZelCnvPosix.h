/* ZelCnvPosix.h: Linux only. Windows receive the SDK's messages (MSG_ERROR_NOTIFY,
 * MSG_FRAME_NOTIFY); on Linux a "window" is a message queue the application creates here and
 * reads with ZelCnv_GetMessage. Pass the HWND it returns wherever the SDK takes a window.
 *
 * A queue holds 1024 messages. When an application stops reading, the oldest unread frame
 * notifications make room for new messages (a frame notification is superseded by the next
 * one); error notifications are never dropped for frames, and beyond 65536 unread errors the
 * oldest error goes, so memory stays bounded. Posting to a destroyed or unknown window does
 * nothing. All functions may be called from any thread.
 */
#ifndef ZELCNVPOSIX_H
#define ZELCNVPOSIX_H

#include <stdint.h>

#include "ZelCnvSdk.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ZelCnvMessage {
  HWND window;          /* the window the message was posted to */
  unsigned int message; /* MSG_ERROR_NOTIFY or MSG_FRAME_NOTIFY */
  uintptr_t wParam;     /* as the message defines: 0, or the address of a FrameInfo */
  intptr_t lParam;      /* as the message defines: an error number, or 0 */
} ZelCnvMessage;

/* A new message window, or NULL when none can be created. */
ZELCNV_API HWND ZELCNV_CALL ZelCnv_CreateMessageWindow(void);

/* Takes the oldest message: 1 with a message in *msg (msg may be NULL to discard it), 0 when
 * none arrived within timeoutMs milliseconds (0: do not wait; negative: wait without limit),
 * -1 for an unknown or destroyed window (also for a reader waiting while it is destroyed). */
ZELCNV_API int ZELCNV_CALL ZelCnv_GetMessage(HWND window, ZelCnvMessage* msg, int timeoutMs);

/* Destroys a message window and its unread messages: 1, or 0 for an unknown window. */
ZELCNV_API int ZELCNV_CALL ZelCnv_DestroyMessageWindow(HWND window);

#ifdef __cplusplus
}
#endif

#endif /* ZELCNVPOSIX_H */
