// The phases in this process: what each hands to the bar, and which folders
// pruning and the shortcut folders try, in what order (the climbing itself
// is shown end to end in scenario/folders_*).
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
  std::vector<std::wstring> Paths(std::initializer_list<const wchar_t*> relatives) {
    std::vector<std::wstring> paths;
    for (const wchar_t* relative : relatives) paths.push_back(sandbox.Path(relative));
    return paths;
  }
};

// F = 5 file entries (one a font), S = 3 shortcuts, R = 3 registry entries
// (one a value): total 2F + S + R = 16. Files take i, the shortcut phases
// F + i, registry keys F + S + i, pruning F + S + R + i for every entry but
// the font, the trees and value entries nothing.
TEST_F(FolderPhases, EachPhaseMovesTheBarOverItsOwnSpan) {
  pack::Payload payload;
  const std::u16string gone = At(L"app\\gone");
  payload.files = {{gone, u"1", 0}, {gone, u"2", 0}, {gone, u"f.ttf", FileFont}, {gone, u"3", 0}, {gone, u"4", 0}};
  payload.shortcuts = {{0, u"", u"", u""}, {0, u"relative", u"", u"x.lnk"}, {0, At(L"menu"), u"", u"x.lnk"}};
  const std::u16string absent = u"Software\\RetraxTests\\absent-" + U16(sandbox.name());
  payload.registry = {{0x80000001u, absent + u"1"}, {0x80000001u, absent + u"\\\\v"}, {0x80000001u, absent + u"2"}};
  payload.folderTrees = {u"*.tmp"};
  Load(payload);
  RecordBar();
  RemoveFiles();
  RemoveFolderTrees();
  RemoveShortcutFiles();
  RemoveShortcutFolders();
  PruneInstallFolders();
  RemoveRegistryEntries();
  EXPECT_EQ(BarValues(), std::vector<uint32_t>({0, 6, 12, 18, 25, 31, 37, 43, 31, 37, 43, 68, 75, 87, 93, 50, 62}));

  BarValues().clear();
  run.progressTotal = 0;
  RemoveFiles();
  RemoveShortcutFiles();
  PruneInstallFolders();
  EXPECT_TRUE(BarValues().empty()) << "no progress window, nothing sent";
}

// Pruning climbs from each entry's folder up to the first folder that
// stays or is protected (the temporary folder here); an entry whose folder
// was just removed (lastPruned) or just failed to go tries nothing, until
// an entry of another folder comes between. Fonts are never pruned.
TEST_F(FolderPhases, PruningTriesEachFolderOnceForEachRunOfItsEntries) {
  ASSERT_TRUE(sandbox.MakeFolder(L"app\\data\\deep"));
  ASSERT_TRUE(sandbox.MakeFolder(L"app\\gone"));
  ASSERT_TRUE(sandbox.MakeFolder(L"fonts"));
  ASSERT_TRUE(sandbox.MakeFolder(L"temp\\x"));
  ProtectAsTemp(L"temp");
  ASSERT_TRUE(sandbox.WriteFile(L"app\\kept\\user.txt", {'u'}));
  ASSERT_TRUE(sandbox.WriteFile(L"app\\uninstall.exe", {'u'}));
  pack::Payload payload;
  payload.files = {
      {u".\\data\\deep", u"a.dat", 0}, {u".\\data\\deep", u"b.dat", 0}, {At(L"fonts"), u"f.ttf", FileFont},
      {u".\\kept", u"a.dat", 0},       {u".\\kept", u"b.dat", 0},       {u".\\gone", u"d.dat", 0},
      {u".\\kept", u"e.dat", 0},       {At(L"temp\\x"), u"t.dat", 0},
      {u".", u"", 0},  // installDir, which still holds the program
  };
  Load(payload);
  PruneInstallFolders();
  EXPECT_EQ(tried, Paths({L"app\\data\\deep", L"app\\data", L"app", L"app\\kept", L"app\\gone", L"app",
                          L"app\\kept", L"temp\\x", L"app"}));
  EXPECT_FALSE(sandbox.Exists(L"app\\data"));
  EXPECT_TRUE(sandbox.Exists(L"fonts"));
  EXPECT_TRUE(sandbox.Exists(L"temp"));
  EXPECT_TRUE(sandbox.Exists(L"app\\kept\\user.txt"));
  EXPECT_EQ(CurrentFolder(), sandbox.root()) << "the parent of installDir";
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
  EXPECT_EQ(tried, Paths({L"menu\\group", L"menu", L"menu\\other", L"menu", L"menu\\other", L"menu\\group",
                          L"menu"}));
  EXPECT_FALSE(sandbox.Exists(L"menu\\group"));
  EXPECT_TRUE(sandbox.Exists(L"menu\\other\\user.lnk"));
}

// Both paths of an entry climb in step, levels + 1 folders each, whether
// or not the folder below went; a relative folder is taken from nowhere.
TEST_F(FolderPhases, EachShortcutEntryClimbsItsLevelsOnBothPaths) {
  for (const wchar_t* file : {L"Menu0\\App\\App.lnk", L"Menu2\\A\\B\\C\\C.lnk", L"Menu3\\Vendor\\readme.txt",
                              L"Menu3\\Vendor\\App\\App.lnk", L"Rel\\Menu\\App.lnk"})
    ASSERT_TRUE(sandbox.InstallShortcut(file));
  ASSERT_TRUE(sandbox.MakeFolder(L"Menu4\\Vendor"));
  ASSERT_TRUE(sandbox.MakeFolder(L"Desk2\\X\\Y\\Z"));
  pack::Payload payload;
  payload.shortcuts = {
      {0, At(L"Menu0\\App"), u"", u"App.lnk"},
      {2, At(L"Menu2\\A\\B\\C"), At(L"Desk2\\X\\Y\\Z"), u"C.lnk"},
      {2, At(L"Menu3\\Vendor\\App"), u"", u"App.lnk"},
      {1, At(L"Menu4\\Vendor\\Gone"), u"", u"App.lnk"},
      {0, u"", u"", u"App.lnk"},
      {1, u"Rel\\Menu", u"", u"App.lnk"},
  };
  Load(payload);
  ASSERT_TRUE(SetCurrentDirectoryW(sandbox.root().c_str()));
  RemoveShortcutFiles();
  RemoveShortcutFolders();
  for (const wchar_t* gone : {L"Menu0\\App", L"Menu2\\A", L"Desk2\\X", L"Menu3\\Vendor\\App", L"Menu4\\Vendor"})
    EXPECT_FALSE(sandbox.Exists(gone)) << harness::Narrow(gone);
  for (const wchar_t* kept : {L"Menu0", L"Menu2", L"Desk2", L"Menu3\\Vendor\\readme.txt", L"Menu4",
                              L"Rel\\Menu\\App.lnk"})
    EXPECT_TRUE(sandbox.Exists(kept)) << harness::Narrow(kept);
}

// A protected folder (the temporary folder here) on either path stops the
// entry, and the other path's folder at that level stays too. The working
// folder, E\F\G at first, is left before it is removed.
TEST_F(FolderPhases, AShortcutEntryStopsAtTheFirstProtectedFolderOfEitherPath) {
  for (const wchar_t* folder : {L"Programs\\Mine\\A", L"Programs\\Mine\\B", L"E\\F\\G", L"H\\I\\J"})
    ASSERT_TRUE(sandbox.MakeFolder(folder));
  ProtectAsTemp(L"Programs");
  pack::Payload payload;
  payload.shortcuts = {
      {255, At(L"Programs\\Mine\\A"), At(L"E\\F\\G"), u""},  // Programs meets E
      {255, At(L"H\\I\\J"), At(L"Programs\\Mine\\B"), u""},  // H meets Programs
  };
  Load(payload);
  ASSERT_TRUE(SetCurrentDirectoryW(sandbox.Path(L"E\\F\\G").c_str()));
  RemoveShortcutFolders();
  for (const wchar_t* gone : {L"Programs\\Mine", L"E\\F", L"H\\I"}) EXPECT_FALSE(sandbox.Exists(gone));
  for (const wchar_t* kept : {L"Programs", L"E", L"H"}) EXPECT_TRUE(sandbox.Exists(kept));
}

}  // namespace
