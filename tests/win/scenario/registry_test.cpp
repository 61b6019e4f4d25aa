// Registry entries removed by a silent run of retrax.exe, a 32-bit program
// on a 64-bit prefix: keys with their subkeys, single values, the
// "Software64" alias, and the extension's veto. (hostile_spellings_test.cpp
// tries every spelling of the top-level keys.)
#include "removal_scenario.h"

namespace {

using harness::kDefaultView;
using harness::kView32;
using harness::kView64;
const HKEY kHkcu = HKEY_CURRENT_USER, kHklm = HKEY_LOCAL_MACHINE;

class RegistryRemoval : public harness::RemovalScenario {};

TEST_F(RegistryRemoval, KeysGoWholeValuesAloneTheAliasReachesOnlyThe64BitViewAndTheExtensionVetoes) {
  for (const wchar_t* key : {L"Tree\\A\\A1", L"Tree\\B", L"Vetoed"})
    ASSERT_TRUE(sandbox.MakeRegistryKey(kHkcu, kDefaultView, key));
  for (const wchar_t* value : {L"gone", L"kept"})
    ASSERT_TRUE(sandbox.SetRegistryValue(kHkcu, kDefaultView, L"Values", value, L"1"));
  for (harness::RegistryView view : {kView32, kView64})
    ASSERT_TRUE(sandbox.MakeRegistryKey(kHklm, view, L"Both\\Sub") && sandbox.MakeRegistryKey(kHklm, view, L"Plain"));
  auto key = [&](const std::wstring& relative) { return harness::U16(sandbox.RegistryKey(relative)); };
  pack::Payload payload = harness::StandardPayload();
  ASSERT_TRUE(harness::AddTestExtension(&payload));
  payload.registry = {{harness::kPayloadHkcu, key(L"Tree")},
                      {harness::kPayloadHkcu, key(L"Values\\\\gone")},
                      {harness::kPayloadHkcu, key(L"Vetoed")},
                      {harness::kPayloadHklm, u"Software64" + key(L"Both").substr(8)},
                      {harness::kPayloadHklm, key(L"Plain")}};
  environment = {{L"RXTEST_EXT_VETO_KEY", sandbox.RegistryKey(L"Vetoed")}};
  EXPECT_TRUE(Completed(Run(payload)));

  EXPECT_FALSE(sandbox.RegistryKeyExists(kHkcu, kDefaultView, L"Tree"));
  EXPECT_FALSE(sandbox.RegistryValueExists(kHkcu, kDefaultView, L"Values", L"gone"));
  EXPECT_TRUE(sandbox.RegistryValueExists(kHkcu, kDefaultView, L"Values", L"kept"));
  EXPECT_TRUE(sandbox.RegistryKeyExists(kHkcu, kDefaultView, L"Vetoed"));
  EXPECT_FALSE(sandbox.RegistryKeyExists(kHklm, kView64, L"Both"));
  EXPECT_TRUE(sandbox.RegistryKeyExists(kHklm, kView32, L"Both\\Sub"));
  EXPECT_FALSE(sandbox.RegistryKeyExists(kHklm, kView32, L"Plain")) << "a 32-bit program's own view";
  EXPECT_TRUE(sandbox.RegistryKeyExists(kHklm, kView64, L"Plain"));
}

}  // namespace
