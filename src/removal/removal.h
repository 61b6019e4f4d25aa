// The removal phases, run by the uninstall sequence in this order, each over
// its whole list, none stopping on a failure.
#pragma once
#include <stddef.h>
#include <windows.h>
#include <stdint.h>

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
// system folder. False too for a spelling never acted on: a stream colon or
// a device path without a plain form (paths/path_spelling.h).
bool BuildEntryPath(const FileEntry* entry);

// 1 for a read-only file; 0 for any other file and for a folder; a
// FileStatus when the attributes cannot be read. Callers compare with 1
// only, so attributes refused with AccessDenied count as read-only.
int TestReadOnly(const wchar_t* path);

// Clears or sets the read-only attribute, keeping every other one.
FileStatus ChangeReadOnly(const wchar_t* path, bool clear);

// True when an exclusive open is refused: another program holds the file.
// A read-only attribute is lifted for the test and put back. A missing file
// is not in use.
bool IsFileInUse(const wchar_t* path);

// True while a file flagged FileCheckInUse is held open by another program.
bool AnyProgramRunning();

// Dialog 109 with message 9 about path. IDYES, IDC_YES_ALL, IDNO,
// IDC_NO_ALL, or IDCANCEL for Esc and the close box; IDNO when the dialog
// cannot be shown; IDC_YES_ALL, with nothing shown, when message 9 is empty.
int AskReadOnlyQuestion(const wchar_t* path);

// The answer Yes to all (1) or No to all (0) to the read-only question,
// given once for the rest of the run; -1 until then.
extern int answerForAll;

// Font files. The full name from the font's 'name' table (the last
// Macintosh full-name record) into name, which holds capacity units; empty
// when there is none, the file is cut short, or the name does not fit.
void ReadFontFaceName(const wchar_t* path, wchar_t* name, size_t capacity);
// Takes the font out of the system's font table and deletes its
// registration value, if that value names this file.
void RemoveFontFile(const wchar_t* path);

// Makes the component library in workPath remove its own registration.
void UnregisterComponent();

void RemoveFiles();
void RemoveFolderTrees();
void RemoveShortcutFiles();
void RemoveShortcutFolders();
void PruneInstallFolders();
void RemoveRegistryEntries();

// Hands (100 x done) / progressTotal to SetProgress; nothing while there is
// no progress window (progressTotal 0). Every phase's bar update.
void ShowPhaseProgress(uint32_t done);

// True for a junction or a symbolic link (a reparse point). No phase enters
// one or removes one: what it leads to may be anybody's, anywhere, and a
// removal through it would reach folders no entry names.
bool IsReparsePoint(const wchar_t* path);

// Works on the working folder W: removes the files matching the pattern in
// W and in every subfolder, then each folder left empty, W included; a
// protected subfolder, a link, a name the platform would read as another
// folder and a folder swapped for another between its listing and its
// entering are left with all they hold. Always returns with the working
// folder one level up, at W's parent.
void DeleteTreeHere(const wchar_t* pattern);

// Steps up to the parent of the working folder and removes the folder it
// left, when it is empty and not protected.
void RemoveWorkingFolder();

// RegDeleteKeyExW, which Windows XP 64-bit and later export; the only way
// to delete a key of the other registry view.
typedef LONG(WINAPI* RegDeleteKeyExFunction)(HKEY parent, LPCWSTR subkey, REGSAM view, DWORD reserved);

// Deletes the key and all its subkeys, in the 64-bit view when asked.
// Win32 error code, 0 on success. NT family only (the 9x RegDeleteKey
// deletes whole trees itself).
LONG DeleteKeyTree(HKEY root, const wchar_t* path, bool want64);

// Deletes the subkeys of parent\subkey depth first, then the key itself, with
// deleteEx when given (extra is its view bits, added to every open), with
// RegDeleteKeyW otherwise. The first failure stops the whole tree and is
// returned; what was deleted before it stays deleted. ERROR_BADKEY for a
// null or empty subkey, which would name parent itself.
LONG DeleteKeyRecursive(HKEY parent, const wchar_t* subkey, REGSAM extra, RegDeleteKeyExFunction deleteEx);
