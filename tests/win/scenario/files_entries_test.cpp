// Which files and folders the file phase touches: folder entries only when
// empty and not protected, nothing by a relative path, and what the
// installer's extension library vetoes or renames.
#include "files_scenario.h"

namespace {

using harness::ExitedWith;

typedef files::FileScenario FileEntries;

TEST_F(FileEntries, FolderEntriesRemoveOnlyEmptyUnprotectedFolders) {
  ASSERT_TRUE(sandbox.MakeFolder(L"App\\empty"));
  Install(L"App\\full\\kept.txt");
  payload.files.clear();
  for (const wchar_t* folder : {L"App\\empty\\", L"App\\full\\", L"temp\\"}) Install(folder);  // temp: protected
  payload.files.push_back({u".", u"", 0});  // the folder the uninstaller is in
  Start();
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_FALSE(Exists(L"App\\empty"));
  EXPECT_TRUE(Exists(L"App\\full\\kept.txt") && Exists(L"temp") && Exists(L"App\\uninstall.exe"));
}

// The current folder may be any folder, the system folder included: a
// relative path, listed or made by the extension, names nothing of ours.
TEST_F(FileEntries, RelativePathsAreNeverUsed) {
  Install(L"cwd\\victim.txt");
  Install(L"App\\renamed.txt");
  payload.files.front().folder = u"";
  ASSERT_TRUE(harness::AddTestExtension(&payload));
  process.SetEnvironment(L"RXTEST_EXT_REWRITE", Path(L"App\\renamed.txt") + L"|victim.txt");
  Start(L"/S", Path(L"cwd"));
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_TRUE(Exists(L"cwd\\victim.txt") && Exists(L"App\\renamed.txt"));
}

// The library keeps a and turns c into d.
TEST_F(FileEntries, ExtensionVetoesAndRenames) {
  for (const wchar_t* name : {L"App\\a.txt", L"App\\b.txt", L"App\\c.txt", L"App\\d.txt"}) Install(name);
  payload.files.pop_back();
  ASSERT_TRUE(harness::AddTestExtension(&payload));
  process.SetEnvironment(L"RXTEST_EXT_VETO_FILE", Path(L"App\\a.txt"));
  process.SetEnvironment(L"RXTEST_EXT_REWRITE", Path(L"App\\c.txt") + L"|" + Path(L"App\\d.txt"));
  Start();
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_EQ(Left({L"a.txt", L"b.txt", L"c.txt", L"d.txt"}), "a.txt c.txt");
}

}  // namespace
