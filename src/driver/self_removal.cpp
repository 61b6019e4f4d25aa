// Self-removal: a running program file cannot be deleted, so the uninstaller
// leaves a copy of the program proper in the temporary folder and starts it
// in the deletion mode on its own file. The copy outwaits the uninstaller's
// exit, deletes the file and its emptied folder, and is itself deleted at
// the next system start.
#include <windows.h>
#include <shellapi.h>
#include <string.h>

#include "driver/launch.h"
#include "driver/payload_marker.h"
#include "driver/run_state.h"
#include "paths/path_ops.h"
#include "payload/file_io.h"
#include "payload/memory.h"
#include "platform/system_calls.h"

namespace {

// WININIT.INI is a few lines; anything larger is not this file's business.
const uint64_t WININIT_MAX_BYTES = 1024 * 1024;

bool HoldsExactly(HANDLE file, const uint8_t* expected, uint32_t length) {
  if (GetFileLength(file) != length) return false;
  uint8_t* found = nullptr;
  if (!MemAlloc(length, &found)) return false;
  const bool same = SetFilePos(file, 0) == 0 && ReadBlock(file, found, length) == 0 &&
                    memcmp(found, expected, length) == 0;
  MemRelease(&found);
  return same;
}

// Writes the first length bytes of the program file into copy (and closes
// it), then opens the copy again for reading only and checks it. The
// returned handle shares reading alone: until it is closed nobody can
// write, rename or delete the copy. The copy is reopened because the
// loader refuses to start a file that is open for writing (sharing
// violation, on Windows as under Wine); the check covers the moment
// between the two handles, in which another program of the user could
// have replaced it. The invalid handle when the copy is not whole.
HANDLE WriteCheckedCopy(HANDLE copy, const wchar_t* copyPath, const wchar_t* programPath, uint32_t length) {
  uint8_t* program = nullptr;
  bool whole = length != 0 && MemAlloc(length, &program);
  if (whole) {
    HANDLE source = OpenExistingFile(programPath, GENERIC_READ);
    whole = source != INVALID_HANDLE_VALUE && ReadBlock(source, program, length) == 0 &&
            WriteBlock(copy, program, length) == 0;
    if (source != INVALID_HANDLE_VALUE) CloseFileHandle(source);
  }
  CloseFileHandle(copy);
  HANDLE locked = whole ? OpenExistingFile(copyPath, GENERIC_READ) : INVALID_HANDLE_VALUE;
  if (locked != INVALID_HANDLE_VALUE && !HoldsExactly(locked, program, length)) {
    CloseFileHandle(locked);
    locked = INVALID_HANDLE_VALUE;
  }
  MemRelease(&program);
  return locked;
}

// The short path written to WININIT.INI, found again in the file's bytes:
// the line "xyz=<path>" that the profile function wrote is turned into
// "NUL=<path>" in place. The key and the value must make up a whole line,
// so that no other key ending in xyz, and no longer path that begins with
// this one, is touched.
void TurnPlaceholderIntoNul(HANDLE ini, const char* path) {
  const uint64_t size = GetFileLength(ini);
  const size_t pathLength = strlen(path);
  uint8_t* text = nullptr;
  if (size == 0 || size > WININIT_MAX_BYTES || !MemAlloc((size_t)size, &text)) return;
  if (SetFilePos(ini, 0) == 0 && ReadBlock(ini, text, (uint32_t)size) == 0) {
    const size_t lineLength = 4 + pathLength;
    for (size_t at = 0; at + lineLength <= size; ++at) {
      if (at != 0 && text[at - 1] != '\n') continue;
      if (memcmp(text + at, "xyz=", 4) != 0 || memcmp(text + at + 4, path, pathLength) != 0) continue;
      if (at + lineLength < size && text[at + lineLength] != '\r' && text[at + lineLength] != '\n') continue;
      if (SetFilePos(ini, at) == at) WriteBlock(ini, "NUL", 3);
      break;
    }
  }
  MemRelease(&text);
}

// The ANSI family has no MoveFileEx; its system start deletes the files
// named by NUL keys in the Rename section of WININIT.INI. The profile
// functions keep one value per key and would replace an earlier NUL line,
// so the line is written under a placeholder key and renamed in the file.
bool DeleteAtRestartByWininit(const wchar_t* path) {
  wchar_t shortPath[RX_MAX_PATH];
  wchar_t ini[RX_MAX_PATH];
  const DWORD shortLength = sys.GetShortPathNameW(path, shortPath, RX_MAX_PATH);
  const UINT folderLength = sys.GetWindowsDirectoryW(ini, RX_MAX_PATH);
  // A cut path would have the system start delete some other file.
  if (shortLength == 0 || shortLength >= RX_MAX_PATH || folderLength == 0 || folderLength >= RX_MAX_PATH ||
      !AppendText(ini, RX_MAX_PATH, L"\\WININIT.INI")) {
    return false;
  }
  if (!sys.WritePrivateProfileStringW(L"Rename", L"xyz", shortPath, ini)) return false;
  // Section, key and value all absent: the cached profile goes to disk.
  sys.WritePrivateProfileStringW(nullptr, nullptr, nullptr, ini);
  HANDLE file = OpenExistingFile(ini, GENERIC_READ | GENERIC_WRITE);
  if (file == INVALID_HANDLE_VALUE) return true;
  char* ansi = WideToAnsiCopy(shortPath, CP_ACP);
  if (ansi != nullptr && ansi[0] != 0) TurnPlaceholderIntoNul(file, ansi);
  MemRelease(&ansi);
  CloseFileHandle(file);
  return true;
}

}  // namespace

bool DeleteAtRestart(const wchar_t* path) {
  if (run.isNT) return MoveFileExW(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
  return DeleteAtRestartByWininit(path);
}

bool StartDeletionCopy(const wchar_t* programPath, uint32_t programLength) {
  // CREATE_NEW: never a file, or a link, that someone put there first.
  wchar_t copyPath[RX_MAX_PATH];
  HANDLE copy = CreateNumberedTempFile(copyPath, L"_uins%d.exe", CREATE_NEW, FILE_SHARE_READ);
  if (copy == INVALID_HANDLE_VALUE) return false;

  HANDLE locked = WriteCheckedCopy(copy, copyPath, programPath, programLength);
  // What starts must be the copy that was checked. The temporary folder
  // comes from the user's environment, and a program of the user could
  // re-point a junction on the way to copyPath, between the check and the
  // start, at a program of its own, to have that started with administrator
  // rights. So on the NT family the copy is started, and registered for
  // deletion, by the path it has on its volume, read from the held handle:
  // while held, the copy cannot be renamed or removed, no folder above it
  // can be renamed, and none is empty to be made a junction, so that path
  // names the checked file until the start. Where the system should tell
  // that path (Vista and later) but does not, nothing is started; before
  // Vista it cannot, and the ANSI family has no links.
  wchar_t real[RX_MAX_PATH];
  const wchar_t* start = copyPath;
  if (locked != INVALID_HANDLE_VALUE && run.isNT && GetFinalPath(locked, real)) {
    start = real;
  } else if (locked != INVALID_HANDLE_VALUE && run.isNT6) {
    CloseFileHandle(locked);
    locked = INVALID_HANDLE_VALUE;
  }
  bool started = false;
  if (locked != INVALID_HANDLE_VALUE) {
    // The copy runs in its own folder: a process holds its current folder
    // open, and the uninstaller's folder, inherited, could not be removed.
    wchar_t arguments[2 * RX_MAX_PATH];
    wchar_t folder[RX_MAX_PATH];
    if (CopyText(arguments, 2 * RX_MAX_PATH, L"/D\"") && AppendText(arguments, 2 * RX_MAX_PATH, programPath) &&
        AppendText(arguments, 2 * RX_MAX_PATH, L"\"") && CopyParentFolder(folder, RX_MAX_PATH, start)) {
      DeleteAtRestart(start);
      started = (INT_PTR)sys.ShellExecuteW(nullptr, L"open", start, arguments, folder, SW_HIDE) > 32;
    }
    CloseFileHandle(locked);
  }
  // A copy that is not whole cannot run the deletion mode; one that did not
  // start has nothing left to do.
  if (!started) sys.DeleteFileW(copyPath);
  return started;
}

bool RemoveSelf() {
  // A path cut by the buffer would name another file for deletion.
  const DWORD length = sys.GetModuleFileNameW(run.instance, run.workPath, RX_MAX_PATH);
  if (length == 0 || length >= RX_MAX_PATH) {
    run.workPath[0] = 0;
    return false;
  }
  return StartDeletionCopy(run.workPath, GetPayloadOffset());
}
