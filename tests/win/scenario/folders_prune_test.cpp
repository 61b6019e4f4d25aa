// The folders the file phase emptied, removed by a silent run of retrax.exe
// up to the first folder that is protected or still holds something.
#include "folders_scenario_support.h"

using harness::ExitedWith;

namespace {

class PruneFolders : public harness::RemovalScenario {};

TEST_F(PruneFolders, EmptiedFoldersGoUpToTheFirstProtectedOrNonEmptyOne) {
  const std::wstring programs = harness::ShellFolder(CSIDL_PROGRAMS);
  ASSERT_FALSE(programs.empty());
  const std::wstring mine = programs + L"\\" + sandbox.name();
  ASSERT_TRUE(CreateDirectoryW(mine.c_str(), nullptr));
  ASSERT_TRUE(harness::WriteWholeFile(mine + L"\\tool.exe", {'x'}));
  for (const wchar_t* file : {L"App\\app.exe", L"App\\data\\deep\\a.dat", L"App\\data\\deep\\b.dat",
                              L"App\\data\\c.dat", L"Common\\Vendor\\Shared\\s.dll", L"Common\\other.txt"})
    ASSERT_TRUE(Install(file));
  ASSERT_TRUE(sandbox.MakeFolder(L"Fonts2"));

  pack::Payload payload = harness::StandardPayload();
  payload.files = {
      {u".", u"app.exe", 0},
      {u".\\data\\deep", u"a.dat", 0},
      {u".\\data\\deep", u"b.dat", 0},
      {u".\\data", u"c.dat", 0},
      {At(L"Common\\Vendor\\Shared"), u"s.dll", 0},
      {harness::U16(mine), u"tool.exe", 0},
      {At(L"Fonts2"), u"missing.ttf", FileFont},
      {u".", u"", 0},
  };
  EXPECT_TRUE(ExitedWith(RunUninstaller(payload), 0));

  EXPECT_FALSE(sandbox.Exists(L"App\\data"));
  EXPECT_TRUE(sandbox.Exists(L"App\\uninstall.exe")) << "it holds installDir until it removes itself";
  EXPECT_FALSE(sandbox.Exists(L"Common\\Vendor"));
  EXPECT_TRUE(sandbox.Exists(L"Common\\other.txt"));
  const bool mineLeft = harness::FileExists(mine);
  EXPECT_FALSE(mineLeft);
  EXPECT_TRUE(harness::FileExists(programs));
  EXPECT_TRUE(sandbox.Exists(L"Fonts2")) << "a font's folder is never pruned";
  if (mineLeft) {
    DeleteFileW((mine + L"\\tool.exe").c_str());
    RemoveDirectoryW(mine.c_str());
  }
}

}  // namespace
