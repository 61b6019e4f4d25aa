/* A library planted beside a program to see whether the program loads it:
 * whoever loads it, by whatever name, appends its own path to planted.log
 * in its folder. The tests copy it under the name of a system library
 * (uxtheme.dll) into the folder the self-removal copy runs from. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH], log[MAX_PATH + 16];
  DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  lstrcpyW(log, path);
  wchar_t* cut = log + lstrlenW(log);
  while (cut > log && cut[-1] != L'\\') --cut;
  lstrcpyW(cut, L"planted.log");
  HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return TRUE;
  char line[MAX_PATH * 3 + 2];
  int bytes = WideCharToMultiByte(CP_UTF8, 0, path, -1, line, MAX_PATH * 3, NULL, NULL);
  if (bytes > 0) {
    line[bytes - 1] = '\n';
    DWORD written;
    WriteFile(file, line, (DWORD)bytes, &written, NULL);
  }
  CloseHandle(file);
  return TRUE;
}
