// An application installed for one user, removed by a confirmed run to the
// end: its data in the user's application data (a tree through #AppData#),
// its keys under HKEY_CURRENT_USER, its shortcut in the user's own
// Start-menu Programs folder, and the uninstaller itself. retrax-user.exe,
// which asks for no administrator, does it as retrax.exe does (the same
// sources); its temporary copy is the program proper, asking for no more
// either. A neighbour of each kind ("-other") stays.
#include "removal_scenario.h"

namespace {

class PerUserApplication : public harness::ScenarioTest {
 protected:
  // Outside the sandbox: only what was made here goes, by its own name.
  void TearDown() override {
    for (auto it = made.rbegin(); it != made.rend(); ++it)
      if (!DeleteFileW(it->c_str())) RemoveDirectoryW(it->c_str());
  }
  // Makes folder with the files; folder.
  std::wstring Plant(const std::wstring& folder, std::initializer_list<const wchar_t*> files) {
    EXPECT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << harness::Narrow(folder);
    made.push_back(folder);
    for (const wchar_t* name : files) {
      made.push_back(folder + L"\\" + name);
      EXPECT_TRUE(harness::WriteWholeFile(made.back(), {'x'}));
    }
    return folder;
  }
  std::vector<std::wstring> made;  // each folder before what it holds
};

TEST_F(PerUserApplication, RemovesItsDataKeysShortcutAndItself) {
  harness::Bytes program;
  ASSERT_TRUE(harness::LoadEmbeddedFile(L"RETRAX_USER_EXE", &program));
  const std::wstring tag = L"\\RetraxTests-" + sandbox.name();
  const std::wstring data = Plant(harness::ShellFolder(CSIDL_APPDATA) + tag, {L"settings.ini"});
  Plant(data + L"\\cache", {L"page.bin"});
  const std::wstring menu = Plant(harness::ShellFolder(CSIDL_PROGRAMS) + tag, {L"App.lnk"});
  for (const std::wstring& folder : {data, menu}) Plant(folder + L"-other", {L"kept"});
  const HKEY hkcu = HKEY_CURRENT_USER;
  ASSERT_TRUE(sandbox.SetRegistryValue(hkcu, harness::kDefaultView, L"App\\Window", L"Left", L"10") &&
              sandbox.MakeRegistryKey(hkcu, harness::kDefaultView, L"App-other"));
  ASSERT_TRUE(sandbox.InstallFile(L"App\\app.exe"));
  pack::Payload payload = harness::StandardPayload();
  payload.files = {{harness::U16(sandbox.Path(L"App")), u"app.exe", 0}};
  payload.folderTrees = {u"#AppData#" + harness::U16(tag) + u"\\*.*"};
  payload.shortcuts = {{0, harness::U16(menu), u"", u"App.lnk"}};
  payload.registry = {{harness::kPayloadHkcu, harness::U16(sandbox.RegistryKey(L"App"))}};

  harness::Process process;
  sandbox.PrepareProcess(&process);
  ASSERT_TRUE(process.Start(sandbox.WriteUninstaller(L"App\\uninstall.exe", payload, &program)));
  EXPECT_TRUE(harness::ExitedWith(harness::FinishAnswering(&process), 0));
  // Not the end of every process the run started: a window may have started
  // Wine's explorer.exe, which lingers.
  for (DWORD waited = 0; sandbox.Exists(L"App") && waited < 20000; waited += 100) Sleep(100);
  EXPECT_FALSE(sandbox.Exists(L"App")) << "within the copy's 12 attempts, the uninstaller and its emptied folder go";
  for (const std::wstring& path : made)
    EXPECT_EQ(harness::FileExists(path), path.find(L"-other") != std::wstring::npos) << harness::Narrow(path);
  EXPECT_FALSE(sandbox.RegistryKeyExists(hkcu, harness::kDefaultView, L"App"));
  EXPECT_TRUE(sandbox.RegistryKeyExists(hkcu, harness::kDefaultView, L"App-other"));
  harness::Bytes copy;
  ASSERT_TRUE(harness::ReadWholeFile(sandbox.Path(L"temp\\_uins1.exe"), &copy));
  EXPECT_TRUE(copy == program) << "the copy started is the program proper: " << copy.size() << " bytes";
}

}  // namespace
