// The installer's way: retrax-pack.exe, run on Windows, packs retrax.exe
// with a manifest, and the result runs.
#include <string>

#include "harness/harness.h"

using harness::Bytes;
using harness::ExitedWith;
using harness::RunProgram;

namespace {

const char kManifest[] = R"({
  "header": { "waitForCommand": false, "keepVisualStyles": false },
  "messages": [
    "Tool Test Uninstall", "Remove Tool Test?", "Tool Test has been removed.",
    "&Yes", "Yes to &All", "&No", "N&o to All",
    "Not enough memory for %s.", "%s cannot be read.", "%s is read-only. Remove it?",
    "Remove the shared file %s?", "Removing files...", "Removing shortcuts...",
    "Removing folders...", "Removing registry entries...", "Tool Test is still running."
  ],
  "files": [
    { "folder": ".", "name": "tool.exe" },
    { "folder": ".\\data", "name": "settings.ini" }
  ],
  "registry": [ { "root": "HKCU", "path": "Software\\Retrax Tool Test" } ],
  "folderTrees": [ "logs\\*.*" ]
})";

class PackTool : public harness::ScenarioTest {};

TEST_F(PackTool, PackedUninstallerReadsItsPayload) {
  Bytes tool;
  if (!harness::LoadEmbeddedFile(L"RETRAX_PACK_EXE", &tool)) GTEST_SKIP() << "retrax-pack.exe not built";
  ASSERT_TRUE(sandbox.WriteFile(L"retrax-pack.exe", tool));
  ASSERT_TRUE(sandbox.WriteFile(L"retrax.exe", harness::RetraxProgram()));
  ASSERT_TRUE(sandbox.WriteFile(L"manifest.json", Bytes(kManifest, kManifest + sizeof(kManifest) - 1)));

  EXPECT_TRUE(ExitedWith(RunProgram(sandbox.Path(L"retrax-pack.exe"),
                                    L"build manifest.json --stub retrax.exe -o uninstall.exe"),
                         0));
  ASSERT_TRUE(sandbox.Exists(L"uninstall.exe"));
  EXPECT_TRUE(ExitedWith(RunProgram(sandbox.Path(L"uninstall.exe"), L"/S"), 0));
}

}  // namespace
