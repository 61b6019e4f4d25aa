// The progress bar and the message pump. The phases report after every
// entry; the windows are serviced only when the shown percentage changes, so
// a long list costs at most a hundred pump passes.
#include <windows.h>
#include <commctrl.h>

#include "driver/run_state.h"
#include "platform/system_calls.h"
#include "ui/ui.h"

void SetProgress(uint32_t percentage) {
  if (percentage > 100) percentage = 100;
  if (percentage == run.lastProgress) return;
  run.lastProgress = percentage;
  if (run.progressBar != nullptr) sys.SendMessageW(run.progressBar, PBM_SETPOS, percentage, 0);
  PumpMessages();
}

void PumpMessages() {
  MSG message;
  // Removed as they are peeked, so a message that GetMessage would still
  // wait for (the queue's state can change between a look and a take) never
  // blocks the removal.
  while (sys.PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    // A quit message here comes from a main window destroyed from outside;
    // there is no loop of ours to end, so it is dropped.
    if (message.message == WM_QUIT) continue;
    if (run.progressDialog != nullptr && sys.IsDialogMessageW(run.progressDialog, &message)) continue;
    TranslateMessage(&message);
    sys.DispatchMessageW(&message);
  }
}
