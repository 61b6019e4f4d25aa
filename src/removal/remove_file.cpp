// Deleting one file, and the mapping of the platform's errors onto the few
// outcomes the phases tell apart.
#include <windows.h>

#include "platform/system_calls.h"
#include "removal/removal.h"

FileStatus MapLastError() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_NO_MORE_FILES:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return NotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_CURRENT_DIRECTORY:
    case ERROR_LOCK_VIOLATION:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_CANNOT_MAKE:
    case ERROR_FAIL_I24:
    case ERROR_DRIVE_LOCKED:
    case ERROR_SEEK_ON_DEVICE:
    case ERROR_NOT_LOCKED:
    case ERROR_LOCK_FAILED:
      return AccessDenied;
    default:
      // ERROR_SHARING_VIOLATION lands here: a file that another program
      // holds open is "failed", not "denied".
      return Failed;
  }
}

FileStatus RemoveFile(const wchar_t* path) {
  if (path == nullptr) return BadArgument;
  if (sys.DeleteFileW(path)) return Ok;
  return MapLastError();
}
