/* A stand-in for an installer's extension library, for the tests of the
 * extension host and of the phases that ask it. (The callbacks' calling
 * convention is checked in-process, by the extension host's unit tests.)
 *
 * Entry points, exported by ordinal only (test_extension.def): 51 loaded,
 * 52 unloading, 53 before removal, 54 file, 55 registry entry, 56 after
 * removal; stdcall, two arguments (the callback object, one argument). 51,
 * 52, 53 and 56 return their own ordinal, so a test can tell a call that
 * reached the library from the host's default. 54 and 55 return 1 unless
 * told otherwise below. The second build, test_extension_file_only.def,
 * exports 54 alone; the dependent build imports from
 * retrax_test_extension_helper.dll, which must be found for it to load, and
 * logs "helper 4242" when loaded.
 *
 * Configuration: environment variables of the process that loads it, read
 * at every call (unset: that behaviour is off).
 *
 *   RXTEST_EXT_LOG        file that 51, 52, 53 and 56 append a UTF-8 line
 *                         to: "<ordinal> null" or "<ordinal> arg"
 *   RXTEST_EXT_VETO_FILE  EXT_FILE returns 0 for this path
 *   RXTEST_EXT_REWRITE    "from|to": EXT_FILE rewrites the path from into
 *                         to (in place, within the given capacity)
 *   RXTEST_EXT_VETO_KEY   EXT_REGISTRY_ENTRY returns 0 for this key path
 *   RXTEST_EXT_HOLD       "ordinal,name": the first call of that ordinal
 *                         sets the event "name.held", then services the
 *                         thread's windows as the program's own pump
 *                         does until the event "name" is set (at most
 *                         60 s); lets a test look at the windows of a
 *                         run that is half-way through
 *
 * Paths and keys compare with letters folded (_wcsicmp). */
#include <windows.h>
#include <stdio.h>
#include <string.h>

typedef struct {
  wchar_t* path;
  unsigned capacity;
} FileInfo;

typedef struct {
  unsigned root;
  const wchar_t* path;
} RegistryInfo;

enum { SETTING_UNITS = 1024 };

static BOOL Setting(const wchar_t* name, wchar_t* value) {
  DWORD length = GetEnvironmentVariableW(name, value, SETTING_UNITS);
  return length > 0 && length < SETTING_UNITS;
}

static void Log(const char* line) {
  wchar_t logPath[SETTING_UNITS];
  if (!Setting(L"RXTEST_EXT_LOG", logPath)) return;
  HANDLE file = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written;
  WriteFile(file, line, (DWORD)strlen(line), &written, NULL);
  CloseHandle(file);
}

/* Dialog keys (Esc, Enter) go through IsDialogMessageW of their window, as
 * in the program's pump; a quit message is dropped as it drops it. */
static void Hold(int ordinal) {
  static BOOL held = FALSE;
  wchar_t value[SETTING_UNITS];
  if (held || !Setting(L"RXTEST_EXT_HOLD", value) || _wtoi(value) != ordinal) return;
  const wchar_t* comma = wcschr(value, L',');
  if (comma == NULL) return;
  held = TRUE;
  wchar_t name[SETTING_UNITS + 8];
  _snwprintf(name, SETTING_UNITS + 7, L"%ls.held", comma + 1);
  name[SETTING_UNITS + 7] = 0;
  HANDLE heldEvent = CreateEventW(NULL, TRUE, FALSE, name);
  HANDLE release = CreateEventW(NULL, TRUE, FALSE, comma + 1);
  if (heldEvent != NULL) SetEvent(heldEvent);
  const DWORD start = GetTickCount();
  while (release != NULL && GetTickCount() - start < 60000) {
    if (MsgWaitForMultipleObjects(1, &release, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0) break;
    MSG message;
    while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;
      HWND root = message.hwnd != NULL ? GetAncestor(message.hwnd, GA_ROOT) : NULL;
      if (root != NULL && IsDialogMessageW(root, &message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  if (release != NULL) CloseHandle(release);
  if (heldEvent != NULL) CloseHandle(heldEvent);
}

static int Plain(void* callbacks, void* argument, int ordinal) {
  (void)callbacks;
  char line[32];
  snprintf(line, sizeof line, "%d %s\n", ordinal, argument != NULL ? "arg" : "null");
  Log(line);
  Hold(ordinal);
  return ordinal;
}

#ifdef RXTEST_WITH_HELPER
__declspec(dllimport) int RxTestHelperValue(void);
#endif

int WINAPI ExtLoaded(void* callbacks, void* argument) {
#ifdef RXTEST_WITH_HELPER
  char line[32];
  snprintf(line, sizeof line, "helper %d\n", RxTestHelperValue());
  Log(line);
#endif
  return Plain(callbacks, argument, 51);
}

int WINAPI ExtUnloading(void* callbacks, void* argument) { return Plain(callbacks, argument, 52); }

int WINAPI ExtBeforeRemoval(void* callbacks, void* argument) { return Plain(callbacks, argument, 53); }

int WINAPI ExtAfterRemoval(void* callbacks, void* argument) { return Plain(callbacks, argument, 56); }

int WINAPI ExtFile(void* callbacks, FileInfo* info) {
  (void)callbacks;
  wchar_t value[SETTING_UNITS];
  if (Setting(L"RXTEST_EXT_VETO_FILE", value) && _wcsicmp(value, info->path) == 0) return 0;
  wchar_t* bar = Setting(L"RXTEST_EXT_REWRITE", value) ? wcschr(value, L'|') : NULL;
  if (bar != NULL) {
    *bar = 0;
    if (_wcsicmp(value, info->path) == 0 && wcslen(bar + 1) < info->capacity) wcscpy(info->path, bar + 1);
  }
  return 1;
}

int WINAPI ExtRegistryEntry(void* callbacks, RegistryInfo* info) {
  (void)callbacks;
  wchar_t value[SETTING_UNITS];
  return !(Setting(L"RXTEST_EXT_VETO_KEY", value) && _wcsicmp(value, info->path) == 0);
}
