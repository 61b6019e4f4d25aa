// File removal phase.
#include <windows.h>

#include "driver/run_state.h"
#include "paths/folder_macros.h"
#include "paths/path_ops.h"
#include "removal/removal.h"

bool BuildEntryPath(const FileEntry* entry) {
  RxChar* path = run.workPath;
  const RxChar* folder = entry->folder;
  bool fits;
  if (folder[0] == '.') {
    fits = CopyText(path, RX_MAX_PATH, run.installDir);
    if (fits && folder[1] == '\\') fits = AppendText(path, RX_MAX_PATH, folder + 2);
  } else {
    fits = CopyText(path, RX_MAX_PATH, folder);
  }
  if (fits && entry->name[0] != 0) fits = AddBackslash(path) && AppendText(path, RX_MAX_PATH, entry->name);
  if (fits && IsAbsolutePath(path)) return true;
  path[0] = 0;
  return false;
}

bool AnyProgramRunning() { return false; }

void RemoveFiles() {}
