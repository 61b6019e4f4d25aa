// The safety proof: a payload aimed at every protected folder, at the
// folders beside the application and at the top-level registry keys (the
// 64-bit alias Software64 and the Wow6432Node keys among them), by every
// spelling that names them, removes none of the markers and keys placed
// there first.
#include "sentinel_markers.h"

namespace {

class Sentinels : public harness::MarkedScenario {};

// Keys below the top-level ones, which would go with them.
const struct { HKEY root; REGSAM view; const wchar_t* path; } kKeys[] = {
    {HKEY_CURRENT_USER, 0, L"Software\\Wine"},
    {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, L"Software\\Microsoft\\Windows\\CurrentVersion"},
    {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"Software\\Microsoft\\Windows\\CurrentVersion"},
    {HKEY_LOCAL_MACHINE, 0, L"System\\CurrentControlSet\\Control"},
};
bool KeyExists(size_t i) {
  HKEY key;
  if (RegOpenKeyExW(kKeys[i].root, kKeys[i].path, 0, KEY_READ | kKeys[i].view, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

TEST_F(Sentinels, HostilePayloadsLeaveEveryMarkerInPlace) {
  ASSERT_NO_FATAL_FAILURE(PlaceMarkers());
  ASSERT_TRUE(sandbox.MakeFolder(L"App\\Menu\\Deep"));
  const std::pair<HKEY, harness::RegistryView> sentinelKeys[] = {
      {HKEY_CURRENT_USER, harness::kDefaultView}, {HKEY_LOCAL_MACHINE, harness::kView32},
      {HKEY_LOCAL_MACHINE, harness::kView64}};
  for (const auto& key : sentinelKeys) ASSERT_TRUE(sandbox.MakeRegistryKey(key.first, key.second, L"Sentinel"));
  std::vector<bool> keysBefore;
  for (size_t i = 0; i < sizeof kKeys / sizeof kKeys[0]; ++i) keysBefore.push_back(KeyExists(i));

  pack::Payload payload = harness::StandardPayload();
  payload.folderTrees = {
      u"#Windows#\\*.*", u"#System#\\*.*", u"#AppData#\\*.*", u"#LocalAppData#\\*.*", u"#UserDir#\\*.*",
      u"#Desktop#\\*.*", u"#MyDocuments#\\*.*", u"#TempDir#\\*.*", u"#Program Files#\\*.*",
      u"#Program Files (x64)#\\*.*", u"#CommonFiles#\\*.*", u"#AllUsersDir#\\*.*", u"#AllUsersAppData#\\*.*",
      u"#AllUsersDocuments#\\*.*", u"#AllUsersDesktop#\\*.*",
      u"..\\*.*", u"#InstallDir#\\..\\*.*", u"#InstallDir#\\...\\*.*", u"Menu\\..\\..\\*.*",
      u"#Windows#\\.\\*.*", u"#Windows#\\\\*.*", u"#Windows#.\\*.*", u"#Windows#/*.*", u"#Windows#\\..\\*.*",
      u"C:\\windows\\.\\*.*", u"C:/Windows/*.*", u"C:\\*.*", u"\\*.*", u"#InstallDir#/../*.*",
      u"#InstallDir#\\*.*/../../*.*",
  };
  payload.shortcuts = {
      {255, At(L"App\\Menu\\Deep"), u"", u""},
      {255, harness::U16(harness::ShellFolder(CSIDL_PROGRAMS)), At(L"Neighbour"), u""},
      {255, harness::U16(harness::ShellFolder(CSIDL_APPDATA)), harness::U16(harness::ShellFolder(CSIDL_LOCAL_APPDATA)),
       u""},
  };
  for (uint32_t root : {harness::kPayloadHkcu, harness::kPayloadHklm})
    for (const char16_t* key : {u"Software\\", u"SYSTEM\\\\", u"\\", u"Software\\Wow6432Node\\"})
      payload.registry.push_back({root, key});
  for (const char16_t* key : {u"Software64\\", u"software64\\\\", u"Software64\\Wow6432Node"})
    payload.registry.push_back({harness::kPayloadHklm, key});
  EXPECT_TRUE(harness::ExitedWith(RunUninstaller(payload, {}, sandbox.Path(L"App\\Menu\\Deep")), 0));

  EXPECT_TRUE(MarkersInPlace());
  for (const auto& key : sentinelKeys) EXPECT_TRUE(sandbox.RegistryKeyExists(key.first, key.second, L"Sentinel"));
  for (size_t i = 0; i < keysBefore.size(); ++i)
    if (keysBefore[i]) EXPECT_TRUE(KeyExists(i)) << harness::Narrow(kKeys[i].path);
}

}  // namespace
