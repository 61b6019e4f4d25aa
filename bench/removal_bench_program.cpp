// The removal of an uninstall alone, without the process's start-up around
// it. Linked from retrax_core with the program's resources; the driver
// attaches the payload to this program and starts it where the uninstaller
// would run, with /S.
//
//   retrax_bench_removal.exe /S
//
// Untimed, as retrax.exe does them: the system-call table, the platform, the
// run's start-up (OLE, the theme library), the command line, the payload
// read, the hidden main window. Timed with the performance counter:
// RemoveEverything, the sequence a run goes through once it may go on.
// Untimed again: the teardown. The exit code is the time of the removal in
// microseconds, -1 when anything before it failed.
#include <windows.h>

#include "driver/command_line.h"
#include "driver/driver.h"
#include "driver/run_state.h"
#include "payload/format.h"
#include "platform/system_calls.h"
#include "ui/ui.h"

namespace {

double NowUs() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return (double)now.QuadPart * 1e6 / (double)frequency.QuadPart;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  SelectSystemCalls();
  DetectPlatform();
  int took = -1;
  if (InitialiseRun(instance) && ParseCommandLine() == RUN_UNINSTALL && ReadUninstallPayload()) {
    if (!(GetHeaderFlags(&uninstallData) & HEADER_KEEP_VISUAL_STYLES)) RestrictVisualStyles();
    if (RegisterMainWindowClass() && CreateMainWindow()) {
      const double start = NowUs();
      RemoveEverything();
      took = (int)(NowUs() - start);
      DestroyMainWindow();
    }
    ReleaseUninstallData();
  }
  TeardownRun();
  ReleaseSystemCalls();
  return took;
}
