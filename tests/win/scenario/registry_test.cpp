// Registry entries removed by a silent run of retrax.exe, a 32-bit program
// on a 64-bit prefix: keys with their subkeys, single values, the
// "Software64" alias, and the extension's veto, which top-level keys never
// reach (the unit tests try every spelling of those).
#include <fstream>

#include "folders_scenario_support.h"

using harness::ExitedWith;
using harness::kDefaultView;
using harness::kView32;
using harness::kView64;

namespace {

const uint32_t kHkcu = harness::kPayloadHkcu, kHklm = harness::kPayloadHklm;

class RegistryRemoval : public harness::RemovalScenario {
 protected:
  // The test's key as an entry names it, and behind the alias.
  std::u16string Key(const std::wstring& relative) { return harness::U16(sandbox.RegistryKey(relative)); }
  std::u16string Key64(const std::wstring& relative) {
    return u"Software64" + Key(relative).substr(wcslen(L"Software"));
  }
  bool Make(HKEY root, harness::RegistryView view, const std::wstring& relative) {
    return sandbox.MakeRegistryKey(root, view, relative);
  }
  bool Has(HKEY root, harness::RegistryView view, const std::wstring& relative) {
    return sandbox.RegistryKeyExists(root, view, relative);
  }
};

TEST_F(RegistryRemoval, TopLevelKeysAreSkippedWithoutAskingTheExtensionWhichVetoesOthers) {
  ASSERT_TRUE(Make(HKEY_CURRENT_USER, kDefaultView, L"Vetoed"));
  ASSERT_TRUE(Make(HKEY_CURRENT_USER, kDefaultView, L"Asked"));
  pack::Payload payload = harness::StandardPayload();
  ASSERT_TRUE(harness::AddTestExtension(&payload));
  payload.registry = {{kHkcu, u"SOFTWARE"}, {kHklm, u"system"}, {kHklm, u"Software64"}, {kHkcu, Key(L"Vetoed")},
                      {kHkcu, Key(L"Asked")}};
  const std::wstring log = sandbox.Path(L"extension.log");
  EXPECT_TRUE(ExitedWith(RunUninstaller(payload, {{L"RXTEST_EXT_LOG", log},
                                                  {L"RXTEST_EXT_VETO_KEY", sandbox.RegistryKey(L"Vetoed")}}),
                         0));
  std::vector<std::string> asked;  // the registry entries the library was asked about
  std::ifstream in(harness::Narrow(log));
  for (std::string line; std::getline(in, line);)
    if (line.compare(0, 3, "55 ") == 0) asked.push_back(line);
  const std::string key = harness::Narrow(sandbox.RegistryKey());
  EXPECT_EQ(asked, std::vector<std::string>({"55 80000001 " + key + "\\Vetoed -> 0",
                                             "55 80000001 " + key + "\\Asked -> 1"}));
  EXPECT_TRUE(Has(HKEY_CURRENT_USER, kDefaultView, L"Vetoed"));
  EXPECT_FALSE(Has(HKEY_CURRENT_USER, kDefaultView, L"Asked"));
}

TEST_F(RegistryRemoval, KeyTreesGoWholeValuesAloneAndTheAliasReachesOnlyThe64BitView) {
  for (const wchar_t* key : {L"Tree\\A\\A1", L"Tree\\B", L"Tree\\C\\C1\\C2"})
    ASSERT_TRUE(Make(HKEY_CURRENT_USER, kDefaultView, key));
  ASSERT_TRUE(sandbox.SetRegistryValue(HKEY_CURRENT_USER, kDefaultView, L"Values", L"gone", L"1"));
  ASSERT_TRUE(sandbox.SetRegistryValue(HKEY_CURRENT_USER, kDefaultView, L"Values", L"kept", L"2"));
  ASSERT_TRUE(sandbox.SetRegistryValue(HKEY_CURRENT_USER, kDefaultView, L"Lonely", L"only", L"3"));
  for (const wchar_t* key : {L"Both\\Sub", L"Plain"}) {
    ASSERT_TRUE(Make(HKEY_LOCAL_MACHINE, kView32, key));
    ASSERT_TRUE(Make(HKEY_LOCAL_MACHINE, kView64, key));
  }
  pack::Payload payload = harness::StandardPayload();
  payload.registry = {{kHkcu, Key(L"Tree")},   {kHkcu, Key(L"Values\\\\gone")}, {kHkcu, Key(L"Lonely\\\\only")},
                      {kHklm, Key64(L"Both")}, {kHklm, Key(L"Plain")}};
  EXPECT_TRUE(ExitedWith(RunUninstaller(payload), 0));

  EXPECT_FALSE(Has(HKEY_CURRENT_USER, kDefaultView, L"Tree"));
  EXPECT_FALSE(sandbox.RegistryValueExists(HKEY_CURRENT_USER, kDefaultView, L"Values", L"gone"));
  EXPECT_TRUE(sandbox.RegistryValueExists(HKEY_CURRENT_USER, kDefaultView, L"Values", L"kept"));
  EXPECT_TRUE(Has(HKEY_CURRENT_USER, kDefaultView, L"Lonely")) << "an emptied key stays";
  EXPECT_FALSE(Has(HKEY_LOCAL_MACHINE, kView64, L"Both"));
  EXPECT_TRUE(Has(HKEY_LOCAL_MACHINE, kView32, L"Both\\Sub"));
  EXPECT_FALSE(Has(HKEY_LOCAL_MACHINE, kView32, L"Plain")) << "a 32-bit program's own view";
  EXPECT_TRUE(Has(HKEY_LOCAL_MACHINE, kView64, L"Plain"));
}

}  // namespace
