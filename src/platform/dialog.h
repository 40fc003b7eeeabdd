// Modal dialogs from the library's templates. A controller holds a dialog's logic and reaches its
// controls only through DialogView. Win32: DialogBoxParamW and CreateDialogParamW with the
// templates in the DLL's resources. POSIX: an in-memory model of the controls that raises the
// notifications Windows raises, driven by whatever the application installed (or nothing).
#pragma once

#include <cstdint>
#include <string>

namespace zelcnv::platform {

// Notification codes of WM_COMMAND.
constexpr int kButtonClicked = 0;    // BN_CLICKED
constexpr int kSelectionChange = 1;  // CBN_SELCHANGE
constexpr int kEditChange = 0x300;   // EN_CHANGE

constexpr int kNoSelection = -1;  // CB_ERR
// What a dialog that could not be created returns (DialogBoxParam's failure value).
constexpr int kDialogNotCreated = -1;

class DialogView;

// What a dialog's procedure passes on to its controller.
class DialogEvents {
 public:
  virtual ~DialogEvents() = default;
  // WM_INITDIALOG; the result is the procedure's (false: the focus is left as it is).
  virtual bool OnInitDialog(DialogView& view) = 0;
  virtual void OnCommand(DialogView& view, int control, int notification) = 0;
  // WM_HSCROLL from a trackbar; any scroll code.
  virtual void OnHScroll(DialogView& view, int control) = 0;
};

// The controls of one dialog, addressed by identifier. An identifier the dialog does not have
// reads as 0 / empty and takes no change.
class DialogView {
 public:
  virtual ~DialogView() = default;

  // GetDlgItemInt / SetDlgItemInt: text that is not a number reads as 0.
  virtual int ItemInt(int control, bool isSigned) = 0;
  virtual void SetItemInt(int control, int value, bool isSigned) = 0;
  virtual std::string ItemText(int control) = 0;  // UTF-8
  virtual void SetItemText(int control, const char* utf8) = 0;

  virtual void InsertComboItem(int control, int index, const char* utf8) = 0;
  virtual void SetComboSelection(int control, int index) = 0;
  virtual int ComboSelection(int control) = 0;  // kNoSelection when none
  virtual void InsertTabItem(int control, int index, const char* utf8) = 0;

  virtual void SetTrackbarRangeMax(int control, int maximum) = 0;   // with redraw
  virtual void SetTrackbarRangeMin(int control, int minimum) = 0;   // with redraw
  virtual void SetTrackbarPosition(int control, int position) = 0;  // with redraw
  virtual int TrackbarPosition(int control) = 0;
  virtual void SetTrackbarTickFrequency(int control, int frequency) = 0;

  virtual void SetUpDownRange(int control, int minimum, int maximum) = 0;  // 32-bit range
  virtual void SetUpDownPosition(int control, int position) = 0;
  virtual void SetUpDownBuddy(int control, int buddy) = 0;

  virtual void EnableItem(int control, bool enabled) = 0;

  // Creates the child dialog `templateId` inside control `host`, moves it to (x, y) pixels of
  // the host and shows it; its notifications go to `page`. False when it cannot be created.
  // It lives as long as this dialog.
  virtual bool OpenPage(int templateId, int host, int x, int y, DialogEvents& page) = 0;

  // EndDialog: the modal run returns `result` once the current notification is handled.
  virtual void End(int result) = 0;
};

// Whether dialogs can be shown at all: always on Windows; off Windows once a driver has been
// installed to run them.
bool DialogsAvailable();

// Runs dialog `templateId` modally, owned by `owner` (may be null); the result given to End, or
// kDialogNotCreated.
int RunModalDialog(int templateId, void* owner, DialogEvents& controller);

// The system's default language is Japanese (language identifier 0x0411).
bool JapaneseSystem();

}  // namespace zelcnv::platform
