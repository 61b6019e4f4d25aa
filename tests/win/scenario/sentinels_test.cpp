// The safety proof: a payload aimed at every protected folder, at the
// folders beside the application and at the top-level registry keys (the
// 64-bit alias Software64 and the Wow6432Node keys among them), by every
// spelling that names them, removes none of the markers and keys placed
// there first.
#include "sentinel_markers.h"

namespace {

class Sentinels : public harness::MarkedScenario {};

TEST_F(Sentinels, HostilePayloadsLeaveEveryMarkerInPlace) {
  ASSERT_NO_FATAL_FAILURE(PlaceMarkers());
  ASSERT_TRUE(sandbox.MakeFolder(L"App\\Menu\\Deep"));
  // Keys of the sandbox, below Software in each view.
  const std::pair<HKEY, harness::RegistryView> sentinelKeys[] = {
      {HKEY_CURRENT_USER, harness::kDefaultView}, {HKEY_LOCAL_MACHINE, harness::kView32},
      {HKEY_LOCAL_MACHINE, harness::kView64}};
  for (const auto& key : sentinelKeys) ASSERT_TRUE(sandbox.MakeRegistryKey(key.first, key.second, L"Sentinel"));

  pack::Payload payload = harness::StandardPayload();
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
  for (uint32_t root : {harness::kPayloadHkcu, harness::kPayloadHklm})
    for (const char16_t* key : {u"Software\\", u"SYSTEM\\\\", u"\\", u"Software\\Wow6432Node\\"})
      payload.registry.push_back({root, key});
  for (const char16_t* key : {u"Software64\\", u"software64\\\\", u"Software64\\Wow6432Node"})
    payload.registry.push_back({harness::kPayloadHklm, key});
  EXPECT_TRUE(harness::ExitedWith(RunUninstaller(payload, {}, sandbox.Path(L"App\\Menu\\Deep")), 0));

  EXPECT_TRUE(MarkersInPlace());
  for (const auto& key : sentinelKeys) EXPECT_TRUE(sandbox.RegistryKeyExists(key.first, key.second, L"Sentinel"));
  HKEY control;  // below SYSTEM, which no sandbox key is
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control", 0, KEY_READ, &control), 0);
  RegCloseKey(control);
}

}  // namespace
