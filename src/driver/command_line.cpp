#include "driver/command_line.h"

#include "driver/run_state.h"

namespace {

const wchar_t* SkipSpaces(const wchar_t* p) {
  while (*p == L' ') ++p;
  return p;
}

bool IsSwitchStart(wchar_t c) { return c == L'-' || c == L'/'; }

// Where the arguments begin: behind the quoted program name, or behind the
// first space of an unquoted one. So an unquoted name with a space in it
// (C:\Program Files\...) leaves the rest of the name to be read as the first
// argument, which is no switch and ends the parsing. Installers register
// the path quoted, as every path with a space must be.
const wchar_t* SkipProgramName(const wchar_t* text) {
  const wchar_t* p = text;
  if (*p == L'"') {
    for (++p; *p != 0 && *p != L'"'; ++p) {
    }
  } else {
    while (*p != 0 && *p != L' ') ++p;
  }
  return *p != 0 ? p + 1 : text;
}

}  // namespace

const wchar_t* ReadSwitchPath(const wchar_t* position, wchar_t* destination, size_t capacity, bool* tooLong) {
  const wchar_t* p = SkipSpaces(position);
  const bool quoted = *p == L'"';
  if (quoted) ++p;
  size_t length = 0;
  bool overflow = false;
  for (; *p != 0 && *p != (quoted ? L'"' : L' '); ++p) {
    if (length + 1 < capacity)
      destination[length++] = *p;
    else
      overflow = true;
  }
  if (quoted && *p == L'"') ++p;
  if (capacity > 0) destination[overflow ? 0 : length] = 0;
  if (tooLong != nullptr) *tooLong = overflow;
  return p;
}

RunMode ParseCommandLineText(const wchar_t* commandLine) {
  const wchar_t* p = SkipProgramName(commandLine);
  run.quiet = run.switchS = run.switchX = run.unattended = 0;
  run.workPath[0] = 0;
  if (run.logPath != nullptr) run.logPath[0] = 0;
  bool pathRefused = false;
  p = SkipSpaces(p);
  while (IsSwitchStart(*p)) {
    wchar_t letter = p[1];
    // A separator that ends the line names no switch; nothing lies beyond.
    if (letter == 0) break;
    if (letter >= L'a' && letter <= L'z') letter = (wchar_t)(letter - L'a' + L'A');
    p += 2;
    switch (letter) {
      case L'D':
        // A second /D replaces the first, a refusal included.
        p = ReadSwitchPath(p, run.workPath, RX_MAX_PATH, &pathRefused);
        break;
      case L'L':
        // A log path that does not fit is refused: no log rather than a log
        // under a cut name. The run itself goes on.
        p = ReadSwitchPath(p, run.logPath, run.logPath != nullptr ? RX_MAX_PATH : 0);
        break;
      case L'N':
        run.quiet = 1;
        run.unattended = 1;
        break;
      case L'Q':
        run.quiet = 1;
        break;
      case L'S':
        run.quiet = 1;
        run.switchS = 1;
        break;
      case L'X':
        run.quiet = 1;
        run.switchX = 1;
        break;
    }
    while (*p != 0 && *p != L' ' && !IsSwitchStart(*p)) ++p;
    p = SkipSpaces(p);
  }
  if (run.workPath[0] != 0) return RUN_DELETION;
  return pathRefused ? RUN_NOTHING : RUN_UNINSTALL;
}

RunMode ParseCommandLine() { return ParseCommandLineText(GetCommandLineW()); }
