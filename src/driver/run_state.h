// The one process-wide record of a run. Every phase reads and writes these
// fields by name; nobody keeps copies.
#pragma once
#include <windows.h>
#include <stdint.h>
#include "payload/uninstall_data.h"

struct RunState {
  HINSTANCE instance;
  bool isNT;   // GetVersionExA reports VER_PLATFORM_WIN32_NT
  bool isNT6;  // isNT and major version above 5
  OSVERSIONINFOA version;  // as GetVersionExA reported it (zeros if it failed)
  uint32_t quiet;    // /Q, /S or /X
  uint32_t switchS;  // /S
  uint32_t switchX;  // /X
  uint32_t unattended;  // /N: no window ever, questions answered by rule
  bool restartNeeded;   // /N scheduled something for removal at restart

  // 260-unit buffers, allocated zero-filled at start-up.
  wchar_t* modulePath;  // full path of the running program file
  wchar_t* workPath;    // shared scratch path of the phases; /D argument
  wchar_t* installDir;  // the program's folder, with one trailing backslash
  wchar_t* logPath;     // /L argument; empty without one

  HWND mainWindow;
  HWND progressDialog;
  HWND progressBar;
  uint32_t progressTotal;  // 0 while there is no progress window

  // User interface.
  uint32_t lastProgress;
  HFONT dialogFont;
  HMODULE themeLibrary;
  void(WINAPI* setThemeProperties)(DWORD);  // SetThemeAppProperties, if present
};

extern RunState run;

// The payload's lists, header, message table and extension blob, owned by the
// payload subsystem from the read to the release at the end of the run.
extern UninstallData uninstallData;
