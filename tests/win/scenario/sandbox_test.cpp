// Whatever runs here sees only the prefix's C: drive. If this fails, the
// prefix or the wrapper that starts the tests has lost its sandboxing, and
// a faulty removal could reach the host.
#include <shlobj.h>

#include "harness/harness.h"

namespace {

TEST(Sandbox, OnlyDriveCAndNoLinksToTheHost) {
  EXPECT_EQ(1u << 2, GetLogicalDrives());
  wchar_t path[MAX_PATH];
  for (int folder : {CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_MYMUSIC, CSIDL_MYPICTURES, CSIDL_MYVIDEO}) {
    if (FAILED(SHGetFolderPathW(NULL, folder, NULL, SHGFP_TYPE_CURRENT, path))) continue;
    const DWORD attributes = GetFileAttributesW(path);  // Wine shows a Unix link as a reparse point
    EXPECT_TRUE(attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) << folder;
  }
}

}  // namespace
