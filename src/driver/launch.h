// Handing programs and documents to the shell, and the uninstaller's removal
// of its own file.
#pragma once
#include <stddef.h>
#include <stdint.h>

// Builds the header's pre-uninstall command (macros expanded, or relative to
// installDir) and launches it unless /X is given without /S.
void RunPreUninstallCommand();

// The longest program path LaunchProgram takes, terminator included; a
// longer one is not launched.
enum { LAUNCH_PROGRAM_CAPACITY = 268 };

// Opens program with the shell's "open" verb in the program's own folder;
// with wait, returns only when the started process has ended, keeping the
// windows answering meanwhile. False when the shell refused, or the program
// path is too long to be launched whole.
bool LaunchProgram(const wchar_t* program, const wchar_t* arguments, bool wait);

// The exit code of the program the last LaunchProgram waited for;
// STILL_ACTIVE when it was not waited for or did not start.
extern unsigned long lastLaunchExitCode;

// Opens the final page: an address, or a document in its own folder. A page
// of 260 characters or more is not opened.
void OpenFinalPage(const wchar_t* page);

// The folder part of path, for a current folder or the shell's directory:
// the text before the last backslash, except that a drive root ("C:\x") or
// the root of the current drive ("\x") keeps its backslash. False when the
// path holds no backslash or the folder does not fit.
bool CopyParentFolder(wchar_t* folder, size_t capacity, const wchar_t* path);

// Copies the program proper to the temporary folder and starts the copy in
// the deletion mode on this file. True when the copy was started.
bool RemoveSelf();

// RemoveSelf for a given program file: its first programLength bytes go to
// a new "_uins%d.exe" in the temporary folder, which is registered for
// deletion at restart and started hidden with /D"programPath" in that
// folder. A copy that could not be written and checked whole is deleted and
// not started.
bool StartDeletionCopy(const wchar_t* programPath, uint32_t programLength);

// Has the file deleted at the next system start: MoveFileExW on the NT
// family; on the ANSI family a "NUL=<short path>" line in the Rename section
// of WININIT.INI. True when the request was recorded.
bool DeleteAtRestart(const wchar_t* path);
