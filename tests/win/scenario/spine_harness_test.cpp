// The harness's own promises, on which every scenario relies: test keys
// land in the registry view they name and go with the test, a window the
// test does not expect is noticed, and no program outlives its Process.
#include "harness/harness.h"

namespace {

TEST(Harness, TestKeysLandInTheirViewAndGoWithTheSandbox) {
  std::wstring key;
  {
    harness::Sandbox sandbox;
    key = sandbox.RegistryKey();
    ASSERT_TRUE(sandbox.SetRegistryValue(HKEY_LOCAL_MACHINE, harness::kView32, L"App", L"Only32", L"x"));
    ASSERT_TRUE(sandbox.MakeRegistryKey(HKEY_CURRENT_USER, harness::kDefaultView, L"App\\Deeper\\Still"));
    EXPECT_FALSE(sandbox.RegistryValueExists(HKEY_LOCAL_MACHINE, harness::kView64, L"App", L"Only32"));
    EXPECT_TRUE(sandbox.RegistryValueExists(HKEY_LOCAL_MACHINE, harness::kDefaultView, L"App", L"Only32"))
        << "a 32-bit program sees the 32-bit view unless it asks";
  }
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
      HKEY left;
      EXPECT_NE(RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &left), ERROR_SUCCESS) << view;
    }
  }
}

TEST(Harness, AWindowIsNoticedAndNoProcessOutlivesItsObject) {
  harness::Sandbox sandbox;
  ASSERT_TRUE(sandbox.WriteFile(L"retrax.exe", harness::RetraxProgram()));
  DWORD id = 0;
  {
    harness::Process process;
    ASSERT_TRUE(process.Start(sandbox.Path(L"retrax.exe")));
    EXPECT_FALSE(harness::ExpectNoWindow(process, 10000)) << "without payload it reports in a box";
    id = process.id();
  }
  HANDLE left = OpenProcess(SYNCHRONIZE, FALSE, id);
  if (left) {
    EXPECT_EQ(WaitForSingleObject(left, 0), WAIT_OBJECT_0);
    CloseHandle(left);
  }
}

}  // namespace
