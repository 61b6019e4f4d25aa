// The harness's own promises, on which every scenario relies: test keys
// land in the registry view they name and go with the test, a window the
// test does not expect is noticed, and no program outlives its Process.
#include <string>

#include "harness/harness.h"

using harness::kView32;
using harness::kView64;

namespace {

TEST(Harness, TestKeysLandInTheirViewAndGoWithTheSandbox) {
  std::wstring key;
  {
    harness::Sandbox sandbox;
    key = sandbox.RegistryKey();
    ASSERT_TRUE(sandbox.SetRegistryValue(HKEY_LOCAL_MACHINE, kView32, L"App", L"Only32", L"x"));
    ASSERT_TRUE(sandbox.SetRegistryValue(HKEY_LOCAL_MACHINE, kView64, L"App", L"Only64", L"x"));
    ASSERT_TRUE(sandbox.MakeRegistryKey(HKEY_CURRENT_USER, harness::kDefaultView, L"App\\Deeper\\Still"));
    EXPECT_TRUE(sandbox.RegistryValueExists(HKEY_LOCAL_MACHINE, kView32, L"App", L"Only32"));
    EXPECT_FALSE(sandbox.RegistryValueExists(HKEY_LOCAL_MACHINE, kView32, L"App", L"Only64"));
    EXPECT_TRUE(sandbox.RegistryValueExists(HKEY_LOCAL_MACHINE, kView64, L"App", L"Only64"));
    EXPECT_FALSE(sandbox.RegistryValueExists(HKEY_LOCAL_MACHINE, kView64, L"App", L"Only32"));
    EXPECT_TRUE(sandbox.RegistryValueExists(HKEY_LOCAL_MACHINE, harness::kDefaultView, L"App", L"Only32"))
        << "a 32-bit program sees the 32-bit view unless it asks";
  }
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
      HKEY left;
      EXPECT_NE(RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &left), ERROR_SUCCESS)
          << harness::Narrow(key) << " left in view " << view;
    }
  }
}

TEST(Harness, AWindowIsNoticedWhenNoneIsExpected) {
  harness::Sandbox sandbox;
  // Without payload the program reports the failure in a box.
  ASSERT_TRUE(sandbox.WriteFile(L"retrax.exe", harness::RetraxProgram()));
  harness::Process process;
  ASSERT_TRUE(process.Start(sandbox.Path(L"retrax.exe")));
  EXPECT_FALSE(harness::ExpectNoWindow(process, 10000));
}

TEST(Harness, AProcessLeftRunningEndsWithItsProcessObject) {
  harness::Sandbox sandbox;
  const std::wstring program = sandbox.WriteUninstaller(L"uninstall.exe", harness::StandardPayload());
  DWORD id = 0;
  {
    harness::Process process;
    ASSERT_TRUE(process.Start(program));
    ASSERT_TRUE(harness::WaitForDialog(process)) << "the run waits for its confirmation";
    id = process.id();
  }
  HANDLE left = OpenProcess(SYNCHRONIZE, FALSE, id);
  if (left) {
    EXPECT_EQ(WaitForSingleObject(left, 0), WAIT_OBJECT_0);
    CloseHandle(left);
  }
}

}  // namespace
