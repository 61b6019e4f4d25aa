// File removal phase: each listed file, last first, through the extension's
// veto, the in-use test, the shared-library count, font and component
// deregistration and the read-only question; and the in-use check the
// uninstall sequence makes before anything is removed.
#include <windows.h>

#include "driver/launch.h"
#include "driver/run_log.h"
#include "driver/run_state.h"
#include "paths/folder_macros.h"
#include "paths/path_ops.h"
#include "paths/path_spelling.h"
#include "payload/extension_host.h"
#include "payload/file_io.h"
#include "payload/memory.h"
#include "platform/system_calls.h"
#include "removal/removal.h"
#include "resources/resource.h"
#include "ui/messages.h"
#include "ui/ui.h"

int answerForAll = -1;

namespace {

const wchar_t kSharedLibrariesKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// Message 10 about path: true unless the user answers anything but Yes. An
// empty message, or no memory to format it, asks nothing and counts as Yes.
// Under /N the answer is No: the file stays, its count at 0, for whatever
// else still needs it without having counted itself.
bool ConfirmSharedRemoval(const wchar_t* path) {
  wchar_t* text = nullptr;
  if (!MemAllocZeroed(MESSAGE_BUFFER_UNITS * sizeof(wchar_t), &text)) return true;
  FormatMessageText(text, MSG_SHARED_LIBRARY, path);
  bool yes = text[0] == 0;
  if (!yes) {
    const int answer = run.unattended ? IDNO : ShowMessageBox(text, MB_YESNO | MB_ICONQUESTION);
    LogQuestion(MSG_SHARED_LIBRARY, path, answer, run.unattended ? BY_UNATTENDED : BY_USER);
    yes = answer == IDYES;
  }
  MemRelease(&text);
  return yes;
}

// Counts one user of a shared library off its SharedDLLs value. True when the
// file may go: it is not in use, no other user is counted, and the user
// agreed. The value goes with the file.
bool ReleaseSharedLibrary(const wchar_t* path, bool inUse) {
  bool proceed = !inUse;
  HKEY key = nullptr;
  if (sys.RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSharedLibrariesKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
    key = nullptr;
  DWORD count = 1, type = 0, size = sizeof count;
  if (key != nullptr && sys.RegQueryValueExW(key, path, nullptr, &type, (BYTE*)&count, &size) == ERROR_SUCCESS) {
    if (count > 0 && --count != 0) proceed = false;
    // A file in use whose last user this was keeps its count, so that it is
    // still counted when it is finally let go.
    if (!inUse || count != 0) sys.RegSetValueExW(key, path, 0, type, (const BYTE*)&count, size);
  }
  if (proceed) proceed = ConfirmSharedRemoval(path);
  if (proceed && key != nullptr) sys.RegDeleteValueW(key, path);
  if (key != nullptr) RegCloseKey(key);
  return proceed;
}

FileStatus ClearAndRemove(const wchar_t* path) {
  ChangeReadOnly(path, true);
  return RemoveFile(path);
}

// Deletes the file in workPath. A read-only file is asked about, unless it
// is a font or a component (the installer registered those, so they go
// with their registration) or an earlier answer held for all. The last
// removal's status, or KEPT_BY_ANSWER.
const int KEPT_BY_ANSWER = -1;
int DeleteEntryFile(uint8_t flags) {
  const wchar_t* path = run.workPath;
  FileStatus status = RemoveFile(path);
  while (status == AccessDenied && TestReadOnly(path) == 1) {
    if ((flags & (FileFont | FileComponent)) != 0) return ClearAndRemove(path);
    if (answerForAll != -1) {
      LogQuestion(MSG_READ_ONLY, path, answerForAll == 1 ? IDC_YES_ALL : IDC_NO_ALL, BY_ANSWER_FOR_ALL);
      return answerForAll == 1 ? ClearAndRemove(path) : KEPT_BY_ANSWER;
    }
    const int answer = AskReadOnlyQuestion(path);
    LogQuestion(MSG_READ_ONLY, path, answer, run.unattended ? BY_UNATTENDED : BY_USER);
    switch (answer) {
      case IDYES:
        // A file that is still read-only afterwards is asked about again.
        status = ClearAndRemove(path);
        break;
      case IDC_YES_ALL:
        answerForAll = 1;
        return ClearAndRemove(path);
      case IDC_NO_ALL:
        answerForAll = 0;
        return KEPT_BY_ANSWER;
      default:  // No, Esc, the close box, a dialog that could not be shown
        return KEPT_BY_ANSWER;
    }
  }
  return status;
}

// Under /N, a file in use is registered for removal at the next restart,
// and so is its folder, which goes then if nothing else is left in it (the
// ANSI family's start removes files only). A read-only file would be
// refused at the restart: the read-only question is answered Yes to all
// under /N anyway.
void ScheduleEntryFile() {
  wchar_t* path = run.workPath;
  if (TestReadOnly(path) == 1) ChangeReadOnly(path, true);
  if (!DeleteAtRestart(path)) return LogAction(LOG_REFUSED, path, GetLastError());
  run.restartNeeded = true;
  LogAction(LOG_SCHEDULED, path);
  wchar_t folder[RX_MAX_PATH];
  if (run.isNT && CopyText(folder, RX_MAX_PATH, path)) {
    wchar_t* last = FindLastBackslash(folder);
    if (last != nullptr) *last = 0;
    if (last != nullptr && !IsProtectedFolder(folder) && !IsReparsePoint(folder)) DeleteAtRestart(folder);
  }
}

// True when the first `capacity` units of path hold a terminated absolute
// path of a spelling that may be acted on. The extension library may leave
// anything in the buffer.
bool IsUsablePath(const wchar_t* path, size_t capacity) {
  for (size_t i = 0; i < capacity; ++i) {
    if (path[i] == 0) return IsAbsolutePath(path) && !IsUnsafeSpelling(path);
  }
  return false;
}

// The in-use test and the deletion of a plain file in one step, on the NT
// family: the exclusive open of the test, with delete access added, marks
// the file for deletion, and the close deletes it; between the two nobody
// else can open it. Ok when the file went, NotFound when there is none (the
// test and the deletion would find none either). Anything else (a
// read-only file, a folder, a link, an extension library that may rewrite
// paths, an open refused for whatever reason) gives NOT_DECIDED and takes
// the path of the separate test and deletion, which decides and logs as
// ever. The link is opened itself, never what it leads to, should one take
// the file's place after the attributes were read.
const int NOT_DECIDED = -1;
int DeletePlainFile(const wchar_t* path) {
  if (!run.isNT || IsExtensionLoaded()) return NOT_DECIDED;
  const DWORD attributes = sys.GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return MapLastError() == NotFound ? NotFound : NOT_DECIDED;
  if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
    return NOT_DECIDED;
  HANDLE file = sys.CreateFileW(path, GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return NOT_DECIDED;
  CloseHandle(file);
  return Ok;
}

void RemoveEntry(const FileEntry* entry) {
  if (!BuildEntryPath(entry)) return LogAction(LOG_TOO_LONG, entry->name);
  wchar_t* path = run.workPath;
  if (entry->name[0] == 0) {
    if (IsProtectedFolder(path)) return LogAction(LOG_PROTECTED_FOLDER, path);
    if (!IsReparsePoint(path)) LogFolder(path, RemoveFolder(path));
    return;
  }
  ExtensionFileInfo info = {path, RX_MAX_PATH};
  if (CallExtension(EXT_FILE, &info, 1) == 0) return LogAction(LOG_VETOED, path);
  if (!IsUsablePath(path, RX_MAX_PATH)) {
    path[0] = 0;
    return LogAction(LOG_TOO_LONG, entry->name);
  }
  if (IsRunLog(path)) return LogAction(LOG_IS_LOG, path);
  if ((entry->flags & (FileShared | FileFont | FileComponent)) == 0) {
    const int plain = DeletePlainFile(path);
    if (plain != NOT_DECIDED) return LogFileStatus(path, plain);
  }
  // Under /N a file in use goes at the restart, and its shared count is
  // handled as for a file that goes now.
  const bool inUse = IsFileInUse(path);
  const bool keptInUse = inUse && !run.unattended;
  bool proceed = !keptInUse;
  if (entry->flags & FileShared) proceed = ReleaseSharedLibrary(path, keptInUse);
  if (!proceed) return LogAction(keptInUse ? LOG_IN_USE : LOG_SHARED_COUNT, path);
  if (entry->flags & FileFont) RemoveFontFile(path);
  if (entry->flags & FileComponent) UnregisterComponent();
  if (inUse) return ScheduleEntryFile();
  const int status = DeleteEntryFile(entry->flags);
  if (status == KEPT_BY_ANSWER) return LogAction(LOG_ANSWERED_NO, path);
  LogFileStatus(path, status);
}

}  // namespace

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
  if (fits && IsAbsolutePath(path) && !IsUnsafeSpelling(path)) return true;
  path[0] = 0;
  return false;
}

int TestReadOnly(const wchar_t* path) {
  if (path == nullptr) return BadArgument;
  const DWORD attributes = sys.GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return MapLastError();
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
  return (attributes & FILE_ATTRIBUTE_READONLY) ? 1 : 0;
}

FileStatus ChangeReadOnly(const wchar_t* path, bool clear) {
  if (path == nullptr) return BadArgument;
  DWORD attributes = sys.GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return MapLastError();
  attributes = clear ? attributes & ~FILE_ATTRIBUTE_READONLY : attributes | FILE_ATTRIBUTE_READONLY;
  // No bit at all is not a valid request; "normal" is what it means.
  if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
  return sys.SetFileAttributesW(path, attributes) ? Ok : MapLastError();
}

bool IsFileInUse(const wchar_t* path) {
  const int readOnly = TestReadOnly(path);
  // Missing, or its attributes unreadable for another reason: nothing holds it.
  if (readOnly != 0 && readOnly != 1) return false;
  // An exclusive open for writing is refused on a read-only file whether or
  // not it is in use, so the attribute is lifted for the test and put back.
  if (readOnly == 1) {
    ChangeReadOnly(path, true);
    if (TestReadOnly(path) == 1) return true;
  }
  HANDLE file = OpenExistingFile(path, GENERIC_READ | GENERIC_WRITE);
  const bool inUse = file == INVALID_HANDLE_VALUE;
  if (!inUse) CloseFileHandle(file);
  if (readOnly == 1) ChangeReadOnly(path, false);
  return inUse;
}

bool AnyProgramRunning() {
  for (uint32_t i = 0; i < uninstallData.files.count; ++i) {
    const FileEntry* entry = uninstallData.files.items[i];
    if (entry->name[0] == 0 || !(entry->flags & FileCheckInUse)) continue;
    if (BuildEntryPath(entry) && IsFileInUse(run.workPath)) return true;
  }
  return false;
}

int AskReadOnlyQuestion(const wchar_t* path) {
  // Under /N: the installer listed the file, so it goes, and so do the rest.
  if (run.unattended) return IDC_YES_ALL;
  wchar_t* text = nullptr;
  if (!MemAllocZeroed(MESSAGE_BUFFER_UNITS * sizeof(wchar_t), &text)) return IDNO;
  FormatMessageText(text, MSG_READ_ONLY, path);
  // Without a question to show, the installer meant read-only files to go.
  int answer = IDC_YES_ALL;
  if (text[0] != 0) {
    const INT_PTR result = ShowQuestionDialog(text);
    answer = result == -1 ? IDNO : (int)result;
  }
  MemRelease(&text);
  return answer;
}

void RemoveFiles() {
  const uint32_t count = uninstallData.files.count;
  for (uint32_t done = 0; done < count; ++done) {
    RemoveEntry(uninstallData.files.items[count - 1 - done]);
    ShowPhaseProgress(done);
  }
}
