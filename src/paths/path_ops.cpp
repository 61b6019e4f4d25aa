#include "paths/path_ops.h"

#include "platform/system_calls.h"

namespace {

// The numbered names tried are 1 to 998: the loop stops before 999.
const uint32_t kLastTempNumber = 998;

}  // namespace

bool AddBackslash(RxChar* path, size_t capacity) {
  size_t length = TextLength(path);
  if (length == 0 || path[length - 1] == '\\') return true;
  if (length + 2 > capacity) return false;
  path[length] = '\\';
  path[length + 1] = 0;
  return true;
}

void RemoveBackslash(RxChar* path) {
  size_t length = TextLength(path);
  if (length > 3 && path[length - 1] == '\\') path[length - 1] = 0;
}

bool SetCurrentFolder(const RxChar* path) {
  return sys.SetCurrentDirectoryW(path) != FALSE;
}

DWORD GetCurrentFolder(RxChar* buffer) {
  // A folder deeper than the buffer gives the size it needs and leaves the
  // buffer as it was.
  DWORD count = sys.GetCurrentDirectoryW(RX_MAX_PATH, buffer);
  if (count == 0 || count >= RX_MAX_PATH) buffer[0] = 0;
  return count;
}

bool RemoveFolder(const RxChar* path) {
  return sys.RemoveDirectoryW(path) != FALSE;
}

bool FileExists(const RxChar* path) {
  WIN32_FIND_DATAW found;
  HANDLE search = sys.FindFirstFileW(path, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

HANDLE OpenExistingFile(const RxChar* path, DWORD access) {
  DWORD share = (access & GENERIC_WRITE) ? 0 : FILE_SHARE_READ;
  return sys.CreateFileW(path, access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE CreateFileForWriting(const RxChar* path) {
  return sys.CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool FormatNumberedName(RxChar* dest, size_t capacity, const RxChar* format, uint32_t number) {
  if (dest == nullptr || capacity == 0) return false;
  size_t used = 0;
  bool printed = false;
  for (const RxChar* p = format; *p != 0; ++p) {
    RxChar digits[11];
    const RxChar* piece = nullptr;
    RxChar single[2] = {*p, 0};
    if (p[0] == '%' && p[1] == 'd' && !printed) {
      UnsignedToText(digits, 11, number);
      piece = digits;
      printed = true;
      ++p;
    } else if (p[0] == '%' && p[1] == '%') {
      piece = single;
      ++p;
    } else {
      piece = single;
    }
    size_t length = TextLength(piece);
    if (used + length >= capacity) {
      dest[0] = 0;
      return false;
    }
    for (size_t i = 0; i < length; ++i) dest[used++] = piece[i];
  }
  dest[used] = 0;
  return true;
}

HANDLE CreateNumberedTempFile(RxChar* buffer, const RxChar* format, DWORD disposition, DWORD shareMode) {
  for (uint32_t n = 1; n <= kLastTempNumber; ++n) {
    // Asked afresh each time, as the environment may change between tries.
    // GetTempPathW gives the length without the terminator, or the size it
    // would need when the buffer is too small; either way a count that does
    // not fit leaves no folder to build on, and every number would fail alike.
    DWORD length = sys.GetTempPathW(RX_MAX_PATH, buffer);
    if (length == 0 || length >= RX_MAX_PATH) {
      buffer[0] = 0;
      return INVALID_HANDLE_VALUE;
    }
    RxChar name[RX_MAX_PATH];
    if (!AddBackslash(buffer) || !FormatNumberedName(name, RX_MAX_PATH, format, n) ||
        !AppendText(buffer, RX_MAX_PATH, name)) {
      // The same folder with a longer number will not fit either.
      buffer[0] = 0;
      return INVALID_HANDLE_VALUE;
    }
    if (FileExists(buffer)) continue;
    HANDLE file = sys.CreateFileW(buffer, GENERIC_WRITE, shareMode, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
  }
  return INVALID_HANDLE_VALUE;
}
