// The pre-uninstall command of the payload's header: its text, built and
// split into a program and its arguments, and the launch.
#pragma once
#include <stddef.h>

#include "paths/text_ops.h"

// Splits a command text. A text that begins with a double quote names its
// program between that quote and the next one (spaces trimmed on both
// sides), and the arguments follow the closing quote (leading spaces
// skipped); when nothing follows the closing quote, or there is none, the
// program is the rest of the text without the quotes and there are no
// arguments. An unquoted text is the program as a whole, spaces included,
// with no arguments. program receives the program (capacity units);
// *arguments points into text, or to an empty text. False, with program
// empty, when the program is empty, names a folder (ends with a backslash)
// or does not fit: such a command is not launched.
bool SplitCommandText(const RxChar* text, RxChar* program, size_t capacity, const RxChar** arguments);

// How the command is started: LaunchProgram; the tests replace it to see
// what would be launched.
extern bool (*preUninstallLauncher)(const wchar_t* program, const wchar_t* arguments, bool wait);
