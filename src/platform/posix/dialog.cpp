// Dialogs off Windows: the in-memory controls and the installed driver that runs them.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/posix/memory_dialog.h"

namespace zelcnv::platform {

namespace {

struct Driver {
  std::mutex mutex;
  DialogDriver run = nullptr;
  void* context = nullptr;
};

Driver& InstalledDriver() {
  static Driver* driver = new Driver;  // outlives every static destructor
  return *driver;
}

// GetDlgItemInt: optional spaces around a decimal number (a sign only when signed); anything
// else, or a number out of range, reads as 0.
int ParseItemInt(const std::string& text, bool isSigned) {
  const char* begin = text.c_str();
  while (*begin == ' ') ++begin;
  if (*begin == '\0' || (!isSigned && *begin == '-')) return 0;
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(begin, &end, 10);
  if (end == begin || errno == ERANGE) return 0;
  while (*end == ' ') ++end;
  if (*end != '\0') return 0;
  if (isSigned) {
    return value < INT32_MIN || value > INT32_MAX ? 0 : static_cast<int>(value);
  }
  return value > UINT32_MAX ? 0 : static_cast<int>(static_cast<uint32_t>(value));
}

}  // namespace

void SetDialogDriver(DialogDriver driver, void* context) {
  Driver& installed = InstalledDriver();
  std::lock_guard lock(installed.mutex);
  installed.run = driver;
  installed.context = context;
}

bool DialogsAvailable() {
  Driver& installed = InstalledDriver();
  std::lock_guard lock(installed.mutex);
  return installed.run != nullptr;
}

int RunModalDialog(int templateId, void*, DialogEvents& controller) {
  DialogDriver run = nullptr;
  void* context = nullptr;
  {
    Driver& installed = InstalledDriver();
    std::lock_guard lock(installed.mutex);
    run = installed.run;
    context = installed.context;
  }
  // No dialog system here: nobody could see or close a dialog, so none is created.
  if (run == nullptr) return kDialogNotCreated;
  MemoryDialog dialog(templateId, controller);
  controller.OnInitDialog(dialog);
  if (!dialog.Ended()) run(&dialog, templateId, context);
  if (!dialog.Ended()) dialog.Close();
  return dialog.Ended() ? dialog.Result() : 2;
}

bool JapaneseSystem() {
  // The locale's language, as the system's default language is derived from it under Wine.
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return std::strncmp(value, "ja", 2) == 0;
  }
  return false;
}

const MemoryControl* MemoryDialog::Find(int control) const {
  auto it = controls_.find(control);
  if (it != controls_.end()) return &it->second;
  return page_ ? page_->Find(control) : nullptr;
}

MemoryDialog& MemoryDialog::Target(int control) {
  if (controls_.count(control) == 0 && page_ && page_->Find(control) != nullptr) return *page_;
  return *this;
}

bool MemoryDialog::Usable(int control) {
  const MemoryDialog* top = parent_ != nullptr ? parent_ : this;
  // Every control of a template exists, also one the controller never touched.
  return !top->ended_ && At(control).enabled;
}

void MemoryDialog::SetText(int control, std::string text) {
  At(control).text = std::move(text);
  events_.OnCommand(*this, control, kEditChange);
}

bool MemoryDialog::Type(int control, const std::string& text) {
  MemoryDialog& target = Target(control);
  if (!target.Usable(control)) return false;
  target.SetText(control, text);
  return true;
}

bool MemoryDialog::Choose(int control, int index) {
  MemoryDialog& target = Target(control);
  if (!target.Usable(control)) return false;
  MemoryControl& combo = target.At(control);
  if (index < 0 || index >= static_cast<int>(combo.items.size())) return false;
  combo.selection = index;
  target.events_.OnCommand(target, control, kSelectionChange);
  return true;
}

bool MemoryDialog::Slide(int control, int position) {
  MemoryDialog& target = Target(control);
  if (!target.Usable(control)) return false;
  MemoryControl& bar = target.At(control);
  bar.position = std::clamp(position, bar.minimum, bar.maximum);
  target.events_.OnHScroll(target, control);
  return true;
}

bool MemoryDialog::Spin(int control, int steps) {
  MemoryDialog& target = Target(control);
  if (!target.Usable(control)) return false;
  MemoryControl& upDown = target.At(control);
  // The up-down counts on from what its buddy shows, as one that sets its buddy's number does.
  if (upDown.buddy != 0) {
    const std::string& shown = target.At(upDown.buddy).text;
    if (!shown.empty()) upDown.position = ParseItemInt(shown, true);
  }
  const int low = std::min(upDown.minimum, upDown.maximum);
  const int high = std::max(upDown.minimum, upDown.maximum);
  upDown.position = std::clamp(upDown.position + steps, low, high);
  if (upDown.buddy != 0) target.SetText(upDown.buddy, std::to_string(upDown.position));
  return true;
}

bool MemoryDialog::Click(int control) {
  MemoryDialog& target = Target(control);
  if (!target.Usable(control)) return false;
  target.events_.OnCommand(target, control, kButtonClicked);
  return true;
}

void MemoryDialog::Close() {
  if (!ended_) events_.OnCommand(*this, 2, kButtonClicked);  // IDCANCEL
}

int MemoryDialog::ItemInt(int control, bool isSigned) {
  const MemoryControl* found = Find(control);
  return found != nullptr ? ParseItemInt(found->text, isSigned) : 0;
}

void MemoryDialog::SetItemInt(int control, int value, bool isSigned) {
  SetText(control, isSigned ? std::to_string(value) : std::to_string(static_cast<uint32_t>(value)));
}

std::string MemoryDialog::ItemText(int control) {
  const MemoryControl* found = Find(control);
  return found != nullptr ? found->text : std::string();
}

void MemoryDialog::SetItemText(int control, const char* utf8) {
  SetText(control, utf8 != nullptr ? utf8 : "");
}

void MemoryDialog::InsertComboItem(int control, int index, const char* utf8) {
  std::vector<std::string>& items = At(control).items;
  const auto at =
      index < 0 || index > static_cast<int>(items.size()) ? items.end() : items.begin() + index;
  items.insert(at, utf8 != nullptr ? utf8 : "");
}

void MemoryDialog::SetComboSelection(int control, int index) {
  MemoryControl& combo = At(control);
  // CB_SETCURSEL with an index outside the list clears the selection.
  combo.selection =
      index >= 0 && index < static_cast<int>(combo.items.size()) ? index : kNoSelection;
}

int MemoryDialog::ComboSelection(int control) {
  const MemoryControl* found = Find(control);
  return found != nullptr ? found->selection : kNoSelection;
}

void MemoryDialog::InsertTabItem(int control, int index, const char* utf8) {
  InsertComboItem(control, index, utf8);
}

void MemoryDialog::SetTrackbarRangeMax(int control, int maximum) {
  MemoryControl& bar = At(control);
  bar.maximum = maximum;
  bar.position = std::clamp(bar.position, std::min(bar.minimum, maximum), maximum);
}

void MemoryDialog::SetTrackbarRangeMin(int control, int minimum) {
  MemoryControl& bar = At(control);
  bar.minimum = minimum;
  bar.position = std::clamp(bar.position, minimum, std::max(minimum, bar.maximum));
}

void MemoryDialog::SetTrackbarPosition(int control, int position) {
  MemoryControl& bar = At(control);
  bar.position = std::clamp(position, bar.minimum, std::max(bar.minimum, bar.maximum));
}

int MemoryDialog::TrackbarPosition(int control) {
  const MemoryControl* found = Find(control);
  return found != nullptr ? found->position : 0;
}

void MemoryDialog::SetTrackbarTickFrequency(int control, int frequency) {
  At(control).tickFrequency = frequency;
}

void MemoryDialog::SetUpDownRange(int control, int minimum, int maximum) {
  MemoryControl& upDown = At(control);
  upDown.minimum = minimum;
  upDown.maximum = maximum;
}

void MemoryDialog::SetUpDownPosition(int control, int position) {
  MemoryControl& upDown = At(control);
  const int low = std::min(upDown.minimum, upDown.maximum);
  const int high = std::max(upDown.minimum, upDown.maximum);
  upDown.position = std::clamp(position, low, high);
  // An up-down that sets its buddy's number shows every new position there.
  if (upDown.buddy != 0) SetText(upDown.buddy, std::to_string(upDown.position));
}

void MemoryDialog::SetUpDownBuddy(int control, int buddy) {
  At(control).buddy = buddy;
  At(buddy);
}

void MemoryDialog::EnableItem(int control, bool enabled) {
  At(control).enabled = enabled;
}

bool MemoryDialog::OpenPage(int templateId, int host, int x, int y, DialogEvents& page) {
  page_ = std::make_unique<MemoryDialog>(templateId, page);
  page_->parent_ = this;
  pageHost_ = host;
  pageX_ = x;
  pageY_ = y;
  page.OnInitDialog(*page_);
  return true;
}

void MemoryDialog::End(int result) {
  MemoryDialog* top = parent_ != nullptr ? parent_ : this;
  top->ended_ = true;
  top->result_ = result;
}

}  // namespace zelcnv::platform
