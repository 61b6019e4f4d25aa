// Visual styles and the common controls. The manifest asks for version 6 of
// the common controls, so everything is drawn with visual styles unless the
// payload's header leaves bit 1 clear, which keeps them for the frames only.
#include <windows.h>
#include <commctrl.h>

#include "driver/run_state.h"
#include "platform/system_calls.h"
#include "ui/ui.h"

namespace {
const DWORD STAP_ALLOW_NONCLIENT_ONLY = 1;
}

void LoadThemeSupport() {
  // From the system folder by full path: the program runs elevated and its
  // self-removal copy runs from the temporary folder, where anyone may have
  // left an uxtheme.dll. Windows 2000 and the 9x family have no uxtheme.
  run.themeLibrary = LoadSystemLibrary(L"uxtheme.dll");
  if (run.themeLibrary != nullptr)
    run.setThemeProperties = (void(WINAPI*)(DWORD))(void*)GetProcAddress(run.themeLibrary, "SetThemeAppProperties");
  // Registers the progress bar class; with the version 6 manifest it is
  // also what makes the loader bind comctl32 at all.
  InitCommonControls();
}

void RestrictVisualStyles() {
  if (run.setThemeProperties != nullptr) run.setThemeProperties(STAP_ALLOW_NONCLIENT_ONLY);
}

void ReleaseUiResources() {
  if (run.dialogFont != nullptr) DeleteObject(run.dialogFont);
  run.dialogFont = nullptr;
  if (run.themeLibrary != nullptr) FreeLibrary(run.themeLibrary);
  run.themeLibrary = nullptr;
  run.setThemeProperties = nullptr;
}
