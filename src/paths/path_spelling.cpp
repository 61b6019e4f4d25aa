#include "paths/path_spelling.h"

#include <stddef.h>

namespace {

bool IsSeparator(RxChar c) { return c == '\\' || c == '/'; }

bool IsDriveLetter(RxChar c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

RxChar Fold(RxChar c) { return c >= 'A' && c <= 'Z' ? (RxChar)(c - 'A' + 'a') : c; }

// Length of a device prefix at the start of path: 4 for "\\?\", "\\.\" and
// "\??\", 0 for none.
size_t DevicePrefixLength(const RxChar* path) {
  if (!IsSeparator(path[0])) return 0;
  if (IsSeparator(path[1]) && (path[2] == '?' || path[2] == '.') && IsSeparator(path[3])) return 4;
  if (path[1] == '?' && path[2] == '?' && IsSeparator(path[3])) return 4;
  return 0;
}

}  // namespace

PathSpelling StripDevicePrefix(RxChar* path) {
  if (path == nullptr) return SPELLING_PLAIN;
  const size_t prefix = DevicePrefixLength(path);
  if (prefix == 0) return SPELLING_PLAIN;
  const RxChar* rest = path + prefix;
  size_t keep = 0;  // units of the plain form written before the rest
  if (IsDriveLetter(rest[0]) && rest[1] == ':' && IsSeparator(rest[2])) {
    // "C:\..." as it stands.
  } else if (Fold(rest[0]) == 'u' && Fold(rest[1]) == 'n' && Fold(rest[2]) == 'c' && IsSeparator(rest[3]) &&
             rest[4] != 0 && !IsSeparator(rest[4])) {
    rest += 4;  // "UNC\server\..." is "\\server\..."
    path[0] = '\\';
    path[1] = '\\';
    keep = 2;
  } else {
    return SPELLING_UNKNOWN_DEVICE;
  }
  // The plain form is never longer than the text it replaces, so the copy
  // forward works in place.
  size_t i = 0;
  do {
    path[keep + i] = rest[i];
  } while (rest[i++] != 0);
  return SPELLING_STRIPPED;
}

bool HasStreamColon(const RxChar* path) {
  if (path == nullptr) return false;
  const RxChar* text = path + DevicePrefixLength(path);
  for (size_t i = 0; text[i] != 0; ++i) {
    if (text[i] == ':' && !(i == 1 && IsDriveLetter(text[0]))) return true;
  }
  return false;
}
