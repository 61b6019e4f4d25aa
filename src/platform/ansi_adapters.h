// The ANSI adapters behind the system-call table. Each has the signature of
// the wide function it stands in for; only the table's selection and the
// tests name them.
#pragma once
#include "platform/system_calls.h"

// Converts the ANSI text (CP_ACP) into `output`, which holds `capacity` wide
// characters, terminator included. True with the count written (terminator
// excluded) in *length. When the text does not fit, false: the output becomes
// the empty string if it has room for one, and *length the units the text
// needs, terminator included.
bool AnsiToWideBounded(wchar_t* output, DWORD capacity, const char* text, DWORD* length);
// The same in a given code page; AnsiToWide and AnsiToWideBounded are this
// with CP_ACP.
bool AnsiToWideInCodePage(wchar_t* output, DWORD capacity, const char* text, DWORD* length, UINT codePage);

// True when the code page spells every character of the text and gives it
// back unchanged. WideCharToMultiByte replaces what it cannot spell by "?"
// (a wildcard) or by a look-alike ("best fit": U+0100, A with macron, and
// U+0141, L with stroke, become plain "A" and "L"), and either way the text
// may name another file or key.
bool SpelledExactly(const wchar_t* text, UINT codePage);

HANDLE WINAPI AnsiCreateFile(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                             DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL WINAPI AnsiDeleteFile(LPCWSTR path);
DWORD WINAPI AnsiGetFileAttributes(LPCWSTR path);
BOOL WINAPI AnsiSetFileAttributes(LPCWSTR path, DWORD attributes);
HANDLE WINAPI AnsiFindFirstFile(LPCWSTR pattern, LPWIN32_FIND_DATAW data);
BOOL WINAPI AnsiFindNextFile(HANDLE search, LPWIN32_FIND_DATAW data);
BOOL WINAPI AnsiRemoveDirectory(LPCWSTR path);
BOOL WINAPI AnsiSetCurrentDirectory(LPCWSTR path);
DWORD WINAPI AnsiGetCurrentDirectory(DWORD size, LPWSTR buffer);
DWORD WINAPI AnsiGetModuleFileName(HMODULE module, LPWSTR buffer, DWORD size);
UINT WINAPI AnsiGetWindowsDirectory(LPWSTR buffer, UINT size);
UINT WINAPI AnsiGetSystemDirectory(LPWSTR buffer, UINT size);
DWORD WINAPI AnsiGetTempPath(DWORD size, LPWSTR buffer);
DWORD WINAPI AnsiGetShortPathName(LPCWSTR longPath, LPWSTR shortPath, DWORD size);
BOOL WINAPI AnsiWritePrivateProfileString(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file);
HMODULE WINAPI AnsiLoadLibraryEx(LPCWSTR path, HANDLE reserved, DWORD flags);
BOOL WINAPI AnsiCreateProcess(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processSecurity,
                              LPSECURITY_ATTRIBUTES threadSecurity, BOOL inheritHandles, DWORD flags,
                              LPVOID environment, LPCWSTR folder, LPSTARTUPINFOW startup,
                              LPPROCESS_INFORMATION process);
HINSTANCE WINAPI AnsiShellExecute(HWND window, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                                  LPCWSTR folder, INT show);
BOOL WINAPI AnsiShellExecuteEx(SHELLEXECUTEINFOW* info);
BOOL WINAPI AnsiSHGetPathFromIDList(const _ITEMIDLIST* list, LPWSTR path);
LONG WINAPI AnsiRegOpenKeyEx(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG WINAPI AnsiRegQueryValueEx(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                LPDWORD count);
LONG WINAPI AnsiRegSetValueEx(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                              DWORD count);
LONG WINAPI AnsiRegDeleteKey(HKEY key, LPCWSTR subKey);
LONG WINAPI AnsiRegDeleteValue(HKEY key, LPCWSTR name);
int WINAPI AnsiRemoveFontResource(LPCWSTR path);
ATOM WINAPI AnsiRegisterClass(const WNDCLASSW* windowClass);
HWND WINAPI AnsiCreateWindowEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                               int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                               LPVOID parameter);
BOOL WINAPI AnsiSetWindowText(HWND window, LPCWSTR text);
BOOL WINAPI AnsiSetDlgItemText(HWND dialog, int item, LPCWSTR text);
HFONT WINAPI AnsiCreateFontIndirect(const LOGFONTW* font);
int WINAPI AnsiGetObject(HANDLE object, int size, LPVOID buffer);
