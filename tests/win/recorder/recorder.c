/* A stand-in for the programs the uninstaller starts: a GUI program that
 * shows nothing and appends one UTF-16 line to its log (RXTEST_RECORD_LOG,
 * or recorder.log beside it), tab-separated, then ends with the code in
 * RXTEST_RECORD_EXIT (or 0):
 *   <pid> <show asked for, or -1> <working folder> <program> <arguments> */
#include <stdlib.h>
#include <wchar.h>
#include <windows.h>

static const wchar_t* Variable(const wchar_t* name, wchar_t* buffer) {
  DWORD length = GetEnvironmentVariableW(name, buffer, MAX_PATH);
  return length > 0 && length < MAX_PATH ? buffer : NULL;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  (void)instance, (void)previous, (void)commandLine, (void)show;
  static wchar_t program[MAX_PATH], folder[MAX_PATH], value[MAX_PATH], logPath[MAX_PATH], line[4096];
  GetModuleFileNameW(NULL, program, MAX_PATH);
  GetCurrentDirectoryW(MAX_PATH, folder);
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
  const int shown = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;

  _snwprintf(line, 4095, L"%lu\t%d\t%ls\t%ls\t%ls\n", GetCurrentProcessId(), shown, folder, program, arguments);
  if (!Variable(L"RXTEST_RECORD_LOG", logPath)) {
    wcscpy(logPath, program);
    wcscpy(wcsrchr(logPath, L'\\') + 1, L"recorder.log");
  }
  HANDLE log = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, 0, NULL);
  DWORD written;
  if (log != INVALID_HANDLE_VALUE) WriteFile(log, line, (DWORD)(wcslen(line) * sizeof *line), &written, NULL);
  if (log != INVALID_HANDLE_VALUE) CloseHandle(log);
  return Variable(L"RXTEST_RECORD_EXIT", value) ? _wtoi(value) : 0;
}
