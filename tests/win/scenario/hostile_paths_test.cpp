// Paths at the 260-character bound of the program's path buffers, and a
// folder tree far deeper than any path buffer reaches.
//
// A listed path of 259 characters fits its buffer and is removed; one of
// 260 or 261 does not, and cutting it to fit would name another file, so it
// is passed over. Each 260 and 261 here is a 259-character marker's path
// plus "x" or "xy": the marker must stay. (Under Wine, unlike Windows,
// files and folders of such lengths can be made and named without the
// \\?\ form, which is what lets the test place them.)
#include "hostile_support.h"

namespace {

// stem padded with '_' so that folder\name is exactly length characters.
std::wstring NameOfLength(const std::wstring& folder, const std::wstring& stem, size_t length) {
  std::wstring name = stem;
  name.resize(length - folder.size() - 1, L'_');
  return name;
}
std::u16string U16(const std::wstring& text) { return harness::U16(text); }

class HostilePaths : public hostile::HostileScenario {};

TEST_F(HostilePaths, PathsOf259CharactersAreRemovedAndLongerOnesNameNothingElse) {
  const std::wstring app = sandbox.Path(L"App"), links = sandbox.Path(L"App\\links");
  ASSERT_LT(app.size() + 40, 259u) << "the sandbox leaves room for the names";
  std::vector<std::wstring> removed, kept;
  pack::Payload payload = hostile::BasePayload();
  payload.files.clear();
  payload.folderTrees.clear();
  payload.shortcuts.clear();
  // Each kind: one of 259 characters listed and removed; a kept one of 259
  // listed as 260 and 261.
  for (const std::wstring stem : {L"", L"kept-"}) {
    const bool keep = !stem.empty();
    const std::wstring file = NameOfLength(app, stem + L"file-", 259);
    const std::wstring folder = NameOfLength(app, stem + L"folder-", 259);
    const std::wstring tree = NameOfLength(app, stem + L"tree-", 259 - 4);  // App\<tree>\*.*
    const std::wstring shortcut = NameOfLength(links, stem + L"link-", 259);
    const std::wstring menu = NameOfLength(app, stem + L"menu-", 259);
    ASSERT_TRUE(Install(L"App\\" + file) && Install(L"App\\links\\" + shortcut) &&
                Install(L"App\\" + tree + L"\\inside.txt") && sandbox.MakeFolder(L"App\\" + folder) &&
                sandbox.MakeFolder(L"App\\" + menu));
    for (const std::wstring& name : {file, folder, tree, L"links\\" + shortcut, menu})
      (keep ? kept : removed).push_back(name);
    if (keep) kept.push_back(tree + L"\\inside.txt");
    for (const std::wstring suffix : keep ? std::vector<std::wstring>{L"x", L"xy"} : std::vector<std::wstring>{L""}) {
      if (keep) {
        ASSERT_TRUE(Install(L"App\\" + file + suffix) && Install(L"App\\links\\" + shortcut + suffix) &&
                    sandbox.MakeFolder(L"App\\" + folder + suffix) && sandbox.MakeFolder(L"App\\" + menu + suffix));
        for (const std::wstring& name : {file, folder, L"links\\" + shortcut})  // listed, and not theirs to take
          kept.push_back(name + suffix);
      }
      payload.files.push_back({u".", U16(file + suffix), 0});
      payload.files.push_back({u".\\" + U16(folder + suffix), u"", 0});
      payload.folderTrees.push_back(U16(tree + L"\\*.*" + suffix));
      payload.shortcuts.push_back({0, U16(links), u"", U16(shortcut + suffix)});
      // Listed shortcut folders are used as the payload spells them, in no
      // buffer: the longer ones may go, but never their 259-character prefix.
      payload.shortcuts.push_back({0, U16(app + L"\\" + menu + suffix), u"", u""});
    }
  }
  EXPECT_TRUE(harness::ExitedWith(Run(pack::EncodePayload(payload)), 0));
  for (const std::wstring& name : removed) EXPECT_FALSE(sandbox.Exists(L"App\\" + name)) << harness::Narrow(name);
  for (const std::wstring& name : kept) EXPECT_TRUE(sandbox.Exists(L"App\\" + name)) << harness::Narrow(name);
  EXPECT_TRUE(MarkersInPlace());
}

// The program's own path: at 259 characters it reads its payload and
// removes what it lists; at 260 or more its path comes back cut from the
// system, and a cut path could name another file, so it reads nothing and
// ends with -1, silently (no message table was read to say anything).
TEST_F(HostilePaths, AnUninstallerPathOf260CharactersOrMoreReadsNothing) {
  pack::Payload payload = hostile::BasePayload();
  payload.files = {{u".", u"app.exe", 0}};
  for (size_t length : {259, 260, 261}) {
    SCOPED_TRACE(length);
    const std::wstring folder = NameOfLength(sandbox.root(), L"long-", length - 14);  // \uninstall.exe
    ASSERT_TRUE(Install(folder + L"\\app.exe"));
    program = sandbox.WriteUninstaller(folder + L"\\uninstall.exe", payload);
    ASSERT_EQ(program.size(), length);
    harness::RunOptions options = Options();
    options.folder = sandbox.Path(folder);
    // Wine starts no program by a full path of 260 characters or more, but
    // does by its bare name from the folder that holds it.
    wchar_t here[MAX_PATH];
    ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, here), 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(options.folder.c_str()));
    const harness::RunResult run = harness::RunProgram(L"uninstall.exe", L"/S", options);
    SetCurrentDirectoryW(here);
    EXPECT_TRUE(harness::ExitedWith(run, length == 259 ? 0 : hostile::kFailed));
    EXPECT_EQ(run.dialogs.size(), 0u);
    EXPECT_EQ(sandbox.Exists(folder + L"\\app.exe"), length != 259);
    EXPECT_TRUE(MarkersInPlace());
  }
}

// 200 levels of App\deep\d\d\...: the walk goes down as far as the working
// folder can be read back (259 characters) and leaves what lies deeper,
// and with it every folder above. It must neither crash nor hang, and take
// nothing outside the tree.
TEST_F(HostilePaths, ATree200LevelsDeepGoesOrStaysWithoutCrashOrHang) {
  std::wstring level = L"App\\deep";
  std::vector<std::wstring> levels;
  for (int depth = 0; depth < 200; ++depth) {
    levels.push_back(level += L"\\d");
    ASSERT_TRUE(Install(level + L"\\f.tmp")) << depth;
  }
  ASSERT_TRUE(Install(L"App\\beside.tmp"));
  ASSERT_GT(sandbox.Path(levels.back()).size(), 400u);
  pack::Payload payload = hostile::BasePayload();
  payload.folderTrees = {u"deep\\*.tmp", u"#InstallDir#\\deep\\d\\*.*"};
  EXPECT_TRUE(harness::ExitedWith(Run(pack::EncodePayload(payload), L"/S", harness::kDefaultRunTimeoutMs), 0));
  // Every level whose folder the walk can name has lost its file; every
  // deeper one keeps its own, and so the tree stays whole.
  size_t named = 0;
  for (size_t i = 0; i < levels.size(); ++i) {
    const bool nameable = sandbox.Path(levels[i]).size() <= 259;
    named += nameable;
    EXPECT_NE(sandbox.Exists(levels[i] + L"\\f.tmp"), nameable) << "level " << i + 1;
    EXPECT_TRUE(sandbox.Exists(levels[i])) << "level " << i + 1;
  }
  EXPECT_GT(named, 50u);
  EXPECT_TRUE(sandbox.Exists(L"App\\beside.tmp")) << "outside the tree";
  EXPECT_TRUE(MarkersInPlace());
}

}  // namespace
