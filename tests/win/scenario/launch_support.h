// Shared by the launch and self-removal scenarios: runs answered like a
// person who agrees to everything, and what a run leaves behind.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "harness/harness.h"
#include "recorder/recorder_log.h"

namespace launch_support {

// Answers every box and dialog of the run with OK (Cancel where there is
// no OK) until the program ends, then finishes it.
inline harness::RunResult FinishAnswering(harness::Process* process, DWORD timeoutMs = 30000) {
  std::vector<HWND> handled;
  const DWORD start = GetTickCount();
  while (!process->Ended() && GetTickCount() - start < timeoutMs) {
    const harness::Dialog dialog = harness::WaitForDialog(*process, 500, handled);
    if (!dialog) continue;
    handled.push_back(dialog.window());
    dialog.Press(dialog.HasButton(IDOK) ? IDOK : IDCANCEL);
  }
  return process->Finish(1000);
}

struct MainWindowSearch {
  DWORD id;
  HWND found;
};
inline BOOL CALLBACK FindMainWindow(HWND window, LPARAM context) {
  MainWindowSearch* search = reinterpret_cast<MainWindowSearch*>(context);
  DWORD owner = 0;
  wchar_t name[32];
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->id || !GetClassNameW(window, name, 32) || wcscmp(name, L"RetraxClass") != 0) return TRUE;
  search->found = window;
  return FALSE;
}

// The hidden main window of the process, or NULL.
inline HWND MainWindowOf(const harness::Process& process) {
  MainWindowSearch search = {process.id(), NULL};
  EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The names of the files in a folder, "." and ".." left out.
inline std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0) names.push_back(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

}  // namespace launch_support
