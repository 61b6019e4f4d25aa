// The tests' own ground rules: whatever runs here sees only the prefix's C:
// drive. If one of these fails, the prefix or the wrapper that starts the
// tests has lost its sandboxing, and a faulty removal could reach the host.
#include <shlobj.h>

#include "harness/harness.h"

namespace {

TEST(Sandbox, OnlyDriveCExists) {
  EXPECT_EQ(1u << 2, GetLogicalDrives());
}

TEST(Sandbox, ProfileFoldersAreRealFoldersNotLinksToTheHost) {
  for (int folder : {CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_MYMUSIC, CSIDL_MYPICTURES, CSIDL_MYVIDEO}) {
    wchar_t path[MAX_PATH];
    if (FAILED(SHGetFolderPathW(NULL, folder, NULL, SHGFP_TYPE_CURRENT, path))) continue;
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) continue;
    // Wine shows a Unix symbolic link to a folder as a reparse point.
    EXPECT_FALSE(attributes & FILE_ATTRIBUTE_REPARSE_POINT) << "CSIDL " << folder;
  }
}

TEST(Sandbox, TestProgramRunsFromDriveC) {
  wchar_t module[MAX_PATH];
  wchar_t current[MAX_PATH];
  ASSERT_NE(0u, GetModuleFileNameW(NULL, module, MAX_PATH));
  ASSERT_NE(0u, GetCurrentDirectoryW(MAX_PATH, current));
  EXPECT_EQ(0, _wcsnicmp(module, L"C:\\", 3)) << harness::Narrow(module);
  EXPECT_EQ(0, _wcsnicmp(current, L"C:\\", 3)) << harness::Narrow(current);
}

}  // namespace
