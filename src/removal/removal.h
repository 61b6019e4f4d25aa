// The removal phases, run by the uninstall sequence in this order, each over
// its whole list, none stopping on a failure.
#pragma once

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

// True while a file flagged FileCheckInUse is held open by another program.
bool AnyProgramRunning();

void RemoveFiles();
void RemoveFolderTrees();
void RemoveShortcutFiles();
void RemoveShortcutFolders();
void PruneInstallFolders();
void RemoveRegistryEntries();
