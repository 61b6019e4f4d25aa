// Self-removal's deletion mode alone, started as the temporary copy is, on
// an uninstaller held open for a while, for good, or already gone. (Whole
// runs: per_user_run_test.cpp, ansi_uninstall_test.cpp.)
#include <thread>

#include "harness/harness.h"

namespace {

class DeletionMode : public harness::ScenarioTest {
 protected:
  // Returns how long it ran.
  DWORD RunHolding(DWORD holdMs, bool present = true) {
    const std::wstring target = sandbox.Path(L"App\\uninstall.exe");
    EXPECT_TRUE(sandbox.WriteFile(L"bin\\deleter.exe", harness::RetraxProgram()) &&
                sandbox.InstallFile(L"App\\uninstall.exe"));
    if (!present) DeleteFileW(target.c_str());
    HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    harness::Process process;
    EXPECT_TRUE(process.Start(sandbox.Path(L"bin\\deleter.exe"), L"/D\"" + target + L"\""));
    std::thread release([&] {
      WaitForSingleObject(process.handle(), holdMs);
      if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    });
    EXPECT_TRUE(harness::ExpectNoWindow(process, 20000));
    release.join();
    const DWORD elapsed = process.ElapsedMs();
    EXPECT_TRUE(harness::ExitedWith(process.Finish(), 0)) << "no payload is read";
    return elapsed;
  }
};

// Nothing to outwait when the uninstaller's file is already gone: the
// folder step follows at once instead of after twelve seconds.
TEST_F(DeletionMode, RetriesOnceASecondWhileTheFileIsHeldThenRemovesItsEmptiedFolder) {
  const DWORD elapsed = RunHolding(2500);
  EXPECT_FALSE(sandbox.Exists(L"App"));
  EXPECT_TRUE(elapsed >= 2500 && elapsed < 6000) << elapsed;
  EXPECT_LT(RunHolding(0, false), 6000u) << "the file already gone";
  EXPECT_FALSE(sandbox.Exists(L"App"));
}

TEST_F(DeletionMode, GivesUpAfterTwelveAttempts) {
  const DWORD elapsed = RunHolding(INFINITE);
  EXPECT_TRUE(sandbox.Exists(L"App\\uninstall.exe"));
  EXPECT_TRUE(elapsed >= 11500 && elapsed < 15500) << elapsed;
}

}  // namespace
