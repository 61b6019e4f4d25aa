// The shortcut and pruning phases in this process: which folders each entry
// tries, in what order, and what each phase hands to the bar.
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

TEST_F(FolderPhases, ShortcutFoldersClimbInStepAndStopAtTheFirstProtectedFolderOfEither) {
  ASSERT_TRUE(sandbox.MakeFolder(L"a\\b\\c"));
  ASSERT_TRUE(sandbox.MakeFolder(L"p\\q\\r"));
  ASSERT_TRUE(sandbox.MakeFolder(L"temp\\t1\\t2"));
  ASSERT_TRUE(sandbox.WriteFile(L"a\\b\\c\\App.lnk", {'l'}));
  // The temporary folder is a protected one.
  wchar_t savedTmp[MAX_PATH] = L"";
  const DWORD tmpLength = GetEnvironmentVariableW(L"TMP", savedTmp, MAX_PATH);
  const bool hadTmp = tmpLength > 0 && tmpLength < MAX_PATH;
  SetEnvironmentVariableW(L"TMP", sandbox.Path(L"temp").c_str());
  ResetProtectedFolders();
  pack::Payload payload;
  payload.shortcuts = {
      {0, At(L"a\\b\\c"), u"", u"App.lnk"},
      {255, At(L"p\\q\\r"), At(L"temp\\t1\\t2"), u""},
      {0, u"relative\\folder", u"", u"App.lnk"},
  };
  Load(payload);
  RemoveShortcutFiles();
  RemoveShortcutFolders();
  SetEnvironmentVariableW(L"TMP", hadTmp ? savedTmp : nullptr);

  EXPECT_FALSE(sandbox.Exists(L"a\\b\\c"));
  EXPECT_TRUE(sandbox.Exists(L"a\\b")) << "levels 0: the folder alone";
  EXPECT_TRUE(sandbox.Exists(L"p")) << "temp is protected, so p is not tried";
  EXPECT_TRUE(sandbox.Exists(L"temp"));
  const std::vector<std::wstring> expected = {
      sandbox.Path(L"a\\b\\c"),
      sandbox.Path(L"p\\q\\r"), sandbox.Path(L"temp\\t1\\t2"),
      sandbox.Path(L"p\\q"), sandbox.Path(L"temp\\t1"),
  };
  EXPECT_EQ(tried, expected) << "a relative folder is never tried";
}

TEST_F(FolderPhases, AShortcutFolderThatIsTheWorkingFolderGoesAfterAStepUp) {
  ASSERT_TRUE(sandbox.MakeFolder(L"menu\\App"));
  pack::Payload payload;
  payload.shortcuts = {{1, At(L"menu\\App"), u"", u""}};
  Load(payload);
  ASSERT_TRUE(SetCurrentDirectoryW(sandbox.Path(L"menu\\App").c_str()));
  RemoveShortcutFolders();
  EXPECT_FALSE(sandbox.Exists(L"menu")) << "the parent, the working folder by then, goes the same way";
  EXPECT_EQ(CurrentFolder(), sandbox.root());
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

}  // namespace
