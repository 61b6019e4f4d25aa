// The installer's way: retrax-pack.exe, run on Windows, packs retrax.exe
// with a manifest, and the result runs.
#include "harness/harness.h"

using harness::ExitedWith;

namespace {

const char kManifest[] = R"({
  "messages": ["Tool Test Uninstall", "Remove Tool Test?", "Tool Test has been removed."],
  "files": [ { "folder": ".", "name": "tool.exe" } ],
  "registry": [ { "root": "HKCU", "path": "Software\\Retrax Tool Test" } ]
})";

class PackTool : public harness::ScenarioTest {};

TEST_F(PackTool, PackedUninstallerReadsItsPayload) {
  harness::Bytes tool;
  if (!harness::LoadEmbeddedFile(L"RETRAX_PACK_EXE", &tool)) GTEST_SKIP() << "retrax-pack.exe not built";
  ASSERT_TRUE(sandbox.WriteFile(L"retrax-pack.exe", tool));
  ASSERT_TRUE(sandbox.WriteFile(L"retrax.exe", harness::RetraxProgram()));
  ASSERT_TRUE(sandbox.WriteFile(L"manifest.json", harness::Bytes(kManifest, kManifest + sizeof(kManifest) - 1)));
  ASSERT_TRUE(sandbox.InstallFile(L"tool.exe"));
  EXPECT_TRUE(ExitedWith(
      harness::RunProgram(sandbox.Path(L"retrax-pack.exe"), L"build manifest.json --stub retrax.exe -o uninstall.exe"),
      0));
  ASSERT_TRUE(sandbox.Exists(L"uninstall.exe"));
  EXPECT_TRUE(ExitedWith(harness::RunProgram(sandbox.Path(L"uninstall.exe"), L"/S"), 0));
  EXPECT_FALSE(sandbox.Exists(L"tool.exe")) << "the packed list was read";
}

}  // namespace
