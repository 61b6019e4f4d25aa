// The safety proof: a payload aimed at every protected folder, at the
// folders beside the application and at the top-level registry keys, by
// every spelling that names them, removes none of the marker files,
// folders and keys placed there first.
#include "folders_scenario_support.h"

using harness::ExitedWith;

namespace {

// The folders the program protects, resolved here the way the shell and the
// platform name them for this user.
std::vector<std::wstring> ProtectedFolders(const std::wstring& temp) {
  std::vector<std::wstring> folders = {temp};
  for (int csidl : {CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILES_COMMON, CSIDL_DESKTOP,
                    CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_FONTS, CSIDL_PROGRAMS,
                    CSIDL_COMMON_PROGRAMS, CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU, CSIDL_STARTUP,
                    CSIDL_COMMON_STARTUP, CSIDL_APPDATA, CSIDL_COMMON_APPDATA, CSIDL_LOCAL_APPDATA,
                    CSIDL_COMMON_DOCUMENTS, CSIDL_PERSONAL, CSIDL_PROFILE}) {
    const std::wstring folder = harness::ShellFolder(csidl);
    if (!folder.empty()) folders.push_back(folder);
  }
  const std::wstring documents = harness::ShellFolder(CSIDL_COMMON_DOCUMENTS);
  if (!documents.empty()) folders.push_back(documents.substr(0, documents.rfind(L'\\')));  // All Users
  for (int csidl : {CSIDL_APPDATA, CSIDL_COMMON_APPDATA}) {
    const std::wstring quickLaunch = harness::ShellFolder(csidl) + L"\\Microsoft\\Internet Explorer\\Quick Launch";
    if (harness::FileExists(quickLaunch)) folders.push_back(quickLaunch);
  }
  wchar_t path[MAX_PATH];
  DWORD bytes = sizeof path;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir",
                   RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, path, &bytes) == ERROR_SUCCESS)
    folders.push_back(path);
  return folders;
}

class Sentinels : public harness::RemovalScenario {
 protected:
  void TearDown() override {
    for (const std::wstring& file : files_) DeleteFileW(file.c_str());
    for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) RemoveDirectoryW(it->c_str());
  }
  // A marker file and a marker folder holding one in folder.
  void Place(const std::wstring& folder) {
    const std::wstring name = folder + L"\\retrax-sentinel-" + sandbox.name();
    if (!CreateDirectoryW(name.c_str(), nullptr)) return;
    folders_.push_back(name);
    for (const std::wstring& file : {name + L".txt", name + L"\\inside.txt"}) {
      if (harness::WriteWholeFile(file, {'s'})) files_.push_back(file);
    }
  }
  std::vector<std::wstring> files_, folders_;
};

const uint32_t kHkcu = harness::kPayloadHkcu, kHklm = harness::kPayloadHklm;

// Keys below the top-level ones, which go with them.
struct KeyName {
  HKEY root;
  REGSAM view;
  const wchar_t* path;
};
const KeyName kKeys[] = {
    {HKEY_CURRENT_USER, 0, L"Software\Wine"},
    {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, L"Software\Microsoft\Windows\CurrentVersion"},
    {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"Software\Microsoft\Windows\CurrentVersion"},
    {HKEY_LOCAL_MACHINE, 0, L"System\CurrentControlSet\Control"},
};
bool KeyExists(const KeyName& name) {
  HKEY key;
  if (RegOpenKeyExW(name.root, name.path, 0, KEY_READ | name.view, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

TEST_F(Sentinels, HostilePayloadsLeaveEveryMarkerInPlace) {
  const std::wstring temp = sandbox.Path(L"temp");
  ASSERT_TRUE(sandbox.MakeFolder(L"temp"));
  for (const std::wstring& folder : ProtectedFolders(temp)) Place(folder);
  ASSERT_TRUE(sandbox.MakeFolder(L"Neighbour"));
  ASSERT_TRUE(sandbox.MakeFolder(L"App\\Menu\\Deep"));
  Place(sandbox.root());
  Place(sandbox.Path(L"Neighbour"));
  ASSERT_GE(files_.size(), 2 * 20u) << "markers in the protected folders and beside App";
  ASSERT_TRUE(sandbox.MakeRegistryKey(HKEY_CURRENT_USER, harness::kDefaultView, L"Sentinel"));
  ASSERT_TRUE(sandbox.MakeRegistryKey(HKEY_LOCAL_MACHINE, harness::kView32, L"Sentinel"));
  ASSERT_TRUE(sandbox.MakeRegistryKey(HKEY_LOCAL_MACHINE, harness::kView64, L"Sentinel"));
  std::vector<bool> keysBefore;
  for (const KeyName& key : kKeys) keysBefore.push_back(KeyExists(key));

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
  const std::u16string programs = harness::U16(harness::ShellFolder(CSIDL_PROGRAMS));
  payload.shortcuts = {
      {255, At(L"App\\Menu\\Deep"), u"", u""},
      {255, programs, At(L"Neighbour"), u""},
      {255, harness::U16(harness::ShellFolder(CSIDL_APPDATA)), harness::U16(harness::ShellFolder(CSIDL_LOCAL_APPDATA)),
       u""},
  };
  for (uint32_t root : {kHkcu, kHklm}) {
    for (const char16_t* key : {u"Software\\", u"SYSTEM\\\\", u"\\", u"Software\\Wow6432Node\\"})
      payload.registry.push_back({root, key});
  }
  for (const char16_t* key : {u"Software64\\", u"software64\\\\", u"Software64\\Wow6432Node"})
    payload.registry.push_back({kHklm, key});
  EXPECT_TRUE(ExitedWith(RunUninstaller(payload, {}, sandbox.Path(L"App\\Menu\\Deep")), 0));

  for (const std::wstring& file : files_) EXPECT_TRUE(harness::FileExists(file)) << harness::Narrow(file);
  for (const std::wstring& folder : folders_) EXPECT_TRUE(harness::FileExists(folder)) << harness::Narrow(folder);
  EXPECT_TRUE(sandbox.RegistryKeyExists(HKEY_CURRENT_USER, harness::kDefaultView, L"Sentinel"));
  EXPECT_TRUE(sandbox.RegistryKeyExists(HKEY_LOCAL_MACHINE, harness::kView32, L"Sentinel"));
  EXPECT_TRUE(sandbox.RegistryKeyExists(HKEY_LOCAL_MACHINE, harness::kView64, L"Sentinel"));
  for (size_t i = 0; i < sizeof kKeys / sizeof kKeys[0]; ++i) {
    if (keysBefore[i]) EXPECT_TRUE(KeyExists(kKeys[i])) << harness::Narrow(kKeys[i].path);
  }
}

}  // namespace
