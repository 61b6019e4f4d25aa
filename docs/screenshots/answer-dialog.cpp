// A small Windows program that update.sh runs beside the uninstaller, under
// the same Wine server, to find one of its dialogs and to answer it.
//
//   answer-dialog.exe wait CAPTION [PERCENT]
//                                       waits up to 60 s for a visible dialog
//                                       (class #32770) with that caption and
//                                       a text: the static control 1000 of
//                                       the program's dialogs or 65535 of a
//                                       message box; with PERCENT, until its
//                                       progress bar (1009) shows at least
//                                       that; prints its screen rectangle
//                                       "left top right bottom" and, on the
//                                       next lines, the text (UTF-8)
//   answer-dialog.exe press CAPTION ID  waits up to 60 s for a dialog with
//                                       that caption and a button ID, clicks
//                                       it and waits up to 10 s for the
//                                       dialog to close
//
// Exit status 0 when done, 1 when no such dialog came (or it did not close),
// 2 on a usage error. Without a virtual desktop, Wine's screen coordinates are
// those of the X root window, so the rectangle can be cut out of an X
// screenshot as it is.
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

const int kQuestionTextId = 1000, kMessageBoxTextId = 65535, kProgressBarId = 1009;
const DWORD kPollMs = 50;

struct Search {
  const wchar_t* caption;
  int percent;  // -1: any dialog with a text
  int button;   // 0: any
  HWND found;
};

int TextId(HWND dialog) { return GetDlgItem(dialog, kQuestionTextId) ? kQuestionTextId : kMessageBoxTextId; }

BOOL CALLBACK MatchDialog(HWND window, LPARAM parameter) {
  Search* search = reinterpret_cast<Search*>(parameter);
  wchar_t text[256];
  if (!IsWindowVisible(window)) return TRUE;
  if (GetClassNameW(window, text, 256) == 0 || wcscmp(text, L"#32770") != 0) return TRUE;
  if (GetWindowTextW(window, text, 256) == 0 || wcscmp(text, search->caption) != 0) return TRUE;
  if (GetDlgItem(window, TextId(window)) == NULL) return TRUE;
  if (search->button != 0 && GetDlgItem(window, search->button) == NULL) return TRUE;
  if (search->percent >= 0) {
    HWND bar = GetDlgItem(window, kProgressBarId);
    if (bar == NULL || SendMessageW(bar, PBM_GETPOS, 0, 0) < search->percent) return TRUE;
  }
  search->found = window;
  return FALSE;
}

HWND FindDialog(const wchar_t* caption, int percent, int button) {
  Search search = {caption, percent, button, NULL};
  EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForDialog(const wchar_t* caption, DWORD timeoutMs, int percent = -1, int button = 0) {
  const DWORD start = GetTickCount();
  for (;;) {
    HWND dialog = FindDialog(caption, percent, button);
    if (dialog != NULL || GetTickCount() - start >= timeoutMs) return dialog;
    Sleep(kPollMs);
  }
}

std::string Utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, NULL, 0, NULL, NULL);
  if (size <= 1) return std::string();
  std::string out(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], size, NULL, NULL);
  out.resize(size - 1);
  return out;
}

int Wait(const wchar_t* caption, int percent) {
  HWND dialog = WaitForDialog(caption, 60000, percent);
  if (dialog == NULL) {
    fprintf(stderr, "answer-dialog: no dialog \"%s\" appeared\n", Utf8(caption).c_str());
    return 1;
  }
  RECT rect;
  GetWindowRect(dialog, &rect);
  wchar_t text[2048];  // the question is formatted into 1024 characters
  const int length = GetDlgItemTextW(dialog, TextId(dialog), text, 2048);
  printf("%ld %ld %ld %ld\n%s\n", rect.left, rect.top, rect.right, rect.bottom,
         Utf8(std::wstring(text, length)).c_str());
  return 0;
}

int Press(const wchar_t* caption, int id) {
  HWND dialog = WaitForDialog(caption, 60000, -1, id);
  HWND button = dialog ? GetDlgItem(dialog, id) : NULL;
  if (button == NULL) {
    fprintf(stderr, "answer-dialog: no dialog \"%s\" with a button %d\n", Utf8(caption).c_str(), id);
    return 1;
  }
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  const DWORD start = GetTickCount();
  while (IsWindow(dialog)) {
    if (GetTickCount() - start >= 10000) {
      fprintf(stderr, "answer-dialog: the dialog stayed open after button %d\n", id);
      return 1;
    }
    Sleep(kPollMs);
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if ((argc == 3 || argc == 4) && wcscmp(argv[1], L"wait") == 0) return Wait(argv[2], argc == 4 ? _wtoi(argv[3]) : -1);
  if (argc == 4 && wcscmp(argv[1], L"press") == 0) return Press(argv[2], _wtoi(argv[3]));
  fprintf(stderr, "usage: answer-dialog.exe wait CAPTION [PERCENT] | press CAPTION ID\n");
  return 2;
}
