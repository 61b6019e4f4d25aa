// The tool binary itself: exit statuses and where its words go.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "pack_test_util.h"

namespace {

using packtest::ScratchTest;

class CliTest : public ScratchTest {
 protected:
  // Runs retrax-pack with the arguments (already quoted for the shell);
  // stdout and stderr are kept apart.
  int Run(const std::string& arguments) {
    std::string command = std::string("'") + RETRAX_PACK_EXE + "' " + arguments + " >'" +
                          Path("stdout") + "' 2>'" + Path("stderr") + "'";
    int status = system(command.c_str());
    stdout_ = packtest::ReadText(Path("stdout"));
    stderr_ = packtest::ReadText(Path("stderr"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string stdout_, stderr_;
};

TEST_F(CliTest, UsageErrorsExitWithTwo) {
  EXPECT_EQ(Run("--help"), 0);
  EXPECT_NE(stdout_.find("retrax-pack build MANIFEST.json --stub"), std::string::npos) << stdout_;
  EXPECT_EQ(Run(""), 2);
  EXPECT_NE(stderr_.find("no command given"), std::string::npos) << stderr_;
  EXPECT_EQ(Run("pack x.json"), 2);
  EXPECT_EQ(Run("build x.json -o"), 2);
  EXPECT_NE(stderr_.find("-o needs a value"), std::string::npos) << stderr_;
  EXPECT_EQ(Run("build x.json --stub a.exe --payload-only -o y"), 2);
}

TEST_F(CliTest, VerifyAndDumpReportThroughTheirExitStatus) {
  EXPECT_EQ(Run(std::string("verify '") + RETRAX_SAMPLE_MANIFEST + "'"), 0) << stdout_ << stderr_;
  EXPECT_NE(stdout_.find("0 errors, 0 warnings"), std::string::npos) << stdout_;

  packtest::WriteText(Path("bad.json"), R"({"registry": [{"root": "HKCU", "path": "system"}]})");
  EXPECT_EQ(Run("verify '" + Path("bad.json") + "'"), 1);
  EXPECT_NE(stdout_.find("bad.json: registry[0].path: error: \"system\" is a top-level key"),
            std::string::npos)
      << stdout_;

  EXPECT_EQ(Run(std::string("build '") + RETRAX_SAMPLE_MANIFEST + "' --payload-only -o '" +
                Path("p.bin") + "'"),
            0)
      << stderr_;
  EXPECT_EQ(Run("dump '" + Path("p.bin") + "'"), 0);
  packtest::WriteBytes(Path("cut.bin"), pack::Bytes(20, 0x35));
  EXPECT_EQ(Run("dump --json '" + Path("cut.bin") + "'"), 1);
  EXPECT_NE(stdout_.find("\"statusName\": \"read error\""), std::string::npos) << stdout_;
}

}  // namespace
