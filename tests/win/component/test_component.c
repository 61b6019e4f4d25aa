/* A self-registering component for the tests of the file phase. Its
 * DllUnregisterServer appends one line to "<its own path>.log":
 *
 *   <file name of the program that called it>|<current folder>
 *
 * so a test can tell whether regsvr32 or the uninstaller itself ran it, and
 * from which folder. The build with RXTEST_COMPONENT_CRASH writes its line
 * and then writes through a null pointer, as a broken component would; the
 * one with RXTEST_COMPONENT_DEPENDENT imports from a library beside it.
 * Exports by plain name (test_component.def), as regsvr32 looks it up. */
#include <windows.h>
#include <wchar.h>

extern IMAGE_DOS_HEADER __ImageBase; /* this library's own module */

#ifdef RXTEST_COMPONENT_DEPENDENT
__declspec(dllimport) int RxTestHelperValue(void);
#endif

HRESULT WINAPI DllUnregisterServer(void) {
  wchar_t log[MAX_PATH + 8], program[MAX_PATH] = L"", folder[MAX_PATH] = L"", line[2 * MAX_PATH + 4];
#ifdef RXTEST_COMPONENT_DEPENDENT
  if (RxTestHelperValue() != 4242) return E_FAIL;
#endif
  DWORD length = GetModuleFileNameW((HMODULE)&__ImageBase, log, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return E_FAIL;
  wcscat(log, L".log");
  GetModuleFileNameW(NULL, program, MAX_PATH);  /* cut, but ended, when longer */
  GetCurrentDirectoryW(MAX_PATH, folder);       /* left empty when longer */
  const wchar_t* name = wcsrchr(program, L'\\');
  _snwprintf(line, 2 * MAX_PATH + 3, L"%ls|%ls\n", name != NULL ? name + 1 : program, folder);
  line[2 * MAX_PATH + 3] = 0;

  char utf8[4 * (2 * MAX_PATH + 4)];
  int bytes = WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, sizeof utf8, NULL, NULL);
  HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, NULL);
  if (file != INVALID_HANDLE_VALUE && bytes > 1) {
    DWORD written;
    WriteFile(file, utf8, (DWORD)bytes - 1, &written, NULL);
  }
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
#ifdef RXTEST_COMPONENT_CRASH
  *(volatile int*)0 = 1;
#endif
  return S_OK;
}
