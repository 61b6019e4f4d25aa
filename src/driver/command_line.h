// The uninstaller's command line: switches `-` or `/` with one letter, case
// ignored, anything after the letter up to the next separator ignored
// (/Silent is /S). D takes a path (the deletion mode), Q is quiet, S quiet
// without final page and self-removal, X as S but also without the
// pre-uninstall command unless S is given too. N is unattended: quiet, no
// window of any kind, every question answered by rule, deployment exit
// codes. L takes the path of the run's log.
#pragma once
#include <stddef.h>

enum RunMode {
  RUN_UNINSTALL,  // no /D path: the uninstall sequence
  RUN_DELETION,   // /D with a path: delete that file and its emptied folder
  RUN_NOTHING,    // /D with a path too long for a path buffer: refused
};

// Parses GetCommandLineW into run.quiet, run.switchS, run.switchX,
// run.unattended, run.workPath (which must be allocated) and run.logPath
// (when allocated).
RunMode ParseCommandLine();

// The same over a whole command line, program name first.
RunMode ParseCommandLineText(const wchar_t* commandLine);

// Copies one path argument, after any spaces: in double quotes up to the
// closing quote, else up to the next space. Returns the position behind it
// (behind the closing quote, or at the space or the end). A path that does
// not fit capacity - 1 units is consumed but not kept: the destination is
// left empty and *tooLong set, since a shortened path names another file.
const wchar_t* ReadSwitchPath(const wchar_t* position, wchar_t* destination, size_t capacity,
                              bool* tooLong = nullptr);
