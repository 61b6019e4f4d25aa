/* A library planted beside a program to see whether the program loads it:
 * whoever loads it, by whatever name, makes planted.log in its folder. The
 * tests copy it under the name of a system library (uxtheme.dll) into the
 * folder the self-removal copy runs from. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  wchar_t log[MAX_PATH + 16];
  DWORD length = GetModuleFileNameW(instance, log, MAX_PATH);
  if (reason != DLL_PROCESS_ATTACH || length == 0 || length >= MAX_PATH) return TRUE;
  while (length > 0 && log[length - 1] != L'\\') --length;
  lstrcpyW(log + length, L"planted.log");
  HANDLE file = CreateFileW(log, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, 0, NULL);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return TRUE;
}
