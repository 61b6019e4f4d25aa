#include "platform/system_calls.h"

#include "paths/path_spelling.h"

#include "paths/text_ops.h"
#include "platform/ansi_adapters.h"

namespace {

// The table as the program starts: the wide functions, set before the first
// statement runs. The selection starts from this copy, so a second selection
// (tests only) behaves exactly like the first.
const SystemCallTable kWideTable = {
    ::CreateFileW,
    ::DeleteFileW,
    ::GetFileAttributesW,
    ::SetFileAttributesW,
    ::FindFirstFileW,
    ::FindNextFileW,
    ::RemoveDirectoryW,
    ::SetCurrentDirectoryW,
    ::GetCurrentDirectoryW,
    ::GetModuleFileNameW,
    ::GetWindowsDirectoryW,
    ::GetSystemDirectoryW,
    ::GetTempPathW,
    ::GetShortPathNameW,
    ::WritePrivateProfileStringW,
    ::LoadLibraryExW,
    ::CreateProcessW,
    ::ShellExecuteW,
    ::ShellExecuteExW,
    // Windows 95 without the desktop update has no wide export at all, so
    // this one is looked up in shell32 at run time.
    AnsiSHGetPathFromIDList,
    ::RegOpenKeyExW,
    ::RegQueryValueExW,
    ::RegSetValueExW,
    ::RegDeleteKeyW,
    ::RegDeleteValueW,
    ::RemoveFontResourceW,
    ::RegisterClassW,
    ::CreateWindowExW,
    ::DefWindowProcW,
    ::CreateDialogParamW,
    ::DialogBoxParamW,
    ::IsDialogMessageW,
    ::SetWindowLongW,
    ::SendMessageW,
    ::PeekMessageW,
    ::GetMessageW,
    ::DispatchMessageW,
    ::LoadIconW,
    ::LoadCursorW,
    ::SetWindowTextW,
    ::SetDlgItemTextW,
    ::CreateFontIndirectW,
    ::GetObjectW,
    ::MessageBoxW,
};

HMODULE shellLibrary = nullptr;

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD);
typedef DWORD(WINAPI* GetFinalPathFunction)(HANDLE, LPWSTR, DWORD, DWORD);

// A function of kernel32 that older systems lack, or null.
FARPROC KernelFunction(const char* name) {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  return kernel != nullptr ? GetProcAddress(kernel, name) : nullptr;
}

// The program runs elevated, and its self-removal copy runs from the
// temporary folder, where anyone may have left a "version.dll" or the like.
// Where the platform allows it (Windows 8, and 7/Vista with KB2533623), keep
// every later load by bare name out of the program's folder and the current
// folder. Older systems lack the export; there the full paths and the
// altered search order of LoadLibraryByPath are the protection.
void RestrictLibrarySearch() {
  SetDefaultDllDirectoriesFunction setDefault =
      (SetDefaultDllDirectoriesFunction)(void*)KernelFunction("SetDefaultDllDirectories");
  if (setDefault != nullptr) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// Every entry but MessageBoxW, which works on both families. The direct ANSI
// functions take the same arguments: the dialogs, icons and cursors are named
// by integer resource identifiers, and the messages sent carry no text.
template <typename Entry, typename Function>
void Switch(Entry& entry, Function* function) {
  entry = reinterpret_cast<Entry>(function);
}

void SwitchToAnsi(SystemCallTable& t) {
  t.CreateFileW = AnsiCreateFile;
  t.DeleteFileW = AnsiDeleteFile;
  t.GetFileAttributesW = AnsiGetFileAttributes;
  t.SetFileAttributesW = AnsiSetFileAttributes;
  t.FindFirstFileW = AnsiFindFirstFile;
  t.FindNextFileW = AnsiFindNextFile;
  t.RemoveDirectoryW = AnsiRemoveDirectory;
  t.SetCurrentDirectoryW = AnsiSetCurrentDirectory;
  t.GetCurrentDirectoryW = AnsiGetCurrentDirectory;
  t.GetModuleFileNameW = AnsiGetModuleFileName;
  t.GetWindowsDirectoryW = AnsiGetWindowsDirectory;
  t.GetSystemDirectoryW = AnsiGetSystemDirectory;
  t.GetTempPathW = AnsiGetTempPath;
  t.GetShortPathNameW = AnsiGetShortPathName;
  t.WritePrivateProfileStringW = AnsiWritePrivateProfileString;
  t.LoadLibraryExW = AnsiLoadLibraryEx;
  t.CreateProcessW = AnsiCreateProcess;
  t.ShellExecuteW = AnsiShellExecute;
  t.ShellExecuteExW = AnsiShellExecuteEx;
  t.SHGetPathFromIDListW = AnsiSHGetPathFromIDList;
  t.RegOpenKeyExW = AnsiRegOpenKeyEx;
  t.RegQueryValueExW = AnsiRegQueryValueEx;
  t.RegSetValueExW = AnsiRegSetValueEx;
  t.RegDeleteKeyW = AnsiRegDeleteKey;
  t.RegDeleteValueW = AnsiRegDeleteValue;
  t.RemoveFontResourceW = AnsiRemoveFontResource;
  t.RegisterClassW = AnsiRegisterClass;
  t.CreateWindowExW = AnsiCreateWindowEx;
  Switch(t.DefWindowProcW, ::DefWindowProcA);
  Switch(t.CreateDialogParamW, ::CreateDialogParamA);
  Switch(t.DialogBoxParamW, ::DialogBoxParamA);
  Switch(t.IsDialogMessageW, ::IsDialogMessageA);
  Switch(t.SetWindowLongW, ::SetWindowLongA);
  Switch(t.SendMessageW, ::SendMessageA);
  Switch(t.PeekMessageW, ::PeekMessageA);
  Switch(t.GetMessageW, ::GetMessageA);
  Switch(t.DispatchMessageW, ::DispatchMessageA);
  Switch(t.LoadIconW, ::LoadIconA);
  Switch(t.LoadCursorW, ::LoadCursorA);
  t.SetWindowTextW = AnsiSetWindowText;
  t.SetDlgItemTextW = AnsiSetDlgItemText;
  t.CreateFontIndirectW = AnsiCreateFontIndirect;
  t.GetObjectW = AnsiGetObject;
}

}  // namespace

SystemCallTable sys = kWideTable;

void SelectSystemCalls() {
  RestrictLibrarySearch();
  // Called directly: on the ANSI family the wide function is a stub that
  // fails, and that failure is the whole test. 276 is the size of
  // OSVERSIONINFOW.
  OSVERSIONINFOW version;
  ZeroMemory(&version, sizeof version);
  version.dwOSVersionInfoSize = 276;
  SelectSystemCallsForPlatform(GetVersionExW(&version) != FALSE);
}

void SelectSystemCallsForPlatform(bool widePlatform) {
  ReleaseSystemCalls();
  sys = kWideTable;
  if (!widePlatform) {
    SwitchToAnsi(sys);
    return;
  }
  shellLibrary = LoadSystemLibrary(L"shell32.dll");
  if (shellLibrary == nullptr) return;
  FARPROC wide = GetProcAddress(shellLibrary, "SHGetPathFromIDListW");
  if (wide != nullptr) Switch(sys.SHGetPathFromIDListW, (void*)wide);
}

void ReleaseSystemCalls() {
  if (shellLibrary != nullptr) FreeLibrary(shellLibrary);
  shellLibrary = nullptr;
}

HMODULE ShellLibraryHandle() { return shellLibrary; }

HMODULE LoadSystemLibrary(const wchar_t* name) {
  wchar_t path[RX_MAX_PATH];
  // The count excludes the terminator on success; 0 or one at least the
  // buffer's size means no usable path.
  UINT length = sys.GetSystemDirectoryW(path, RX_MAX_PATH);
  if (length == 0 || length >= RX_MAX_PATH) return nullptr;
  if (!AppendText(path, RX_MAX_PATH, L"\\") || !AppendText(path, RX_MAX_PATH, name)) return nullptr;
  return LoadLibraryByPath(path, true);
}

HMODULE LoadLibraryByPath(const wchar_t* path, bool ownFolder) {
  // The search flags came with SetDefaultDllDirectories, and need a full
  // path: a relative one is refused as an invalid parameter.
  DWORD flags = ownFolder ? LOAD_WITH_ALTERED_SEARCH_PATH : 0;
  if (KernelFunction("SetDefaultDllDirectories") != nullptr)
    flags = LOAD_LIBRARY_SEARCH_SYSTEM32 | (ownFolder ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR : 0);
  HMODULE loaded = sys.LoadLibraryExW(path, nullptr, flags);
  if (loaded == nullptr && flags != 0 && GetLastError() == ERROR_INVALID_PARAMETER)
    loaded = sys.LoadLibraryExW(path, nullptr, 0);
  return loaded;
}

bool GetFinalPath(HANDLE handle, wchar_t* path) {
  GetFinalPathFunction finalPath = (GetFinalPathFunction)(void*)KernelFunction("GetFinalPathNameByHandleW");
  // "\\?\UNC\server\..." is 6 units longer than "\\server\...".
  wchar_t found[RX_MAX_PATH + 6];
  const DWORD length = finalPath != nullptr ? finalPath(handle, found, RX_MAX_PATH + 6, 0) : 0;
  if (length == 0 || length >= RX_MAX_PATH + 6) return false;
  if (StripDevicePrefix(found) == SPELLING_UNKNOWN_DEVICE) return false;
  return CopyText(path, RX_MAX_PATH, found);
}
