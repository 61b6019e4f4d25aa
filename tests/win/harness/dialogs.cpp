#include "harness/harness.h"
// after windows.h
#include <commctrl.h>

#include <algorithm>

namespace harness {

namespace {

const DWORD kPollMs = 5;
const int kMessageBoxTextId = 0xFFFF;

std::wstring TextOf(HWND window, bool className = false) {
  wchar_t text[2048];
  const int length = !window ? 0 : className ? GetClassNameW(window, text, 2048) : GetWindowTextW(window, text, 2048);
  return std::wstring(text, length > 0 ? length : 0);
}

std::vector<HWND> VisibleWindows(DWORD processId, bool dialogsOnly) {
  std::vector<HWND> found;
  for (HWND window = NULL; (window = FindWindowExW(NULL, window, dialogsOnly ? L"#32770" : NULL, NULL)) != NULL;) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == processId && IsWindowVisible(window)) found.push_back(window);
  }
  return found;
}

bool Ask(HWND window, UINT message, DWORD_PTR* answer) {
  return window && SendMessageTimeoutW(window, message, 0, 0, SMTO_ABORTIFHUNG, 1000, answer);
}

}  // namespace

Dialog WaitForDialog(const Process& process, DWORD timeoutMs, const std::vector<HWND>& except, const std::wstring* text,
                     bool skipProgress) {
  if (!process.started()) return Dialog();
  const DWORD start = GetTickCount();
  HWND other = NULL;                 // a ready one showing another text
  std::map<HWND, DWORD> emptySince;  // ready ones with no text yet
  for (;;) {
    const bool ended = process.Ended();  // one more look after the end
    for (HWND window : VisibleWindows(process.id(), true)) {
      const Dialog dialog(window);
      // The progress bar is looked for once the dialog is ready: before,
      // its controls may not all be there.
      DWORD_PTR answer;  // ready: see harness.h
      if (std::count(except.begin(), except.end(), window) || !IsWindowEnabled(window) ||
          !Ask(window, WM_NULL, &answer) || (skipProgress && dialog.IsProgressDialog())) {
        continue;
      }
      const std::wstring shown = dialog.Text();
      if (text ? shown == *text : !shown.empty()) return dialog;
      if (!text && emptySince.insert({window, GetTickCount()}).first->second + kSettleMs <= GetTickCount()) {
        return dialog;
      }
      if (text) other = window;
    }
    if (ended || GetTickCount() - start >= timeoutMs) return Dialog(other);
    Sleep(kPollMs);
  }
}

bool Dialog::WaitClosed(DWORD timeoutMs) const {
  for (const DWORD start = GetTickCount(); IsOpen(); Sleep(kPollMs)) {
    if (GetTickCount() - start >= timeoutMs) return false;
  }
  return true;
}

std::wstring Dialog::Caption() const { return TextOf(window_); }

std::wstring Dialog::Text() const {
  HWND text = GetDlgItem(window_, kMessageBoxTextId);
  return TextOf(text ? text : GetDlgItem(window_, 1000));
}

std::vector<Button> Dialog::Buttons() const {
  std::vector<Button> buttons;
  for (HWND child = GetWindow(window_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    const LONG type = GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK;
    if (_wcsicmp(TextOf(child, true).c_str(), L"Button") == 0 && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON)) {
      buttons.push_back({GetDlgCtrlID(child), TextOf(child)});
    }
  }
  return buttons;
}

int Dialog::ProgressPosition() const {
  DWORD_PTR position = 0;
  return Ask(GetDlgItem(window_, 1009), PBM_GETPOS, &position) ? static_cast<int>(position) : -1;
}

void Dialog::Press(int id) const {
  PostMessageW(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window_, id)));
}

void Dialog::PressKey(WORD key) const {
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  HWND target = window_;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(window_, NULL), &info) && info.hwndFocus &&
      (info.hwndFocus == window_ || IsChild(window_, info.hwndFocus))) {
    target = info.hwndFocus;
  }
  const UINT scan = MapVirtualKeyW(key, 0 /* MAPVK_VK_TO_VSC */);
  PostMessageW(target, WM_KEYDOWN, key, 1 | (scan << 16));
  PostMessageW(target, WM_KEYUP, key, 1 | (scan << 16) | (1u << 30) | (1u << 31));
}

std::vector<Dialog> OpenDialogs(const Process& process) {
  const std::vector<HWND> windows = VisibleWindows(process.id(), true);
  return std::vector<Dialog>(windows.begin(), windows.end());
}

Dialog DialogSequence::Take(const std::wstring* text, DWORD timeoutMs) {
  const Dialog dialog = WaitForDialog(process_, timeoutMs, seen_, text, true);
  if (dialog) seen_.push_back(dialog.window());
  return dialog;
}

::testing::AssertionResult ExpectNoWindow(const Process& process, DWORD timeoutMs) {
  if (!process.started()) return ::testing::AssertionFailure() << "the process did not start";
  const DWORD start = GetTickCount();
  for (;;) {
    const bool ended = process.Ended();
    for (HWND window : VisibleWindows(process.id(), false)) {
      return ::testing::AssertionFailure()
             << "a window of class \"" << Narrow(TextOf(window, true)) << "\" after " << process.ElapsedMs()
             << " ms, caption \"" << Narrow(TextOf(window)) << "\", text \"" << Narrow(Dialog(window).Text()) << "\"";
    }
    if (ended) return ::testing::AssertionSuccess();
    if (GetTickCount() - start >= timeoutMs) return ::testing::AssertionFailure() << "still running: no end, no window";
    Sleep(kPollMs);
  }
}

}  // namespace harness
