// `scan`: a staged installation folder turned into a manifest that leaves
// nothing behind when the uninstaller works through it.
#include "stage_scan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "pack_test_util.h"
#include "pe_test_image.h"

namespace {

class StageScanTest : public packtest::ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    stage_ = Path("stage");
    Make("/");
  }
  // A folder when the name ends with '/', else a file holding data.
  void Make(const std::string& relative, const pack::Bytes& data = {'x'}) {
    if (relative.back() == '/')
      ASSERT_EQ(mkdir((stage_ + "/" + relative).c_str(), 0755), 0) << relative;
    else
      packtest::Write(stage_ + "/" + relative, data);
  }
  std::string Findings(const packtool::StageScan& scan) {
    std::string text;
    for (const packtool::Finding& f : scan.findings) text += f.where + ": " + (f.error ? "error: " : "warning: ") + f.text + "\n";
    return text;
  }
  std::string stage_;
};

TEST_F(StageScanTest, TheFilePhaseAloneRemovesEverythingThatWasStaged) {
  packtest::PeLayout plain;
  plain.exports = {"Helper"};
  for (const char* name : {"app.exe", "empty/", "plugins/", "plugins/extra/", "plugins/extra/deep/",
                           "plugins/extra/deep/b.dat", "Sans.TTF", "notes.txt"})
    Make(name);
  Make("plugins/com.dll", packtest::MakePeImage(packtest::PeLayout()));
  Make("plugins/plain.dll", packtest::MakePeImage(plain));
  packtool::StageScan scan = packtool::ScanStagedFolder(stage_);
  ASSERT_EQ(packtool::CountErrors(scan.findings), 0u) << Findings(scan);
  ASSERT_EQ(Pack({"scan", stage_, "--name", "Example App", "-o", Path("app.json")}), 0) << err_;
  ASSERT_EQ(Pack({"verify", Path("app.json")}), 0) << out_;
  EXPECT_TRUE(Said(out_, "0 errors, 0 warnings")) << out_;
  // The uninstaller's file phase: the last entry first; a folder entry goes
  // only when it is empty by then, a file always.
  for (size_t i = scan.items.size(); i-- > 0;) {
    const pack::FileRecord& record = scan.items[i].record;
    const uint8_t flags = record.name == u"Sans.TTF" ? FileFont : record.name == u"com.dll" ? FileComponent : 0;
    EXPECT_EQ(record.flags, flags) << scan.items[i].hostPath;
    std::string path = stage_ + pack::ToUtf8(record.folder).substr(1);
    std::replace(path.begin(), path.end(), '\\', '/');
    record.name.empty() ? rmdir(path.c_str()) : unlink((path + "/" + pack::ToUtf8(record.name)).c_str());
  }
  EXPECT_EQ(packtest::ListFolder(stage_), std::vector<std::string>{});
}

TEST_F(StageScanTest, SymbolicLinksAreListedByNameAndNeverFollowed) {
  ASSERT_EQ(mkdir(Path("elsewhere").c_str(), 0755), 0);
  packtest::Write(Path("elsewhere/secret.dll"), "x");
  ASSERT_EQ(symlink(Path("elsewhere").c_str(), (stage_ + "/linked").c_str()), 0);
  packtool::StageScan scan = packtool::ScanStagedFolder(stage_);
  ASSERT_EQ(scan.items.size(), 1u);
  EXPECT_EQ(scan.items[0].record.name, u"linked") << "a file entry, never a folder to empty";
  EXPECT_TRUE(Said(Findings(scan), "linked: warning: is a symbolic link and was not followed")) << Findings(scan);
}

TEST_F(StageScanTest, NamesWindowsCannotHoldStopTheManifestUnlessForced) {
  for (const char* name : {"good.txt", "a:b.txt", "trailing.", "nul/"}) Make(name);
  const std::string out = Path("app.json");
  EXPECT_EQ(Pack({"scan", stage_, "-o", out}), 1);
  EXPECT_FALSE(packtool::FileExists(out));
  for (const char* error : {"stage: a:b.txt: error: the name holds ':'", "trailing.: error: the name ends with a dot",
                            "nul: error: the name is a device name", "3 errors; nothing written"})
    EXPECT_TRUE(Said(err_, error)) << error << "\n" << err_;
  EXPECT_EQ(Pack({"scan", stage_, "-o", out, "--force"}), 0) << err_;
  EXPECT_TRUE(Said(packtest::ReadText(out), "\"good.txt\""));
}

}  // namespace
