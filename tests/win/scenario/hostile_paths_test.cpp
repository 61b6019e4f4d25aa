// Paths at the 260-character bound of the program's path buffers, and a
// folder tree far deeper than any path buffer reaches. A listed path of 259
// characters fits its buffer and is removed; one of 260 does not, and
// cutting it to fit would name another file, so it is passed over. (Under
// Wine, unlike Windows, such paths can be made without the \\?\ form.)
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

// Each kind listed twice: a 259-character one, removed; and a kept
// 259-character marker listed with one more character.
TEST_F(HostilePaths, PathsOf259CharactersAreRemovedAndLongerOnesNameNothingElse) {
  const std::wstring app = sandbox.Path(L"App"), links = sandbox.Path(L"App\\links");
  pack::Payload payload = hostile::BasePayload();
  payload.files.clear();
  payload.folderTrees.clear();
  payload.shortcuts.clear();
  std::vector<std::wstring> removed, kept;
  for (const std::wstring stem : {L"", L"kept-"}) {
    const std::wstring x = stem.empty() ? L"" : L"x";
    const std::wstring file = NameOfLength(app, stem + L"file-", 259);
    const std::wstring folder = NameOfLength(app, stem + L"folder-", 259);
    const std::wstring tree = NameOfLength(app, stem + L"tree-", 259 - 4);  // App\<tree>\*.*
    const std::wstring link = NameOfLength(links, stem + L"link-", 259);
    ASSERT_TRUE(sandbox.InstallFile(L"App\\" + file, 0) && sandbox.InstallFile(L"App\\links\\" + link, 0) &&
                sandbox.InstallFile(L"App\\" + tree + L"\\inside.txt", 0) && sandbox.MakeFolder(L"App\\" + folder));
    for (const std::wstring& name : {file, folder, tree + L"\\inside.txt", L"links\\" + link})
      (x.empty() ? removed : kept).push_back(name);
    payload.files.push_back({u".", U16(file + x), 0});
    payload.files.push_back({u".\\" + U16(folder + x), u"", 0});
    payload.folderTrees.push_back(U16(tree + L"\\*.*" + x));
    payload.shortcuts.push_back({0, U16(links), u"", U16(link + x)});
  }
  EXPECT_TRUE(harness::ExitedWith(Run(pack::EncodePayload(payload)), 0));
  for (const std::wstring& name : removed) EXPECT_FALSE(sandbox.Exists(L"App\\" + name)) << harness::Narrow(name);
  for (const std::wstring& name : kept) EXPECT_TRUE(sandbox.Exists(L"App\\" + name)) << harness::Narrow(name);
  EXPECT_TRUE(MarkersInPlace());
}

// The program's own path: at 259 characters it reads its payload; at 260
// the system hands it back cut, so it reads nothing and ends with -1,
// silently (no message table was read to say anything).
TEST_F(HostilePaths, AnUninstallerPathOf260CharactersReadsNothing) {
  pack::Payload payload = hostile::BasePayload();
  payload.files = {{u".", u"app.exe", 0}};
  for (size_t length : {259, 260}) {
    SCOPED_TRACE(length);
    const std::wstring folder = NameOfLength(sandbox.root(), L"long-", length - 14);  // \uninstall.exe
    ASSERT_TRUE(sandbox.InstallFile(folder + L"\\app.exe", 0));
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
  }
  EXPECT_TRUE(MarkersInPlace());
}

// 200 levels of App\deep\d\d\...: the walk goes down as far as a path can
// be named (259 characters) and leaves what lies deeper, with every folder
// above it; no crash, no hang, nothing outside the tree.
TEST_F(HostilePaths, ATree200LevelsDeepGoesOrStaysWithoutCrashOrHang) {
  std::wstring level = L"App\\deep";
  std::vector<std::wstring> levels;
  for (int depth = 0; depth < 200; ++depth) {
    levels.push_back(level += L"\\d");
    ASSERT_TRUE(sandbox.InstallFile(level + L"\\f.tmp", 0)) << depth;
  }
  ASSERT_TRUE(sandbox.InstallFile(L"App\\beside.tmp", 0));
  pack::Payload payload = hostile::BasePayload();
  payload.folderTrees = {u"deep\\*.tmp", u"#InstallDir#\\deep\\d\\*.*"};
  EXPECT_TRUE(harness::ExitedWith(Run(pack::EncodePayload(payload), harness::kDefaultRunTimeoutMs), 0));
  for (size_t i = 0; i < levels.size(); ++i) {
    EXPECT_NE(sandbox.Exists(levels[i] + L"\\f.tmp"), sandbox.Path(levels[i]).size() <= 259) << "level " << i + 1;
    EXPECT_TRUE(sandbox.Exists(levels[i])) << "level " << i + 1;
  }
  EXPECT_TRUE(sandbox.Exists(L"App\\beside.tmp")) << "outside the tree";
  EXPECT_TRUE(MarkersInPlace());
}

}  // namespace
