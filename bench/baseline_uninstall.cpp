// The baseline of the uninstall benchmark: removes what a list names with a
// plain loop and nothing else. No checks, no questions, no windows; what the
// uninstaller does beyond this is what its figure measures.
//
//   retrax_bench_baseline.exe LIST
//
// LIST is a UTF-16LE file of lines, each a letter, a space and an absolute
// path (a key: relative to HKEY_CURRENT_USER), in the order to remove them:
//   F path   DeleteFileW
//   D path   RemoveDirectoryW
//   K key    the key with all its subkeys
// Exit code: the loop's own time in microseconds (the performance counter
// around it, the list's read left out) when every entry went; else minus
// the number that failed, -1 too when the list cannot be read.
#include <windows.h>

namespace {

// Subkeys first, always at index 0: each deletion moves the next one there.
LONG DeleteKeyTree(HKEY parent, const wchar_t* name) {
  HKEY key;
  LONG result = RegOpenKeyExW(parent, name, 0, KEY_ENUMERATE_SUB_KEYS | DELETE, &key);
  if (result != ERROR_SUCCESS) return result;
  wchar_t child[256];
  for (;;) {
    DWORD length = 256;
    result = RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) break;
    result = DeleteKeyTree(key, child);
    if (result != ERROR_SUCCESS) break;
  }
  RegCloseKey(key);
  if (result != ERROR_NO_MORE_ITEMS) return result;
  return RegDeleteKeyW(parent, name);
}

// The first argument: the text after the program's name, without quotes.
wchar_t* ListPath(wchar_t* line) {
  if (*line == L'"') {
    for (++line; *line && *line != L'"'; ++line) {}
    if (*line) ++line;
  } else {
    while (*line && *line != L' ') ++line;
  }
  while (*line == L' ') ++line;
  if (*line == L'"') {
    wchar_t* end = ++line;
    while (*end && *end != L'"') ++end;
    *end = 0;
  }
  return line;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  HANDLE file = CreateFileW(ListPath(GetCommandLineW()), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  const DWORD size = GetFileSize(file, nullptr);
  wchar_t* text = (wchar_t*)HeapAlloc(GetProcessHeap(), 0, size + sizeof(wchar_t));
  DWORD read = 0;
  if (text == nullptr || !ReadFile(file, text, size, &read, nullptr) || read != size) return -1;
  CloseHandle(file);
  text[size / sizeof(wchar_t)] = 0;

  LARGE_INTEGER frequency, start, stop;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  int failures = 0;
  for (wchar_t* line = text; *line;) {
    wchar_t* end = line;
    while (*end && *end != L'\n') ++end;
    const bool more = *end != 0;
    *end = 0;
    if (end - line > 2) {
      const wchar_t* path = line + 2;
      bool ok = false;
      switch (line[0]) {
        case L'F': ok = DeleteFileW(path) != 0; break;
        case L'D': ok = RemoveDirectoryW(path) != 0; break;
        case L'K': ok = DeleteKeyTree(HKEY_CURRENT_USER, path) == ERROR_SUCCESS; break;
      }
      failures += ok ? 0 : 1;
    }
    line = more ? end + 1 : end;
  }
  QueryPerformanceCounter(&stop);
  HeapFree(GetProcessHeap(), 0, text);
  if (failures > 0) return -failures;
  return (int)((double)(stop.QuadPart - start.QuadPart) * 1e6 / (double)frequency.QuadPart);
}
