// The path primitives and the bounded text helpers: a path that does not
// fit is refused, never cut into the name of another file.
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

// CREATE_ALWAYS would empty a file of someone else's: taken names are
// skipped. A file held for loading later keeps writers and deleters out.
TEST(PathOps, NumberedTempFileSkipsTakenNamesHoldsItsFileAndRefusesADeepTempFolder) {
  ScratchFolder scratch;
  ASSERT_TRUE(scratch.InstallFile(L"temp\\tmp1.tmp") && scratch.MakeFolder(L"temp\\tmp2.tmp"));
  wchar_t path[RX_MAX_PATH];
  CloseHandle(CreateNumberedTempFile(path, L"tmp%d.tmp"));
  EXPECT_STREQ(path, scratch.Temp(L"tmp3.tmp").c_str());
  EXPECT_EQ(harness::ReadLines(scratch.Temp(L"tmp1.tmp")), std::vector<std::string>{"installed"});
  HANDLE held = CreateNumberedTempFile(path, L"tmp%d.tmp", CREATE_NEW, FILE_SHARE_READ);
  EXPECT_STREQ(path, scratch.Temp(L"tmp4.tmp").c_str());
  EXPECT_EQ(OpenExistingFile(path, GENERIC_READ | GENERIC_WRITE), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(DeleteFileW(path));
  CloseHandle(held);

  const std::wstring deep = scratch.Path(std::wstring(250 - scratch.root().size(), L'd'));
  ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
  SetEnvironmentVariableW(L"TMP", deep.c_str());
  SetEnvironmentVariableW(L"TEMP", deep.c_str());
  EXPECT_EQ(CreateNumberedTempFile(path, L"tmp%d.tmp"), INVALID_HANDLE_VALUE);
  EXPECT_STREQ(path, L"");
}

}  // namespace
