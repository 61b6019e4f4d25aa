// Self-removal in whole runs: what a confirmed run leaves in the temporary
// folder and the registry, that the uninstaller and its emptied folder go,
// which runs keep the uninstaller, the restart deletion of the ANSI family,
// and the deletion mode on its own.
#include <thread>
#include <string>
#include <vector>

#include "harness/harness.h"
#include "launch_support.h"

using harness::Bytes;
using harness::ExitedWith;
using harness::Process;

namespace {

std::vector<std::wstring> PendingDeletions() {
  std::vector<std::wstring> names;
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_QUERY_VALUE,
                    &key) != ERROR_SUCCESS) {
    return names;
  }
  std::vector<wchar_t> value(1 << 18);
  DWORD size = static_cast<DWORD>(value.size() * sizeof(wchar_t) - 4);
  if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr,
                       reinterpret_cast<BYTE*>(value.data()), &size) == ERROR_SUCCESS) {
    // Pairs of source and target; the target of a deletion is empty.
    const wchar_t* end = value.data() + size / sizeof(wchar_t);
    for (const wchar_t* p = value.data(); p < end; p += wcslen(p) + 1) {
      if (*p != 0) names.push_back(p);
    }
  }
  RegCloseKey(key);
  return names;
}

bool EndsWithNoCase(const std::wstring& text, const std::wstring& end) {
  return text.size() >= end.size() && _wcsicmp(text.c_str() + text.size() - end.size(), end.c_str()) == 0;
}

class SelfRemoval : public harness::ScenarioTest {
 protected:
  void SetUp() override {
    harness::ScenarioTest::SetUp();
    ASSERT_TRUE(sandbox.MakeFolder(L"temp"));
  }
  std::wstring WriteUninstaller(const std::wstring& relative = L"App\\uninstall.exe") {
    return sandbox.WriteUninstaller(relative, harness::StandardPayload());
  }
  // A quiet or silent run, finished with everything it started.
  void RunQuiet(const std::wstring& program, const std::wstring& switches) {
    Process process;
    sandbox.PrepareProcess(&process);
    ASSERT_TRUE(process.Start(program, switches));
    EXPECT_TRUE(ExitedWith(process.Finish(), 0)) << harness::Narrow(switches);
    EXPECT_TRUE(process.WaitForDescendants(20000)) << "the copy ends within its 12 attempts";
  }
  std::vector<std::wstring> CopiesInTemp() {
    std::vector<std::wstring> copies;
    for (const std::wstring& name : launch_support::FilesIn(sandbox.Path(L"temp"))) {
      if (name.compare(0, 5, L"_uins") == 0) copies.push_back(name);
    }
    return copies;
  }
};

TEST_F(SelfRemoval, AConfirmedRunLeavesACopyOfTheProgramProperAndNoUninstaller) {
  ASSERT_TRUE(sandbox.WriteFile(L"temp\\_uins1.exe", {'1'}));
  ASSERT_TRUE(sandbox.WriteFile(L"temp\\_uins2.exe", {'2'}));
  // A library under a system library's name where the copy runs: it must
  // stay unloaded. First proof that it tells when it is loaded at all.
  Bytes planted;
  ASSERT_TRUE(harness::LoadEmbeddedFile(L"RETRAX_TEST_PLANTED_DLL", &planted));
  ASSERT_TRUE(sandbox.WriteFile(L"probe\\probe.dll", planted));
  HMODULE probe = LoadLibraryW(sandbox.Path(L"probe\\probe.dll").c_str());
  ASSERT_NE(probe, nullptr);
  FreeLibrary(probe);
  ASSERT_TRUE(sandbox.Exists(L"probe\\planted.log")) << "the planted library records its loading";
  ASSERT_TRUE(sandbox.WriteFile(L"temp\\uxtheme.dll", planted));

  const std::wstring program = WriteUninstaller();
  Process process;
  sandbox.PrepareProcess(&process);
  ASSERT_TRUE(process.Start(program));
  EXPECT_TRUE(ExitedWith(launch_support::FinishAnswering(&process), 0));
  EXPECT_TRUE(process.WaitForDescendants(20000));

  EXPECT_FALSE(sandbox.Exists(L"App\\uninstall.exe"));
  EXPECT_FALSE(sandbox.Exists(L"App")) << "the emptied folder goes too";
  const std::wstring copy = sandbox.Path(L"temp\\_uins3.exe");
  Bytes copied;
  ASSERT_TRUE(harness::ReadWholeFile(copy, &copied)) << "the next free number";
  EXPECT_EQ(copied.size(), harness::RetraxProgram().size()) << "payloadOffset bytes";
  EXPECT_TRUE(copied == harness::RetraxProgram()) << "the program proper, without the payload";
  EXPECT_FALSE(sandbox.Exists(L"temp\\planted.log")) << "the copy loaded the planted uxtheme.dll";
  EXPECT_TRUE(harness::ReadWholeFile(sandbox.Path(L"temp\\_uins1.exe"), &copied) && copied == Bytes{'1'});
}

bool IsRegisteredForRestart(const std::wstring& path) {
  for (const std::wstring& name : PendingDeletions()) {
    if (EndsWithNoCase(name, path)) return true;
  }
  return false;
}

// The value is shared by every process of the prefix, and Wine's MoveFileEx
// reads it, appends and writes it back: a parallel test's run registering
// its copy at the same moment can overwrite ours. A missing entry is
// therefore given two more runs; a copy that is never registered fails.
TEST_F(SelfRemoval, TheCopyIsRegisteredForDeletionAtRestart) {
  bool registered = false;
  for (int run = 1; run <= 3 && !registered; ++run) {
    RunQuiet(WriteUninstaller(), L"/Q");
    registered = IsRegisteredForRestart(sandbox.Path(L"temp\\_uins" + std::to_wstring(run) + L".exe"));
  }
  EXPECT_TRUE(registered);
}

TEST_F(SelfRemoval, AFolderThatHoldsMoreKeepsItAndLosesOnlyTheUninstaller) {
  ASSERT_TRUE(sandbox.InstallFile(L"App\\notes.txt"));
  RunQuiet(WriteUninstaller(), L"/Q");
  EXPECT_FALSE(sandbox.Exists(L"App\\uninstall.exe"));
  EXPECT_TRUE(sandbox.Exists(L"App\\notes.txt"));
  EXPECT_EQ(CopiesInTemp(), std::vector<std::wstring>{L"_uins1.exe"});
}

TEST_F(SelfRemoval, CancelledSilentAndXRunsKeepTheUninstaller) {
  const std::wstring program = WriteUninstaller();
  {
    Process process;
    sandbox.PrepareProcess(&process);
    ASSERT_TRUE(process.Start(program));
    const harness::Dialog confirmation = harness::WaitForDialog(process);
    ASSERT_TRUE(confirmation);
    confirmation.Press(IDCANCEL);
    EXPECT_TRUE(ExitedWith(process.Finish(), 0));
    EXPECT_TRUE(process.WaitForDescendants(0));
  }
  for (const wchar_t* switches : {L"/S", L"/X", L"/S /X"}) RunQuiet(program, switches);
  EXPECT_TRUE(harness::FileExists(program));
  EXPECT_TRUE(CopiesInTemp().empty());
}

// The ANSI family (Windows 9x, here Wine's per-program "win98") has no
// MoveFileEx: the copy goes into the Rename section of the Windows folder's
// WININIT.INI as a NUL line, one per run, next to those already there.
class SelfRemovalWin98 : public SelfRemoval {
 protected:
  void SetUp() override {
    SelfRemoval::SetUp();
    hadIni = harness::ReadWholeFile(ini, &savedIni);
    exeName = L"rx98-" + std::to_wstring(GetCurrentProcessId()) + L".exe";
    appDefaults = L"Software\\Wine\\AppDefaults\\" + exeName;
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, appDefaults.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"win98"), 12);
    RegCloseKey(key);
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, appDefaults.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, appDefaults.c_str());
    if (hadIni) {
      harness::WriteWholeFile(ini, savedIni);
    } else {
      DeleteFileW(ini.c_str());
    }
  }
  const std::wstring ini = L"C:\\windows\\WININIT.INI";
  bool hadIni = false;
  Bytes savedIni;
  std::wstring exeName, appDefaults;
};

TEST_F(SelfRemovalWin98, EachRunAddsOneNulLineForItsCopyAndKeepsTheOthers) {
  const std::string before = "[Rename]\r\nNUL=C:\\OLD\\A.EXE\r\nNUL=C:\\OLD\\B.EXE\r\n";
  ASSERT_TRUE(harness::WriteWholeFile(ini, Bytes(before.begin(), before.end())));
  std::string expected = before;
  for (int run = 1; run <= 2; ++run) {
    RunQuiet(WriteUninstaller(L"App\\" + exeName), L"/Q");
    EXPECT_FALSE(sandbox.Exists(L"App")) << "run " << run << " removed its uninstaller";
    const std::wstring copy = sandbox.Path(L"temp\\_uins" + std::to_wstring(run) + L".exe");
    wchar_t shortPath[MAX_PATH];
    ASSERT_GT(GetShortPathNameW(copy.c_str(), shortPath, MAX_PATH), 0u);
    expected += "NUL=" + harness::Narrow(shortPath) + "\r\n";
  }
  Bytes after;
  ASSERT_TRUE(harness::ReadWholeFile(ini, &after));
  EXPECT_EQ(std::string(after.begin(), after.end()), expected);
}

// The deletion mode alone: a program file without payload (a normal run of
// it would end with -1), started as the copy is, on a file the test holds
// open.
class DeletionMode : public harness::ScenarioTest {
 protected:
  void SetUp() override {
    harness::ScenarioTest::SetUp();
    ASSERT_TRUE(sandbox.WriteFile(L"bin\\deleter.exe", harness::RetraxProgram()));
    ASSERT_TRUE(sandbox.InstallFile(L"App\\uninstall.exe"));
  }
  // Holds the target open against deletion for holdMs (0: not at all;
  // INFINITE: as long as the deletion mode runs); returns how long it ran.
  DWORD RunHolding(DWORD holdMs) {
    HANDLE held = INVALID_HANDLE_VALUE;
    if (holdMs > 0) {
      held = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
      EXPECT_NE(held, INVALID_HANDLE_VALUE);
    }
    Process process;
    EXPECT_TRUE(process.Start(sandbox.Path(L"bin\\deleter.exe"), L"/D\"" + target + L"\""));
    std::thread release([&] {
      WaitForSingleObject(process.handle(), holdMs);
      if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    });
    EXPECT_TRUE(harness::ExpectNoWindow(process, 20000));
    release.join();
    const DWORD elapsed = process.ElapsedMs();
    EXPECT_TRUE(ExitedWith(process.Finish(), 0)) << "no payload is read";
    return elapsed;
  }
  const std::wstring target = sandbox.Path(L"App\\uninstall.exe");
};

TEST_F(DeletionMode, RetriesWhileTheFileIsHeldThenRemovesItsEmptiedFolder) {
  const DWORD elapsed = RunHolding(2500);
  EXPECT_FALSE(sandbox.Exists(L"App"));
  EXPECT_GE(elapsed, 2500u);
  EXPECT_LT(elapsed, 6000u) << "one second between attempts";
}

TEST_F(DeletionMode, AFolderThatHoldsMoreStays) {
  ASSERT_TRUE(sandbox.InstallFile(L"App\\notes.txt"));
  RunHolding(0);
  EXPECT_FALSE(sandbox.Exists(L"App\\uninstall.exe"));
  EXPECT_TRUE(sandbox.Exists(L"App\\notes.txt"));
}

TEST_F(DeletionMode, GivesUpAfterTwelveAttempts) {
  const DWORD elapsed = RunHolding(INFINITE);
  EXPECT_TRUE(sandbox.Exists(L"App\\uninstall.exe"));
  EXPECT_GE(elapsed, 11500u);
  EXPECT_LT(elapsed, 15500u);
}

}  // namespace
