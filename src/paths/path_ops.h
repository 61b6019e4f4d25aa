// Path and file primitives shared by every phase. Paths are terminated wide
// strings with `\` separators in buffers of RX_MAX_PATH (260) characters.
// Every call goes through the system-call table, so these work on both
// platform families. Failures are reported by the result alone; handles
// returned here belong to the caller, who closes them.
#pragma once
#include <windows.h>

#include "paths/text_ops.h"

// Appends `\` unless the path is empty or already ends with one. False, with
// the path unchanged, when the buffer has no room for it.
bool AddBackslash(RxChar* path, size_t capacity = RX_MAX_PATH);

// Removes one trailing `\` from paths longer than 3 characters, so drive
// roots such as C:\ keep theirs.
void RemoveBackslash(RxChar* path);

bool SetCurrentFolder(const RxChar* path);

// The count GetCurrentDirectoryW(260, buffer) gives: the length on success,
// 0 on failure, and the size needed (more than 260) for a deeper folder. In
// the last two cases the buffer is made the empty string, so it never holds
// a stale path.
DWORD GetCurrentFolder(RxChar* buffer);

// Only an empty folder can be removed.
bool RemoveFolder(const RxChar* path);

// True when anything matches: a file or a folder, or, with wildcards in the
// path, any name they match.
bool FileExists(const RxChar* path);

// Read-only access lets other readers in; any write access shares nothing.
HANDLE OpenExistingFile(const RxChar* path, DWORD access);

// Creates the file or truncates an existing one, sharing nothing.
HANDLE CreateFileForWriting(const RxChar* path);

// Creates a file with the first free name in the temporary folder, trying
// the numbers 1 to 998 in `format` (one `%d` field, `%%` for a percent sign,
// e.g. "tmp%d.tmp"). A name that exists and a name that cannot be created
// both move on to the next number. `buffer` (260 characters) receives the
// full path last tried; after 998 failures the result is the invalid handle
// and the buffer names number 998. The invalid handle too, with an empty
// buffer, when the temporary folder is unknown or too long for a path.
// By default the file is created with CREATE_ALWAYS and no sharing; a caller
// that will load or run the file later can ask for CREATE_NEW and a share mode
// that keeps others from writing or deleting it.
HANDLE CreateNumberedTempFile(RxChar* buffer, const RxChar* format, DWORD disposition = CREATE_ALWAYS,
                              DWORD shareMode = 0);

// Prints `format` with its one `%d` field replaced by `number` into `dest`.
// False (with `dest` empty) when the result does not fit.
bool FormatNumberedName(RxChar* dest, size_t capacity, const RxChar* format, uint32_t number);
