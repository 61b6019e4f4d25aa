// Markers for scenarios that aim payloads at what must never go: a marker
// file, and a marker folder holding one, in every folder the program
// protects (as this machine resolves them for this user) and beside the
// application folder. A run removes none of them, however hostile its
// payload; the markers go when the test ends.
#pragma once
#include <string>
#include <vector>

#include "folders_scenario_support.h"

namespace harness {

class MarkedScenario : public RemovalScenario {
 protected:
  void TearDown() override {
    for (const std::wstring& file : markerFiles) DeleteFileW(file.c_str());
    for (auto it = markerFolders.rbegin(); it != markerFolders.rend(); ++it) RemoveDirectoryW(it->c_str());
  }
  // In the sandbox's "temp" (the runs' temporary folder), the shell's
  // folders, All Users, Quick Launch, the 64-bit Program Files, and beside
  // App and in its sibling Neighbour. A folder this machine lacks gets none.
  void PlaceMarkers() {
    ASSERT_TRUE(sandbox.MakeFolder(L"temp") && sandbox.MakeFolder(L"Neighbour"));
    std::vector<std::wstring> folders = {sandbox.Path(L"temp"), sandbox.root(), sandbox.Path(L"Neighbour")};
    for (int csidl : {CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILES_COMMON, CSIDL_DESKTOP,
                      CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_FONTS, CSIDL_PROGRAMS,
                      CSIDL_COMMON_PROGRAMS, CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU, CSIDL_STARTUP,
                      CSIDL_COMMON_STARTUP, CSIDL_APPDATA, CSIDL_COMMON_APPDATA, CSIDL_LOCAL_APPDATA,
                      CSIDL_COMMON_DOCUMENTS, CSIDL_PERSONAL, CSIDL_PROFILE})
      if (!ShellFolder(csidl).empty()) folders.push_back(ShellFolder(csidl));
    const std::wstring documents = ShellFolder(CSIDL_COMMON_DOCUMENTS);
    folders.push_back(documents.substr(0, documents.rfind(L'\\')));  // All Users
    for (int csidl : {CSIDL_APPDATA, CSIDL_COMMON_APPDATA})
      folders.push_back(ShellFolder(csidl) + L"\\Microsoft\\Internet Explorer\\Quick Launch");
    wchar_t path[MAX_PATH];
    DWORD bytes = sizeof path;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir",
                     RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, path, &bytes) == ERROR_SUCCESS)
      folders.push_back(path);
    for (const std::wstring& folder : folders) {
      const std::wstring name = folder + L"\\retrax-sentinel-" + sandbox.name();
      // One left by a run that was killed has this sandbox's name too: ours.
      if (folder.empty() || (!CreateDirectoryW(name.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS))
        continue;
      markerFolders.push_back(name);
      for (const std::wstring& file : {name + L".txt", name + L"\\inside.txt"})
        if (WriteWholeFile(file, {'s'})) markerFiles.push_back(file);
    }
    ASSERT_GE(markerFiles.size(), 2 * 20u) << "markers in the protected folders and beside App";
  }
  // Every marker placed is still there; the failure names the missing ones.
  ::testing::AssertionResult MarkersInPlace() const {
    std::string missing;
    for (const std::vector<std::wstring>* list : {&markerFiles, &markerFolders})
      for (const std::wstring& path : *list)
        if (!FileExists(path)) missing += "\n  " + Narrow(path);
    if (missing.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "markers lost:" << missing;
  }
  std::vector<std::wstring> markerFiles, markerFolders;
};

}  // namespace harness
