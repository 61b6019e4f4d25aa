// `build`: packing, re-packing, and never leaving a half-written file.
#include <gtest/gtest.h>

#include "pack_test_util.h"
#include "scan.h"

namespace {

class BuildTest : public packtest::ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    packtest::WriteBytes(Path("retrax.exe"), packtest::MakeStub());
  }
  std::string Manifest(const std::string& name, const std::string& json) {
    packtest::WriteText(Path(name), json);
    return Path(name);
  }
  void ExpectError(const std::string& text) { EXPECT_NE(err_.find(text), std::string::npos) << err_; }
};

TEST_F(BuildTest, RepackingReplacesThePayload) {
  std::string first = Manifest("first.json", R"({"messages": ["T"], "files": [{"folder": ".", "name": "a.txt"}]})");
  std::string second = Manifest("second.json", R"({"registry": [{"root": "HKCU", "path": "Software\\V"}]})");
  ASSERT_EQ(Pack({"build", first, "--stub", Path("retrax.exe"), "-o", Path("uninstall.exe")}), 0) << err_;
  ASSERT_EQ(Pack({"build", second, "--stub", Path("uninstall.exe"), "-o", Path("uninstall.exe")}), 0) << err_;
  ASSERT_EQ(Pack({"build", second, "--payload-only", "-o", Path("second.bin")}), 0) << err_;
  pack::Bytes stub = packtest::ReadBytes(Path("retrax.exe")), expected = stub;
  pack::Bytes payload = packtest::ReadBytes(Path("second.bin"));
  expected.insert(expected.end(), payload.begin(), payload.end());
  EXPECT_EQ(packtest::ReadBytes(Path("uninstall.exe")), expected);
  EXPECT_EQ(packtool::ScanPayloadFile(expected).payloadOffset, stub.size());
}

TEST_F(BuildTest, BadInputLeavesNoFileBehind) {
  std::string bad = Manifest("bad.json", R"({"files": [{"folder": ".", "flags": ["shard"]}]})");
  EXPECT_EQ(Pack({"build", bad, "--payload-only", "-o", Path("out.bin")}), 1);
  ExpectError("bad.json: files[0].flags[0]: unknown flag \"shard\"");
  // An earlier output stays as it was when the new build fails.
  packtest::WriteText(Path("old.exe"), "previous build");
  std::string linted = Manifest("linted.json", R"({"registry": [{"root": "HKLM", "path": "Software\\"}]})");
  EXPECT_EQ(Pack({"build", linted, "--stub", Path("retrax.exe"), "-o", Path("old.exe")}), 1);
  ExpectError("linted.json: registry[0].path: error:");
  ExpectError("1 error; nothing written");
  EXPECT_EQ(packtest::ReadText(Path("old.exe")), "previous build");
  // --force writes past the checks, but never what the reader would refuse.
  std::string tooLong = Manifest(
      "long.json", "{\"registry\": [{\"root\": \"HKCU\", \"path\": \"" + std::string(600, 'k') + "\"}]}");
  EXPECT_EQ(Pack({"build", tooLong, "--payload-only", "--force", "-o", Path("long.bin")}), 1);
  ExpectError("registry record too long");
  // A stub without the marker has no place for the payload.
  packtest::WriteText(Path("notepad.exe"), "MZ no marker here");
  std::string good = Manifest("good.json", R"({"files": [{"folder": ".", "name": "a.txt"}]})");
  EXPECT_EQ(Pack({"build", good, "--stub", Path("notepad.exe"), "-o", Path("out.exe")}), 1);
  ExpectError("notepad.exe: the program holds no payload offset field");
  // Neither the outputs nor their temporary files exist.
  EXPECT_EQ(packtest::ListFolder(dir_), (std::vector<std::string>{"bad.json", "good.json", "linted.json", "long.json",
                                                                   "notepad.exe", "old.exe", "retrax.exe"}));

  // Lint errors alone are written with --force.
  std::string trees = Manifest("trees.json", R"({"folderTrees": ["#Windows#\\*.*"]})");
  EXPECT_EQ(Pack({"build", trees, "--payload-only", "--force", "-o", Path("forced.bin")}), 0) << err_;
  ExpectError("folderTrees[0]: error: \"#Windows#\\*.*\" is aimed at the protected folder");
  EXPECT_EQ(packtool::ScanPayloadFile(packtest::ReadBytes(Path("forced.bin"))).status, PAYLOAD_OK);
}

}  // namespace
