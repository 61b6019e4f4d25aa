#include "paths/canonical_path.h"

#include <windows.h>

#include "paths/path_spelling.h"
#include "payload/memory.h"
#include "platform/ansi_adapters.h"
#include "platform/system_calls.h"

namespace {

typedef DWORD(WINAPI* GetLongPathNameWFunction)(LPCWSTR, LPWSTR, DWORD);
typedef DWORD(WINAPI* GetLongPathNameAFunction)(LPCSTR, LPSTR, DWORD);

// Bytes of an ANSI path: a DBCS code page may need two per character.
const DWORD kAnsiPathBytes = 2 * RX_MAX_PATH;

// The wide path functions are stubs that fail on the ANSI family, so this
// follows the system-call table's choice of family.
bool AnsiFamily() { return sys.GetTempPathW == AnsiGetTempPath; }

FARPROC KernelExport(const char* name) {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  return kernel != nullptr ? GetProcAddress(kernel, name) : nullptr;
}

// Runs an ANSI path function on the text of path and converts the answer
// into out. call gets the ANSI path and a buffer of kAnsiPathBytes and
// returns the count as the path functions do.
template <typename Call>
bool ThroughAnsi(const RxChar* path, RxChar* out, size_t capacity, Call call) {
  char* ansiPath = WideToAnsiCopy(path, CP_ACP);
  if (ansiPath == nullptr) return false;
  char ansi[kAnsiPathBytes + 1] = {0};
  DWORD count = call(ansiPath, ansi);
  MemRelease(&ansiPath);
  if (count == 0 || count >= kAnsiPathBytes) return false;
  DWORD length = 0;
  return AnsiToWideBounded(out, (DWORD)capacity, ansi, &length);
}

// The full path: relative paths from the current folder, "." and ".."
// resolved, "/" turned into "\", and trailing dots and spaces of the last
// name dropped (Windows opens "C:\Windows." as C:\Windows). 0 when the call
// failed, 1 on success, -1 when the result does not fit in capacity.
int FullPath(const RxChar* path, RxChar* out, size_t capacity) {
  if (AnsiFamily()) {
    bool ok = ThroughAnsi(path, out, capacity, [](const char* in, char* buffer) {
      return GetFullPathNameA(in, kAnsiPathBytes, buffer, nullptr);
    });
    return ok ? 1 : 0;
  }
  DWORD count = GetFullPathNameW(path, (DWORD)capacity, out, nullptr);
  if (count == 0) return 0;
  return count < capacity ? 1 : -1;
}

// Replaces short (8.3) names by long ones in place. Only a path that exists
// can be converted; anything else is left as it is. Windows NT 4 and 95
// lack the function, so it is looked up.
void LongPath(RxChar* path, size_t capacity) {
  if (AnsiFamily()) {
    GetLongPathNameAFunction longA = (GetLongPathNameAFunction)(void*)KernelExport("GetLongPathNameA");
    if (longA == nullptr) return;
    RxChar converted[RX_MAX_PATH];
    if (capacity > RX_MAX_PATH) capacity = RX_MAX_PATH;
    bool ok = ThroughAnsi(path, converted, capacity, [longA](const char* in, char* buffer) {
      return longA(in, buffer, kAnsiPathBytes);
    });
    if (ok) CopyText(path, capacity, converted);
    return;
  }
  GetLongPathNameWFunction longW = (GetLongPathNameWFunction)(void*)KernelExport("GetLongPathNameW");
  if (longW == nullptr) return;
  // The same buffer may be passed as both arguments. A result too long for
  // the buffer is reported by its size and leaves the buffer alone.
  RxChar converted[RX_MAX_PATH];
  DWORD count = longW(path, converted, RX_MAX_PATH);
  if (count != 0 && count < RX_MAX_PATH && count < capacity) CopyText(path, capacity, converted);
}

// The long-name conversion looks up every name of the path on the disk, and
// changes a path only where a name is a short one, which the system makes
// with a "~", or where the disk's spelling differs in case. Comparisons of
// canonical forms ignore the case of ASCII letters only, so a path of ASCII
// names without a "~" needs no conversion.
bool MayHoldShortName(const RxChar* path) {
  for (; *path != 0; ++path) {
    if (*path == '~' || *path > 0x7F) return true;
  }
  return false;
}

}  // namespace

void NormalizePathText(RxChar* path) {
  if (path == nullptr) return;
  for (RxChar* p = path; *p != 0; ++p) {
    if (*p == '/') *p = '\\';
  }
  // The root is copied as it stands; the names after it are rebuilt one by
  // one. The write position never passes the read position, so this works
  // in place.
  size_t read = 0;
  size_t minDepth = 0;   // names ".." may not remove: server and share
  bool rooted = true;    // false: ".." at the start cannot be resolved
  if (path[0] == '\\' && path[1] == '\\') {
    read = 2;
    minDepth = 2;
  } else if (path[0] != 0 && path[1] == ':') {
    read = path[2] == '\\' ? 3 : 2;
    rooted = read == 3;
  } else if (path[0] == '\\') {
    read = 1;
  } else {
    rooted = false;
  }
  const size_t rootEnd = read;
  size_t write = read;
  size_t depth = 0;
  for (;;) {
    while (path[read] == '\\') ++read;
    if (path[read] == 0) break;
    size_t start = read;
    while (path[read] != 0 && path[read] != '\\') ++read;
    size_t length = read - start;
    if (length == 1 && path[start] == '.') continue;
    if (length == 2 && path[start] == '.' && path[start + 1] == '.') {
      if (depth > minDepth) {
        while (write > rootEnd && path[write - 1] != '\\') --write;
        if (write > rootEnd) --write;
        --depth;
        continue;
      }
      if (rooted) continue;  // C:\.. is C:\ .
      ++minDepth;  // a relative path keeps its leading ".." names
    }
    if (depth > 0) path[write++] = '\\';
    for (size_t i = 0; i < length; ++i) path[write++] = path[start + i];
    ++depth;
  }
  path[write] = 0;
}

bool CanonicalizePath(const RxChar* path, RxChar* out, size_t capacity) {
  if (out == nullptr || capacity == 0) return false;
  out[0] = 0;
  if (path == nullptr) return false;
  // "\\?\C:\x", "\\.\C:\x" and "\??\C:\x" name C:\x, and the path
  // functions keep such a prefix: it goes first. A device path without a
  // plain form has no canonical one.
  RxChar plain[RX_MAX_PATH];
  if (SpellingOf(path) != SPELLING_PLAIN) {
    if (!CopyText(plain, RX_MAX_PATH, path) || StripDevicePrefix(plain) != SPELLING_STRIPPED) return false;
    path = plain;
  }
  int full = FullPath(path, out, capacity);
  if (full < 0) {
    out[0] = 0;
    return false;
  }
  if (full == 0 && !CopyText(out, capacity, path)) return false;
  // GetFullPathNameW leaves runs of backslashes inside a path, and the copy
  // made when it failed has nothing resolved yet.
  NormalizePathText(out);
  if (MayHoldShortName(out)) LongPath(out, capacity);
  return true;
}
