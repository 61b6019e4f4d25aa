// The shortcut and pruning phases in this process: what each phase hands
// to the bar, and which folders pruning tries, in what order (the climbing
// itself is shown end to end in scenario/folders_*).
#include "removal_folders_test_support.h"

namespace {

std::vector<std::wstring> tried;
SystemCallTable realCalls;
BOOL WINAPI RecordingRemoveDirectory(LPCWSTR path) {
  tried.push_back(path);
  return realCalls.RemoveDirectoryW(path);
}

class FolderPhases : public PhaseTest {
 protected:
  void SetUp() override {
    PhaseTest::SetUp();
    tried.clear();
    realCalls = sys;
    sys.RemoveDirectoryW = RecordingRemoveDirectory;
  }
  std::u16string At(const std::wstring& relative) { return U16(sandbox.Path(relative)); }
};

// F = 5 file entries (one a font), S = 3 shortcuts, R = 2 registry entries:
// total 2F + S + R = 15. The shortcut phases take F + i, the pruning phase
// F + S + R + i for every entry but the font, the tree phase nothing.
TEST_F(FolderPhases, EachPhaseMovesTheBarOverItsOwnSpan) {
  pack::Payload payload;
  const std::u16string gone = At(L"app\\gone");
  payload.files = {{gone, u"1", 0}, {gone, u"2", 0}, {gone, u"f.ttf", FileFont}, {gone, u"3", 0}, {gone, u"4", 0}};
  payload.shortcuts = {{0, u"", u"", u""}, {0, u"relative", u"", u"x.lnk"}, {0, At(L"menu"), u"", u"x.lnk"}};
  payload.registry = {{0x80000001u, u"Software\\x"}, {0x80000001u, u"Software\\y"}};
  payload.folderTrees = {u"*.tmp"};
  Load(payload);
  RecordBar();

  RemoveFolderTrees();
  EXPECT_TRUE(BarValues().empty());
  RemoveShortcutFiles();
  RemoveShortcutFolders();
  PruneInstallFolders();
  // (100 * k) / 15 for k = 5, 6, 7; 5, 6, 7; 10, 11, (font), 13, 14.
  EXPECT_EQ(BarValues(), std::vector<uint32_t>({33, 40, 46, 33, 40, 46, 66, 73, 86, 93}));

  BarValues().clear();
  run.progressTotal = 0;
  RemoveShortcutFiles();
  RemoveShortcutFolders();
  PruneInstallFolders();
  EXPECT_TRUE(BarValues().empty()) << "no progress window, nothing sent";
}

TEST_F(FolderPhases, PruningClimbsFromEachEntryAndPassesOverWhatItHasJustRemoved) {
  ASSERT_TRUE(sandbox.MakeFolder(L"app\\data\\deep"));
  ASSERT_TRUE(sandbox.MakeFolder(L"fonts"));
  ASSERT_TRUE(sandbox.WriteFile(L"app\\uninstall.exe", {'u'}));
  pack::Payload payload;
  payload.files = {
      {u".\\data\\deep", u"a.dat", 0},
      {u".\\data\\deep", u"b.dat", 0},    // passed over by lastPruned
      {At(L"fonts"), u"f.ttf", FileFont},  // never pruned
      {u".", u"", 0},                      // installDir, which still holds the program
  };
  Load(payload);
  PruneInstallFolders();
  EXPECT_FALSE(sandbox.Exists(L"app\\data"));
  EXPECT_TRUE(sandbox.Exists(L"fonts"));
  const std::vector<std::wstring> expected = {
      sandbox.Path(L"app\\data\\deep"), sandbox.Path(L"app\\data"), sandbox.Path(L"app"),
      sandbox.Path(L"app"),
  };
  EXPECT_EQ(tried, expected);
  EXPECT_EQ(CurrentFolder(), sandbox.root()) << "the parent of installDir";
}

// The entries of one folder come in a run. Once its folder would not go,
// the rest of the run tries nothing; an entry of that folder after another
// folder's entry tries it again.
TEST_F(FolderPhases, PruningTriesAFolderThatStaysOnceForEachRunOfItsEntries) {
  ASSERT_TRUE(sandbox.WriteFile(L"app\\kept\\user.txt", {'u'}));
  ASSERT_TRUE(sandbox.MakeFolder(L"app\\gone"));
  ASSERT_TRUE(sandbox.WriteFile(L"app\\uninstall.exe", {'u'}));
  pack::Payload payload;
  payload.files = {
      {u".\\kept", u"a.dat", 0}, {u".\\kept", u"b.dat", 0}, {u".\\kept", u"c.dat", 0},
      {u".\\gone", u"d.dat", 0}, {u".\\kept", u"e.dat", 0},
  };
  Load(payload);
  PruneInstallFolders();
  const std::vector<std::wstring> expected = {
      sandbox.Path(L"app\\kept"), sandbox.Path(L"app\\gone"), sandbox.Path(L"app"), sandbox.Path(L"app\\kept"),
  };
  EXPECT_EQ(tried, expected);
  EXPECT_FALSE(sandbox.Exists(L"app\\gone"));
  EXPECT_TRUE(sandbox.Exists(L"app\\kept\\user.txt"));
}

// The shortcuts of one group share folders and levels: after the first of
// them, nothing is tried again until an entry differs, if only in its
// levels. What goes and what stays is as if each had tried.
TEST_F(FolderPhases, ShortcutEntriesThatRepeatTheEntryBeforeTryNothingAgain) {
  ASSERT_TRUE(sandbox.MakeFolder(L"menu\\group"));
  ASSERT_TRUE(sandbox.WriteFile(L"menu\\other\\user.lnk", {'u'}));
  const std::u16string group = At(L"menu\\group"), other = At(L"menu\\other");
  pack::Payload payload;
  payload.shortcuts = {
      {1, group, u"", u"a.lnk"}, {1, group, u"", u"b.lnk"}, {1, other, u"", u"c.lnk"},
      {1, other, u"", u"d.lnk"}, {0, other, u"", u"e.lnk"}, {1, group, u"", u"f.lnk"},
  };
  Load(payload);
  RemoveShortcutFolders();
  const std::wstring menu = sandbox.Path(L"menu");
  const std::vector<std::wstring> expected = {
      sandbox.Path(L"menu\\group"), menu, sandbox.Path(L"menu\\other"), menu, sandbox.Path(L"menu\\other"),
      sandbox.Path(L"menu\\group"), menu,
  };
  EXPECT_EQ(tried, expected);
  EXPECT_FALSE(sandbox.Exists(L"menu\\group"));
  EXPECT_TRUE(sandbox.Exists(L"menu\\other\\user.lnk"));
}

}  // namespace
