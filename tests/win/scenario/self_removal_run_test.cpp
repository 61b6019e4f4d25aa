// Self-removal in whole runs: what a confirmed run leaves in the temporary
// folder and the registry, that the uninstaller and its emptied folder go,
// that silent runs keep the uninstaller, and the deletion mode on its own. (The
// ANSI family's WININIT.INI is shown by ansi_uninstall_test.cpp.)
#include <thread>
#include <string>
#include <vector>

#include "harness/harness.h"
#include "launch_support.h"

using harness::Bytes;
using harness::ExitedWith;
using harness::Process;

namespace {

// Whether a name in the PendingFileRenameOperations value (pairs of source
// and target, the target of a deletion empty) ends in path.
bool IsRegisteredForRestart(const std::wstring& path) {
  std::vector<wchar_t> value(1 << 18);
  DWORD size = static_cast<DWORD>(value.size() * sizeof(wchar_t) - 4);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
                   L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, value.data(), &size) != ERROR_SUCCESS)
    return false;
  const wchar_t* end = value.data() + size / sizeof(wchar_t);
  for (const wchar_t* p = value.data(); p < end; p += wcslen(p) + 1) {
    const size_t length = wcslen(p);
    if (length >= path.size() && _wcsicmp(p + length - path.size(), path.c_str()) == 0) return true;
  }
  return false;
}

class SelfRemoval : public harness::ScenarioTest {
 protected:
  void SetUp() override {
    harness::ScenarioTest::SetUp();
    ASSERT_TRUE(sandbox.MakeFolder(L"temp"));
  }
  std::wstring WriteUninstaller() {
    return sandbox.WriteUninstaller(L"App\\uninstall.exe", harness::StandardPayload());
  }
  // A quiet or silent run, finished with everything it started.
  void RunQuiet(const std::wstring& program, const std::wstring& switches) {
    Process process;
    sandbox.PrepareProcess(&process);
    ASSERT_TRUE(process.Start(program, switches));
    EXPECT_TRUE(ExitedWith(process.Finish(), 0)) << harness::Narrow(switches);
    EXPECT_TRUE(process.WaitForDescendants(20000)) << "the copy ends within its 12 attempts";
  }
};

TEST_F(SelfRemoval, AConfirmedRunLeavesACopyOfTheProgramProperAndNoUninstaller) {
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

  Process process;
  sandbox.PrepareProcess(&process);
  ASSERT_TRUE(process.Start(WriteUninstaller()));
  EXPECT_TRUE(ExitedWith(launch_support::FinishAnswering(&process), 0));
  EXPECT_TRUE(process.WaitForDescendants(20000));

  EXPECT_FALSE(sandbox.Exists(L"App")) << "the uninstaller and its emptied folder go";
  Bytes copied;
  ASSERT_TRUE(harness::ReadWholeFile(sandbox.Path(L"temp\\_uins1.exe"), &copied));
  EXPECT_TRUE(copied == harness::RetraxProgram()) << "payloadOffset bytes, the program proper: " << copied.size();
  EXPECT_FALSE(sandbox.Exists(L"temp\\planted.log")) << "the copy loaded the planted uxtheme.dll";
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

// (A cancelled run is shown in spine_confirmation_test.cpp.)
TEST_F(SelfRemoval, SilentAndXRunsKeepTheUninstaller) {
  const std::wstring program = WriteUninstaller();
  for (const wchar_t* switches : {L"/S", L"/X", L"/S /X"}) RunQuiet(program, switches);
  EXPECT_TRUE(harness::FileExists(program));
  EXPECT_FALSE(sandbox.Exists(L"temp\\_uins1.exe")) << "no copy";
}

// The deletion mode alone: a program file without payload (a normal run of
// it would end with -1), started as the copy is, on a file the test holds
// open for holdMs (0: not at all; INFINITE: as long as the deletion mode
// runs). Returns how long it ran.
class DeletionMode : public harness::ScenarioTest {
 protected:
  void SetUp() override {
    harness::ScenarioTest::SetUp();
    ASSERT_TRUE(sandbox.WriteFile(L"bin\\deleter.exe", harness::RetraxProgram()));
    ASSERT_TRUE(sandbox.InstallFile(L"App\\uninstall.exe"));
  }
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

TEST_F(DeletionMode, GivesUpAfterTwelveAttempts) {
  const DWORD elapsed = RunHolding(INFINITE);
  EXPECT_TRUE(sandbox.Exists(L"App\\uninstall.exe"));
  EXPECT_GE(elapsed, 11500u);
  EXPECT_LT(elapsed, 15500u);
}

// A file already gone has nothing to outwait: the folder step follows at
// once (twelve attempts would take twelve seconds). A folder that holds
// more stays.
TEST_F(DeletionMode, AFileAlreadyGoneEndsTheRetriesAndOnlyAnEmptiedFolderGoes) {
  ASSERT_TRUE(DeleteFileW(target.c_str()));
  EXPECT_LT(RunHolding(0), 6000u);
  EXPECT_FALSE(sandbox.Exists(L"App"));
  ASSERT_TRUE(sandbox.InstallFile(L"App\\uninstall.exe") && sandbox.InstallFile(L"App\\notes.txt"));
  RunHolding(0);
  EXPECT_FALSE(sandbox.Exists(L"App\\uninstall.exe"));
  EXPECT_TRUE(sandbox.Exists(L"App\\notes.txt"));
}

}  // namespace
