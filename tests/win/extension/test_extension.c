/* A stand-in for an installer's extension library, for the tests of the
 * extension host and of the phases that ask it. Written in C and calling
 * the callback interface through its raw table, the way a library built by
 * another compiler does: if the host's object layout or calling convention
 * were off, these calls would crash or read garbage.
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
 *   RXTEST_EXT_LOG           file that every call is appended to, one UTF-8
 *                            line each (formats below)
 *   RXTEST_EXT_VETO_FILE     EXT_FILE returns 0 for this path
 *   RXTEST_EXT_REWRITE       "from|to": EXT_FILE rewrites the path from into
 *                            to (in place, within the given capacity)
 *   RXTEST_EXT_VETO_KEY      EXT_REGISTRY_ENTRY returns 0 for this key path
 *   RXTEST_EXT_EXPAND        text expanded through the ExpandFolderMacros
 *                            callback (260-unit buffer)
 *   RXTEST_EXT_MESSAGE       "slot,index" looked up through GetMessageText
 *   RXTEST_EXT_CALLBACKS_AT  ordinal during which the two callbacks above
 *                            (and Reserved) are called; default 51
 *   RXTEST_EXT_HOLD          "ordinal,name": the first call of that ordinal
 *                            sets the event "name.held", then services the
 *                            thread's windows as the program's own pump
 *                            does until the event "name" is set (at most
 *                            60 s); lets a test look at the windows of a
 *                            run that is half-way through. Before it holds,
 *                            it logs the fonts of the thread's dialogs,
 *                            which another process cannot read
 *
 * Paths and keys compare with ASCII letters folded, as the host does.
 *
 * Log lines:
 *   "<ordinal> null" or "<ordinal> arg"   51, 52, 53, 56
 *   "54 <capacity> <path> -> <result>"     path as received
 *   "54 rewrite <new path>"                after a rewrite
 *   "55 <root, 8 hex digits> <path> -> <result>"
 *   "expand <length> <text>"               callback result and the buffer
 *   "message <text>"
 *   "reserved"                             Reserved returned
 *   "font <id> <face> <height> <weight>"   at a hold, for each visible
 *                                          dialog: id 0 the dialog's own
 *                                          font, then each control's
 */
#include <windows.h>
#include <stdio.h>

typedef struct ExtensionCallbacks ExtensionCallbacks;

/* The table the host's object points to, slot by slot. Member functions of
 * the i686 Windows ABI: thiscall, the object in ECX, callee pops. */
typedef int(__attribute__((thiscall)) * ExpandFolderMacrosSlot)(ExtensionCallbacks* self, wchar_t* dst,
                                                               const wchar_t* src, int count);
typedef const wchar_t*(__attribute__((thiscall)) * GetMessageTextSlot)(ExtensionCallbacks* self, int slot,
                                                                      int index);
typedef void(__attribute__((thiscall)) * ReservedSlot)(ExtensionCallbacks* self, unsigned a, unsigned b,
                                                      unsigned c);
struct CallbackTable {
  ExpandFolderMacrosSlot expandFolderMacros;
  GetMessageTextSlot getMessageText;
  ReservedSlot reserved;
};
struct ExtensionCallbacks {
  const struct CallbackTable* table;
};

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
  if (length == 0 || length >= SETTING_UNITS) {
    value[0] = 0;
    return FALSE;
  }
  return TRUE;
}

static wchar_t Fold(wchar_t c) { return (c >= 'A' && c <= 'Z') ? (wchar_t)(c + 32) : c; }

static BOOL SameText(const wchar_t* a, const wchar_t* b) {
  for (; Fold(*a) == Fold(*b); ++a, ++b) {
    if (*a == 0) return TRUE;
  }
  return FALSE;
}

static void Log(const wchar_t* line) {
  wchar_t logPath[SETTING_UNITS];
  if (!Setting(L"RXTEST_EXT_LOG", logPath)) return;
  char utf8[4 * SETTING_UNITS];
  int bytes = WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, sizeof utf8 - 2, NULL, NULL);
  if (bytes <= 0) return;
  utf8[bytes - 1] = '\n';
  HANDLE file = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written;
  WriteFile(file, utf8, (DWORD)bytes, &written, NULL);
  CloseHandle(file);
}

static void CallCallbacks(ExtensionCallbacks* callbacks, int ordinal) {
  wchar_t value[SETTING_UNITS];
  int at = 51;
  if (Setting(L"RXTEST_EXT_CALLBACKS_AT", value)) at = _wtoi(value);
  if (at != ordinal || callbacks == NULL) return;
  wchar_t line[2 * SETTING_UNITS];
  if (Setting(L"RXTEST_EXT_EXPAND", value)) {
    wchar_t expanded[260];
    int length = callbacks->table->expandFolderMacros(callbacks, expanded, value, 260);
    expanded[259] = 0;
    _snwprintf(line, 2 * SETTING_UNITS - 1, L"expand %d %ls", length, expanded);
    line[2 * SETTING_UNITS - 1] = 0;
    Log(line);
  }
  if (Setting(L"RXTEST_EXT_MESSAGE", value)) {
    int slot = _wtoi(value);
    const wchar_t* comma = wcschr(value, L',');
    int index = comma != NULL ? _wtoi(comma + 1) : 0;
    const wchar_t* text = callbacks->table->getMessageText(callbacks, slot, index);
    _snwprintf(line, 2 * SETTING_UNITS - 1, L"message %ls", text != NULL ? text : L"(null)");
    line[2 * SETTING_UNITS - 1] = 0;
    Log(line);
  }
  if (Setting(L"RXTEST_EXT_EXPAND", value) || Setting(L"RXTEST_EXT_MESSAGE", value)) {
    callbacks->table->reserved(callbacks, 1, 2, 3);
    Log(L"reserved");
  }
}

static BOOL IsDialogWindow(HWND window) {
  wchar_t name[16];
  return window != NULL && GetClassNameW(window, name, 16) && wcscmp(name, L"#32770") == 0;
}

static void LogFont(HWND window, int id) {
  HFONT font = (HFONT)SendMessageW(window, WM_GETFONT, 0, 0);
  LOGFONTW description;
  wchar_t line[128];
  if (font == NULL || GetObjectW(font, sizeof description, &description) != sizeof description) {
    _snwprintf(line, 127, L"font %d none", id);
  } else {
    _snwprintf(line, 127, L"font %d %ls %ld %ld", id, description.lfFaceName, description.lfHeight,
               description.lfWeight);
  }
  line[127] = 0;
  Log(line);
}

static BOOL CALLBACK LogDialogFonts(HWND window, LPARAM unused) {
  (void)unused;
  if (!IsWindowVisible(window) || !IsDialogWindow(window)) return TRUE;
  LogFont(window, 0);
  for (HWND child = GetWindow(window, GW_CHILD); child != NULL; child = GetWindow(child, GW_HWNDNEXT))
    LogFont(child, GetDlgCtrlID(child));
  return TRUE;
}

/* Dialog keys (Esc, Enter) go through IsDialogMessageW of their dialog, as
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
  EnumThreadWindows(GetCurrentThreadId(), LogDialogFonts, 0);
  if (heldEvent != NULL) SetEvent(heldEvent);
  const DWORD start = GetTickCount();
  while (release != NULL && GetTickCount() - start < 60000) {
    if (MsgWaitForMultipleObjects(1, &release, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0) break;
    MSG message;
    while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;
      HWND root = message.hwnd != NULL ? GetAncestor(message.hwnd, GA_ROOT) : NULL;
      if (IsDialogWindow(root) && IsDialogMessageW(root, &message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  if (release != NULL) CloseHandle(release);
  if (heldEvent != NULL) CloseHandle(heldEvent);
}

static int Plain(ExtensionCallbacks* callbacks, void* argument, int ordinal) {
  wchar_t line[32];
  _snwprintf(line, 31, L"%d %ls", ordinal, argument != NULL ? L"arg" : L"null");
  line[31] = 0;
  Log(line);
  CallCallbacks(callbacks, ordinal);
  Hold(ordinal);
  return ordinal;
}

#ifdef RXTEST_WITH_HELPER
__declspec(dllimport) int RxTestHelperValue(void);
#endif

int WINAPI ExtLoaded(ExtensionCallbacks* callbacks, void* argument) {
#ifdef RXTEST_WITH_HELPER
  wchar_t line[32];
  _snwprintf(line, 31, L"helper %d", RxTestHelperValue());
  line[31] = 0;
  Log(line);
#endif
  return Plain(callbacks, argument, 51);
}

int WINAPI ExtUnloading(ExtensionCallbacks* callbacks, void* argument) { return Plain(callbacks, argument, 52); }

int WINAPI ExtBeforeRemoval(ExtensionCallbacks* callbacks, void* argument) {
  return Plain(callbacks, argument, 53);
}

int WINAPI ExtAfterRemoval(ExtensionCallbacks* callbacks, void* argument) {
  return Plain(callbacks, argument, 56);
}

int WINAPI ExtFile(ExtensionCallbacks* callbacks, FileInfo* info) {
  wchar_t value[SETTING_UNITS];
  wchar_t line[2 * SETTING_UNITS];
  int result = 1;
  if (Setting(L"RXTEST_EXT_VETO_FILE", value) && SameText(value, info->path)) result = 0;
  _snwprintf(line, 2 * SETTING_UNITS - 1, L"54 %u %ls -> %d", info->capacity, info->path, result);
  line[2 * SETTING_UNITS - 1] = 0;
  Log(line);
  if (result != 0 && Setting(L"RXTEST_EXT_REWRITE", value)) {
    wchar_t* bar = wcschr(value, L'|');
    if (bar != NULL) {
      *bar = 0;
      if (SameText(value, info->path) && wcslen(bar + 1) < info->capacity) {
        wcscpy(info->path, bar + 1);
        _snwprintf(line, 2 * SETTING_UNITS - 1, L"54 rewrite %ls", info->path);
        line[2 * SETTING_UNITS - 1] = 0;
        Log(line);
      }
    }
  }
  CallCallbacks(callbacks, 54);
  Hold(54);
  return result;
}

int WINAPI ExtRegistryEntry(ExtensionCallbacks* callbacks, RegistryInfo* info) {
  wchar_t value[SETTING_UNITS];
  wchar_t line[2 * SETTING_UNITS];
  int result = 1;
  if (Setting(L"RXTEST_EXT_VETO_KEY", value) && SameText(value, info->path)) result = 0;
  _snwprintf(line, 2 * SETTING_UNITS - 1, L"55 %08X %ls -> %d", info->root, info->path, result);
  line[2 * SETTING_UNITS - 1] = 0;
  Log(line);
  CallCallbacks(callbacks, 55);
  Hold(55);
  return result;
}
