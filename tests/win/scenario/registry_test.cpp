// Registry entries removed by a silent run of retrax.exe, a 32-bit program
// on a 64-bit prefix: keys with their subkeys, single values, the
// "Software64" alias, the top-level guard and the extension's veto.
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
  payload.registry = {{kHkcu, u"SOFTWARE"},  {kHklm, u"system"},    {kHklm, u"Software64"},
                      {kHkcu, u"Software\\"}, {kHklm, u"System\\\\"}, {kHklm, u"software64\\"},
                      {kHkcu, Key(L"Vetoed")}, {kHkcu, Key(L"Asked")}};
  const std::wstring log = sandbox.Path(L"extension.log");
  EXPECT_TRUE(ExitedWith(RunUninstaller(payload, {{L"RXTEST_EXT_LOG", log},
                                                  {L"RXTEST_EXT_VETO_KEY", sandbox.RegistryKey(L"Vetoed")}}),
                         0));
  std::vector<std::string> asked;
  std::ifstream in(harness::Narrow(log));
  for (std::string line; std::getline(in, line);) {
    if (line.compare(0, 3, "55 ") == 0) asked.push_back(line);
  }
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
  // Under HKCU the alias is a key of its own name.
  const std::wstring literal = L"Software64\\RetraxTests\\" + sandbox.name();
  HKEY made;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (literal + L"\\K").c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &made,
                            nullptr),
            ERROR_SUCCESS);
  RegCloseKey(made);
  ASSERT_TRUE(Make(HKEY_CURRENT_USER, kDefaultView, L"K"));

  pack::Payload payload = harness::StandardPayload();
  payload.registry = {{kHkcu, Key(L"Tree")},       {kHkcu, Key(L"Values\\\\gone")}, {kHkcu, Key(L"Lonely\\\\only")},
                      {kHklm, Key64(L"Both")},     {kHklm, Key(L"Plain")},          {kHkcu, Key64(L"K")}};
  EXPECT_TRUE(ExitedWith(RunUninstaller(payload), 0));

  EXPECT_FALSE(Has(HKEY_CURRENT_USER, kDefaultView, L"Tree"));
  EXPECT_FALSE(sandbox.RegistryValueExists(HKEY_CURRENT_USER, kDefaultView, L"Values", L"gone"));
  EXPECT_TRUE(sandbox.RegistryValueExists(HKEY_CURRENT_USER, kDefaultView, L"Values", L"kept"));
  EXPECT_TRUE(Has(HKEY_CURRENT_USER, kDefaultView, L"Lonely")) << "an emptied key stays";
  EXPECT_FALSE(Has(HKEY_LOCAL_MACHINE, kView64, L"Both"));
  EXPECT_TRUE(Has(HKEY_LOCAL_MACHINE, kView32, L"Both\\Sub"));
  EXPECT_FALSE(Has(HKEY_LOCAL_MACHINE, kView32, L"Plain")) << "a 32-bit program's own view";
  EXPECT_TRUE(Has(HKEY_LOCAL_MACHINE, kView64, L"Plain"));
  HKEY key;
  const bool literalLeft = RegOpenKeyExW(HKEY_CURRENT_USER, (literal + L"\\K").c_str(), 0, KEY_READ, &key) == 0;
  if (literalLeft) RegCloseKey(key);
  EXPECT_FALSE(literalLeft);
  EXPECT_TRUE(Has(HKEY_CURRENT_USER, kDefaultView, L"K"));
  RegDeleteTreeW(HKEY_CURRENT_USER, literal.c_str());
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software64\\RetraxTests");
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software64");
}

// Wine 8 grants DELETE whatever the DACL says, but honours a DACL that
// grants nothing else: the walk cannot open the subkey to enumerate it, and
// that refusal stops the tree as a refused deletion would on Windows.
TEST_F(RegistryRemoval, ASubkeyThatRefusesKeepsItselfAndItsAncestorsWhileEarlierSiblingsGo) {
  for (const wchar_t* key : {L"Tree\\A\\A1", L"Tree\\B", L"Tree\\C"})
    ASSERT_TRUE(Make(HKEY_CURRENT_USER, kDefaultView, key));
  const std::wstring refusing = sandbox.RegistryKey(L"Tree\\B");
  HKEY key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, refusing.c_str(), 0, WRITE_DAC, &key), ERROR_SUCCESS);
  ACL empty;
  InitializeAcl(&empty, sizeof empty, ACL_REVISION);
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, &empty, FALSE);
  ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor), ERROR_SUCCESS);
  RegCloseKey(key);

  pack::Payload payload = harness::StandardPayload();
  payload.registry = {{kHkcu, Key(L"Tree")}};
  EXPECT_TRUE(ExitedWith(RunUninstaller(payload), 0));
  EXPECT_FALSE(Has(HKEY_CURRENT_USER, kDefaultView, L"Tree\\A"));
  EXPECT_TRUE(Has(HKEY_CURRENT_USER, kDefaultView, L"Tree\\C")) << "enumerated after the refusal";
  const bool refusedLeft = RegOpenKeyExW(HKEY_CURRENT_USER, refusing.c_str(), 0, DELETE, &key) == 0;
  if (refusedLeft) RegCloseKey(key);
  EXPECT_TRUE(refusedLeft);
  // Unreadable, it would stop the sandbox's own clean-up.
  RegDeleteKeyW(HKEY_CURRENT_USER, refusing.c_str());
}

// With the Windows version of the program set to win98 the run takes the
// ANSI family's path: one RegDeleteKey per key, which on the 9x family
// takes the subkeys with it. Wine's RegDeleteKey underneath is the NT one,
// which refuses a key with subkeys: that it stays shows the branch taken.
TEST_F(RegistryRemoval, OnTheAnsiFamilyEachKeyIsOneRegDeleteKey) {
  ASSERT_TRUE(Make(HKEY_CURRENT_USER, kDefaultView, L"Leaf"));
  ASSERT_TRUE(Make(HKEY_CURRENT_USER, kDefaultView, L"Tree\\Sub"));
  const std::wstring program = L"rx98-" + std::to_wstring(GetCurrentProcessId()) + L".exe";
  const std::wstring defaults = L"Software\\Wine\\AppDefaults\\" + program;
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, defaults.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"win98"), 12);
  RegCloseKey(key);

  pack::Payload payload = harness::StandardPayload();
  payload.registry = {{kHkcu, Key(L"Leaf")}, {kHkcu, Key(L"Tree")}};
  EXPECT_TRUE(ExitedWith(RunUninstaller(payload, {}, L"", program), 0));
  RegDeleteKeyW(HKEY_CURRENT_USER, defaults.c_str());
  EXPECT_FALSE(Has(HKEY_CURRENT_USER, kDefaultView, L"Leaf"));
  EXPECT_TRUE(Has(HKEY_CURRENT_USER, kDefaultView, L"Tree\\Sub"));
}

}  // namespace
