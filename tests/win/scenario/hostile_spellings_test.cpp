// Payloads that name what must never go, by every spelling that names it:
// markers in every folder the program protects and beside the application,
// the registry's top-level keys and the keys that hold other programs'
// data, and a protected folder behind a device prefix in each record kind;
// and what does go beside them. retrax.exe is a 32-bit program on a 64-bit
// prefix. (Stream colons and device paths without a plain form are refused
// before any call: removal_folders_test.cpp.)
#include "removal_scenario.h"

namespace {

using harness::kDefaultView;
using harness::kView32;
using harness::kView64;

class HostileSpellings : public hostile::HostileScenario {};
typedef HostileSpellings Sentinels;

// Each run makes its own empty folder the temporary one, which the program
// protects, and aims one record kind at it through "\\?\" or "\\.\": a
// folder entry, a shortcut folder one level below it, a file below it (the
// pruning that follows), and a folder tree over it (#TempDir# is the folder).
TEST_F(HostileSpellings, ADevicePrefixInAnyRecordKindLeavesAnEmptyProtectedFolder) {
  const struct { const wchar_t* inside; const char16_t* prefix; const char* kind; } runs[] = {
      {nullptr, u"\\\\?\\", "folder entry"}, {L"Menu", u"\\\\.\\", "shortcut folder"},
      {L"gone.txt", u"\\\\?\\", "file, then pruning"}, {L"x.tmp", u"\\\\.\\", "folder tree"}};
  int n = 0;
  for (const auto& r : runs) {
    SCOPED_TRACE(r.kind);
    const std::wstring guarded = L"Guarded" + std::to_wstring(++n);
    ASSERT_TRUE(sandbox.MakeFolder(guarded));
    if (r.inside != nullptr)
      ASSERT_TRUE(r.inside == std::wstring(L"Menu") ? sandbox.MakeFolder(guarded + L"\\Menu")
                                                    : sandbox.InstallFile(guarded + L"\\" + r.inside));
    const std::u16string folder = r.prefix + At(guarded);
    pack::Payload payload = harness::StandardPayload();
    if (n == 1) payload.files = {{folder, u"", 0}};
    if (n == 2) payload.shortcuts = {{1, folder + u"\\Menu", u"", u""}};
    if (n == 3) payload.files = {{folder, u"gone.txt", 0}};
    if (n == 4) payload.folderTrees = {r.prefix + std::u16string(u"#TempDir#\\*.tmp")};
    environment = {{L"TMP", sandbox.Path(guarded)}, {L"TEMP", sandbox.Path(guarded)}};
    ExpectOutcome(Run(pack::EncodePayload(payload)), true);
    EXPECT_TRUE(sandbox.Exists(guarded));
  }
}

// The safety proof: one payload aims, by every spelling, at every protected
// folder, the folders beside the application, the registry's top-level keys
// (Software64 and the Wow6432Node keys among them) and the shared Uninstall
// and Run keys of HKCU and of HKLM's 64-bit view. Every marker and key
// placed first stays. The payload's own goes: an entry and a value below
// the shared keys; in the sandbox's, a key with its subkeys, a value, a key
// by the alias (the 64-bit view's alone) and one as named (the 32-bit
// view), but not the key the extension library vetoes.
TEST_F(Sentinels, HostilePayloadsLeaveEveryMarkerInPlace) {
  ASSERT_TRUE(sandbox.MakeFolder(L"App\\Menu\\Deep"));
  // Keys of the sandbox, below Software in each view.
  const std::pair<HKEY, harness::RegistryView> sentinelKeys[] = {
      {HKEY_CURRENT_USER, kDefaultView}, {HKEY_LOCAL_MACHINE, kView32}, {HKEY_LOCAL_MACHINE, kView64}};
  for (const auto& key : sentinelKeys) ASSERT_TRUE(sandbox.MakeRegistryKey(key.first, key.second, L"Sentinel"));
  for (const wchar_t* key : {L"Tree\\A\\A1", L"Tree\\B", L"Vetoed"})
    ASSERT_TRUE(sandbox.MakeRegistryKey(HKEY_CURRENT_USER, kDefaultView, key));
  for (const wchar_t* value : {L"gone", L"kept"})
    ASSERT_TRUE(sandbox.SetRegistryValue(HKEY_CURRENT_USER, kDefaultView, L"Values", value, L"1"));
  for (harness::RegistryView view : {kView32, kView64})
    ASSERT_TRUE(sandbox.MakeRegistryKey(HKEY_LOCAL_MACHINE, view, L"Both\\Sub") &&
                sandbox.MakeRegistryKey(HKEY_LOCAL_MACHINE, view, L"Plain"));
  // CurrentVersion of HKCU and of HKLM's 64-bit view, where the shared keys
  // get an entry and a value of the sentinel's and of the payload's own.
  const wchar_t version[] = L"Software\\Microsoft\\Windows\\CurrentVersion";
  const std::wstring kept = L"retrax-sentinel-" + sandbox.name(), gone = L"retrax-gone-" + sandbox.name();
  HKEY shared[2];
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, version, 0, KEY_ALL_ACCESS, &shared[0]), 0);
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, version, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &shared[1]), 0);
  auto has = [](HKEY key, const std::wstring& subkey, const wchar_t* value) {
    return RegGetValueW(key, subkey.c_str(), value, RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  };
  for (HKEY key : shared)
    for (const std::wstring& name : {kept, gone})
      ASSERT_TRUE(!RegSetKeyValueW(key, (L"Uninstall\\" + name).c_str(), nullptr, REG_SZ, L"s", 4) &&
                  !RegSetKeyValueW(key, L"Run", name.c_str(), REG_SZ, L"s", 4));

  pack::Payload payload = harness::StandardPayload();
  ASSERT_TRUE(harness::AddTestExtension(&payload));
  environment = {{L"RXTEST_EXT_VETO_KEY", sandbox.RegistryKey(L"Vetoed")}};
  auto own = [&](const std::wstring& relative) { return harness::U16(sandbox.RegistryKey(relative)); };
  payload.registry = {{harness::kPayloadHkcu, own(L"Tree")},
                      {harness::kPayloadHkcu, own(L"Values\\\\gone")},
                      {harness::kPayloadHkcu, own(L"Vetoed")},
                      {harness::kPayloadHklm, u"Software64" + own(L"Both").substr(8)},
                      {harness::kPayloadHklm, own(L"Plain")}};
  payload.folderTrees = {
      u"#Windows#\\*.*", u"#System#\\*.*", u"#AppData#\\*.*", u"#LocalAppData#\\*.*", u"#UserDir#\\*.*",
      u"#Desktop#\\*.*", u"#MyDocuments#\\*.*", u"#TempDir#\\*.*", u"#Program Files#\\*.*",
      u"#Program Files (x64)#\\*.*", u"#CommonFiles#\\*.*", u"#AllUsersDir#\\*.*", u"#AllUsersAppData#\\*.*",
      u"#AllUsersDocuments#\\*.*", u"#AllUsersDesktop#\\*.*",
      u"..\\*.*", u"#InstallDir#\\...\\*.*", u"Menu\\..\\..\\*.*", u"#Windows#.\\*.*", u"C:/Windows/*.*",
      u"C:\\*.*", u"\\*.*", u"#InstallDir#\\*.*/../../*.*",
  };
  payload.shortcuts = {
      {255, At(L"App\\Menu\\Deep"), u"", u""},
      {255, harness::U16(harness::ShellFolder(CSIDL_PROGRAMS)), At(L"Neighbour"), u""},
      {255, harness::U16(harness::ShellFolder(CSIDL_APPDATA)), harness::U16(harness::ShellFolder(CSIDL_LOCAL_APPDATA)),
       u""},
  };
  const std::u16string v = harness::U16(version) + u"\\", g = harness::U16(gone);
  for (uint32_t root : {harness::kPayloadHkcu, harness::kPayloadHklm}) {
    for (const char16_t* key : {u"Software\\", u"SYSTEM\\\\", u"\\", u"Software\\Wow6432Node\\"})
      payload.registry.push_back({root, key});
    const std::u16string base = root == harness::kPayloadHklm ? u"Software64" + v.substr(8) : v;
    payload.registry.push_back({root, base + u"Uninstall"});
    payload.registry.push_back({root, u"software\\\\microsoft\\windows\\currentversion\\run\\"});
    payload.registry.push_back({root, base + u"Uninstall\\" + g});
    payload.registry.push_back({root, base + u"Run\\\\" + g});
  }
  for (const char16_t* key : {u"Software64\\", u"software64\\\\", u"Software64\\Wow6432Node"})
    payload.registry.push_back({harness::kPayloadHklm, key});
  payload.registry.push_back({harness::kPayloadHkcu, u"Software\\Classes\\CLSID"});
  ExpectOutcome(Run(pack::EncodePayload(payload), harness::kDefaultRunTimeoutMs, sandbox.Path(L"App\\Menu\\Deep")),
                true);
  for (const auto& key : sentinelKeys) EXPECT_TRUE(sandbox.RegistryKeyExists(key.first, key.second, L"Sentinel"));
  EXPECT_FALSE(sandbox.RegistryKeyExists(HKEY_CURRENT_USER, kDefaultView, L"Tree"));
  EXPECT_FALSE(sandbox.RegistryValueExists(HKEY_CURRENT_USER, kDefaultView, L"Values", L"gone"));
  EXPECT_TRUE(sandbox.RegistryValueExists(HKEY_CURRENT_USER, kDefaultView, L"Values", L"kept"));
  EXPECT_TRUE(sandbox.RegistryKeyExists(HKEY_CURRENT_USER, kDefaultView, L"Vetoed"));
  EXPECT_FALSE(sandbox.RegistryKeyExists(HKEY_LOCAL_MACHINE, kView64, L"Both"));
  EXPECT_TRUE(sandbox.RegistryKeyExists(HKEY_LOCAL_MACHINE, kView32, L"Both\\Sub"));
  EXPECT_FALSE(sandbox.RegistryKeyExists(HKEY_LOCAL_MACHINE, kView32, L"Plain")) << "a 32-bit program's own view";
  EXPECT_TRUE(sandbox.RegistryKeyExists(HKEY_LOCAL_MACHINE, kView64, L"Plain"));
  for (HKEY key : shared) {
    EXPECT_TRUE(has(key, L"Uninstall\\" + kept, nullptr) && has(key, L"Run", kept.c_str()));
    EXPECT_FALSE(has(key, L"Uninstall\\" + gone, nullptr)) << "the payload's own entry";
    EXPECT_FALSE(has(key, L"Run", gone.c_str())) << "the payload's own value";
    RegDeleteKeyValueW(key, L"Run", kept.c_str());
    RegDeleteKeyW(key, (L"Uninstall\\" + kept).c_str());
    RegCloseKey(key);
  }
  HKEY control;  // below SYSTEM, which no sandbox key is
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control", 0, KEY_READ, &control), 0);
  RegCloseKey(control);
}

}  // namespace
