// Shared steps of the silent removal scenarios: App\uninstall.exe run with
// /S (its boxes answered and recorded, so that one shown by mistake fails
// at once, not at the time limit), markers in every folder the program
// protects, and the application the hostile payloads (tests/hostile) list.
#pragma once
#include <shlobj.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "harness/harness.h"
#include "hostile/hostile_payloads.h"

namespace harness {

// The shell's folder of a CSIDL, or "" when it has none here.
inline std::wstring ShellFolder(int csidl) {
  wchar_t path[MAX_PATH];
  return SHGetFolderPathW(nullptr, csidl, nullptr, 0, path) == S_OK ? path : L"";
}

}  // namespace harness

namespace hostile {

const DWORD kFailed = 0xFFFFFFFFu;  // exit code -1
// What the base payload lists (cache\old.tmp for the tree cache\*.tmp).
const wchar_t* const kAppFiles[] = {L"App\\app.exe", L"App\\data\\settings.ini", L"App\\cache\\old.tmp"};

// Markers placed and the application installed.
class HostileScenario : public harness::ScenarioTest {
 protected:
  void SetUp() override {
    harness::ScenarioTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(PlaceMarkers());
    ASSERT_TRUE(InstallApp());
  }
  void TearDown() override {
    for (const std::wstring& file : markerFiles) DeleteFileW(file.c_str());
    for (auto it = markerFolders.rbegin(); it != markerFolders.rend(); ++it) RemoveDirectoryW(it->c_str());
  }
  bool InstallApp() {
    bool ok = true;
    for (const wchar_t* file : kAppFiles) ok = ok && sandbox.InstallFile(file, 0);
    return ok;
  }
  harness::RunOptions Options(DWORD limitMs = harness::kDefaultRunTimeoutMs) const {
    harness::RunOptions options;
    options.dismissDialogs = true, options.sandbox = &sandbox, options.timeoutMs = limitMs;
    return options;
  }
  // Writes App\uninstall.exe with the payload and runs it with /S from
  // folder (its own when empty), with environment over the sandbox's.
  harness::RunResult Run(const Bytes& payload, DWORD limitMs = harness::kDefaultRunTimeoutMs,
                         const std::wstring& folder = L"") {
    program = sandbox.WriteUninstaller(L"App\\uninstall.exe", payload);
    EXPECT_FALSE(program.empty());
    harness::Process process;
    sandbox.PrepareProcess(&process);
    for (const auto& variable : environment) process.SetEnvironment(variable.first, variable.second);
    if (!process.Start(program, L"/S", folder)) return harness::RunResult();
    return harness::FinishAnswering(&process, limitMs);
  }
  std::u16string At(const std::wstring& relative) const { return harness::U16(sandbox.Path(relative)); }

  // A marker file and a marker folder holding one in the sandbox's "temp"
  // (the runs' temporary folder), the shell's folders, All Users, Quick
  // Launch, the 64-bit Program Files, beside App and in its sibling
  // Neighbour; none in a folder this machine lacks.
  void PlaceMarkers() {
    ASSERT_TRUE(sandbox.MakeFolder(L"temp") && sandbox.MakeFolder(L"Neighbour"));
    std::vector<std::wstring> folders = {sandbox.Path(L"temp"), sandbox.root(), sandbox.Path(L"Neighbour")};
    for (int csidl : {CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILES_COMMON, CSIDL_DESKTOP,
                      CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_FONTS, CSIDL_PROGRAMS,
                      CSIDL_COMMON_PROGRAMS, CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU, CSIDL_STARTUP,
                      CSIDL_COMMON_STARTUP, CSIDL_APPDATA, CSIDL_COMMON_APPDATA, CSIDL_LOCAL_APPDATA,
                      CSIDL_COMMON_DOCUMENTS, CSIDL_PERSONAL, CSIDL_PROFILE})
      if (!harness::ShellFolder(csidl).empty()) folders.push_back(harness::ShellFolder(csidl));
    const std::wstring documents = harness::ShellFolder(CSIDL_COMMON_DOCUMENTS);
    folders.push_back(documents.substr(0, documents.rfind(L'\\')));  // All Users
    for (int csidl : {CSIDL_APPDATA, CSIDL_COMMON_APPDATA})
      folders.push_back(harness::ShellFolder(csidl) + L"\\Microsoft\\Internet Explorer\\Quick Launch");
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
        if (harness::WriteWholeFile(file, {'s'})) markerFiles.push_back(file);
    }
    ASSERT_GE(markerFiles.size(), 2 * 20u) << "markers in the protected folders and beside App";
  }
  // Exit 0 without a box, or -1 after reports boxes (c's text and caption
  // when given) with nothing of App removed; no marker lost either way, and
  // nothing left in the run's temporary folder but the markers.
  void ExpectOutcome(const harness::RunResult& run, bool completes, const Case* c = nullptr, size_t reports = 1) {
    EXPECT_TRUE(harness::ExitedWith(run, completes ? 0 : kFailed));
    ASSERT_EQ(run.dialogs.size(), completes ? 0u : reports);
    if (!completes) {
      if (c && reports) {
        EXPECT_EQ(run.dialogs[0].text, harness::Wide(c->report.For(harness::U16(program))));
        EXPECT_EQ(run.dialogs[0].caption, harness::Wide(c->report.caption));
      }
      for (const wchar_t* file : kAppFiles) EXPECT_TRUE(sandbox.Exists(file)) << "a damaged payload removes nothing";
    }
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(sandbox.Path(L"temp\\*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
      EXPECT_EQ(found.cFileName[0] == L'.' || wcsncmp(found.cFileName, L"retrax-sentinel-", 16) == 0, true)
          << "left in the run's temporary folder: " << harness::Narrow(found.cFileName);
    FindClose(search);
    for (const std::vector<std::wstring>* list : {&markerFiles, &markerFolders})
      for (const std::wstring& path : *list)
        EXPECT_TRUE(harness::FileExists(path)) << "marker lost: " << harness::Narrow(path);
  }

  std::vector<std::pair<std::wstring, std::wstring>> environment;  // for Run
  std::wstring program;                                            // written by Run
  std::vector<std::wstring> markerFiles, markerFolders;
};

}  // namespace hostile
