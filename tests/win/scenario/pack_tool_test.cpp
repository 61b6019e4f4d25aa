// The installer's way: retrax-pack.exe, run on Windows, packs retrax.exe
// with a manifest, and the result runs.
#include "harness/harness.h"

namespace {

const char kManifest[] = R"({ "messages": ["Tool Test Uninstall", "Remove Tool Test?", "Removed."],
  "files": [ { "folder": ".", "name": "tool.exe" } ] })";

class PackTool : public harness::ScenarioTest {};

TEST_F(PackTool, PackedUninstallerReadsItsPayload) {
  harness::Bytes tool;
  if (!harness::LoadEmbeddedFile(L"RETRAX_PACK_EXE", &tool)) GTEST_SKIP() << "retrax-pack.exe not built";
  ASSERT_TRUE(sandbox.WriteFile(L"retrax-pack.exe", tool) &&
              sandbox.WriteFile(L"retrax.exe", harness::RetraxProgram()) &&
              sandbox.InstallFile(L"manifest.json", 0, kManifest) && sandbox.InstallFile(L"tool.exe"));
  EXPECT_TRUE(harness::ExitedWith(
      harness::RunProgram(sandbox.Path(L"retrax-pack.exe"), L"build manifest.json --stub retrax.exe -o uninstall.exe"),
      0));
  EXPECT_TRUE(harness::ExitedWith(harness::RunProgram(sandbox.Path(L"uninstall.exe"), L"/S"), 0));
  EXPECT_FALSE(sandbox.Exists(L"tool.exe")) << "the packed list was read";
}

}  // namespace
