// `scan`: a staged installation folder turned into a manifest that leaves
// nothing behind when the uninstaller works through it.
#include "stage_scan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "manifest.h"
#include "pack_test_util.h"
#include "pe_test_image.h"

namespace {

using packtool::StageScan;

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
      packtest::WriteBytes(stage_ + "/" + relative, data);
  }
  uint8_t FlagsOf(const StageScan& scan, const std::string& hostPath) {
    for (const packtool::StagedItem& item : scan.items)
      if (item.hostPath == hostPath) return item.record.flags;
    ADD_FAILURE() << hostPath << " not listed";
    return 0xFF;
  }
  std::string Findings(const StageScan& scan) {
    std::string text;
    for (const packtool::Finding& f : scan.findings)
      text += f.where + ": " + (f.error ? "error: " : "warning: ") + f.text + "\n";
    return text;
  }
  std::string stage_;
};

TEST_F(StageScanTest, TheFilePhaseAloneRemovesEverythingThatWasStaged) {
  for (const char* name : {"app.exe", "empty/", "plugins/", "plugins/a.dll", "plugins/extra/", "plugins/extra/deep/",
                           "plugins/extra/deep/b.dat", "plugins/z.dat", "Docs/", "Docs/guide.txt"})
    Make(name);
  StageScan scan = packtool::ScanStagedFolder(stage_);
  ASSERT_EQ(packtool::CountErrors(scan.findings), 0u) << Findings(scan);
  EXPECT_EQ(scan.files, 5u);
  EXPECT_EQ(scan.folders, 5u);
  // The uninstaller's file phase: the last entry first; a folder entry goes
  // only when it is empty by then, a file always.
  for (size_t i = scan.items.size(); i-- > 0;) {
    const pack::FileRecord& record = scan.items[i].record;
    std::string path = stage_ + pack::ToUtf8(record.folder).substr(1);
    for (char& c : path) c = c == '\\' ? '/' : c;
    if (record.name.empty())
      rmdir(path.c_str());
    else
      unlink((path + "/" + pack::ToUtf8(record.name)).c_str());
  }
  EXPECT_EQ(packtest::ListFolder(stage_), std::vector<std::string>{});
}

TEST_F(StageScanTest, FontsAndSelfRegisteringLibrariesAreFlagged) {
  packtest::PeLayout plain;
  plain.exports = {"Helper"};
  pack::Bytes cut = packtest::MakePeImage(packtest::PeLayout());
  cut.resize(0x150);
  for (const char* font : {"Sans.TTF", "serif.otf", "old.fon"}) Make(font);
  Make("notes.txt", {'M', 'Z', 'o', 'k'});
  Make("com.dll", packtest::MakePeImage(packtest::PeLayout()));
  Make("plain.dll", packtest::MakePeImage(plain));
  Make("cut.ocx", cut);
  StageScan scan = packtool::ScanStagedFolder(stage_);
  for (const char* font : {"Sans.TTF", "serif.otf", "old.fon"}) EXPECT_EQ(FlagsOf(scan, font), FileFont) << font;
  EXPECT_EQ(FlagsOf(scan, "com.dll"), FileComponent);
  for (const char* plainFile : {"plain.dll", "notes.txt", "cut.ocx"}) EXPECT_EQ(FlagsOf(scan, plainFile), 0);
  EXPECT_EQ(packtool::CountErrors(scan.findings), 0u);
  // A damaged image is still listed, with a word about it.
  EXPECT_NE(Findings(scan).find("cut.ocx: warning: looks like a Windows program or library"), std::string::npos)
      << Findings(scan);
  EXPECT_NE(Findings(scan).find(".: warning: 3 fonts are flagged \"font\""), std::string::npos);
}

TEST_F(StageScanTest, SymbolicLinksAreListedByNameAndNeverFollowed) {
  packtest::WriteText(Path("outside.txt"), "not part of the application");
  ASSERT_EQ(mkdir(Path("elsewhere").c_str(), 0755), 0);
  packtest::WriteText(Path("elsewhere/secret.dll"), "x");
  ASSERT_EQ(symlink(Path("elsewhere").c_str(), (stage_ + "/linked").c_str()), 0);
  ASSERT_EQ(symlink(Path("outside.txt").c_str(), (stage_ + "/note.txt").c_str()), 0);
  StageScan scan = packtool::ScanStagedFolder(stage_);
  ASSERT_EQ(scan.items.size(), 2u);
  for (const packtool::StagedItem& item : scan.items) {
    EXPECT_EQ(item.record.folder, u".");
    EXPECT_FALSE(item.record.name.empty()) << item.hostPath << " must be a file entry";
  }
  const std::string findings = Findings(scan);
  EXPECT_NE(findings.find("linked: warning: is a symbolic link and was not followed"), std::string::npos) << findings;
  EXPECT_NE(findings.find("note.txt: warning: is a symbolic link"), std::string::npos);
  EXPECT_EQ(findings.find("secret"), std::string::npos);
}

TEST_F(StageScanTest, NamesWindowsCannotHoldStopTheManifestUnlessForced) {
  for (const char* name : {"good.txt", "a:b.txt", "trailing.", "\xFF.txt", "Readme.txt", "README.TXT", "nul/"})
    Make(name);
  const std::string out = Path("app.json");
  EXPECT_EQ(Pack({"scan", stage_, "-o", out}), 1);
  EXPECT_FALSE(packtool::FileExists(out));
  for (const char* error : {"stage: a:b.txt: error: the name holds ':'", "trailing.: error: the name ends with a dot",
                            ".txt: error: the name is not valid UTF-8", "nul: error: the name is a device name",
                            "Readme.txt: warning: differs from README.TXT only in case", "4 errors; nothing written"})
    EXPECT_NE(err_.find(error), std::string::npos) << error << "\n" << err_;
  EXPECT_EQ(Pack({"scan", stage_, "-o", out, "--force"}), 0) << err_;
  EXPECT_NE(packtest::ReadText(out).find("\"good.txt\""), std::string::npos);
}

TEST_F(StageScanTest, TheManifestVerifiesCleanAndBuilds) {
  Make("app.exe");
  Make("lib/");
  Make("lib/com.dll", packtest::MakePeImage(packtest::PeLayout()));
  // To stdout: nothing but the manifest there, the summary on stderr.
  ASSERT_EQ(Pack({"scan", stage_, "--name", "Example App", "--install-dir", "D:\\Apps\\Example"}), 0) << err_;
  EXPECT_NE(err_.find("2 files and 1 folder (0 fonts, 1 self-registering library)"), std::string::npos) << err_;
  packtest::WriteText(Path("app.json"), out_);
  packtool::Manifest manifest;
  std::string error;
  ASSERT_TRUE(packtool::ParseManifest(out_, dir_, &manifest, &error)) << error << out_;
  EXPECT_EQ(manifest.installDir, u"D:\\Apps\\Example\\");
  ASSERT_EQ(manifest.payload.messages.size(), 16u);
  EXPECT_EQ(manifest.payload.messages[0], u"Example App Uninstall");
  ASSERT_EQ(Pack({"verify", Path("app.json")}), 0) << out_;
  EXPECT_NE(out_.find("0 errors, 0 warnings"), std::string::npos) << out_;
  ASSERT_EQ(Pack({"build", Path("app.json"), "--payload-only", "-o", Path("p.bin")}), 0) << err_;
  ASSERT_EQ(Pack({"dump", Path("p.bin")}), 0);
  EXPECT_NE(out_.find("com.dll"), std::string::npos) << out_;
}

}  // namespace
