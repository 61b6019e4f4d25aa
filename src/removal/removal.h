// The removal phases, run by the uninstall sequence in this order, each over
// its whole list, none stopping on a failure.
#pragma once

struct FileEntry;

// Result of the file operations.
enum FileStatus {
  Ok = 0,
  AccessDenied = 1,  // access denied, locked or a similar refusal
  NotFound = 2,      // missing or malformed path
  BadArgument = 3,   // null path
  Failed = 4,        // anything else, a sharing violation included
};

// The thread's last Win32 error as a FileStatus: AccessDenied, NotFound or
// Failed.
FileStatus MapLastError();

// Deletes one file. The deletion mode uses it on the uninstaller's own file,
// the file and folder phases on every file they remove.
FileStatus RemoveFile(const wchar_t* path);

// Builds the entry's path in run.workPath: a folder beginning with "." is
// taken from installDir (".\sub" gives installDir + "sub"; ".", "..\sub"
// and the like give installDir itself), any other folder as written; a
// non-empty name is appended after a backslash. False, with workPath empty,
// when the path does not fit in 260 characters (it is never cut: a cut path
// names another file) or is not absolute (an empty folder with a name): a
// relative path would be taken from the current folder, which may be the
// system folder.
bool BuildEntryPath(const FileEntry* entry);

// True while a file flagged FileCheckInUse is held open by another program.
bool AnyProgramRunning();

void RemoveFiles();
void RemoveFolderTrees();
void RemoveShortcutFiles();
void RemoveShortcutFolders();
void PruneInstallFolders();
void RemoveRegistryEntries();
