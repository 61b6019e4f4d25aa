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

using hostile::HostileScenario;

// stem padded with '_' so that folder\name is exactly length characters.
std::wstring NameOfLength(const std::wstring& folder, const std::wstring& stem, size_t length) {
  std::wstring name = stem;
  name.resize(length - folder.size() - 1, L'_');
  return name;
}

class HostilePaths : public HostileScenario {};

TEST_F(HostilePaths, PathsOf259CharactersAreRemovedAndLongerOnesNameNothingElse) {
  const std::wstring app = sandbox.Path(L"App"), links = sandbox.Path(L"App\\links");
  ASSERT_LT(app.size() + 40, 259u) << "the sandbox leaves room for the names";
  const std::wstring file = NameOfLength(app, L"file-", 259), keptFile = NameOfLength(app, L"kept-file-", 259);
  const std::wstring folder = NameOfLength(app, L"folder-", 259), keptFolder = NameOfLength(app, L"kept-folder-", 259);
  // Trees: App\ plus the text "<name>\*.*" is 259 characters.
  const std::wstring tree = NameOfLength(app, L"tree-", 259 - 4), keptTree = NameOfLength(app, L"kept-tree-", 259 - 4);
  const std::wstring shortcut = NameOfLength(links, L"link-", 259);
  const std::wstring keptShortcut = NameOfLength(links, L"kept-link-", 259);
  const std::wstring shortcutFolder = NameOfLength(app, L"menu-", 259);
  const std::wstring keptShortcutFolder = NameOfLength(app, L"kept-menu-", 259);

  std::vector<std::wstring> removed = {file, folder, tree, L"links\\" + shortcut, shortcutFolder};
  std::vector<std::wstring> kept = {keptFile, keptFolder, keptTree, keptTree + L"\\inside.txt",
                                    L"links\\" + keptShortcut, keptShortcutFolder};
  for (const wchar_t* suffix : {L"x", L"xy"}) {
    kept.push_back(keptFile + suffix);
    kept.push_back(keptFolder + suffix);
    kept.push_back(L"links\\" + keptShortcut + suffix);
  }
  for (const std::wstring& name : {file, keptFile, keptFile + L"x", keptFile + L"xy", L"links\\" + shortcut,
                                   L"links\\" + keptShortcut, L"links\\" + keptShortcut + L"x",
                                   L"links\\" + keptShortcut + L"xy", tree + L"\\inside.txt",
                                   keptTree + L"\\inside.txt"})
    ASSERT_TRUE(Install(L"App\\" + name)) << harness::Narrow(name);
  for (const std::wstring& name : {folder, keptFolder, keptFolder + L"x", keptFolder + L"xy", shortcutFolder,
                                   keptShortcutFolder, keptShortcutFolder + L"x", keptShortcutFolder + L"xy"})
    ASSERT_TRUE(sandbox.MakeFolder(L"App\\" + name)) << harness::Narrow(name);

  pack::Payload payload = hostile::BasePayload();
  auto u16 = [](const std::wstring& text) { return harness::U16(text); };
  payload.files = {{u".", u16(file), 0},
                   {u".", u16(keptFile + L"x"), 0},
                   {u".", u16(keptFile + L"xy"), 0},
                   {u".\\" + u16(folder), u"", 0},
                   {u".\\" + u16(keptFolder + L"x"), u"", 0},
                   {u".\\" + u16(keptFolder + L"xy"), u"", 0}};
  payload.folderTrees = {u16(tree + L"\\*.*"), u16(keptTree + L"\\*.*x"), u16(keptTree + L"\\*.*xy")};
  payload.shortcuts = {{0, u16(links), u"", u16(shortcut)},
                       {0, u16(links), u"", u16(keptShortcut + L"x")},
                       {0, u16(links), u"", u16(keptShortcut + L"xy")},
                       {0, u16(app + L"\\" + shortcutFolder), u"", u""}};
  // Listed shortcut folders are used as the payload spells them, in no
  // buffer: the longer ones may go, but never their 259-character prefix.
  for (const wchar_t* suffix : {L"x", L"xy"})
    payload.shortcuts.push_back({0, u16(app + L"\\" + keptShortcutFolder + suffix), u"", u""});

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
  const std::wstring root = sandbox.root();
  pack::Payload payload = hostile::BasePayload();
  payload.files = {{u".", u"app.exe", 0}};
  for (size_t length : {259, 260, 261}) {
    SCOPED_TRACE(length);
    const std::wstring folder = NameOfLength(root, L"long-", length - 14);  // \uninstall.exe
    ASSERT_TRUE(Install(folder + L"\\app.exe"));
    program = sandbox.WriteUninstaller(folder + L"\\uninstall.exe", payload);
    ASSERT_EQ(program.size(), length);
    harness::RunOptions options;
    options.dismissDialogs = true;
    options.sandbox = &sandbox;
    options.timeoutMs = hostile::kRunLimitMs;
    options.folder = sandbox.Path(folder);
    // Wine starts no program by a full path of 260 characters or more, but
    // does by its bare name from the folder that holds it.
    wchar_t here[MAX_PATH];
    ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, here), 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(options.folder.c_str()));
    const harness::RunResult run = harness::RunProgram(L"uninstall.exe", L"/S", options);
    SetCurrentDirectoryW(here);
    if (length == 259) {
      EXPECT_TRUE(harness::ExitedWith(run, 0));
      EXPECT_FALSE(sandbox.Exists(folder + L"\\app.exe"));
    } else {
      EXPECT_TRUE(harness::ExitedWith(run, hostile::kFailed));
      EXPECT_EQ(run.dialogs.size(), 0u);
      EXPECT_TRUE(sandbox.Exists(folder + L"\\app.exe"));
    }
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
    level += L"\\d";
    levels.push_back(level);
    ASSERT_TRUE(Install(level + L"\\f.tmp")) << depth;
  }
  ASSERT_TRUE(Install(L"App\\beside.tmp"));
  ASSERT_GT(sandbox.Path(levels.back()).size(), 400u);

  pack::Payload payload = hostile::BasePayload();
  payload.folderTrees = {u"deep\\*.tmp", u"#InstallDir#\\deep\\d\\*.*"};
  EXPECT_TRUE(harness::ExitedWith(Run(pack::EncodePayload(payload), L"/S", harness::kDefaultRunTimeoutMs), 0));
  // Every level whose folder the walk can name (259 characters at most)
  // has lost its file; every deeper one keeps its own, and so the tree
  // stays whole.
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
