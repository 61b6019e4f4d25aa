// The uninstall sequence: one fixed order of steps, each a call into
// another part of the program. After the confirmation there is no early
// exit: every phase runs over its whole list whatever the earlier ones met.
#include "driver/driver.h"
#include "driver/launch.h"
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
  if (answer != IDOK) return answer;
  while (AnyProgramRunning()) {
    if (ShowMessageBox(GetMessageText(0, MSG_PROGRAM_RUNNING), MB_RETRYCANCEL | MB_ICONINFORMATION) != IDRETRY)
      return IDCANCEL;
  }
  return IDOK;
}

void RemoveEverything() {
  LoadExtensionLibrary();
  RunPreUninstallCommand();
  if (!run.quiet) CreateProgressWindow();
  CallExtension(EXT_BEFORE_REMOVAL, nullptr, 0);
  RemoveFiles();
  RemoveFolderTrees();
  ShowProgressText(MSG_PROGRESS_SHORTCUTS);
  RemoveShortcutFiles();
  RemoveShortcutFolders();
  ShowProgressText(MSG_PROGRESS_FOLDERS);
  PruneInstallFolders();
  ShowProgressText(MSG_PROGRESS_REGISTRY);
  RemoveRegistryEntries();
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
  if (!run.switchS && !run.switchX && finalPage != nullptr) OpenFinalPage(finalPage);
}

}  // namespace

void CreateProgressWindow() {
  run.progressDialog = sys.CreateDialogParamW(run.instance, MAKEINTRESOURCEW(IDD_PROGRESS), run.mainWindow,
                                              ProgressDialogProc, 0);
  if (run.progressDialog == nullptr) {
    run.progressTotal = 0;
    return;
  }
  run.progressBar = GetDlgItem(run.progressDialog, IDC_PROGRESS_BAR);
  run.progressTotal = uninstallData.registry.count + 2 * uninstallData.files.count + uninstallData.shortcuts.count;
  ShowProgressText(MSG_PROGRESS_FILES);
}

int RunUninstall() {
  if (!ReadUninstallPayload()) {
    ReleaseUninstallData();
    return EXIT_FAILED;
  }
  return RunUninstallSteps();
}

int RunUninstallSteps() {
  if (!(GetHeaderFlags(&uninstallData) & HEADER_KEEP_VISUAL_STYLES)) RestrictVisualStyles();
  if (!RegisterMainWindowClass()) {
    ReleaseUninstallData();
    return EXIT_OK;
  }
  if (!CreateMainWindow()) {
    ReleaseUninstallData();
    return EXIT_FAILED;
  }
  const int proceed = run.quiet ? IDOK : AskToProceed();
  if (proceed == IDOK) RemoveEverything();

  DestroyMainWindow();
  ReleaseUninstallData();
  // A cancelled run leaves the uninstaller in place, ready for another try.
  if (proceed == IDOK && !run.switchS && !run.switchX) RemoveSelf();
  return EXIT_OK;
}
