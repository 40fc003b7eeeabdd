// Dialogs on Windows: the templates in the DLL's resources, run with the USER dialog manager and
// the common controls. Text goes through the wide functions, so the Japanese labels survive
// whatever the ANSI code page is.
#include "platform/dialog.h"

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <vector>

namespace zelcnv::platform {

namespace {

constexpr wchar_t kLibraryName[] = L"ZelCnvSdk.dll";
constexpr LANGID kJapanese = 0x0411;

// The library's templates: in the module named "ZelCnvSdk.dll", else in the module this code
// was linked into.
HMODULE TemplateModule() {
  if (HMODULE named = GetModuleHandleW(kLibraryName)) return named;
  HMODULE self = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&TemplateModule), &self);
  return self;
}

std::wstring Wide(const char* utf8) {
  if (utf8 == nullptr || *utf8 == '\0') return std::wstring();
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  if (units <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), units);
  wide.resize(static_cast<size_t>(units - 1));
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::string();
  std::string text(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, text.data(), bytes, nullptr, nullptr);
  text.resize(static_cast<size_t>(bytes - 1));
  return text;
}

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class Win32DialogView final : public DialogView {
 public:
  Win32DialogView(DialogEvents& events, Win32DialogView* parent)
      : events_(events), parent_(parent) {}

  DialogEvents& Events() { return events_; }
  void Attach(HWND window) { window_ = window; }

  int ItemInt(int control, bool isSigned) override {
    BOOL translated = FALSE;
    const UINT value = GetDlgItemInt(window_, control, &translated, isSigned ? TRUE : FALSE);
    return translated ? static_cast<int>(value) : 0;
  }
  void SetItemInt(int control, int value, bool isSigned) override {
    SetDlgItemInt(window_, control, static_cast<UINT>(value), isSigned ? TRUE : FALSE);
  }
  std::string ItemText(int control) override {
    HWND item = GetDlgItem(window_, control);
    if (item == nullptr) return std::string();
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
    return Utf8(text);
  }
  void SetItemText(int control, const char* utf8) override {
    SetDlgItemTextW(window_, control, Wide(utf8).c_str());
  }
  void InsertComboItem(int control, int index, const char* utf8) override {
    const std::wstring text = Wide(utf8);
    Send(control, CB_INSERTSTRING, static_cast<WPARAM>(index),
         reinterpret_cast<LPARAM>(text.c_str()));
  }
  void SetComboSelection(int control, int index) override {
    Send(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
  int ComboSelection(int control) override {
    return GetDlgItem(window_, control) != nullptr ? static_cast<int>(Send(control, CB_GETCURSEL))
                                                   : kNoSelection;
  }
  void InsertTabItem(int control, int index, const char* utf8) override {
    std::wstring text = Wide(utf8);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    Send(control, TCM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  }
  void SetTrackbarRangeMax(int control, int maximum) override {
    Send(control, TBM_SETRANGEMAX, TRUE, maximum);
  }
  void SetTrackbarRangeMin(int control, int minimum) override {
    Send(control, TBM_SETRANGEMIN, TRUE, minimum);
  }
  void SetTrackbarPosition(int control, int position) override {
    Send(control, TBM_SETPOS, TRUE, position);
  }
  int TrackbarPosition(int control) override { return static_cast<int>(Send(control, TBM_GETPOS)); }
  void SetTrackbarTickFrequency(int control, int frequency) override {
    Send(control, TBM_SETTICFREQ, static_cast<WPARAM>(frequency), 0);
  }
  void SetUpDownRange(int control, int minimum, int maximum) override {
    Send(control, UDM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
  }
  void SetUpDownPosition(int control, int position) override {
    Send(control, UDM_SETPOS, 0, MAKELPARAM(position, 0));
  }
  void SetUpDownBuddy(int control, int buddy) override {
    Send(control, UDM_SETBUDDY, reinterpret_cast<WPARAM>(GetDlgItem(window_, buddy)), 0);
  }
  void EnableItem(int control, bool enabled) override {
    if (HWND item = GetDlgItem(window_, control)) EnableWindow(item, enabled ? TRUE : FALSE);
  }

  bool OpenPage(int templateId, int host, int x, int y, DialogEvents& page) override {
    HWND hostWindow = GetDlgItem(window_, host);
    if (hostWindow == nullptr) return false;
    auto view = std::make_unique<Win32DialogView>(page, this);
    // The page's WM_INITDIALOG runs inside this call.
    HWND child = CreateDialogParamW(TemplateModule(), MAKEINTRESOURCEW(templateId), hostWindow,
                                    DialogProc, reinterpret_cast<LPARAM>(view.get()));
    if (child == nullptr) return false;
    SetWindowPos(child, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
    pages_.push_back(std::move(view));
    return true;
  }

  void End(int result) override {
    if (parent_ != nullptr) return parent_->End(result);
    EndDialog(window_, result);
  }

 private:
  LRESULT Send(int control, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendDlgItemMessageW(window_, control, message, wParam, lParam);
  }

  DialogEvents& events_;
  Win32DialogView* const parent_;
  HWND window_ = nullptr;
  // Pages are destroyed with the dialog's window; their views live as long as this one.
  std::vector<std::unique_ptr<Win32DialogView>> pages_;
};

// The view travels in WM_INITDIALOG and stays with its window, so each dialog finds its own
// controller.
INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* view = reinterpret_cast<Win32DialogView*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    view->Attach(window);
    return view->Events().OnInitDialog(*view) ? TRUE : FALSE;
  }
  auto* view = reinterpret_cast<Win32DialogView*>(GetWindowLongPtrW(window, DWLP_USER));
  if (view == nullptr) return FALSE;
  switch (message) {
    case WM_COMMAND:
      // Code 1 without a control is an accelerator, not a selection change.
      if (lParam == 0 && HIWORD(wParam) != 0) return FALSE;
      view->Events().OnCommand(*view, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_HSCROLL:
      if (lParam == 0) return FALSE;  // the dialog's own scroll bar
      view->Events().OnHScroll(*view, GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

int RunModalDialog(int templateId, void* owner, DialogEvents& controller) {
  INITCOMMONCONTROLSEX classes{
      sizeof(classes), ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&classes);
  HMODULE module = TemplateModule();
  if (module == nullptr) return kDialogNotCreated;
  Win32DialogView view(controller, nullptr);
  const INT_PTR result =
      DialogBoxParamW(module, MAKEINTRESOURCEW(templateId), static_cast<HWND>(owner), DialogProc,
                      reinterpret_cast<LPARAM>(&view));
  return static_cast<int>(result);
}

bool DialogsAvailable() {
  return true;
}

bool JapaneseSystem() {
  return GetSystemDefaultLangID() == kJapanese;
}

}  // namespace zelcnv::platform
