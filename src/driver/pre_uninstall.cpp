#include "driver/pre_uninstall.h"

#include "driver/launch.h"
#include "driver/run_log.h"
#include "driver/run_state.h"
#include "paths/folder_macros.h"
#include "paths/path_ops.h"
#include "payload/memory.h"

bool (*preUninstallLauncher)(const wchar_t* program, const wchar_t* arguments, bool wait) = LaunchProgram;

bool SplitCommandText(const RxChar* text, RxChar* program, size_t capacity, const RxChar** arguments) {
  *arguments = kEmptyText;
  const RxChar* begin = text;
  const RxChar* end = text + TextLength(text);
  if (text[0] == '"') {
    begin = text + 1;
    const RxChar* close = begin;
    while (*close != 0 && *close != '"') ++close;
    if (*close == '"') {
      end = close;
      if (close[1] != 0) {
        const RxChar* rest = close + 1;
        while (*rest == ' ') ++rest;
        *arguments = rest;
      }
    }
    while (begin < end && *begin == ' ') ++begin;
    while (end > begin + 1 && end[-1] == ' ') --end;
  }
  const size_t length = end - begin;
  // An empty program, or a folder (as an empty name relative to the install
  // folder becomes), would have the shell open a folder window.
  if (length == 0 || length >= capacity || end[-1] == '\\') {
    program[0] = 0;
    *arguments = kEmptyText;
    return false;
  }
  for (size_t i = 0; i < length; ++i) program[i] = begin[i];
  program[length] = 0;
  return true;
}

void RunPreUninstallCommand() {
  const RxChar* command = GetHeaderCommand(&uninstallData);
  // An empty command would name the install folder itself.
  if (command == nullptr || command[0] == 0) return;

  size_t start = command[0] == '"' ? 1 : 0;
  while (command[start] == ' ') ++start;

  RxChar* expansion = nullptr;
  const RxChar* text = nullptr;
  if (command[start] == '#') {
    const uint32_t length = ExpandFolderMacros(nullptr, command, FOLDER_MACRO_WORK_UNITS);
    // A cut expansion is not the installer's command.
    if (length >= FOLDER_MACRO_WORK_UNITS - 1) return;
    if (!MemAlloc((length + 1) * sizeof(RxChar), &expansion)) return;
    if (ExpandFolderMacros(expansion, command, length + 1) != length) {
      MemRelease(&expansion);
      return;
    }
    // The "#" still where it was and nothing grown or shrunk: no macro
    // expanded, and the text is a name relative to the install folder.
    if (expansion[start] == '#' && length == TextLength(command)) {
      MemRelease(&expansion);
    } else {
      text = expansion;
    }
  }
  if (text == nullptr) {
    RxChar* work = run.workPath;
    work[0] = 0;
    const bool built = (command[0] != '"' || CopyText(work, RX_MAX_PATH, L"\"")) &&
                       AppendText(work, RX_MAX_PATH, run.installDir) && AddBackslash(work) &&
                       AppendText(work, RX_MAX_PATH, command + start);
    if (!built) {
      work[0] = 0;
      return;
    }
    text = work;
  }

  RxChar program[RX_MAX_PATH];
  const RxChar* arguments;
  if (SplitCommandText(text, program, RX_MAX_PATH, &arguments) && (!run.switchX || run.switchS)) {
    LogCommand(program, preUninstallLauncher(program, arguments, (GetHeaderFlags(&uninstallData) & HEADER_WAIT_FOR_COMMAND) != 0));
  }
  MemRelease(&expansion);
}
