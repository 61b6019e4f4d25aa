// The system-call table: every text-bearing system call of the program, and
// every call whose behaviour follows the character set of a window, goes
// through `sys`. On the NT family the entries are the wide functions; on the
// ANSI-only family (Windows 9x, where most wide functions are stubs that fail)
// they are switched once, at start-up, to the ANSI functions or to adapters
// that convert the text on the way in and out.
#pragma once
#include <windows.h>
#include <shellapi.h>

// As shlobj.h declares it (PCIDLIST_ABSOLUTE is a const _ITEMIDLIST*); that
// header, and even shtypes.h, pull in the COM base types and multiply the
// compile time of every file that makes a system call.
struct _ITEMIDLIST;
extern "C" __declspec(dllimport) BOOL WINAPI SHGetPathFromIDListW(const _ITEMIDLIST* list, LPWSTR path);

struct SystemCallTable {
  // Files and folders.
  decltype(&::CreateFileW) CreateFileW;
  decltype(&::DeleteFileW) DeleteFileW;
  decltype(&::GetFileAttributesW) GetFileAttributesW;
  decltype(&::SetFileAttributesW) SetFileAttributesW;
  decltype(&::FindFirstFileW) FindFirstFileW;
  decltype(&::FindNextFileW) FindNextFileW;
  decltype(&::RemoveDirectoryW) RemoveDirectoryW;
  decltype(&::SetCurrentDirectoryW) SetCurrentDirectoryW;
  decltype(&::GetCurrentDirectoryW) GetCurrentDirectoryW;
  decltype(&::GetModuleFileNameW) GetModuleFileNameW;
  decltype(&::GetWindowsDirectoryW) GetWindowsDirectoryW;
  decltype(&::GetSystemDirectoryW) GetSystemDirectoryW;
  decltype(&::GetTempPathW) GetTempPathW;
  decltype(&::GetShortPathNameW) GetShortPathNameW;
  decltype(&::WritePrivateProfileStringW) WritePrivateProfileStringW;
  // Modules, processes and the shell.
  decltype(&::LoadLibraryExW) LoadLibraryExW;
  decltype(&::CreateProcessW) CreateProcessW;
  decltype(&::ShellExecuteW) ShellExecuteW;
  decltype(&::ShellExecuteExW) ShellExecuteExW;
  decltype(&::SHGetPathFromIDListW) SHGetPathFromIDListW;
  // Registry.
  decltype(&::RegOpenKeyExW) RegOpenKeyExW;
  decltype(&::RegQueryValueExW) RegQueryValueExW;
  decltype(&::RegSetValueExW) RegSetValueExW;
  decltype(&::RegDeleteKeyW) RegDeleteKeyW;
  decltype(&::RegDeleteValueW) RegDeleteValueW;
  // Fonts.
  decltype(&::RemoveFontResourceW) RemoveFontResourceW;
  // Windows, dialogs and the message loop.
  decltype(&::RegisterClassW) RegisterClassW;
  decltype(&::CreateWindowExW) CreateWindowExW;
  decltype(&::DefWindowProcW) DefWindowProcW;
  decltype(&::CreateDialogParamW) CreateDialogParamW;
  decltype(&::DialogBoxParamW) DialogBoxParamW;
  decltype(&::IsDialogMessageW) IsDialogMessageW;
  decltype(&::SetWindowLongW) SetWindowLongW;
  decltype(&::SendMessageW) SendMessageW;
  decltype(&::PeekMessageW) PeekMessageW;
  decltype(&::GetMessageW) GetMessageW;
  decltype(&::DispatchMessageW) DispatchMessageW;
  decltype(&::LoadIconW) LoadIconW;
  decltype(&::LoadCursorW) LoadCursorW;
  decltype(&::SetWindowTextW) SetWindowTextW;
  decltype(&::SetDlgItemTextW) SetDlgItemTextW;
  decltype(&::CreateFontIndirectW) CreateFontIndirectW;
  decltype(&::GetObjectW) GetObjectW;
  // Works on both families, so never switched.
  decltype(&::MessageBoxW) MessageBoxW;
};

// The one table of the process. Holds the wide functions from static
// initialisation on (SHGetPathFromIDListW: its ANSI adapter until
// SelectSystemCalls finds the wide export in shell32).
extern SystemCallTable sys;

// First step of the program: restricts library loading to the system folder
// where the platform allows it, then fills the table for the platform family.
void SelectSystemCalls();

// Last step of the program: frees the shell library loaded by the selection.
void ReleaseSystemCalls();

// Fills the table for a given family: SelectSystemCalls passes whether
// GetVersionExW worked. Tests force the ANSI table with false and restore the
// wide one with true; the program itself never forces it. Starts from the
// statically initialised table, so it may be called again.
void SelectSystemCallsForPlatform(bool widePlatform);

// The shell library loaded by the selection, or null.
HMODULE ShellLibraryHandle();

// Loads a library of the system folder by its full path, so that no file of
// the same name beside the program (the self-removal copy runs from the
// temporary folder) or in the current folder is loaded instead, nor any of
// its own dependencies. Null when the system folder's path plus the name
// would not fit in 260 characters, or the load fails.
HMODULE LoadSystemLibrary(const wchar_t* name);

// Loads the library at path (a full path). The libraries it imports come
// from the system folder and, with ownFolder, from its own folder first;
// never from the program's folder or the current one. Where the platform
// restricts the search (SetDefaultDllDirectories) that takes the search
// flags of LoadLibraryEx; elsewhere the altered search order puts the
// library's own folder where the program's would be, and without ownFolder
// the plain search applies.
HMODULE LoadLibraryByPath(const wchar_t* path, bool ownFolder);

// The path of the file or folder that handle is open on, as it lies on its
// volume ("C:\..." or "\\server\share\..."): no link and no short name
// on the way. False where the system cannot tell (before Windows Vista, and
// on the ANSI family) or the path does not fit in 260 units.
bool GetFinalPath(HANDLE handle, wchar_t* path);

// A new heap block (memory.h; the caller releases it with MemRelease) holding
// the text in the given code page, or null for a null text or when the block
// cannot be allocated.
char* WideToAnsiCopy(const wchar_t* text, UINT codePage);

// Converts the ANSI text (CP_ACP) into `output` and terminates it; gives the
// number of wide characters written, without the terminator. The output must
// hold the text's byte length plus one wide character, which no conversion
// exceeds. A null output or text gives 0 and writes nothing.
int AnsiToWide(wchar_t* output, const char* text);

