// `build` and the tool binary: packing, re-packing, errors that name their
// field, and never a half-written file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "pack_test_util.h"
#include "pe_test_image.h"
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

// Each answer names what the author typed; no output ever replaces an input.
TEST_F(BuildTest, WrongInputsAndOutputsGetAnAnswerInTheAuthorsTerms) {
  const std::string app = Manifest("app.json", R"({"language": "en", "files": [{"folder": ".", "name": "a.txt"}]})");
  packtest::Write(Path("empty.json"), "");
  packtest::Write(Path("list.json"), "[]");
  packtest::Write(Path("utf16.json"), pack::Bytes{0xFF, 0xFE, '{', 0, '}', 0});
  ASSERT_EQ(mkdir(Path("stage").c_str(), 0755), 0);
  packtest::Write(Path("stage/x.txt"), "x");
  const std::string user = Manifest("user.json", R"({"scope": "user", "files": [{"folder": ".", "name": "a.txt"}]})");
  packtest::PeLayout admin;
  admin.manifest = "<requestedExecutionLevel level=\"requireAdministrator\"/>";
  packtest::Write(Path("admin.exe"), packtest::MakePeImage(admin));
  const std::string mismatch = "--stub " + Path("admin.exe") +
      ": requests requireAdministrator, but \"scope\": \"user\" needs asInvoker (use retrax-user.exe)";
  std::string bad = "{\"files\": [";
  for (int i = 0; i < 1000; ++i) bad += std::string(i ? "," : "") + "{\"folder\": \"\"}";
  Manifest("bad.json", bad + "]}");
  const struct { std::vector<std::string> args; int status; std::string said; } cases[] = {
      {{"build", app, "--stub", Path("retrax.exe"), "-o", app}, 2, "app.json: is the manifest itself"},
      {{"scan", Path("stage"), "-o", app}, 1, "app.json: exists already; scan " + Path("stage") + " --update "},
      {{"verify", Path("empty.json")}, 1, "empty.json: the file is empty"},
      {{"verify", Path("list.json")}, 1, "list.json: manifest: must be an object"},
      {{"verify", Path("utf16.json")}, 1, "utf16.json: UTF-16 text: save the manifest as UTF-8"},
      {{"dump", app}, 1, "app.json: a manifest, not a built file"},
      {{"dump", Path("retrax.exe")}, 1, "no payload: the payloadOffset field at 0x000003EE holds the file's own length"},
      {{"build", app, "--stub=" + app, "-o", Path("u.exe")}, 1, "--stub " + app + ": not a Windows program"},
      {{"build", app, "--stub=" + Path("retrax.exe"), "-o", Path("none/u.exe")}, 1, Path("none/u.exe") + ": cannot write"},
      {{"biuld", app}, 2, "retrax-pack: unknown command biuld (retrax-pack --help shows the usage)\n"},
      {{"verify", Path("bad.json")}, 1, "bad.json: ... and 951 more (951 of them errors) not listed\n"},
      {{"verify", "--install-dir=C:\\A", Path("bad.json")}, 1, "bad.json: 1000 errors"},
      {{"build", app, "--payload-only", "-o", Path("p.bin")}, 0, "1 file"},
      {{"verify", Path("p.bin")}, 0, "measured with C:\\Program Files (x86)\\Example Vendor\\Example Application\\, as none"},
      {{"scan", Path("stage"), "--name", "Save50%Now", "--language", "de", "-o", Path("de.json")}, 0, "1 file"},
      {{"verify", Path("de.json")}, 0, "0 errors, 0 warnings"},
      {{"build", user, "--stub", Path("admin.exe"), "-o", Path("u.exe")}, 1, mismatch},
      {{"verify", user, "--stub", Path("admin.exe")}, 1, user + ": 1 error, 1 warning"},
      {{"verify", app, "--stub", Path("admin.exe")}, 0, "0 errors"},
      {{"verify", app, "--stub", Path("retrax.exe")}, 0, "warning: carries no manifest"},
      {{"scan", Path("stage"), "--scope", "user", "-o", Path("user-scan.json")}, 0, "1 file"},
      {{"verify", Path("user-scan.json")}, 0, "0 errors, 0 warnings"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Pack(c.args), c.status) << c.args[1];
    EXPECT_TRUE(Said(err_ + out_, c.said)) << c.said << "\n  gave: " << err_ << out_;
  }
  EXPECT_EQ(Pack({"build", "--stbu", "x"}), 2);
  EXPECT_EQ(err_ + out_, "retrax-pack: unknown option --stbu (retrax-pack --help shows the usage)\n");
  EXPECT_TRUE(Said(packtest::ReadText(app), "\"language\": \"en\"")) << "the inputs stay as they were";
  const std::string de = packtest::ReadText(Path("de.json"));
  EXPECT_TRUE(Said(packtest::ReadText(Path("user-scan.json")), "\"scope\": \"user\""));
  EXPECT_TRUE(Said(de, "\"language\": \"de\"") && Said(de, "\"0\": \"Save50%Now deinstallieren\"") && !Said(de, "\"3\":")) << de;
}

// The binary passes the command's status on: 2 for a usage error, 1 for a
// failed check, 0 otherwise.
TEST_F(BuildTest, TheToolExitsWithItsStatus) {
  auto run = [&](const std::string& arguments) {
    int status = system(("'" RETRAX_PACK_EXE "' " + arguments + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(run("--help"), 0);
  EXPECT_EQ(run(""), 2);
  EXPECT_EQ(run("verify '" + Manifest("bad.json", R"({"registry": [{"root": "HKCU", "path": "system"}]})") + "'"), 1);
}

}  // namespace
