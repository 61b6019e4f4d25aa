// Handing programs and documents to the shell, and the uninstaller's removal
// of its own file.
#pragma once

// Builds the header's pre-uninstall command (macros expanded, or relative to
// installDir) and launches it unless /X is given without /S.
void RunPreUninstallCommand();

// Opens program with the shell's "open" verb in the program's own folder;
// with wait, returns only when the started process has ended.
bool LaunchProgram(const wchar_t* program, const wchar_t* arguments, bool wait);

// Opens the final page: an address, or a document in its own folder.
void OpenFinalPage(const wchar_t* page);

// Copies the program proper to the temporary folder and starts the copy in
// the deletion mode on this file.
bool RemoveSelf();
