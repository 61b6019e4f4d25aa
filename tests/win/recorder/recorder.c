/* A stand-in for the programs and document viewers the uninstaller starts:
 * it writes down how it was started, optionally stays a while, and writes
 * down what it saw when it ended. A GUI program that shows nothing, so that
 * starting it with SW_SHOW or SW_HIDE opens no window of any kind.
 *
 * One line per event, UTF-8, fields separated by tabs, appended to the log
 * (RXTEST_RECORD_LOG, or recorder.log beside the program):
 *   start <ms> <pid> <show> <working folder> <program path> <arguments>
 *   end   <ms> <pid> <check> <dialog>
 * <ms> is the system time in milliseconds since 1601, comparable between
 * processes; <show> the wShowWindow the starter asked for, or -1.
 *
 * Behaviour, all from the environment (inherited from the uninstaller,
 * which inherits it from the test):
 *   RXTEST_RECORD_SLEEP_MS  stay this long before ending;
 *   RXTEST_RECORD_EXIT      exit code (default 0);
 *   RXTEST_RECORD_CHECK     a path: <check> is "present" or "absent" at the end;
 *   RXTEST_RECORD_DIALOG    a caption: <dialog> is "shown" when a visible
 *                           dialog (#32770) with that caption exists at the
 *                           end, else "none". */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

static wchar_t logPath[MAX_PATH + 32];

static void AppendLine(const wchar_t* line) {
  char utf8[8192];
  int length = WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, sizeof utf8, NULL, NULL);
  if (length <= 1) return;
  HANDLE log = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
  if (log == INVALID_HANDLE_VALUE) return;
  DWORD written;
  WriteFile(log, utf8, (DWORD)(length - 1), &written, NULL);
  CloseHandle(log);
}

static unsigned long long NowMs(void) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (((unsigned long long)now.dwHighDateTime << 32) | now.dwLowDateTime) / 10000;
}

static const wchar_t* Variable(const wchar_t* name, wchar_t* buffer, DWORD size) {
  DWORD length = GetEnvironmentVariableW(name, buffer, size);
  return length > 0 && length < size ? buffer : NULL;
}

struct DialogSearch {
  const wchar_t* caption;
  BOOL found;
};

static BOOL CALLBACK FindDialog(HWND window, LPARAM context) {
  struct DialogSearch* search = (struct DialogSearch*)context;
  wchar_t className[16], caption[512];
  if (IsWindowVisible(window) && GetClassNameW(window, className, 16) && wcscmp(className, L"#32770") == 0 &&
      GetWindowTextW(window, caption, 512) > 0 && wcscmp(caption, search->caption) == 0) {
    search->found = TRUE;
    return FALSE;
  }
  return TRUE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  (void)instance, (void)previous, (void)commandLine, (void)show;
  wchar_t program[MAX_PATH], folder[MAX_PATH], value[MAX_PATH];
  GetModuleFileNameW(NULL, program, MAX_PATH);
  GetCurrentDirectoryW(MAX_PATH, folder);
  if (!Variable(L"RXTEST_RECORD_LOG", logPath, MAX_PATH)) {
    wcscpy(logPath, program);
    wchar_t* cut = wcsrchr(logPath, L'\\');
    wcscpy(cut ? cut + 1 : logPath, L"recorder.log");
  }

  /* The arguments as the starter wrote them: the line after the program
     name (quoted, or up to the first space) and the spaces after it. */
  const wchar_t* arguments = GetCommandLineW();
  if (*arguments == L'"') {
    arguments = wcschr(arguments + 1, L'"');
    arguments = arguments ? arguments + 1 : L"";
  } else {
    while (*arguments && *arguments != L' ') ++arguments;
  }
  while (*arguments == L' ') ++arguments;

  STARTUPINFOW startup;
  GetStartupInfoW(&startup);
  const int shown = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;

  static wchar_t line[4096];
  _snwprintf(line, 4095, L"start\t%I64u\t%lu\t%d\t%ls\t%ls\t%ls\n", NowMs(), GetCurrentProcessId(), shown, folder,
             program, arguments);
  line[4095] = 0;
  AppendLine(line);

  if (Variable(L"RXTEST_RECORD_SLEEP_MS", value, MAX_PATH)) Sleep((DWORD)_wtoi(value));

  const wchar_t* check = L"-";
  if (Variable(L"RXTEST_RECORD_CHECK", value, MAX_PATH)) {
    check = GetFileAttributesW(value) != INVALID_FILE_ATTRIBUTES ? L"present" : L"absent";
  }
  const wchar_t* dialog = L"-";
  if (Variable(L"RXTEST_RECORD_DIALOG", value, MAX_PATH)) {
    struct DialogSearch search = {value, FALSE};
    EnumWindows(FindDialog, (LPARAM)&search);
    dialog = search.found ? L"shown" : L"none";
  }
  _snwprintf(line, 4095, L"end\t%I64u\t%lu\t%ls\t%ls\n", NowMs(), GetCurrentProcessId(), check, dialog);
  AppendLine(line);

  return Variable(L"RXTEST_RECORD_EXIT", value, MAX_PATH) ? _wtoi(value) : 0;
}
