// The uninstall sequence: one fixed order of steps, each a call into
// another part of the program. After the confirmation there is no early
// exit: every phase runs over its whole list whatever the earlier ones met.
#include "driver/driver.h"
#include "driver/launch.h"
#include "driver/run_log.h"
#include "driver/run_state.h"
#include "payload/extension_host.h"
#include "platform/system_calls.h"
#include "removal/removal.h"
#include "resources/resource.h"
#include "ui/messages.h"
#include "ui/ui.h"

namespace {

const int EXIT_OK = 0;
const int EXIT_FAILED = -1;
// Under /N, the codes deployment tools read: a restart completes the
// removal; a listed program was running and nothing was removed.
const int EXIT_RESTART_NEEDED = 3010;
const int EXIT_PROGRAM_RUNNING = 1602;

// A new progress text is shown at once: between progress changes nothing
// else would paint it, and a phase may not move the bar at all.
void ShowProgressText(int index) {
  if (run.progressDialog == nullptr) return;
  sys.SetDlgItemTextW(run.progressDialog, IDC_PROGRESS_TEXT, GetMessageText(0, index));
  PumpMessages();
}

// The confirmation and the running-program warning. Only OK goes on, and
// only Retry asks again: Cancel, and 0 from a box that could not be shown,
// end the run with nothing removed. Returns the proceed answer.
int AskToProceed() {
  int answer = ShowMessageBox(GetMessageText(0, MSG_CONFIRM), MB_OKCANCEL | MB_ICONINFORMATION);
  LogQuestion(MSG_CONFIRM, nullptr, answer, BY_USER);
  if (answer != IDOK) return answer;
  while (AnyProgramRunning()) {
    answer = ShowMessageBox(GetMessageText(0, MSG_PROGRAM_RUNNING), MB_RETRYCANCEL | MB_ICONINFORMATION);
    LogQuestion(MSG_PROGRAM_RUNNING, run.workPath, answer, BY_USER);
    if (answer != IDRETRY) return IDCANCEL;
  }
  return IDOK;
}

// /N asks nothing: a listed program that runs stops the run before
// anything is removed.
int CheckUnattended() {
  if (!AnyProgramRunning()) return IDOK;
  LogAction(LOG_PROGRAM_RUNNING, run.workPath);
  return IDCANCEL;
}

}  // namespace

void RemoveEverything() {
  LoadExtensionLibrary();
  RunPreUninstallCommand();
  if (!run.quiet) CreateProgressWindow();
  CallExtension(EXT_BEFORE_REMOVAL, nullptr, 0);
  LogPhase("files");
  RemoveFiles();
  LogPhase("trees");
  RemoveFolderTrees();
  ShowProgressText(MSG_PROGRESS_SHORTCUTS);
  LogPhase("shortcuts");
  RemoveShortcutFiles();
  RemoveShortcutFolders();
  ShowProgressText(MSG_PROGRESS_FOLDERS);
  LogPhase("folders");
  PruneInstallFolders();
  ShowProgressText(MSG_PROGRESS_REGISTRY);
  LogPhase("registry");
  RemoveRegistryEntries();
  LogPhase(nullptr);
  ShowPhaseProgress(run.progressTotal);
  CallExtension(EXT_AFTER_REMOVAL, nullptr, 0);
  if (run.progressDialog != nullptr) {
    DestroyWindow(run.progressDialog);
    run.progressDialog = nullptr;
    run.progressBar = nullptr;
  }
  if (!run.quiet) {
    const wchar_t* done = GetMessageText(0, MSG_DONE);
    if (done[0] != 0) ShowMessageBox(done, MB_ICONINFORMATION);
  }
  const wchar_t* finalPage = GetHeaderFinalPage(&uninstallData);
  if (!run.switchS && !run.switchX && !run.unattended && finalPage != nullptr) OpenFinalPage(finalPage);
}

void CreateProgressWindow() {
  run.progressDialog = sys.CreateDialogParamW(run.instance, MAKEINTRESOURCEW(IDD_PROGRESS), run.mainWindow,
                                              ProgressDialogProc, 0);
  if (run.progressDialog == nullptr) {
    run.progressTotal = 0;
    return;
  }
  run.progressBar = GetDlgItem(run.progressDialog, IDC_PROGRESS_BAR);
  // One span per phase, in the order they run: files, shortcut files,
  // shortcut folders, install folders (a second pass over the files), then
  // the registry. The spans never overlap, so the bar only moves forward.
  run.progressTotal = 2 * (uninstallData.files.count + uninstallData.shortcuts.count) + uninstallData.registry.count;
  ShowProgressText(MSG_PROGRESS_FILES);
}

int RunUninstall() {
  OpenRunLog();
  int exitCode = EXIT_FAILED;
  if (ReadUninstallPayload()) {
    exitCode = RunUninstallSteps();
  } else {
    ReleaseUninstallData();
  }
  CloseRunLog(exitCode);
  return exitCode;
}

int RunUninstallSteps() {
  if (!(GetHeaderFlags(&uninstallData) & HEADER_KEEP_VISUAL_STYLES)) RestrictVisualStyles();
  if (!RegisterMainWindowClass()) {
    ReleaseUninstallData();
    // Nothing was removed: under /N that is no success.
    return run.unattended ? EXIT_FAILED : EXIT_OK;
  }
  if (!CreateMainWindow()) {
    ReleaseUninstallData();
    return EXIT_FAILED;
  }
  const int proceed = run.unattended ? CheckUnattended() : run.quiet ? IDOK : AskToProceed();
  if (proceed == IDOK) RemoveEverything();

  DestroyMainWindow();
  ReleaseUninstallData();
  // A cancelled run leaves the uninstaller in place, ready for another try.
  if (proceed == IDOK && !run.switchS && !run.switchX) RemoveSelf();
  if (!run.unattended) return EXIT_OK;
  if (proceed != IDOK) return EXIT_PROGRAM_RUNNING;
  return run.restartNeeded ? EXIT_RESTART_NEEDED : EXIT_OK;
}
