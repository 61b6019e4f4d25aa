// The command line as a user or an installer gives it: a quiet switch runs
// without any window (held where a progress dialog would be open), anything
// else asks first.
#include "harness/harness.h"

namespace {

class CommandLineRun : public harness::ScenarioTest {};

TEST_F(CommandLineRun, QuietSwitchesShowNoWindowAndOthersAsk) {
  pack::Payload payload = harness::StandardPayload();
  ASSERT_TRUE(harness::AddTestExtension(&payload));
  const std::wstring program = sandbox.Path(L"Program Files\\App\\uninst.exe");
  // Not quoted, "Files\App\uninst.exe" is the first argument, and no switch.
  const struct {
    std::wstring commandLine;
    bool quiet;
  } cases[] = {{L"\"" + program + L"\" /Q", true},
               {L"\"" + program + L"\" -s", true},
               {L"\"" + program + L"\"", false},
               {program + L" /S", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(harness::Narrow(c.commandLine));
    ASSERT_EQ(sandbox.WriteUninstaller(L"Program Files\\App\\uninst.exe", payload), program);  // /Q removes it
    harness::Process process;
    harness::RunHold hold(53);  // before the removal
    sandbox.PrepareProcess(&process);
    hold.Prepare(&process);
    ASSERT_TRUE(process.StartWithCommandLine(program, c.commandLine));
    if (c.quiet) {
      ASSERT_TRUE(hold.WaitHeld(process)) << "did not reach the removal unasked";
      EXPECT_TRUE(harness::OpenDialogs(process).empty()) << "no progress dialog";
      hold.Release();
      EXPECT_TRUE(harness::ExpectNoWindow(process));
    } else {
      const harness::Dialog confirmation = harness::WaitForDialog(process);
      ASSERT_TRUE(confirmation);
      EXPECT_EQ(confirmation.Text(), harness::Message(MSG_CONFIRM));
      confirmation.Press(IDCANCEL);
    }
    EXPECT_TRUE(harness::ExitedWith(process.Finish(), 0));
  }
}

}  // namespace
