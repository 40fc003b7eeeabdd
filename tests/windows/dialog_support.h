// What the dialog tests need to act as a user on the library's real dialogs from a thread of
// their own while the test's thread sits in the modal call: finding the dialog, reading its
// controls, operating them with the messages a user's input produces, and screenshots.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

namespace zelcnv::dialogtest {

constexpr DWORD kDialogWaitMs = 15000;

inline bool JapaneseRun() {
  return GetSystemDefaultLangID() == 0x0411;
}

inline std::wstring Wide(const char* utf8) {
  wchar_t buffer[512] = {};
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, buffer, 512);
  return buffer;
}

inline std::string Utf8(const wchar_t* wide) {
  char buffer[1024] = {};
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, buffer, sizeof buffer, nullptr, nullptr);
  return buffer;
}

// The library's dialog titled `title` (UTF-8) once it is shown; null after the deadline. Polls:
// the dialog belongs to another thread, which announces nothing.
inline HWND WaitForDialog(const char* title) {
  const std::wstring wide = Wide(title);
  const DWORD deadline = GetTickCount() + kDialogWaitMs;
  while (static_cast<int32_t>(deadline - GetTickCount()) > 0) {
    HWND found = FindWindowW(L"#32770", wide.c_str());
    if (found != nullptr && IsWindowVisible(found)) return found;
    Sleep(10);
  }
  return nullptr;
}

inline std::string Text(HWND window) {
  wchar_t buffer[512] = {};
  GetWindowTextW(window, buffer, 512);
  return Utf8(buffer);
}

inline std::string ItemText(HWND dialog, int id) {
  return Text(GetDlgItem(dialog, id));
}

inline bool Enabled(HWND dialog, int id) {
  return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

inline int Selection(HWND dialog, int id) {
  return static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
}

inline std::string ComboItem(HWND dialog, int id, int index) {
  wchar_t buffer[256] = {};
  if (SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buffer)) < 0) {
    return "<none>";
  }
  return Utf8(buffer);
}

inline std::string TabText(HWND dialog, int id, int index) {
  wchar_t buffer[256] = {};
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = buffer;
  item.cchTextMax = 256;
  SendDlgItemMessageW(dialog, id, TCM_GETITEMW, index, reinterpret_cast<LPARAM>(&item));
  return Utf8(buffer);
}

inline int BarPosition(HWND page, int id) {
  return static_cast<int>(SendDlgItemMessageW(page, id, TBM_GETPOS, 0, 0));
}

// A click on a drop-down list item: the new selection, then the notification it sends.
inline void Choose(HWND dialog, int id, int index) {
  HWND combo = GetDlgItem(dialog, id);
  SendMessageW(combo, CB_SETCURSEL, index, 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

// Typing over the whole text of an edit, one character at a time.
inline void Type(HWND dialog, int id, const char* text) {
  HWND edit = GetDlgItem(dialog, id);
  SendMessageW(edit, EM_SETSEL, 0, -1);
  if (*text == '\0') SendMessageW(edit, WM_CHAR, VK_BACK, 0);
  for (const char* c = text; *c != '\0'; ++c) SendMessageW(edit, WM_CHAR, *c, 0);
}

// Dragging a trackbar's thumb to `position` and letting go.
inline void Drag(HWND page, int id, int position) {
  HWND bar = GetDlgItem(page, id);
  SendMessageW(bar, TBM_SETPOS, TRUE, position);
  SendMessageW(page, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position),
               reinterpret_cast<LPARAM>(bar));
  SendMessageW(page, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(bar));
}

// A key pressed on a focused control (arrow keys on a trackbar move it by itself).
inline void PressKey(HWND dialog, int id, UINT key) {
  HWND control = GetDlgItem(dialog, id);
  SendMessageW(control, WM_KEYDOWN, key, 1);
  SendMessageW(control, WM_KEYUP, key, 0xC0000001);
}

// A mouse click on an up-down's upper (up) or lower (down) arrow.
inline void ClickArrow(HWND dialog, int id, bool up) {
  HWND spin = GetDlgItem(dialog, id);
  RECT r{};
  GetClientRect(spin, &r);
  const LPARAM at = MAKELPARAM(r.right / 2, up ? r.bottom / 4 : r.bottom * 3 / 4);
  SendMessageW(spin, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(spin, WM_LBUTTONUP, 0, at);
}

inline void Click(HWND dialog, int id) {
  SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

// Writes what the screen shows of `window` as a PNG file under the test run's screenshot folder.
bool Screenshot(HWND window, const char* name);

// Runs `user` on a thread of its own with the dialog titled `title`, while `modal` (the export)
// runs on this thread. A dialog the user left open is cancelled, so a failed check never hangs.
inline void WithUser(const char* title, const std::function<void(HWND)>& user,
                     const std::function<void()>& modal) {
  std::thread thread([&] {
    HWND dialog = WaitForDialog(title);
    EXPECT_NE(dialog, nullptr) << "no dialog titled " << title;
    if (dialog == nullptr) return;
    user(dialog);
    if (IsWindow(dialog)) PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  });
  modal();
  thread.join();
}

}  // namespace zelcnv::dialogtest
