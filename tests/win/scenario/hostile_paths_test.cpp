// The program's own path at the 260-character bound of its buffers, and a
// folder tree far deeper than any path buffer reaches. (Under Wine, unlike
// Windows, such paths can be made without the \\?\ form.)
#include "removal_scenario.h"

namespace {

class HostilePaths : public hostile::HostileScenario {};

// At 259 characters the program reads its payload; at 260 the system hands
// its path back cut, so it reads nothing and ends with -1, silently.
TEST_F(HostilePaths, AnUninstallerPathOf260CharactersReadsNothing) {
  pack::Payload payload = hostile::BasePayload();
  payload.files = {{u".", u"app.exe", 0}};
  for (size_t length : {259, 260}) {
    SCOPED_TRACE(length);
    std::wstring folder = L"long-";
    folder.resize(length - sandbox.root().size() - 1 - 14, L'_');  // root\folder\uninstall.exe
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

// 200 levels of App\deep\d\...: the walk takes what a 259-character path
// can name and leaves the rest, with every folder above it.
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
  EXPECT_TRUE(Completed(Run(payload)));
  for (size_t i = 0; i < levels.size(); ++i) {
    EXPECT_NE(sandbox.Exists(levels[i] + L"\\f.tmp"), sandbox.Path(levels[i]).size() <= 259) << "level " << i + 1;
    EXPECT_TRUE(sandbox.Exists(levels[i])) << "level " << i + 1;
  }
  EXPECT_TRUE(sandbox.Exists(L"App\\beside.tmp")) << "outside the tree";
  EXPECT_TRUE(MarkersInPlace());
}

}  // namespace
