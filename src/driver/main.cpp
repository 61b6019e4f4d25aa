// Entry point of retrax.exe: one run on one thread, either the uninstall or,
// for the temporary copy left by self-removal, the deletion of the
// uninstaller it was started for.
#include <windows.h>

#include "driver/command_line.h"
#include "driver/driver.h"
#include "platform/system_calls.h"

// The command line and show command of the arguments are not used: the line
// is read wide with GetCommandLineW, and the main window is never shown.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
#if defined(RETRAX_TEST_FORCE_ANSI_TABLE)
  // Exists for the tests alone (retrax_ansi.exe, never shipped): the table
  // of the ANSI-only family on a system whose wide functions work, so that
  // whole runs go through the adapters under Wine.
  SelectSystemCallsForPlatform(false);
#else
  SelectSystemCalls();
#endif
  DetectPlatform();
  int exitCode = -1;
  if (InitialiseRun(instance)) {
    exitCode = 0;
    switch (ParseCommandLine()) {
      case RUN_DELETION:
        FinishDeletion();
        break;
      case RUN_UNINSTALL:
        exitCode = RunUninstall();
        break;
      case RUN_NOTHING:
        break;
    }
  }
  TeardownRun();
  ReleaseSystemCalls();
  return exitCode;
}
