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
    Make("/");
  }
  // A folder when the name ends with '/', else a file holding data.
  void Make(const std::string& relative, const pack::Bytes& data = {'x'}) {
    if (relative.back() != '/') return packtest::Write(Stage(relative), data);
    ASSERT_EQ(mkdir(Stage(relative).c_str(), 0755), 0) << relative;
  }
  std::string Stage(const std::string& relative = "") const { return Path("stage/" + relative); }
};

TEST_F(StageScanTest, TheFilePhaseAloneRemovesEverythingThatWasStaged) {
  packtest::PeLayout plain;
  plain.exports = {"DllRegister", "DllRegisterServerEx"};
  for (const char* name : {"app.exe", "empty/", "plugins/", "plugins/extra/", "plugins/extra/b.dat", "Sans.TTF"})
    Make(name);
  Make("plugins/com.dll", packtest::MakePeImage(packtest::PeLayout()));
  Make("plugins/plain.dll", packtest::MakePeImage(plain));
  ASSERT_EQ(Pack({"scan", Stage(), "--name", "Example App", "-o", Path("app.json")}), 0) << err_;
  ASSERT_EQ(Pack({"verify", Path("app.json")}), 0) << out_;
  EXPECT_TRUE(Said(out_, "0 errors, 0 warnings")) << out_;
  // The uninstaller's file phase: the last entry first; a folder entry goes
  // only when it is empty by then, a file always.
  const packtool::StageScan scan = packtool::ScanStagedFolder(Stage());
  for (size_t i = scan.items.size(); i-- > 0;) {
    const pack::FileRecord& record = scan.items[i].record;
    const uint8_t flags = record.name == u"Sans.TTF" ? FileFont : record.name == u"com.dll" ? FileComponent : 0;
    EXPECT_EQ(record.flags, flags) << scan.items[i].hostPath;
    std::string path = Stage() + pack::ToUtf8(record.folder).substr(1);
    std::replace(path.begin(), path.end(), '\\', '/');
    record.name.empty() ? rmdir(path.c_str()) : unlink((path + "/" + pack::ToUtf8(record.name)).c_str());
  }
  EXPECT_EQ(packtest::ListFolder(Stage()), std::vector<std::string>{});
}

TEST_F(StageScanTest, SymbolicLinksAreListedByNameAndNeverFollowed) {
  ASSERT_EQ(mkdir(Path("elsewhere").c_str(), 0755), 0);
  ASSERT_EQ(symlink(Path("elsewhere").c_str(), Stage("linked").c_str()), 0);
  const packtool::StageScan scan = packtool::ScanStagedFolder(Stage());
  ASSERT_EQ(scan.items.size(), 1u);
  EXPECT_EQ(scan.items[0].record.name, u"linked") << "a file entry, never a folder to empty";
  ASSERT_EQ(scan.findings.size(), 1u);
  EXPECT_EQ(scan.findings[0].text.find("is a symbolic link and was not followed"), 0u) << scan.findings[0].text;
}

}  // namespace
