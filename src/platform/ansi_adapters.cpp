// The ANSI adapters: each converts its text arguments to the ANSI code page,
// calls the ANSI function and converts text results back. Only the Windows 9x
// family uses them; the NT family calls the wide functions directly.
//
// A text argument that cannot be copied fails the call with the function's
// own failure result, without calling it:
//  - the heap is exhausted: ERROR_NOT_ENOUGH_MEMORY. Passing null on instead
//    would change the meaning of the call: a null value name is the key's
//    default value, a null profile value deletes the key, a null command line
//    starts the program without its arguments;
//  - a name (of a file, folder, search pattern, library, registry key or
//    value, or a program and its arguments) that the code page cannot spell:
//    ERROR_NO_UNICODE_TRANSLATION. Its converted form would name something
//    else: "?" is a wildcard, and a look-alike letter names the neighbouring
//    file or key, which a deletion would then remove. Texts that are only
//    shown (window and dialog texts, window classes, font faces) are
//    converted as well as the code page allows.
#include "platform/ansi_adapters.h"

#include <shlobj.h>
#include <string.h>

#include "payload/memory.h"

namespace {

// Size of the ANSI functions' own path buffers, and the size they are told.
const DWORD kAnsiPathBytes = 260;

enum Spelling { NAME_EXACT, SHOWN_TEXT };

// The ANSI copy of one text argument, released when it goes out of scope.
// A null argument stays null.
struct AnsiText {
  char* text = nullptr;
  DWORD error = 0;  // why there is no copy of a text that is not null

  explicit AnsiText(const wchar_t* wide, Spelling spelling = NAME_EXACT) {
    if (wide == nullptr) return;
    if (spelling == NAME_EXACT && !SpelledExactly(wide, CP_ACP)) {
      error = ERROR_NO_UNICODE_TRANSLATION;
      return;
    }
    text = WideToAnsiCopy(wide, CP_ACP);
    if (text == nullptr) error = ERROR_NOT_ENOUGH_MEMORY;
  }
  ~AnsiText() { MemRelease(&text); }
  AnsiText(const AnsiText&) = delete;
  AnsiText& operator=(const AnsiText&) = delete;

  // For adapters that report through the last error.
  bool Failed() const {
    if (error != 0) SetLastError(error);
    return error != 0;
  }
};

// The shape of most adapters: `call` gets the ANSI copy of the one text
// argument. A text that cannot be copied fails with `failure`, the reason
// left as the last error, and `call` is not made.
template <typename Result, typename Call>
Result WithAnsiText(LPCWSTR text, Result failure, Call call, Spelling spelling = NAME_EXACT) {
  AnsiText ansi(text, spelling);
  if (ansi.Failed()) return failure;
  return call(ansi.text);
}

// The same for the registry functions, which give the reason as their result.
template <typename Call>
LONG WithAnsiRegistryName(LPCWSTR name, Call call) {
  AnsiText ansi(name);
  if (ansi.error != 0) return (LONG)ansi.error;
  return call(ansi.text);
}

// Class names may be atoms (MAKEINTATOM) rather than texts; those pass as
// they are.
struct AnsiClassName {
  AnsiText copy;
  const char* name;

  explicit AnsiClassName(const wchar_t* wide)
      : copy(IS_INTRESOURCE(wide) ? nullptr : wide, SHOWN_TEXT),
        name(IS_INTRESOURCE(wide) ? (const char*)wide : copy.text) {}
  bool Failed() const { return copy.Failed(); }
};

// The failure result of the shell's execute functions for an argument that
// could not be copied.
HINSTANCE ExecuteFailure(const AnsiText& a, const AnsiText& b, const AnsiText& c, const AnsiText& d) {
  if (a.Failed() || b.Failed() || c.Failed() || d.Failed()) {
    return (HINSTANCE)(INT_PTR)(GetLastError() == ERROR_NOT_ENOUGH_MEMORY ? SE_ERR_OOM : SE_ERR_FNF);
  }
  return nullptr;
}

// Puts the result of an ANSI text-output call (260-byte buffer, terminated)
// into the caller's buffer of `capacity` wide characters. A failed call (0)
// or one whose text did not fit the ANSI buffer (260 or more) leaves the
// empty string. A wide text too long for the caller's buffer leaves the empty
// string too, and gives the size it needs, terminator included, as the wide
// functions do. Otherwise the result is the ANSI call's count.
DWORD ReturnAnsiText(DWORD ansiCount, const char* ansi, LPWSTR buffer, DWORD capacity) {
  if (ansiCount == 0 || ansiCount >= kAnsiPathBytes) {
    if (buffer != nullptr && capacity > 0) buffer[0] = 0;
    return ansiCount;
  }
  DWORD length = 0;
  if (!AnsiToWideBounded(buffer, capacity, ansi, &length)) return length;
  return ansiCount;
}

void CopyFindData(const WIN32_FIND_DATAA& ansi, WIN32_FIND_DATAW* wide) {
  wide->dwFileAttributes = ansi.dwFileAttributes;
  wide->ftCreationTime = ansi.ftCreationTime;
  wide->ftLastAccessTime = ansi.ftLastAccessTime;
  wide->ftLastWriteTime = ansi.ftLastWriteTime;
  wide->nFileSizeHigh = ansi.nFileSizeHigh;
  wide->nFileSizeLow = ansi.nFileSizeLow;
  wide->dwReserved0 = ansi.dwReserved0;
  wide->dwReserved1 = ansi.dwReserved1;
  // Names are at most 259 and 13 bytes, which always fit the wide fields;
  // the bounded conversion only guards against a record that breaks that.
  char name[sizeof ansi.cFileName + 1];
  char shortName[sizeof ansi.cAlternateFileName + 1];
  memcpy(name, ansi.cFileName, sizeof ansi.cFileName);
  name[sizeof ansi.cFileName] = 0;
  memcpy(shortName, ansi.cAlternateFileName, sizeof ansi.cAlternateFileName);
  shortName[sizeof ansi.cAlternateFileName] = 0;
  DWORD length = 0;
  AnsiToWideBounded(wide->cFileName, MAX_PATH, name, &length);
  AnsiToWideBounded(wide->cAlternateFileName, 14, shortName, &length);
}

// LOGFONTW and LOGFONTA share their first 28 bytes: five LONGs, then eight
// BYTEs. Only the 32-character face name differs.
void CopyFontMetrics(const LOGFONTW& from, LOGFONTA* to) {
  to->lfHeight = from.lfHeight;
  to->lfWidth = from.lfWidth;
  to->lfEscapement = from.lfEscapement;
  to->lfOrientation = from.lfOrientation;
  to->lfWeight = from.lfWeight;
  to->lfItalic = from.lfItalic;
  to->lfUnderline = from.lfUnderline;
  to->lfStrikeOut = from.lfStrikeOut;
  to->lfCharSet = from.lfCharSet;
  to->lfOutPrecision = from.lfOutPrecision;
  to->lfClipPrecision = from.lfClipPrecision;
  to->lfQuality = from.lfQuality;
  to->lfPitchAndFamily = from.lfPitchAndFamily;
}

void CopyFontMetrics(const LOGFONTA& from, LOGFONTW* to) {
  to->lfHeight = from.lfHeight;
  to->lfWidth = from.lfWidth;
  to->lfEscapement = from.lfEscapement;
  to->lfOrientation = from.lfOrientation;
  to->lfWeight = from.lfWeight;
  to->lfItalic = from.lfItalic;
  to->lfUnderline = from.lfUnderline;
  to->lfStrikeOut = from.lfStrikeOut;
  to->lfCharSet = from.lfCharSet;
  to->lfOutPrecision = from.lfOutPrecision;
  to->lfClipPrecision = from.lfClipPrecision;
  to->lfQuality = from.lfQuality;
  to->lfPitchAndFamily = from.lfPitchAndFamily;
}

// The face name is converted up to its terminator and the rest of the field
// zero-filled. Converting all 32 characters as one block, padding included,
// overflows the 32 bytes on a double-byte code page as soon as the name
// holds a double-byte character (the padding alone then needs the rest), and
// the conversion then fails.
void ConvertFaceName(const WCHAR (&from)[LF_FACESIZE], CHAR (&to)[LF_FACESIZE]) {
  memset(to, 0, sizeof to);
  int length = 0;
  while (length < LF_FACESIZE - 1 && from[length] != 0) ++length;
  if (length == 0) return;
  if (WideCharToMultiByte(CP_ACP, 0, from, length, to, LF_FACESIZE - 1, nullptr, nullptr) == 0) {
    memset(to, 0, sizeof to);
  }
}

void ConvertFaceName(const CHAR (&from)[LF_FACESIZE], WCHAR (&to)[LF_FACESIZE]) {
  memset(to, 0, sizeof to);
  int length = 0;
  while (length < LF_FACESIZE - 1 && from[length] != 0) ++length;
  if (length == 0) return;
  // Fewer characters than bytes, so 31 bytes always fit.
  MultiByteToWideChar(CP_ACP, 0, from, length, to, LF_FACESIZE - 1);
}

}  // namespace

HANDLE WINAPI AnsiCreateFile(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                             DWORD disposition, DWORD flags, HANDLE templateFile) {
  return WithAnsiText(path, INVALID_HANDLE_VALUE, [&](LPCSTR ansiPath) {
    return CreateFileA(ansiPath, access, share, security, disposition, flags, templateFile);
  });
}

BOOL WINAPI AnsiDeleteFile(LPCWSTR path) { return WithAnsiText(path, FALSE, DeleteFileA); }

DWORD WINAPI AnsiGetFileAttributes(LPCWSTR path) {
  return WithAnsiText(path, INVALID_FILE_ATTRIBUTES, GetFileAttributesA);
}

BOOL WINAPI AnsiSetFileAttributes(LPCWSTR path, DWORD attributes) {
  return WithAnsiText(path, FALSE, [&](LPCSTR ansiPath) { return SetFileAttributesA(ansiPath, attributes); });
}

HANDLE WINAPI AnsiFindFirstFile(LPCWSTR pattern, LPWIN32_FIND_DATAW data) {
  return WithAnsiText(pattern, INVALID_HANDLE_VALUE, [&](LPCSTR ansiPattern) {
    WIN32_FIND_DATAA found;
    memset(&found, 0, sizeof found);
    HANDLE search = FindFirstFileA(ansiPattern, &found);
    if (search != INVALID_HANDLE_VALUE) CopyFindData(found, data);
    return search;
  });
}

BOOL WINAPI AnsiFindNextFile(HANDLE search, LPWIN32_FIND_DATAW data) {
  WIN32_FIND_DATAA found;
  memset(&found, 0, sizeof found);
  BOOL result = FindNextFileA(search, &found);
  if (result) CopyFindData(found, data);
  return result;
}

BOOL WINAPI AnsiRemoveDirectory(LPCWSTR path) { return WithAnsiText(path, FALSE, RemoveDirectoryA); }

BOOL WINAPI AnsiSetCurrentDirectory(LPCWSTR path) { return WithAnsiText(path, FALSE, SetCurrentDirectoryA); }

DWORD WINAPI AnsiGetCurrentDirectory(DWORD size, LPWSTR buffer) {
  char ansi[kAnsiPathBytes + 1] = {0};
  DWORD count = GetCurrentDirectoryA(kAnsiPathBytes, ansi);
  if (count == 0 || count >= kAnsiPathBytes) {
    if (buffer != nullptr && size > 0) buffer[0] = 0;
    return count;
  }
  // The caller counts wide characters, which on a double-byte code page are
  // fewer than the ANSI bytes.
  DWORD length = 0;
  AnsiToWideBounded(buffer, size, ansi, &length);
  return length;
}

DWORD WINAPI AnsiGetModuleFileName(HMODULE module, LPWSTR buffer, DWORD size) {
  // GetModuleFileNameA on XP leaves a text that fills the buffer
  // unterminated; the spare zero byte terminates it.
  char ansi[kAnsiPathBytes + 1] = {0};
  DWORD count = GetModuleFileNameA(module, ansi, kAnsiPathBytes);
  if (count == 0 || count >= kAnsiPathBytes) {
    if (buffer != nullptr && size > 0) buffer[0] = 0;
    return count;
  }
  DWORD length = 0;
  if (!AnsiToWideBounded(buffer, size, ansi, &length)) {
    // The wide function fills a short buffer and gives its size.
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  return count;
}

UINT WINAPI AnsiGetWindowsDirectory(LPWSTR buffer, UINT size) {
  char ansi[kAnsiPathBytes + 1] = {0};
  return ReturnAnsiText(GetWindowsDirectoryA(ansi, kAnsiPathBytes), ansi, buffer, size);
}

UINT WINAPI AnsiGetSystemDirectory(LPWSTR buffer, UINT size) {
  char ansi[kAnsiPathBytes + 1] = {0};
  return ReturnAnsiText(GetSystemDirectoryA(ansi, kAnsiPathBytes), ansi, buffer, size);
}

DWORD WINAPI AnsiGetTempPath(DWORD size, LPWSTR buffer) {
  char ansi[kAnsiPathBytes + 1] = {0};
  return ReturnAnsiText(GetTempPathA(kAnsiPathBytes, ansi), ansi, buffer, size);
}

DWORD WINAPI AnsiGetShortPathName(LPCWSTR longPath, LPWSTR shortPath, DWORD size) {
  return WithAnsiText(longPath, DWORD(0), [&](LPCSTR ansiLong) {
    char ansi[kAnsiPathBytes + 1] = {0};
    return ReturnAnsiText(GetShortPathNameA(ansiLong, ansi, kAnsiPathBytes), ansi, shortPath, size);
  });
}

BOOL WINAPI AnsiWritePrivateProfileString(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file) {
  AnsiText ansiSection(section), ansiKey(key), ansiValue(value), ansiFile(file);
  if (ansiSection.Failed() || ansiKey.Failed() || ansiValue.Failed() || ansiFile.Failed()) return FALSE;
  return WritePrivateProfileStringA(ansiSection.text, ansiKey.text, ansiValue.text, ansiFile.text);
}

HMODULE WINAPI AnsiLoadLibraryEx(LPCWSTR path, HANDLE reserved, DWORD flags) {
  return WithAnsiText(path, HMODULE(nullptr),
                      [&](LPCSTR ansiPath) { return LoadLibraryExA(ansiPath, reserved, flags); });
}

BOOL WINAPI AnsiCreateProcess(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processSecurity,
                              LPSECURITY_ATTRIBUTES threadSecurity, BOOL inheritHandles, DWORD flags,
                              LPVOID environment, LPCWSTR folder, LPSTARTUPINFOW startup,
                              LPPROCESS_INFORMATION process) {
  AnsiText ansiApplication(application), ansiCommandLine(commandLine), ansiFolder(folder);
  if (ansiApplication.Failed() || ansiCommandLine.Failed() || ansiFolder.Failed()) return FALSE;
  // The callers leave the text fields of STARTUPINFOW null; the rest of the
  // record is laid out as STARTUPINFOA.
  return CreateProcessA(ansiApplication.text, ansiCommandLine.text, processSecurity, threadSecurity,
                        inheritHandles, flags, environment, ansiFolder.text, (LPSTARTUPINFOA)startup,
                        process);
}

HINSTANCE WINAPI AnsiShellExecute(HWND window, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                                  LPCWSTR folder, INT show) {
  AnsiText ansiVerb(verb), ansiFile(file), ansiParameters(parameters), ansiFolder(folder);
  if (HINSTANCE failure = ExecuteFailure(ansiVerb, ansiFile, ansiParameters, ansiFolder)) return failure;
  return ShellExecuteA(window, ansiVerb.text, ansiFile.text, ansiParameters.text, ansiFolder.text, show);
}

BOOL WINAPI AnsiShellExecuteEx(SHELLEXECUTEINFOW* info) {
  AnsiText ansiVerb(info->lpVerb), ansiFile(info->lpFile), ansiParameters(info->lpParameters),
      ansiFolder(info->lpDirectory);
  if (HINSTANCE failure = ExecuteFailure(ansiVerb, ansiFile, ansiParameters, ansiFolder)) {
    info->hInstApp = failure;
    return FALSE;
  }
  // Both records are 60 bytes of the same layout; only the texts differ.
  static_assert(sizeof(SHELLEXECUTEINFOA) == sizeof(SHELLEXECUTEINFOW), "execute records differ");
  SHELLEXECUTEINFOA ansi;
  memcpy(&ansi, info, sizeof ansi);
  ansi.lpVerb = ansiVerb.text;
  ansi.lpFile = ansiFile.text;
  ansi.lpParameters = ansiParameters.text;
  ansi.lpDirectory = ansiFolder.text;
  BOOL result = ShellExecuteExA(&ansi);
  // The launcher waits on hProcess: it must reach the caller's record.
  info->hInstApp = ansi.hInstApp;
  info->hProcess = ansi.hProcess;
  return result;
}

BOOL WINAPI AnsiSHGetPathFromIDList(const _ITEMIDLIST* list, LPWSTR path) {
  // The ANSI function writes up to MAX_PATH bytes; the spare bytes keep the
  // text terminated whatever it does.
  char ansi[264] = {0};
  BOOL result = SHGetPathFromIDListA(list, ansi);
  ansi[263] = 0;
  DWORD length = 0;
  if (!result || !AnsiToWideBounded(path, MAX_PATH, ansi, &length)) path[0] = 0;
  return result;
}

LONG WINAPI AnsiRegOpenKeyEx(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result) {
  return WithAnsiRegistryName(
      subKey, [&](LPCSTR ansiSubKey) { return RegOpenKeyExA(key, ansiSubKey, options, access, result); });
}

LONG WINAPI AnsiRegQueryValueEx(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                LPDWORD count) {
  AnsiText ansiName(name);
  if (ansiName.error != 0) return (LONG)ansiName.error;
  if (data == nullptr || count == nullptr) {
    return RegQueryValueExA(key, ansiName.text, reserved, type, data, count);
  }
  DWORD valueType = 0;
  DWORD ansiSize = 0;
  LONG status = RegQueryValueExA(key, ansiName.text, nullptr, &valueType, nullptr, &ansiSize);
  if (status != ERROR_SUCCESS || (valueType != REG_SZ && valueType != REG_EXPAND_SZ)) {
    // Numbers and raw bytes are read as they are.
    return RegQueryValueExA(key, ansiName.text, reserved, type, data, count);
  }
  if (type != nullptr) *type = valueType;
  // Each ANSI byte gives at most one wide character. An empty value still
  // needs room for the terminator the caller is given.
  DWORD needed = ansiSize * 2 < 2 ? 2 : ansiSize * 2;
  if (*count < needed) {
    *count = needed;
    return ERROR_MORE_DATA;
  }
  LPWSTR wide = (LPWSTR)data;
  DWORD capacity = *count / 2;
  wide[0] = 0;
  char* block = nullptr;
  if (!MemAllocZeroed((size_t)ansiSize + 1, &block)) {
    *count = 2;
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  DWORD readSize = ansiSize;
  status = RegQueryValueExA(key, ansiName.text, reserved, type, (LPBYTE)block, &readSize);
  if (status != ERROR_SUCCESS) {
    MemRelease(&block);
    *count = 2;
    return status;
  }
  // A value stored without its terminator converts to one character more
  // than its bytes; the block's spare zero byte ends the text.
  DWORD length = 0;
  bool fits = AnsiToWideBounded(wide, capacity, block, &length);
  MemRelease(&block);
  if (!fits) {
    *count = length * 2;
    return ERROR_MORE_DATA;
  }
  *count = length * 2 + 2;
  return ERROR_SUCCESS;
}

LONG WINAPI AnsiRegSetValueEx(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                              DWORD count) {
  AnsiText ansiName(name);
  if (ansiName.error != 0) return (LONG)ansiName.error;
  if (type != REG_SZ && type != REG_EXPAND_SZ) {
    return RegSetValueExA(key, ansiName.text, reserved, type, data, count);
  }
  // String data is stored, not looked up: it is converted as well as the
  // code page allows.
  AnsiText ansiData((LPCWSTR)data, SHOWN_TEXT);
  if (ansiData.error != 0) return (LONG)ansiData.error;
  // The caller's count is in wide bytes; the ANSI text sets its own.
  DWORD ansiCount = ansiData.text == nullptr ? 0 : (DWORD)strlen(ansiData.text) + 1;
  return RegSetValueExA(key, ansiName.text, reserved, type, (const BYTE*)ansiData.text, ansiCount);
}

LONG WINAPI AnsiRegDeleteKey(HKEY key, LPCWSTR subKey) {
  return WithAnsiRegistryName(subKey, [&](LPCSTR ansiSubKey) { return RegDeleteKeyA(key, ansiSubKey); });
}

LONG WINAPI AnsiRegDeleteValue(HKEY key, LPCWSTR name) {
  return WithAnsiRegistryName(name, [&](LPCSTR ansiName) { return RegDeleteValueA(key, ansiName); });
}

int WINAPI AnsiRemoveFontResource(LPCWSTR path) { return WithAnsiText(path, 0, RemoveFontResourceA); }

ATOM WINAPI AnsiRegisterClass(const WNDCLASSW* windowClass) {
  AnsiClassName className(windowClass->lpszClassName);
  if (className.Failed()) return 0;
  WNDCLASSA ansi;
  ansi.style = windowClass->style;
  ansi.lpfnWndProc = windowClass->lpfnWndProc;
  ansi.cbClsExtra = windowClass->cbClsExtra;
  ansi.cbWndExtra = windowClass->cbWndExtra;
  ansi.hInstance = windowClass->hInstance;
  ansi.hIcon = windowClass->hIcon;
  ansi.hCursor = windowClass->hCursor;
  ansi.hbrBackground = windowClass->hbrBackground;
  // The program registers no menu; an integer resource id passes as it is.
  ansi.lpszMenuName = (LPCSTR)windowClass->lpszMenuName;
  ansi.lpszClassName = className.name;
  return RegisterClassA(&ansi);
}

HWND WINAPI AnsiCreateWindowEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                               int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                               LPVOID parameter) {
  AnsiClassName ansiClass(className);
  AnsiText ansiWindowName(windowName, SHOWN_TEXT);
  if (ansiClass.Failed() || ansiWindowName.Failed()) return nullptr;
  return CreateWindowExA(exStyle, ansiClass.name, ansiWindowName.text, style, x, y, width, height, parent,
                         menu, instance, parameter);
}

BOOL WINAPI AnsiSetWindowText(HWND window, LPCWSTR text) {
  return WithAnsiText(text, FALSE, [&](LPCSTR ansiText) { return SetWindowTextA(window, ansiText); }, SHOWN_TEXT);
}

BOOL WINAPI AnsiSetDlgItemText(HWND dialog, int item, LPCWSTR text) {
  return WithAnsiText(
      text, FALSE, [&](LPCSTR ansiText) { return SetDlgItemTextA(dialog, item, ansiText); }, SHOWN_TEXT);
}

HFONT WINAPI AnsiCreateFontIndirect(const LOGFONTW* font) {
  if (font == nullptr) return CreateFontIndirectA(nullptr);
  LOGFONTA ansi;
  memset(&ansi, 0, sizeof ansi);
  CopyFontMetrics(*font, &ansi);
  ConvertFaceName(font->lfFaceName, ansi.lfFaceName);
  return CreateFontIndirectA(&ansi);
}

int WINAPI AnsiGetObject(HANDLE object, int size, LPVOID buffer) {
  if (size != (int)sizeof(LOGFONTW)) return GetObjectA(object, size, buffer);
  LOGFONTA ansi;
  memset(&ansi, 0, sizeof ansi);
  int result = GetObjectA(object, sizeof ansi, &ansi);
  if (result != 0 && buffer != nullptr) {
    LOGFONTW* wide = (LOGFONTW*)buffer;
    CopyFontMetrics(ansi, wide);
    ConvertFaceName(ansi.lfFaceName, wide->lfFaceName);
  }
  return result;
}
