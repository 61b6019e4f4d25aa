#include "ui/messages.h"

#include "driver/run_state.h"
#include "platform/system_calls.h"

const wchar_t* GetMessageText(int slot, int index) { return LookupMessage(&uninstallData, slot, index); }

void FormatMessageText(wchar_t* out, int index, const wchar_t* argument, uint32_t capacity) {
  FormatMessageInto(out, capacity, GetMessageText(0, index), argument);
}

int ShowMessageBox(const wchar_t* text, UINT style) {
  // Under /N nothing is ever shown; every caller takes 0 as "no box".
  if (run.unattended) return 0;
  return sys.MessageBoxW(run.mainWindow, text, GetMessageText(0, MSG_TITLE), style);
}
