// The path primitives against the real file system, through the wide table
// and through the ANSI adapters alike.
#include <gtest/gtest.h>

#include "paths/path_ops.h"
#include "platform_test_support.h"

namespace {

TEST(PathOps, TrailingBackslashKeepsEachCallersConvention) {
  const wchar_t* cases[][3] = {// path, with AddBackslash, with RemoveBackslash
                               {L"", L"", L""},
                               {L"C:\\A", L"C:\\A\\", L"C:\\A"},
                               {L"C:\\A\\", L"C:\\A\\", L"C:\\A"},
                               {L"C:\\", L"C:\\", L"C:\\"},  // a drive root keeps its backslash
                               {L"C:\\A\\\\", L"C:\\A\\\\", L"C:\\A\\"}};
  for (const auto& c : cases) {
    wchar_t path[RX_MAX_PATH];
    wcscpy(path, c[0]);
    AddBackslash(path);
    EXPECT_STREQ(path, c[1]);
    wcscpy(path, c[0]);
    RemoveBackslash(path);
    EXPECT_STREQ(path, c[2]);
  }
  // A full buffer has no room for the backslash and its terminator.
  wchar_t path[RX_MAX_PATH];
  wcscpy(path, std::wstring(RX_MAX_PATH - 1, L'a').c_str());
  EXPECT_FALSE(AddBackslash(path));
  EXPECT_EQ(wcslen(path), (size_t)RX_MAX_PATH - 1);
}

// The give-up rule is the loop's own, the same on both tables.
TEST(PathOps, NumberedTempFileGivesUpAfter998AndCreatesNothing) {
  ScratchFolder scratch;
  for (int n = 1; n <= 998; ++n) scratch.MakeFile(L"tmp" + std::to_wstring(n) + L".tmp");
  wchar_t path[RX_MAX_PATH];
  EXPECT_EQ(CreateNumberedTempFile(path, L"tmp%d.tmp"), INVALID_HANDLE_VALUE);
  EXPECT_STREQ(path, scratch.Child(L"tmp998.tmp").c_str());
  EXPECT_EQ(scratch.CountEntries(), 998) << "number 999 must not be tried";
}

class PathOpsOnBothFamilies : public ::testing::TestWithParam<bool> {
 protected:
  TableSelection table{GetParam()};
  ScratchFolder scratch;
};

// Held for loading later: readers come in, writers and deleters do not.
TEST_P(PathOpsOnBothFamilies, NumberedTempFileSkipsTakenNamesAndKeepsWritersOut) {
  scratch.MakeFile(L"tmp1.tmp");
  ASSERT_TRUE(CreateDirectoryW(scratch.Child(L"tmp2.tmp").c_str(), nullptr));
  wchar_t path[RX_MAX_PATH];
  HANDLE file = CreateNumberedTempFile(path, L"tmp%d.tmp");  // CREATE_ALWAYS: taken names must be skipped
  CloseHandle(file);
  EXPECT_STREQ(path, scratch.Child(L"tmp3.tmp").c_str());
  file = CreateNumberedTempFile(path, L"tmp%d.tmp", CREATE_NEW, FILE_SHARE_READ);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(path, scratch.Child(L"tmp4.tmp").c_str());
  HANDLE reader = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  CloseHandle(reader);
  EXPECT_EQ(CreateFileW(path, GENERIC_WRITE, 7, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(DeleteFileW(path));
  CloseHandle(file);

  // A temporary folder too long for a path: no shortened path is left.
  std::wstring deep = scratch.Path() + L"\\" + std::wstring(250 - scratch.Path().size(), L'd');
  ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
  SetEnvironmentVariableW(L"TMP", deep.c_str());
  SetEnvironmentVariableW(L"TEMP", deep.c_str());
  EXPECT_EQ(CreateNumberedTempFile(path, L"tmp%d.tmp"), INVALID_HANDLE_VALUE);
  EXPECT_STREQ(path, L"");
}

TEST_P(PathOpsOnBothFamilies, FilesAreSharedOnlyWhenReadAndFoldersGoOnlyWhenEmpty) {
  scratch.MakeFile(L"data.bin", "x");
  const std::wstring data = scratch.Child(L"data.bin");
  HANDLE reading = OpenExistingFile(data.c_str(), GENERIC_READ);
  HANDLE second = OpenExistingFile(data.c_str(), GENERIC_READ);
  EXPECT_NE(second, INVALID_HANDLE_VALUE) << "readers let other readers in";
  CloseHandle(second);
  CloseHandle(reading);
  HANDLE writing = OpenExistingFile(data.c_str(), GENERIC_READ | GENERIC_WRITE);
  ASSERT_NE(writing, INVALID_HANDLE_VALUE);
  EXPECT_EQ(OpenExistingFile(data.c_str(), GENERIC_READ), INVALID_HANDLE_VALUE) << "a writer shares nothing";
  CloseHandle(writing);
  EXPECT_EQ(OpenExistingFile(scratch.Child(L"missing.bin").c_str(), GENERIC_READ), INVALID_HANDLE_VALUE);

  const std::wstring folder = scratch.Child(L"sub");
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  scratch.MakeFile(L"sub\\file.txt");
  EXPECT_TRUE(FileExists(folder.c_str()) && FileExists(scratch.Child(L"sub\\*.txt").c_str()));
  EXPECT_FALSE(FileExists(scratch.Child(L"sub\\other.txt").c_str()));
  wchar_t saved[RX_MAX_PATH], current[RX_MAX_PATH];
  ASSERT_GT(GetCurrentFolder(saved), 0u);
  ASSERT_TRUE(SetCurrentFolder(folder.c_str()));
  EXPECT_EQ(GetCurrentFolder(current), folder.size());
  EXPECT_STREQ(current, folder.c_str());
  ASSERT_TRUE(SetCurrentFolder(saved));
  EXPECT_FALSE(RemoveFolder(folder.c_str()));
  ASSERT_TRUE(DeleteFileW(scratch.Child(L"sub\\file.txt").c_str()));
  EXPECT_TRUE(RemoveFolder(folder.c_str()));
  EXPECT_FALSE(FileExists(folder.c_str()));
}

INSTANTIATE_TEST_SUITE_P(Table, PathOpsOnBothFamilies, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Wide" : "Ansi");
                         });

}  // namespace
