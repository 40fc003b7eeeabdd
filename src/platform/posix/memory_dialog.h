// Dialogs off Windows: an in-memory model of a dialog's controls. The controller changes them
// through DialogView, and whoever drives the dialog acts on them as a user would; both raise the
// notifications Windows raises (a new edit text, also one the controller sets, raises its
// change), so the controllers run the code path they run on Windows.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/dialog.h"

namespace zelcnv::platform {

// One control, whatever its kind: each kind uses the fields it has on Windows. A control is
// recorded once the controller or a user first touches it.
struct MemoryControl {
  std::string text;
  bool enabled = true;
  std::vector<std::string> items;  // combo box or tab items
  int selection = kNoSelection;
  int minimum = 0;  // trackbar (Windows' default range 0..100) or up-down range
  int maximum = 100;
  int position = 0;
  int tickFrequency = 1;
  int buddy = 0;  // the up-down's buddy edit, 0 for none
};

class MemoryDialog final : public DialogView {
 public:
  MemoryDialog(int templateId, DialogEvents& events) : templateId_(templateId), events_(events) {}

  int TemplateId() const { return templateId_; }
  // The control in this dialog or in its page; null when nobody has touched it yet.
  const MemoryControl* Find(int control) const;
  MemoryDialog* Page() const { return page_.get(); }
  // Where OpenPage put the page: the host control and the offset in pixels.
  int PageHost() const { return pageHost_; }
  int PageX() const { return pageX_; }
  int PageY() const { return pageY_; }
  bool Ended() const { return ended_; }
  int Result() const { return result_; }

  // A user's actions, on a control of this dialog or of its page (also one nobody set up). Each
  // is refused (false) for a disabled control and once the dialog has ended.
  bool Type(int control, const std::string& text);  // replaces an edit's text
  bool Choose(int control, int index);              // picks a combo box item
  bool Slide(int control, int position);            // drags a trackbar (kept in its range)
  bool Spin(int control, int steps);                // presses an up-down's arrows
  bool Click(int control);                          // presses a button
  // The caption's close button: the system turns it into Cancel.
  void Close();

  // DialogView.
  int ItemInt(int control, bool isSigned) override;
  void SetItemInt(int control, int value, bool isSigned) override;
  std::string ItemText(int control) override;
  void SetItemText(int control, const char* utf8) override;
  void InsertComboItem(int control, int index, const char* utf8) override;
  void SetComboSelection(int control, int index) override;
  int ComboSelection(int control) override;
  void InsertTabItem(int control, int index, const char* utf8) override;
  void SetTrackbarRangeMax(int control, int maximum) override;
  void SetTrackbarRangeMin(int control, int minimum) override;
  void SetTrackbarPosition(int control, int position) override;
  int TrackbarPosition(int control) override;
  void SetTrackbarTickFrequency(int control, int frequency) override;
  void SetUpDownRange(int control, int minimum, int maximum) override;
  void SetUpDownPosition(int control, int position) override;
  void SetUpDownBuddy(int control, int buddy) override;
  void EnableItem(int control, bool enabled) override;
  bool OpenPage(int templateId, int host, int x, int y, DialogEvents& page) override;
  void End(int result) override;

 private:
  MemoryControl& At(int control) { return controls_[control]; }
  // The dialog a user's action on `control` reaches: the page when the control is its own.
  MemoryDialog& Target(int control);
  bool Usable(int control);
  void SetText(int control, std::string text);

  const int templateId_;
  DialogEvents& events_;
  std::map<int, MemoryControl> controls_;
  std::unique_ptr<MemoryDialog> page_;
  MemoryDialog* parent_ = nullptr;
  int pageHost_ = 0;
  int pageX_ = 0;
  int pageY_ = 0;
  bool ended_ = false;
  int result_ = 0;
};

// Who runs the dialogs off Windows: called once per dialog, after its initialisation, with the
// dialog (a MemoryDialog) and its template; it acts on the controls and should end the dialog.
// A dialog it leaves open is closed when it returns.
using DialogDriver = void (*)(void* dialog, int templateId, void* context);

// Installs `driver` (null: none, and every dialog fails to be created) for the whole process.
void SetDialogDriver(DialogDriver driver, void* context);

}  // namespace zelcnv::platform
