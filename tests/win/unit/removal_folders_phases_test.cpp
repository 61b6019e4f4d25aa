// Pruning and the shortcut folders in this process: which folders each
// climbing removes, and where it stops.
#include "removal_folders_test_support.h"

namespace {

typedef PhaseTest FolderPhases;

// Pruning climbs from each entry's folder while folders go, and stops at a
// protected one (the temporary folder here). Fonts are never pruned.
TEST_F(FolderPhases, PruningRemovesTheFoldersTheEntriesLeftEmpty) {
  for (const wchar_t* folder : {L"app\\data\\deep", L"app\\gone", L"fonts", L"temp\\x"})
    ASSERT_TRUE(sandbox.MakeFolder(folder));
  ProtectAsTemp(L"temp");
  ASSERT_TRUE(sandbox.WriteFile(L"app\\kept\\user.txt", {'u'}) && sandbox.WriteFile(L"app\\uninstall.exe", {'u'}));
  pack::Payload payload;
  payload.files = {{u".\\data\\deep", u"a.dat", 0},
                   {u".\\kept", u"a.dat", 0},
                   {u".\\kept", u"b.dat", 0},
                   {u".\\gone", u"d.dat", 0},
                   {At(L"fonts"), u"f.ttf", FileFont},
                   {At(L"temp\\x"), u"t.dat", 0},
                   {u".", u"", 0}};
  Load(payload);
  PruneInstallFolders();
  for (const wchar_t* gone : {L"app\\data", L"app\\gone", L"temp\\x"}) EXPECT_FALSE(sandbox.Exists(gone));
  for (const wchar_t* kept : {L"fonts", L"temp", L"app\\kept\\user.txt"}) EXPECT_TRUE(sandbox.Exists(kept));
  EXPECT_EQ(CurrentFolder(), sandbox.root()) << "the parent of installDir";
}

// Both paths of an entry climb in step, levels + 1 folders each, whether
// or not the folder below went, and stop at the first protected folder of
// either path (Programs); a relative folder is taken from nowhere.
TEST_F(FolderPhases, ShortcutEntriesClimbTheirLevelsOnBothPathsUntilAProtectedFolder) {
  for (const wchar_t* file : {L"Menu0\\App\\App.lnk", L"Menu2\\A\\B\\C\\C.lnk", L"Menu3\\Vendor\\readme.txt",
                              L"Menu3\\Vendor\\App\\App.lnk", L"Rel\\Menu\\App.lnk"})
    ASSERT_TRUE(sandbox.InstallShortcut(file));
  for (const wchar_t* folder :
       {L"Menu4\\Vendor", L"Desk2\\X\\Y\\Z", L"Programs\\Mine\\A", L"Programs\\Mine\\B", L"E\\F\\G", L"H\\I\\J"})
    ASSERT_TRUE(sandbox.MakeFolder(folder));
  ProtectAsTemp(L"Programs");
  pack::Payload payload;
  payload.shortcuts = {
      {0, At(L"Menu0\\App"), u"", u"App.lnk"},
      {2, At(L"Menu2\\A\\B\\C"), At(L"Desk2\\X\\Y\\Z"), u"C.lnk"},
      {2, At(L"Menu3\\Vendor\\App"), u"", u"App.lnk"},
      {1, At(L"Menu4\\Vendor\\Gone"), u"", u"App.lnk"},
      {1, u"Rel\\Menu", u"", u"App.lnk"},
      {255, At(L"Programs\\Mine\\A"), At(L"E\\F\\G"), u""},
      {255, At(L"H\\I\\J"), At(L"Programs\\Mine\\B"), u""},
  };
  Load(payload);
  ASSERT_TRUE(SetCurrentDirectoryW(sandbox.root().c_str()));
  RemoveShortcutFiles();
  RemoveShortcutFolders();
  for (const wchar_t* gone : {L"Menu0\\App", L"Menu2\\A", L"Desk2\\X", L"Menu3\\Vendor\\App", L"Menu4\\Vendor",
                              L"Programs\\Mine", L"E\\F", L"H\\I"})
    EXPECT_FALSE(sandbox.Exists(gone)) << harness::Narrow(gone);
  for (const wchar_t* kept : {L"Menu0", L"Menu2", L"Desk2", L"Menu3\\Vendor\\readme.txt", L"Menu4",
                              L"Rel\\Menu\\App.lnk", L"Programs", L"E", L"H"})
    EXPECT_TRUE(sandbox.Exists(kept)) << harness::Narrow(kept);
}

}  // namespace
