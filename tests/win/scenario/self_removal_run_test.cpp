// Self-removal in whole runs: a confirmed run leaves only a copy of the
// program proper in the temporary folder, and the deletion mode outwaits
// the uninstaller. (ansi_uninstall_test.cpp shows WININIT.INI.)
#include <thread>

#include "harness/harness.h"

using harness::Bytes;
using harness::ExitedWith;
using harness::Process;

namespace {

typedef harness::ScenarioTest SelfRemoval;

// A library under a system library's name where the copy runs must stay
// unloaded; the probe first shows that it tells when it is loaded at all.
TEST_F(SelfRemoval, AConfirmedRunLeavesACopyOfTheProgramProperAndNoUninstaller) {
  Bytes planted;
  ASSERT_TRUE(harness::LoadEmbeddedFile(L"RETRAX_TEST_PLANTED_DLL", &planted));
  ASSERT_TRUE(sandbox.WriteFile(L"probe\\probe.dll", planted) && sandbox.WriteFile(L"temp\\uxtheme.dll", planted));
  FreeLibrary(LoadLibraryW(sandbox.Path(L"probe\\probe.dll").c_str()));
  ASSERT_TRUE(sandbox.Exists(L"probe\\planted.log"));

  Process process;
  sandbox.PrepareProcess(&process);
  ASSERT_TRUE(process.Start(sandbox.WriteUninstaller(L"App\\uninstall.exe", harness::StandardPayload())));
  EXPECT_TRUE(ExitedWith(harness::FinishAnswering(&process), 0));
  EXPECT_TRUE(process.WaitForDescendants(20000)) << "the copy ends within its 12 attempts";
  EXPECT_FALSE(sandbox.Exists(L"App")) << "the uninstaller and its emptied folder go";
  Bytes copied;
  ASSERT_TRUE(harness::ReadWholeFile(sandbox.Path(L"temp\\_uins1.exe"), &copied));
  EXPECT_TRUE(copied == harness::RetraxProgram()) << "payloadOffset bytes: " << copied.size();
  EXPECT_FALSE(sandbox.Exists(L"temp\\planted.log")) << "the copy loaded the planted uxtheme.dll";
}

// The deletion mode alone, started as the copy is, on an uninstaller the
// test holds open for holdMs. Returns how long it ran.
class DeletionMode : public harness::ScenarioTest {
 protected:
  DWORD RunHolding(DWORD holdMs) {
    const std::wstring target = sandbox.Path(L"App\\uninstall.exe");
    EXPECT_TRUE(sandbox.WriteFile(L"bin\\deleter.exe", harness::RetraxProgram()) &&
                sandbox.InstallFile(L"App\\uninstall.exe"));
    HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    Process process;
    EXPECT_TRUE(process.Start(sandbox.Path(L"bin\\deleter.exe"), L"/D\"" + target + L"\""));
    std::thread release([&] {
      WaitForSingleObject(process.handle(), holdMs);
      CloseHandle(held);
    });
    EXPECT_TRUE(harness::ExpectNoWindow(process, 20000));
    release.join();
    const DWORD elapsed = process.ElapsedMs();
    EXPECT_TRUE(ExitedWith(process.Finish(), 0)) << "no payload is read";
    return elapsed;
  }
};

TEST_F(DeletionMode, RetriesOnceASecondWhileTheFileIsHeldThenRemovesItsEmptiedFolder) {
  const DWORD elapsed = RunHolding(2500);
  EXPECT_FALSE(sandbox.Exists(L"App"));
  EXPECT_TRUE(elapsed >= 2500 && elapsed < 6000) << elapsed;
}

// Nothing to outwait when the uninstaller's file is already gone: the
// folder step follows at once instead of after twelve seconds.
TEST_F(DeletionMode, AFileAlreadyGoneEndsTheRetriesAtOnce) {
  ASSERT_TRUE(sandbox.WriteFile(L"bin\\deleter.exe", harness::RetraxProgram()) &&
              sandbox.InstallFile(L"App\\gone.txt"));
  ASSERT_TRUE(DeleteFileW(sandbox.Path(L"App\\gone.txt").c_str()));
  Process process;
  ASSERT_TRUE(process.Start(sandbox.Path(L"bin\\deleter.exe"), L"/D\"" + sandbox.Path(L"App\\uninstall.exe") + L"\""));
  EXPECT_TRUE(harness::ExpectNoWindow(process, 20000));
  const DWORD elapsed = process.ElapsedMs();
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_FALSE(sandbox.Exists(L"App"));
  EXPECT_LT(elapsed, 6000u);
}

TEST_F(DeletionMode, GivesUpAfterTwelveAttempts) {
  const DWORD elapsed = RunHolding(INFINITE);
  EXPECT_TRUE(sandbox.Exists(L"App\\uninstall.exe"));
  EXPECT_TRUE(elapsed >= 11500 && elapsed < 15500) << elapsed;
}

}  // namespace
