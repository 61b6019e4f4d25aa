// Where each file entry's path comes from: the install folder for "."
// folders, the folder as written otherwise, and never a relative or cut
// path.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "driver_test_support.h"
#include "harness/harness.h"
#include "removal/removal.h"

namespace {

typedef RunTest EntryPath;

TEST_F(EntryPath, DotFoldersAbsoluteFoldersAndRefusedPaths) {
  wcscpy(run.installDir, L"C:\\Program Files\\App\\");
  const std::wstring longFolder = L"C:\\" + std::wstring(247, L'f'), longSub = L".\\" + std::wstring(240, L's');
  const std::wstring app = L"C:\\Program Files\\App\\";
  struct Case {
    std::wstring folder, name, built;  // "" when refused
  } cases[] = {
      {L".", L"app.exe", app + L"app.exe"},
      {L".\\sub\\", L"a.dll", app + L"sub\\a.dll"},
      {L"..\\sub", L"a.dll", app + L"a.dll"},  // only ".\" opens a sub-path
      {L".", L"", app},
      {L".\\sub", L"", app + L"sub"},
      {L"C:\\Shared\\", L"lib.dll", L"C:\\Shared\\lib.dll"},
      {L"\\\\server\\share", L"lib.dll", L"\\\\server\\share\\lib.dll"},
      // The current folder may be the system folder: "a.dll" there is not ours.
      {L"", L"a.dll", L""},
      {L"sub", L"a.dll", L""},
      {L"\\Windows", L"a.dll", L""},  // depends on the current drive
      {L"C:sub", L"a.dll", L""},
      // Too long for the buffer: refused, not cut.
      {longFolder, L"12345.dll", L""},
      {longFolder, L"1234.dll", longFolder + L"\\1234.dll"},  // 259 units fit
      {longSub, L"a.dll", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(harness::Narrow(c.folder + L" | " + c.name));
    wcscpy(run.workPath, L"stale");
    FileEntry entry = {c.folder.c_str(), c.name.c_str(), 0};
    EXPECT_EQ(BuildEntryPath(&entry), !c.built.empty());
    EXPECT_EQ(std::wstring(run.workPath), c.built) << "a refused path leaves nothing to act on";
  }
}

}  // namespace
