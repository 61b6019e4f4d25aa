// Launching programs and documents through the shell's "open" verb, so that
// the pre-uninstall command and the final page may name a program or any
// document with an associated application.
#include <windows.h>
#include <shellapi.h>

#include "driver/launch.h"
#include "paths/path_ops.h"
#include "platform/system_calls.h"
#include "ui/ui.h"

namespace {

const DWORD PUMP_INTERVAL_MS = 200;

// Wakes for every message of our windows and at least every 200 ms, and
// ends with the process. The process's signal is the test, not its exit
// code: a program that exits with 259 (STILL_ACTIVE) would otherwise be
// waited for as long as the uninstaller runs. A handle that cannot be
// waited on ends the wait at once (WAIT_FAILED).
void WaitForProcess(HANDLE process) {
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));  // IDC_WAIT
  for (;;) {
    const DWORD woken = MsgWaitForMultipleObjects(1, &process, FALSE, PUMP_INTERVAL_MS, QS_ALLINPUT);
    if (woken != WAIT_TIMEOUT && woken != WAIT_OBJECT_0 + 1) break;
    PumpMessages();
  }
  SetCursor(previous);
}

}  // namespace

DWORD lastLaunchExitCode = STILL_ACTIVE;

bool CopyParentFolder(wchar_t* folder, size_t capacity, const wchar_t* path) {
  if (!CopyText(folder, capacity, path)) return false;
  wchar_t* cut = FindLastBackslash(folder);
  if (cut == nullptr) return false;
  // "C:" alone is the current folder of drive C:, not its root; "" is no
  // folder at all.
  if (cut == folder || cut[-1] == ':') ++cut;
  *cut = 0;
  return true;
}

bool LaunchProgram(const wchar_t* program, const wchar_t* arguments, bool wait) {
  lastLaunchExitCode = STILL_ACTIVE;
  // The program is never cut to fit: a shorter path names another program.
  if (TextLength(program) >= LAUNCH_PROGRAM_CAPACITY) return false;

  // The launched program takes the current folder as its working folder.
  // It is moved only when it can be put back: a folder deeper than the
  // buffer could not be restored.
  wchar_t saved[RX_MAX_PATH];
  wchar_t folder[LAUNCH_PROGRAM_CAPACITY];
  const DWORD savedLength = GetCurrentFolder(saved);
  const bool moved = savedLength != 0 && savedLength < RX_MAX_PATH &&
                     CopyParentFolder(folder, LAUNCH_PROGRAM_CAPACITY, program) && SetCurrentFolder(folder);

  SHELLEXECUTEINFOW request;
  ZeroMemory(&request, sizeof request);
  request.cbSize = sizeof request;
  // No error box of the shell's own: a command that cannot start is skipped.
  request.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  request.lpVerb = L"open";
  request.lpFile = program;
  request.lpParameters = arguments;
  request.nShow = SW_SHOW;
  const bool launched = sys.ShellExecuteExW(&request) != FALSE;
  // No handle when the shell handed a document to an application that was
  // already running: there is nothing to wait for.
  if (launched && request.hProcess != nullptr) {
    if (wait) {
      WaitForProcess(request.hProcess);
      if (!GetExitCodeProcess(request.hProcess, &lastLaunchExitCode)) lastLaunchExitCode = STILL_ACTIVE;
    }
    CloseHandle(request.hProcess);
  }
  if (moved) SetCurrentFolder(saved);
  return launched;
}

void OpenFinalPage(const wchar_t* page) {
  if (TextLength(page) >= RX_MAX_PATH) return;
  // A document opens in its own folder; an address or a bare name has none.
  wchar_t folder[RX_MAX_PATH];
  const wchar_t* directory = nullptr;
  if (!EqualNoCaseN(page, L"http://", 7) && !EqualNoCaseN(page, L"https://", 8) &&
      CopyParentFolder(folder, RX_MAX_PATH, page)) {
    directory = folder;
  }
  sys.ShellExecuteW(nullptr, L"open", page, nullptr, directory, SW_SHOW);
}
