// Folder macros, folder resolution and protection against Wine's folders
// (checked through other calls than the program's), and the fallbacks for a
// shell that cannot name a folder, through a shell that answers as told.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <map>
#include <string>

#include "driver/run_state.h"
#include "paths/canonical_path.h"
#include "paths/folder_macros.h"
#include "payload/memory.h"
#include "platform_test_support.h"

namespace {

std::wstring Expand(const std::wstring& text) {
  uint32_t length = ExpandFolderMacros(nullptr, text.c_str(), 0);
  std::wstring out(length + 1, L'?');
  EXPECT_EQ(ExpandFolderMacros(&out[0], text.c_str(), length + 1), length);
  return out.c_str();
}
std::wstring Resolve(uint32_t id) {
  wchar_t buffer[RX_MAX_PATH];
  return ResolveFolder(buffer, id) ? buffer : L"-";
}
std::wstring Trimmed(std::wstring path) { return path.size() > 3 && path.back() == L'\\' ? path.substr(0, path.size() - 1) : path; }
std::wstring Shell(int csidl) {
  wchar_t path[MAX_PATH] = L"";
  SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}
std::wstring Registry(const wchar_t* name, DWORD view) {
  wchar_t value[MAX_PATH] = L"";
  DWORD bytes = sizeof value;
  RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", name, RRF_RT_REG_SZ | view,
               nullptr, value, &bytes);
  return value;
}
std::wstring Windows() {
  wchar_t path[MAX_PATH];
  GetWindowsDirectoryW(path, MAX_PATH);
  return path;
}

std::map<uint32_t, std::wstring> shell;  // what the stand-in shell names
bool StandInShell(RxChar* buffer, uint32_t csidl) {
  if (!shell.count(csidl)) return false;
  wcscpy(buffer, shell[csidl].c_str());
  return true;
}

class FolderMacros : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = run;
    savedSources_ = folderSources;
    run.installDir = installDir;
    run.isNT = true;
    ResetProtectedFolders();
  }
  void TearDown() override {
    run = saved_;
    folderSources = savedSources_;
    shell.clear();
    ResetProtectedFolders();
  }
  void UseStandInShell() { folderSources.shellFolderPath = StandInShell; }
  wchar_t installDir[RX_MAX_PATH] = L"C:\\App\\";
  RunState saved_;
  FolderSources savedSources_;
};

TEST_F(FolderMacros, EachMacroNamesItsFolderWithoutTrailingBackslash) {
  wchar_t system[MAX_PATH], temp[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  GetTempPathW(MAX_PATH, temp);
  const std::wstring documents = Shell(CSIDL_COMMON_DOCUMENTS);
  const std::map<std::wstring, std::wstring> expected = {
      {L"#Windows#", Windows()}, {L"#System#", system},
      {L"#CommonFiles#", Registry(L"CommonFilesDir", 0)},
      {L"#Program Files#", Registry(L"ProgramFilesDir", 0)},
      {L"#Program Files (x64)#", Registry(L"ProgramFilesDir", RRF_SUBKEY_WOW6464KEY)},
      {L"#MyDocuments#", Shell(CSIDL_PERSONAL)}, {L"#Desktop#", Shell(CSIDL_DESKTOPDIRECTORY)},
      {L"#AppData#", Shell(CSIDL_APPDATA)}, {L"#LocalAppData#", Shell(CSIDL_LOCAL_APPDATA)},
      {L"#UserDir#", Shell(CSIDL_PROFILE)}, {L"#TempDir#", temp},
      {L"#AllUsersAppData#", Shell(CSIDL_COMMON_APPDATA)}, {L"#AllUsersDocuments#", documents},
      {L"#AllUsersDesktop#", Shell(CSIDL_COMMON_DESKTOPDIRECTORY)},
      {L"#AllUsersDir#", documents.substr(0, documents.rfind(L'\\'))}, {L"#InstallDir#", L"C:\\App"}};
  for (const auto& macro : expected)
    EXPECT_EQ(Expand(macro.first + L"\\a"), Trimmed(macro.second) + L"\\a") << macro.first;
  EXPECT_NE(Expand(L"#Program Files#"), Expand(L"#Program Files (x64)#")) << "WOW64: two views";
  EXPECT_EQ(Expand(L"#windows#;#TEMPDIR#"), Windows() + L";" + Trimmed(temp));
  EXPECT_EQ(Resolve(FOLDER_TEMP), temp);
  EXPECT_EQ(Resolve(FOLDER_QUICK_LAUNCH), Shell(CSIDL_APPDATA) + L"\\Microsoft\\Internet Explorer\\Quick Launch");
}

TEST_F(FolderMacros, OnlyWholeKnownTokensExpandAndNeverTwice) {
  const std::wstring longToken = L"#" + std::wstring(300, L'x') + L"#";
  for (const wchar_t* text : {L"#Foo#\\x", L"#Bar", L"##Windows#", L"a#b", L"#", L"# Windows#", L"Samples\\C#\\*.*"})
    EXPECT_EQ(Expand(text), text);
  EXPECT_EQ(Expand(longToken + L"#Windows#"), longToken + Windows());
  wcscpy(installDir, L"C:\\My#Windows#App\\");
  EXPECT_EQ(Expand(L"#InstallDir#\\x"), L"C:\\My#Windows#App\\x");
  wcscpy(installDir, L"D:\\");
  EXPECT_EQ(Expand(L"#InstallDir#\\a"), L"D:\\\\a") << "a root keeps its backslash";
  EXPECT_TRUE(IsAbsolutePath(L"C:\\x") && IsAbsolutePath(L"c:/x") && IsAbsolutePath(L"\\\\server\\share"));
  EXPECT_FALSE(IsAbsolutePath(L"Samples\\C#\\*.*") || IsAbsolutePath(L"C:x") || IsAbsolutePath(L"\\x"));
}

TEST_F(FolderMacros, SizeQueryBoundedCopyAndTheLimits) {
  const long live = MemLiveBlocks();
  const wchar_t* text = L"#InstallDir#\\tool.exe";  // 15 units expanded
  wchar_t out[20];
  for (uint32_t count : {16u, 15u, 4u, 0u}) {
    wmemset(out, L'?', 20);
    EXPECT_EQ(ExpandFolderMacros(out, text, count), 15u);
    EXPECT_EQ(std::wstring(out, count), std::wstring(L"C:\\App\\tool.exe", count));
    EXPECT_EQ(out[count], L'?') << "terminated only when it fits, nothing beyond count";
  }
  // Without the working buffer: a padded copy, unexpanded.
  MemFailAfter(1);
  EXPECT_EQ(ExpandFolderMacros(out, L"#Windows#", 12), 9u);
  EXPECT_EQ(std::wstring(out, 12), std::wstring(L"#Windows#\0\0\0", 12));
  // Past the working buffer: cut to fill it exactly, and refused as a path.
  wcscpy(installDir, (L"C:\\" + std::wstring(246, L'f') + L"\\").c_str());
  std::wstring huge;
  for (int i = 0; i < 300; ++i) huge += L"#InstallDir#";
  EXPECT_EQ(ExpandFolderMacros(nullptr, huge.c_str(), 0), (uint32_t)FOLDER_MACRO_WORK_UNITS - 1);
  wchar_t path[RX_MAX_PATH];
  EXPECT_FALSE(ExpandFolderMacrosInto(path, RX_MAX_PATH, huge.c_str()));
  // 255 + 4 units fit a path, 255 + 5 do not.
  wcscpy(installDir, (L"C:\\" + std::wstring(252, L'f') + L"\\").c_str());
  EXPECT_TRUE(ExpandFolderMacrosInto(path, RX_MAX_PATH, L"#InstallDir#\\abc"));
  EXPECT_FALSE(ExpandFolderMacrosInto(path, RX_MAX_PATH, L"#InstallDir#\\abcd"));
  EXPECT_STREQ(path, L"");
  EXPECT_EQ(MemLiveBlocks(), live);
}

TEST_F(FolderMacros, ProgramFilesValuesAreTerminatedOrRefused) {
  const std::wstring key = L"Software\\RetraxTests\\Folders" + std::to_wstring(GetCurrentProcessId());
  folderSources.registryRoot = HKEY_CURRENT_USER;
  folderSources.registryKey = key.c_str();
  auto set = [&](const wchar_t* name, const std::wstring& data, size_t units) {
    RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name, REG_SZ, data.c_str(), (DWORD)(units * 2));
  };
  EXPECT_EQ(Resolve(FOLDER_PROGRAM_FILES), L"-") << "no key";
  set(L"ProgramFilesDir", L"C:\\PF", 5);  // stored without its NUL
  EXPECT_EQ(Resolve(FOLDER_COMMON_FILES), L"C:\\PF\\Common Files");
  set(L"CommonFilesDir", L"D:\\Shared", 10);
  EXPECT_EQ(Expand(L"#CommonFiles#\\V"), L"D:\\Shared\\V");
  set(L"ProgramFilesDir", std::wstring(RX_MAX_PATH, L'x'), RX_MAX_PATH);  // no room for a NUL
  EXPECT_EQ(Resolve(FOLDER_PROGRAM_FILES), L"-");
  set(L"ProgramFilesDir", L"", 1);
  EXPECT_EQ(Resolve(FOLDER_PROGRAM_FILES), L"-");
  RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
}

TEST_F(FolderMacros, FallbacksFollowTheProfileLayoutOfEachFamily) {
  UseStandInShell();
  const std::wstring xp = L"C:\\Documents and Settings\\", appData = xp + L"me\\Application Data";
  const std::wstring w = Windows() + L"\\";
  const struct {
    bool nt;
    const std::wstring appData;  // what the shell names for CSIDL_APPDATA, "" none
    uint32_t id;
    std::wstring expected;
  } cases[] = {
      {true, appData, CSIDL_COMMON_APPDATA, xp + L"All Users\\Application Data"},
      {true, appData, CSIDL_LOCAL_APPDATA, xp + L"me\\Local Settings\\Application Data"},
      {true, appData, CSIDL_PROFILE, xp + L"me"},
      {true, appData, FOLDER_ALL_USERS, xp + L"All Users"},
      {true, appData, FOLDER_COMMON_QUICK_LAUNCH, L"-"},
      {true, L"", CSIDL_COMMON_APPDATA, w + L"Profiles\\All Users\\Application Data"},
      {true, L"", CSIDL_APPDATA, w + L"Profiles\\Administrator\\Application Data"},
      {true, L"", CSIDL_LOCAL_APPDATA, w + L"Profiles\\Administrator\\Local Settings\\Application Data"},
      {true, L"", CSIDL_PROFILE, L"-"},
      {true, L"AppData", CSIDL_PROFILE, L"c:\\"},
      {true, L"C:\\AppData", CSIDL_COMMON_APPDATA, w + L"Profiles\\All Users\\Application Data"},
      {true, L"C:\\" + std::wstring(232, L'r') + L"\\me\\Application Data", CSIDL_COMMON_APPDATA, L"-"},
      {false, appData, CSIDL_COMMON_APPDATA, w + L"All Users\\Application Data"},
      {false, appData, CSIDL_LOCAL_APPDATA, w + L"Application Data"},
      {false, appData, CSIDL_PROFILE, Windows()},
      {false, appData, FOLDER_ALL_USERS, w + L"All Users"},
  };
  for (const auto& c : cases) {
    run.isNT = c.nt;
    shell.clear();
    if (!c.appData.empty()) shell[CSIDL_APPDATA] = c.appData;
    EXPECT_EQ(Resolve(c.id), c.expected) << c.nt << " " << std::hex << c.id;
  }
  const wchar_t* allUsers[][2] = {{L"C:\\Users\\Public\\Documents", L"C:\\Users\\Public"}, {L"D:\\Docs", L"D:\\"}, {L"Docs", L"c:\\"}};
  for (auto& c : allUsers) {
    shell[CSIDL_COMMON_DOCUMENTS] = c[0];
    EXPECT_EQ(Resolve(FOLDER_ALL_USERS), c[1]);
  }
}

class ProtectedFolders : public FolderMacros, public ::testing::WithParamInterface<bool> {
 protected:
  TableSelection table{GetParam()};
};

TEST_P(ProtectedFolders, RootsAndEverySpellingOfTheWellKnownFolders) {
  const std::wstring w = Windows(), pf = Trimmed(Resolve(FOLDER_PROGRAM_FILES));
  wchar_t system[MAX_PATH], shortPf[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  ASSERT_NE(GetShortPathNameW(pf.c_str(), shortPf, MAX_PATH), 0u);
  ASSERT_NE(shortPf, pf);
  std::wstring slashes = w, upper = w;
  for (auto& c : slashes) c = c == L'\\' ? L'/' : c;
  for (auto& c : upper) c = towupper(c);
  for (const std::wstring& path :
       {std::wstring(L"C:\\"), std::wstring(L"D:"), std::wstring(), std::wstring(L"C:\\.\\"), std::wstring(L"C:\\\\"),
        upper, w + L"\\", w + L"\\.", w + L"\\\\", slashes + L"/", w + L".", w + L" ", w + L"\\..",
        std::wstring(system) + L"\\..\\..\\" + w.substr(3), w.substr(0, 3) + L"\\" + w.substr(3),
        std::wstring(shortPf), std::wstring(shortPf) + L"\\", Trimmed(Shell(CSIDL_PERSONAL)),
        Shell(CSIDL_FONTS), Trimmed(Resolve(FOLDER_PROGRAM_FILES_X64)), Trimmed(Resolve(FOLDER_TEMP))})
    EXPECT_TRUE(IsProtectedFolder(path.c_str())) << std::string(path.begin(), path.end());
  for (const std::wstring& path : {pf + L"\\App", std::wstring(shortPf) + L"\\App", w + L"\\Temp\\..\\Fonts\\x",
                                   w + L"2", Shell(CSIDL_APPDATA) + L"\\Vendor"})
    EXPECT_FALSE(IsProtectedFolder(path.c_str())) << std::string(path.begin(), path.end());
  wchar_t saved[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, saved);
  SetCurrentDirectoryW(system);
  EXPECT_TRUE(IsProtectedFolder(L"..\\."));
  SetCurrentDirectoryW(saved);
}

INSTANTIATE_TEST_SUITE_P(Table, ProtectedFolders, ::testing::Values(true, false));

TEST(CanonicalPath, NetworkRootsHoldAndNothingIsCut) {
  wchar_t path[RX_MAX_PATH] = L"\\\\srv\\share\\..\\..\\x", out[8];
  NormalizePathText(path);
  EXPECT_STREQ(path, L"\\\\srv\\share\\x");
  EXPECT_FALSE(CanonicalizePath(L"C:\\Windows\\System32", out, 8));
  EXPECT_STREQ(out, L"");
}

}  // namespace
