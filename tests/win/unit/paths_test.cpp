// The path primitives and bounded text helpers, which refuse a path that
// does not fit rather than cut it into another file's name; folder macros,
// resolution and protection, checked through other calls than the program's.
#include <shlobj.h>

#include <map>

#include "paths/folder_macros.h"
#include "paths/path_ops.h"
#include "unit_test_support.h"

namespace {

TEST(TextOps, WhatDoesNotFitIsRefusedTrailingBackslashesAndAsciiCaseFolding) {
  wchar_t buffer[8] = L"C:\\A", name[16], path[RX_MAX_PATH];
  EXPECT_TRUE(AppendText(buffer, 8, L"\\BC"));  // 7 units and the terminator
  EXPECT_FALSE(AppendText(buffer, 8, L"D"));
  EXPECT_STREQ(buffer, L"C:\\A\\BC");
  EXPECT_TRUE(CopyText(buffer, 8, L"1234567"));
  EXPECT_FALSE(CopyText(buffer, 8, L"12345678"));
  EXPECT_STREQ(buffer, L"");
  EXPECT_TRUE(FormatNumberedName(name, 11, L"tmp%d.tmp", 998));
  EXPECT_STREQ(name, L"tmp998.tmp");
  EXPECT_FALSE(FormatNumberedName(name, 10, L"tmp%d.tmp", 998));
  EXPECT_STREQ(name, L"");
  wcscpy(path, std::wstring(RX_MAX_PATH - 1, L'a').c_str());
  EXPECT_FALSE(AddBackslash(path));
  EXPECT_EQ(wcslen(path), (size_t)RX_MAX_PATH - 1);

  // An empty path gains no backslash (it would name the drive's root), and a
  // root keeps its own; only A-Z fold.
  const wchar_t* cases[][3] = {// path, AddBackslash, RemoveBackslash
                               {L"", L"", L""}, {L"C:\\A", L"C:\\A\\", L"C:\\A"}, {L"C:\\", L"C:\\", L"C:\\"}};
  for (const auto& c : cases) {
    wchar_t added[RX_MAX_PATH], removed[RX_MAX_PATH];
    AddBackslash(wcscpy(added, c[0]));
    RemoveBackslash(wcscpy(removed, c[0]));
    EXPECT_STREQ(added, c[1]);
    EXPECT_STREQ(removed, c[2]);
  }
  EXPECT_TRUE(EqualNoCase(L"C:\\Program Files\\App", L"c:\\PROGRAM FILES\\app"));
  EXPECT_FALSE(EqualNoCase(L"\u00C9t\u00E9", L"\u00E9t\u00E9"));
  EXPECT_FALSE(EqualNoCase(L"[", L"{")) << "the neighbouring punctuation";
}

// CREATE_ALWAYS would empty a file of someone else's: taken names are skipped.
TEST(PathOps, NumberedTempFileSkipsTakenNamesAndRefusesADeepTempFolder) {
  ScratchFolder scratch;
  ASSERT_TRUE(scratch.InstallFile(L"temp\\tmp1.tmp") && scratch.MakeFolder(L"temp\\tmp2.tmp"));
  wchar_t path[RX_MAX_PATH];
  CloseHandle(CreateNumberedTempFile(path, L"tmp%d.tmp"));
  EXPECT_STREQ(path, scratch.Temp(L"tmp3.tmp").c_str());
  EXPECT_EQ(harness::ReadLines(scratch.Temp(L"tmp1.tmp")), std::vector<std::string>{"installed"});

  const std::wstring deep = scratch.Path(std::wstring(250 - scratch.root().size(), L'd'));
  ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
  SetEnvironmentVariableW(L"TMP", deep.c_str());  // read before TEMP
  EXPECT_EQ(CreateNumberedTempFile(path, L"tmp%d.tmp"), INVALID_HANDLE_VALUE);
  EXPECT_STREQ(path, L"");
}

std::wstring Expand(const std::wstring& text) {
  std::wstring out(ExpandFolderMacros(nullptr, text.c_str(), 0) + 1, L'?');
  ExpandFolderMacros(&out[0], text.c_str(), (uint32_t)out.size());
  return out.c_str();
}
std::wstring Resolve(uint32_t id) {
  wchar_t buffer[RX_MAX_PATH];
  return ResolveFolder(buffer, id) ? buffer : L"-";
}
std::wstring Trimmed(const std::wstring& path) {
  return path.size() > 3 && path.back() == L'\\' ? path.substr(0, path.size() - 1) : path;
}
std::wstring Shell(int csidl) {
  wchar_t path[MAX_PATH] = L"";
  SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

class FolderMacros : public ::testing::Test {
 protected:
  void SetUp() override {
    run.installDir = installDir;
    run.isNT = true;
    ResetProtectedFolders();
  }
  void TearDown() override {
    folderSources = savedSources_;
    ResetProtectedFolders();
  }
  wchar_t installDir[RX_MAX_PATH] = L"C:\\App\\";
  SavedRunState saved_;
  const FolderSources savedSources_ = folderSources;
};

// One macro of each source, against the shell and the environment; the
// shell's folder numbers are checked against shlobj.h when the table is
// compiled. On WOW64 the two Program Files folders differ.
TEST_F(FolderMacros, EachMacroNamesItsFolderWithoutTrailingBackslash) {
  const std::wstring documents = Shell(CSIDL_COMMON_DOCUMENTS);
  const std::map<std::wstring, std::wstring> expected = {
      {L"#Windows#", Shell(CSIDL_WINDOWS)}, {L"#System#", Shell(CSIDL_SYSTEM)},
      {L"#tempdir#", Trimmed(Resolve(FOLDER_TEMP))}, {L"#Program Files#", Shell(CSIDL_PROGRAM_FILES)},
      {L"#Program Files (x64)#", _wgetenv(L"ProgramW6432")}, {L"#MyDocuments#", Shell(CSIDL_PERSONAL)},
      {L"#AllUsersDocuments#", documents}, {L"#AllUsersDir#", documents.substr(0, documents.rfind(L'\\'))},
      {L"#InstallDir#", L"C:\\App"}};
  for (const auto& macro : expected) EXPECT_EQ(Expand(macro.first + L"\\a"), macro.second + L"\\a") << macro.first;
}

TEST_F(FolderMacros, OnlyWholeKnownTokensExpandNeverTwiceAndPathsFitOrAreRefused) {
  for (const wchar_t* text : {L"#Foo#\\x", L"##Windows#", L"Samples\\C#\\*.*"}) EXPECT_EQ(Expand(text), text);
  wcscpy(installDir, L"C:\\My#Windows#App\\");
  EXPECT_EQ(Expand(L"#InstallDir#\\x"), L"C:\\My#Windows#App\\x");
  // 255 + 4 units fit a path, 255 + 5 do not.
  wcscpy(installDir, (L"C:\\" + std::wstring(252, L'f') + L"\\").c_str());
  wchar_t path[RX_MAX_PATH];
  EXPECT_TRUE(ExpandFolderMacrosInto(path, RX_MAX_PATH, L"#InstallDir#\\abc"));
  EXPECT_FALSE(ExpandFolderMacrosInto(path, RX_MAX_PATH, L"#InstallDir#\\abcd"));
  EXPECT_STREQ(path, L"");
}

TEST_F(FolderMacros, ProgramFilesValuesAreTerminatedOrRefused) {
  harness::Sandbox sandbox;
  const std::wstring key = sandbox.RegistryKey();
  folderSources.registryRoot = HKEY_CURRENT_USER;
  folderSources.registryKey = key.c_str();
  auto set = [&](const std::wstring& data, size_t units) {
    RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"ProgramFilesDir", REG_SZ, data.c_str(), (DWORD)(units * 2));
  };
  set(L"C:\\PF", 5);  // stored without its NUL
  EXPECT_EQ(Resolve(FOLDER_COMMON_FILES), L"C:\\PF\\Common Files");
  set(std::wstring(RX_MAX_PATH, L'x'), RX_MAX_PATH);  // no room for a NUL
  EXPECT_EQ(Resolve(FOLDER_PROGRAM_FILES), L"-");
}

class ProtectedFolders : public FolderMacros, public ::testing::WithParamInterface<bool> {
 protected:
  TableSelection table{GetParam()};
};

TEST_P(ProtectedFolders, RootsAndEverySpellingOfTheWellKnownFolders) {
  const std::wstring w = Shell(CSIDL_WINDOWS), pf = Trimmed(Resolve(FOLDER_PROGRAM_FILES));
  wchar_t shortPf[MAX_PATH];
  ASSERT_NE(GetShortPathNameW(pf.c_str(), shortPf, MAX_PATH), 0u);
  ASSERT_NE(shortPf, pf);
  std::wstring slashes = w, upper = w;
  for (auto& c : slashes) c = c == L'\\' ? L'/' : c;
  for (auto& c : upper) c = towupper(c);
  for (const std::wstring& path :
       {std::wstring(L"C:\\"), std::wstring(L"D:"), std::wstring(), std::wstring(L"C:\\\\"), upper, w + L"\\.",
        slashes + L"/", w + L" ", w + L"\\..", Shell(CSIDL_SYSTEM) + L"\\..\\..\\" + w.substr(3), std::wstring(shortPf),
        Trimmed(Shell(CSIDL_PERSONAL)), Trimmed(Resolve(FOLDER_PROGRAM_FILES_X64)), Trimmed(Resolve(FOLDER_TEMP)),
        L"\\\\?\\" + w, L"\\\\.\\" + w + L"\\", L"\\??\\" + upper, std::wstring(L"\\\\?\\C:\\"),
        std::wstring(L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\x"), w + L"::$INDEX_ALLOCATION",
        pf + L"\\App:stream"})
    EXPECT_TRUE(IsProtectedFolder(path.c_str())) << harness::Narrow(path);
  for (const std::wstring& path : {pf + L"\\App", std::wstring(shortPf) + L"\\App", w + L"\\Temp\\..\\Fonts\\x",
                                   w + L"2", L"\\\\?\\" + pf + L"\\App"})
    EXPECT_FALSE(IsProtectedFolder(path.c_str())) << harness::Narrow(path);
}

INSTANTIATE_TEST_SUITE_P(Table, ProtectedFolders, ::testing::Values(true, false));

}  // namespace
