/* A stand-in for the programs the uninstaller starts: a GUI program that
 * shows nothing and appends to its log (RXTEST_RECORD_LOG, or recorder.log
 * beside it) one UTF-8 line, tab-separated, as it starts and one as it ends:
 *   start <pid> <show asked for, or -1> <working folder> <program> <arguments>
 *   end   <pid> <check> <dialog>
 * From the environment: RXTEST_RECORD_SLEEP_MS, stay this long;
 * RXTEST_RECORD_EXIT, the exit code; RXTEST_RECORD_CHECK, a path whose
 * "present" or "absent" is <check>; RXTEST_RECORD_DIALOG, a caption: "shown"
 * or "none" is <dialog>, whether a dialog (#32770) of that caption exists at
 * the end. Unset, a field is "-". */
#include <windows.h>
#include <stdlib.h>
#include <wchar.h>

static wchar_t logPath[MAX_PATH], line[4096];

static void AppendLine(void) {
  char utf8[3 * 4096];
  int length = WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, sizeof utf8, NULL, NULL);
  HANDLE log = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, 0, NULL);
  DWORD written;
  if (length > 1 && log != INVALID_HANDLE_VALUE) WriteFile(log, utf8, (DWORD)(length - 1), &written, NULL);
  if (log != INVALID_HANDLE_VALUE) CloseHandle(log);
}

static const wchar_t* Variable(const wchar_t* name, wchar_t* buffer) {
  DWORD length = GetEnvironmentVariableW(name, buffer, MAX_PATH);
  return length > 0 && length < MAX_PATH ? buffer : NULL;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  (void)instance, (void)previous, (void)commandLine, (void)show;
  wchar_t program[MAX_PATH], folder[MAX_PATH], value[MAX_PATH];
  GetModuleFileNameW(NULL, program, MAX_PATH);
  GetCurrentDirectoryW(MAX_PATH, folder);
  if (!Variable(L"RXTEST_RECORD_LOG", logPath)) {
    wcscpy(logPath, program);
    wcscpy(wcsrchr(logPath, L'\\') + 1, L"recorder.log");
  }
  /* The arguments as the starter wrote them, after the program's name. */
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
  _snwprintf(line, 4095, L"start\t%lu\t%d\t%ls\t%ls\t%ls\n", GetCurrentProcessId(),
             (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1, folder, program, arguments);
  AppendLine();

  if (Variable(L"RXTEST_RECORD_SLEEP_MS", value)) Sleep((DWORD)_wtoi(value));
  const wchar_t* check = L"-";
  if (Variable(L"RXTEST_RECORD_CHECK", value)) check = GetFileAttributesW(value) != INVALID_FILE_ATTRIBUTES ? L"present" : L"absent";
  const wchar_t* dialog = L"-";
  if (Variable(L"RXTEST_RECORD_DIALOG", value)) dialog = FindWindowW(L"#32770", value) ? L"shown" : L"none";
  _snwprintf(line, 4095, L"end\t%lu\t%ls\t%ls\n", GetCurrentProcessId(), check, dialog);
  AppendLine();
  return Variable(L"RXTEST_RECORD_EXIT", value) ? _wtoi(value) : 0;
}
