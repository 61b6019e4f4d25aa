// Folder macros (#Name# tokens in the payload's paths), the resolution of
// folder ids to paths, and the protected-folder test that keeps the removal
// phases away from drive roots and the system's well-known folders.
#pragma once
#include <windows.h>
#include <stdint.h>

#include "paths/folder_macro_names.h"
#include "paths/text_ops.h"

// Size of the working buffer of one expansion, in units. An expansion that
// would outgrow it stops at the last piece that fits (a literal run or one
// expanded token, never part of one), so its length is at most
// FOLDER_MACRO_WORK_UNITS - 1; callers treat that length as "too long".
enum { FOLDER_MACRO_WORK_UNITS = 65500 };

// Expands every macro of src. The result is the length of the expansion
// without its terminator, whatever count is. With dst null it only measures;
// otherwise dst (count units) gets min(L + 1, count) units, so it is
// terminated only when L < count. Callers that need the whole text ask with
// a null dst first, then expand into L + 1 units and check the second result
// is still L (the environment may have changed in between).
uint32_t ExpandFolderMacros(RxChar* dst, const RxChar* src, uint32_t count);

// Expands src into dest (capacity units, 260 for a path) only when the
// whole expansion and its terminator fit; otherwise false with dest empty.
// The form for every caller that goes on to use the text as a path.
bool ExpandFolderMacrosInto(RxChar* dest, size_t capacity, const RxChar* src);

// Replaces one whole "#Name#" token, held in a buffer of capacity units, by
// its folder without a trailing backslash (a drive root keeps it). Unknown
// names, folders that cannot be resolved and paths that do not fit leave
// the token as it is; true when it was replaced.
bool ExpandMacroToken(RxChar* token, size_t capacity);

// Writes the folder of id into buffer (260 units). The path may end with a
// backslash (the temporary folder does). False when the folder cannot be
// named on this machine; buffer is then unspecified.
bool ResolveFolder(RxChar* buffer, uint32_t id);

// The shell's path of a CSIDL folder (buffer of 260 units).
bool GetShellFolderPath(RxChar* buffer, uint32_t csidl);

// An all-users folder built from the profile layout of the platform family,
// for when the shell cannot name it: <profiles root>\<subPath> on the NT
// family, <Windows>\<subPath> on the ANSI family. False only when the path
// would not fit in 260 units or the Windows folder is unknown.
bool GetAllUsersSubfolder(RxChar* buffer, const RxChar* subPath);

// True when removing the folder is forbidden: a drive root or any path of 3
// units or fewer, or one of the 25 well-known folders, named by any alias
// (case, trailing separator, "." and "..", "/", repeated "\", short names,
// a device prefix such as "\\?\"). A device path whose plain form cannot
// be told ("\\?\GLOBALROOT\...") and a path with a stream colon are
// protected too. A folder below a protected folder is not protected.
bool IsProtectedFolder(const RxChar* path);

// True for "X:\..." and "\\server\..." paths; anything else is taken
// relative to the install folder by the phases. A folder-tree text with a
// "#" that did not expand to an absolute path ("Samples\C#\*.*") is a plain
// relative name.
bool IsAbsolutePath(const RxChar* path);

// The sources of folder resolution, replaceable by the tests: the shell
// lookup (so the fallbacks for a shell that cannot name a folder can run),
// and the registry key of the program files folders.
struct FolderSources {
  bool (*shellFolderPath)(RxChar* buffer, uint32_t csidl);
  HKEY registryRoot;
  const RxChar* registryKey;
};
extern FolderSources folderSources;

// The protected folders are resolved once per run, on first use; a test
// that changes what they resolve to (the temporary folder, the sources
// above) forgets them with this.
void ResetProtectedFolders();
