/* ZelCnvPosix.h: Linux only. Message windows, and the driver of the settings dialogs.
 *
 * Windows receive the SDK's messages (MSG_ERROR_NOTIFY,
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

/*
 * Dialogs. Linux has no dialog system, so ZelCam_SetCameraDlg and ZelCam_SetImageDlg fail with
 * ERR_WINDOW (and streaming is left alone) unless a dialog driver is installed here: an
 * application that shows its own settings user interface, or a test. The dialogs then run in
 * memory with the controls of their Windows templates, under the same identifiers.
 *
 * The driver is called on the thread that called the export, once per dialog, after the dialog
 * has set up its controls, with the template's identifier (video format dialog: 101 Japanese,
 * 106 English; image dialog: 102 Japanese, 108 English, its page's controls reached through the
 * same dialog). It reads and operates the controls as a user would, each action raising what it
 * raises on Windows, and should end the dialog with its OK or Cancel button (control 1 or 2). A
 * dialog still open when the driver returns is closed as by its caption's close button (Cancel).
 * The dialog pointer is valid only during the call. The language follows LC_ALL, LC_MESSAGES or
 * LANG: "ja..." gives the Japanese templates.
 */
typedef struct ZelCnvDialog ZelCnvDialog;
typedef void(ZELCNV_CALL* ZelCnvDialogDriver)(ZelCnvDialog* dialog, int templateId, void* context);

/* Installs the driver for the whole process (NULL removes it). */
ZELCNV_API void ZELCNV_CALL ZelCnv_SetDialogDriver(ZelCnvDialogDriver driver, void* context);

/* Reading a control. A control that neither the dialog nor the driver has touched reads as its
 * template leaves it: enabled, empty, no items, no selection, position 0. Text is UTF-8; the text
 * getters return its length in bytes (the buffer receives as much as fits, terminated), or -1
 * for a NULL dialog or an item outside the list. */
ZELCNV_API int ZELCNV_CALL ZelCnv_DialogGetText(ZelCnvDialog* dialog, int control, char* buffer,
                                                int size);
/* 1 enabled, 0 disabled, -1 for a NULL dialog. */
ZELCNV_API int ZELCNV_CALL ZelCnv_DialogIsEnabled(ZelCnvDialog* dialog, int control);
/* A combo box's or tab control's items: their number, one item's text. */
ZELCNV_API int ZELCNV_CALL ZelCnv_DialogGetItemCount(ZelCnvDialog* dialog, int control);
ZELCNV_API int ZELCNV_CALL ZelCnv_DialogGetItemText(ZelCnvDialog* dialog, int control, int index,
                                                    char* buffer, int size);
/* The selected combo box item, -1 for none. */
ZELCNV_API int ZELCNV_CALL ZelCnv_DialogGetSelection(ZelCnvDialog* dialog, int control);
/* A trackbar's or up-down's position into *position: 1, or 0 for a NULL dialog. */
ZELCNV_API int ZELCNV_CALL ZelCnv_DialogGetPosition(ZelCnvDialog* dialog, int control,
                                                    int* position);

/* A user's actions: 1 done, 0 refused (a disabled control, an item outside the list, or the
 * dialog has ended). */
/* Replaces an edit's text (raises its change). */
ZELCNV_API int ZELCNV_CALL ZelCnv_DialogType(ZelCnvDialog* dialog, int control, const char* text);
/* Picks a combo box item (raises the selection change). */
ZELCNV_API int ZELCNV_CALL ZelCnv_DialogChoose(ZelCnvDialog* dialog, int control, int index);
/* Drags a trackbar to a position, kept within its range (raises its scroll notification). */
ZELCNV_API int ZELCNV_CALL ZelCnv_DialogSlide(ZelCnvDialog* dialog, int control, int position);
/* Presses an up-down's arrows: steps up (positive) or down (negative); its edit shows the value. */
ZELCNV_API int ZELCNV_CALL ZelCnv_DialogSpin(ZelCnvDialog* dialog, int control, int steps);
/* Presses a button. */
ZELCNV_API int ZELCNV_CALL ZelCnv_DialogClick(ZelCnvDialog* dialog, int control);

#ifdef __cplusplus
}
#endif

#endif /* ZELCNVPOSIX_H */
