// `scan`: a staged installation folder turned into a manifest that leaves
// nothing behind when the uninstaller works through it.
#include "stage_scan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "manifest.h"
#include "pack_test_util.h"
#include "pe_test_image.h"

namespace {

using packtest::ScratchTest;
using packtool::StageScan;

class StageScanTest : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    stage_ = Path("stage");
    MakeFolder("");
  }
  void MakeFolder(const std::string& relative) {
    ASSERT_EQ(mkdir((stage_ + "/" + relative).c_str(), 0755), 0) << relative;
  }
  void MakeFile(const std::string& relative, const pack::Bytes& data = {'x'}) {
    packtest::WriteBytes(stage_ + "/" + relative, data);
  }

  // The host path of a record: installDir is the staged folder.
  std::string HostPathOf(const pack::FileRecord& record) {
    std::string path = stage_;
    std::string folder = pack::ToUtf8(record.folder);
    for (char& c : folder) c = c == '\\' ? '/' : c;
    if (folder.size() > 1) path += folder.substr(1);
    if (!record.name.empty()) path += "/" + pack::ToUtf8(record.name);
    return path;
  }

  // The uninstaller's file phase: the last entry first; a folder entry
  // goes only when it is empty by then, a file always.
  void RunFilePhase(const StageScan& scan) {
    for (size_t i = scan.items.size(); i-- > 0;) {
      const pack::FileRecord& record = scan.items[i].record;
      if (record.name.empty())
        rmdir(HostPathOf(record).c_str());
      else
        unlink(HostPathOf(record).c_str());
    }
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
  MakeFile("app.exe");
  MakeFolder("empty");
  MakeFolder("plugins");
  MakeFile("plugins/a.dll");
  MakeFolder("plugins/extra");
  MakeFolder("plugins/extra/deep");
  MakeFile("plugins/extra/deep/b.dat");
  MakeFile("plugins/z.dat");
  MakeFolder("Docs");
  MakeFile("Docs/guide.txt");

  StageScan scan = packtool::ScanStagedFolder(stage_);
  ASSERT_EQ(packtool::CountErrors(scan.findings), 0u) << Findings(scan);
  EXPECT_EQ(scan.files, 5u);
  EXPECT_EQ(scan.folders, 5u);
  std::vector<std::string> listed;
  for (const packtool::StagedItem& item : scan.items)
    listed.push_back(pack::ToUtf8(item.record.folder) + "|" + pack::ToUtf8(item.record.name));
  EXPECT_EQ(listed, (std::vector<std::string>{
                        ".|app.exe", ".\\Docs|", ".\\Docs|guide.txt", ".\\empty|",
                        ".\\plugins|", ".\\plugins|a.dll", ".\\plugins|z.dat",
                        ".\\plugins\\extra|", ".\\plugins\\extra\\deep|",
                        ".\\plugins\\extra\\deep|b.dat"}));

  RunFilePhase(scan);
  EXPECT_EQ(packtest::ListFolder(stage_), std::vector<std::string>{});
}

TEST_F(StageScanTest, FontsAndSelfRegisteringLibrariesAreFlagged) {
  MakeFile("Sans.TTF");
  MakeFile("serif.otf");
  MakeFile("old.fon");
  MakeFile("notes.txt", {'M', 'Z', 'o', 'k'});
  MakeFile("com.dll", packtest::MakePeImage(packtest::PeLayout()));
  packtest::PeLayout plain;
  plain.exports = {"Helper"};
  MakeFile("plain.dll", packtest::MakePeImage(plain));
  pack::Bytes cut = packtest::MakePeImage(packtest::PeLayout());
  cut.resize(0x150);
  MakeFile("cut.ocx", cut);

  StageScan scan = packtool::ScanStagedFolder(stage_);
  EXPECT_EQ(FlagsOf(scan, "Sans.TTF"), FileFont);
  EXPECT_EQ(FlagsOf(scan, "serif.otf"), FileFont);
  EXPECT_EQ(FlagsOf(scan, "old.fon"), FileFont);
  EXPECT_EQ(FlagsOf(scan, "com.dll"), FileComponent);
  EXPECT_EQ(FlagsOf(scan, "plain.dll"), 0);
  EXPECT_EQ(FlagsOf(scan, "notes.txt"), 0);
  // A damaged image is still listed, with a word about it.
  EXPECT_EQ(FlagsOf(scan, "cut.ocx"), 0);
  EXPECT_EQ(scan.fonts, 3u);
  EXPECT_EQ(scan.components, 1u);
  EXPECT_EQ(packtool::CountErrors(scan.findings), 0u);
  EXPECT_NE(Findings(scan).find("cut.ocx: warning: looks like a Windows program or library"),
            std::string::npos)
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
  std::string findings = Findings(scan);
  EXPECT_NE(findings.find("linked: warning: is a symbolic link and was not followed"),
            std::string::npos)
      << findings;
  EXPECT_NE(findings.find("note.txt: warning: is a symbolic link"), std::string::npos);
  EXPECT_EQ(findings.find("secret"), std::string::npos);
}

TEST_F(StageScanTest, NamesWindowsCannotHoldStopTheManifestUnlessForced) {
  MakeFile("good.txt");
  MakeFile("a:b.txt");
  MakeFile("trailing.");
  MakeFile("\xFF.txt");
  MakeFile("Readme.txt");
  MakeFile("README.TXT");
  MakeFolder("nul");
  const std::string out = Path("app.json");

  EXPECT_EQ(Pack({"scan", stage_, "-o", out}), 1);
  EXPECT_FALSE(packtool::FileExists(out));
  EXPECT_NE(err_.find("stage: a:b.txt: error: the name holds ':'"), std::string::npos) << err_;
  EXPECT_NE(err_.find("trailing.: error: the name ends with a dot"), std::string::npos);
  EXPECT_NE(err_.find(".txt: error: the name is not valid UTF-8"), std::string::npos);
  EXPECT_NE(err_.find("nul: error: the name is a device name"), std::string::npos);
  EXPECT_NE(err_.find("Readme.txt: warning: differs from README.TXT only in case"),
            std::string::npos);
  EXPECT_NE(err_.find("4 errors; nothing written"), std::string::npos) << err_;

  EXPECT_EQ(Pack({"scan", stage_, "-o", out, "--force"}), 0) << err_;
  EXPECT_NE(packtest::ReadText(out).find("\"good.txt\""), std::string::npos);
}

TEST_F(StageScanTest, TheManifestVerifiesCleanAndBuilds) {
  MakeFile("app.exe");
  MakeFolder("lib");
  MakeFile("lib/com.dll", packtest::MakePeImage(packtest::PeLayout()));

  // To stdout: nothing but the manifest there, the summary on stderr.
  ASSERT_EQ(Pack({"scan", stage_, "--name", "Example App", "--install-dir", "D:\\Apps\\Example"}),
            0)
      << err_;
  EXPECT_NE(err_.find("2 files and 1 folder (0 fonts, 1 self-registering library)"),
            std::string::npos)
      << err_;
  packtest::WriteText(Path("app.json"), out_);
  packtool::Manifest manifest;
  std::string error;
  ASSERT_TRUE(packtool::ParseManifest(out_, dir_, &manifest, &error)) << error << out_;
  EXPECT_EQ(manifest.installDir, u"D:\\Apps\\Example\\");
  EXPECT_EQ(manifest.payload.messages.size(), 16u);
  EXPECT_EQ(manifest.payload.messages[0], u"Example App Uninstall");
  EXPECT_EQ(manifest.payload.messages[15],
            u"Example App is still running. Close it, then choose Retry.");

  ASSERT_EQ(Pack({"verify", Path("app.json")}), 0) << out_;
  EXPECT_NE(out_.find("0 errors, 0 warnings"), std::string::npos) << out_;
  ASSERT_EQ(Pack({"build", Path("app.json"), "--payload-only", "-o", Path("p.bin")}), 0) << err_;
  ASSERT_EQ(Pack({"dump", Path("p.bin")}), 0);
  EXPECT_NE(out_.find("com.dll"), std::string::npos) << out_;
}

}  // namespace
