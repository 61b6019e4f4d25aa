// Shortcut files and their folders removed by a silent run of retrax.exe:
// how far each entry climbs, in step on both of its paths, and where it
// stops.
#include "folders_scenario_support.h"

using harness::ExitedWith;

namespace {

class ShortcutFolders : public harness::RemovalScenario {};

TEST_F(ShortcutFolders, EachEntryClimbsItsLevelsOnBothPathsAndLeavesWhatIsNotEmpty) {
  for (const wchar_t* file : {L"Menu0\\App\\App.lnk", L"Menu1\\Vendor\\App\\App.lnk", L"Menu2\\A\\B\\C\\C.lnk",
                              L"Menu3\\Vendor\\readme.txt", L"Menu3\\Vendor\\App\\App.lnk",
                              L"Rel\\Menu\\App.lnk"})
    ASSERT_TRUE(sandbox.InstallShortcut(file));
  ASSERT_TRUE(sandbox.MakeFolder(L"Menu4\\Vendor"));
  ASSERT_TRUE(sandbox.MakeFolder(L"Desk2\\X\\Y\\Z"));
  pack::Payload payload = harness::StandardPayload();
  payload.shortcuts = {
      {0, At(L"Menu0\\App"), u"", u"App.lnk"},
      {1, At(L"Menu1\\Vendor\\App"), u"", u"App.lnk"},
      {2, At(L"Menu2\\A\\B\\C"), At(L"Desk2\\X\\Y\\Z"), u"C.lnk"},
      {2, At(L"Menu3\\Vendor\\App"), u"", u"App.lnk"},
      {1, At(L"Menu4\\Vendor\\Gone"), u"", u"App.lnk"},
      {0, u"", u"", u"App.lnk"},
      {1, u"Rel\\Menu", u"", u"App.lnk"},  // relative: taken from nowhere
  };
  EXPECT_TRUE(ExitedWith(RunUninstaller(payload, {}, sandbox.root()), 0));

  EXPECT_FALSE(sandbox.Exists(L"Menu0\\App"));
  EXPECT_TRUE(sandbox.Exists(L"Menu0")) << "levels 0: the folder alone";
  EXPECT_FALSE(sandbox.Exists(L"Menu1\\Vendor"));
  EXPECT_TRUE(sandbox.Exists(L"Menu1"));
  EXPECT_FALSE(sandbox.Exists(L"Menu2\\A"));
  EXPECT_TRUE(sandbox.Exists(L"Menu2")) << "three folders tried, no more";
  EXPECT_FALSE(sandbox.Exists(L"Desk2\\X")) << "the second folder in step";
  EXPECT_TRUE(sandbox.Exists(L"Desk2"));
  EXPECT_FALSE(sandbox.Exists(L"Menu3\\Vendor\\App"));
  EXPECT_TRUE(sandbox.Exists(L"Menu3\\Vendor\\readme.txt"));
  EXPECT_TRUE(sandbox.Exists(L"Menu3"));
  EXPECT_FALSE(sandbox.Exists(L"Menu4\\Vendor")) << "tried although the folder below was not there";
  EXPECT_TRUE(sandbox.Exists(L"Menu4"));
  EXPECT_TRUE(sandbox.Exists(L"Rel\\Menu\\App.lnk"));
}

// The Start menu's Programs folder is protected: an entry stops there on
// either path, and the other path's folder at that level stays too.
TEST_F(ShortcutFolders, AnEntryStopsAtTheFirstProtectedFolderOfEitherPath) {
  const std::wstring programs = harness::ShellFolder(CSIDL_PROGRAMS);
  ASSERT_FALSE(programs.empty());
  const std::wstring mine = programs + L"\\" + sandbox.name();
  ASSERT_TRUE(CreateDirectoryW(mine.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((mine + L"\\A").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((mine + L"\\B").c_str(), nullptr));
  ASSERT_TRUE(sandbox.MakeFolder(L"E\\F\\G"));
  ASSERT_TRUE(sandbox.MakeFolder(L"H\\I\\J"));
  pack::Payload payload = harness::StandardPayload();
  const std::u16string menu = harness::U16(mine);
  payload.shortcuts = {
      {255, menu + u"\\A", At(L"E\\F\\G"), u""},  // Programs meets E
      {255, At(L"H\\I\\J"), menu + u"\\B", u""},  // H meets Programs
  };
  EXPECT_TRUE(ExitedWith(RunUninstaller(payload), 0));
  const bool mineLeft = harness::FileExists(mine);
  EXPECT_FALSE(mineLeft);
  EXPECT_TRUE(harness::FileExists(programs));
  EXPECT_FALSE(sandbox.Exists(L"E\\F"));
  EXPECT_TRUE(sandbox.Exists(L"E"));
  EXPECT_FALSE(sandbox.Exists(L"H\\I"));
  EXPECT_TRUE(sandbox.Exists(L"H"));
  if (mineLeft) {
    RemoveDirectoryW((mine + L"\\A").c_str());
    RemoveDirectoryW((mine + L"\\B").c_str());
    RemoveDirectoryW(mine.c_str());
  }
}

TEST_F(ShortcutFolders, AFolderThatIsTheWorkingFolderIsLeftBeforeItIsRemoved) {
  ASSERT_TRUE(sandbox.InstallShortcut(L"Start\\Menu\\App\\App.lnk"));
  pack::Payload payload = harness::StandardPayload();
  payload.shortcuts = {{1, At(L"Start\\Menu\\App"), u"", u"App.lnk"}};
  EXPECT_TRUE(ExitedWith(RunUninstaller(payload, {}, sandbox.Path(L"Start\\Menu\\App")), 0));
  EXPECT_FALSE(sandbox.Exists(L"Start\\Menu"));
  EXPECT_TRUE(sandbox.Exists(L"Start"));
}

}  // namespace
