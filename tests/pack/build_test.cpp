// `build` and the tool binary: packing, re-packing, errors that name their
// field, and never a half-written file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "pack_test_util.h"
#include "scan.h"

namespace {

class BuildTest : public packtest::ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    packtest::Write(Path("retrax.exe"), packtest::MakeStub());
  }
  std::string Manifest(const std::string& name, const std::string& json) {
    return packtest::Write(Path(name), json), Path(name);
  }
};

TEST_F(BuildTest, RepackingReplacesThePayload) {
  std::string first = Manifest("first.json", R"({"messages": ["T"], "files": [{"folder": ".", "name": "a.txt"}]})");
  std::string second = Manifest("second.json", R"({"registry": [{"root": "HKCU", "path": "Software\\V"}]})");
  ASSERT_EQ(Pack({"build", first, "--stub", Path("retrax.exe"), "-o", Path("uninstall.exe")}), 0) << err_;
  ASSERT_EQ(Pack({"build", second, "--stub", Path("uninstall.exe"), "-o", Path("uninstall.exe")}), 0) << err_;
  ASSERT_EQ(Pack({"build", second, "--payload-only", "-o", Path("second.bin")}), 0) << err_;
  pack::Bytes expected = packtest::ReadBytes(Path("retrax.exe")), payload = packtest::ReadBytes(Path("second.bin"));
  expected.insert(expected.end(), payload.begin(), payload.end());
  EXPECT_EQ(packtest::ReadBytes(Path("uninstall.exe")), expected);
}

TEST_F(BuildTest, BadInputNamesItsFieldAndLeavesNoFileBehind) {
  packtest::Write(Path("old.exe"), "previous build");
  const std::string longKey = "{\"registry\": [{\"root\": \"HKCU\", \"path\": \"" + std::string(600, 'k') + "\"}]}";
  const struct { std::string json; std::vector<std::string> options; std::string error; } cases[] = {
      {R"({"files": [{"folder": ".", "flags": ["shard"]}]})", {"--payload-only"},
       "m.json: files[0].flags[0]: unknown flag \"shard\""},
      {R"({"registry": [{"root": "HKLM", "path": "Software\\"}]})", {"--stub", Path("retrax.exe")},
       "m.json: registry[0].path: error:"},
      // --force never passes what the reader would refuse.
      {longKey, {"--payload-only", "--force"}, "registry record too long"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"build", Manifest("m.json", c.json), "-o", Path("old.exe")};
    args.insert(args.end(), c.options.begin(), c.options.end());
    EXPECT_EQ(Pack(args), 1);
    EXPECT_TRUE(Said(err_, c.error)) << err_;
    EXPECT_EQ(packtest::ReadText(Path("old.exe")), "previous build");
  }
  EXPECT_EQ(packtest::ListFolder(dir_), (std::vector<std::string>{"m.json", "old.exe", "retrax.exe"}));
  // Lint errors alone are written with --force.
  std::string trees = Manifest("trees.json", R"({"folderTrees": ["#Windows#\\*.*"]})");
  EXPECT_EQ(Pack({"build", trees, "--payload-only", "--force", "-o", Path("forced.bin")}), 0) << err_;
  EXPECT_EQ(packtool::ScanPayloadFile(packtest::ReadBytes(Path("forced.bin"))).status, PAYLOAD_OK);
}

// The binary: 2 for a usage error, 1 for a failed check, 0 otherwise.
TEST_F(BuildTest, TheToolExitsWithItsStatus) {
  auto run = [&](const std::string& arguments) {
    int status = system(("'" RETRAX_PACK_EXE "' " + arguments + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(run("--help"), 0);
  EXPECT_EQ(run(""), 2);
  EXPECT_EQ(run("build x.json -o"), 2);
  EXPECT_EQ(run(std::string("verify '") + RETRAX_SAMPLE_MANIFEST + "'"), 0);
  EXPECT_EQ(run("verify '" + Manifest("bad.json", R"({"registry": [{"root": "HKCU", "path": "system"}]})") + "'"), 1);
  packtest::Write(Path("cut.bin"), pack::Bytes(20, 0x35));
  EXPECT_EQ(run("dump '" + Path("cut.bin") + "'"), 1);
}

}  // namespace
