// The command line as a user or an installer gives it: which switches make
// the run quiet, seen as the windows a run shows. Each run is held at the
// start of the removal (RunHold), where a progress dialog, if there is one,
// is open. Not seen here: the running-program check (it needs the file
// phase), the final page and the self-removal (their own scenarios).
#include <string>
#include <vector>

#include "harness/harness.h"

using harness::Dialog;
using harness::ExitedWith;
using harness::Process;
using harness::RunHold;

namespace {

const int kBeforeRemoval = 53;

std::wstring Message(int index) { return harness::Wide(harness::StandardMessages()[index]); }

// The windows of one run, in the order of the sequence.
struct Seen {
  bool confirmation = false;
  bool reachedRemoval = false;  // the hold was reached: the windows were looked at
  bool progress = false;
  bool closing = false;
  std::vector<std::string> unexpected;  // any other window, by its text
  harness::RunResult result;
};

class CommandLineRun : public harness::ScenarioTest {
 protected:
  void SetUp() override {
    harness::ScenarioTest::SetUp();
    ASSERT_TRUE(harness::AddTestExtension(&payload));
  }

  // Runs the uninstaller with exactly this command line, confirming when
  // asked and answering the closing message.
  Seen Observe(const std::wstring& program, const std::wstring& commandLine) {
    Seen seen;
    Process process;
    RunHold hold(kBeforeRemoval);
    sandbox.PrepareProcess(&process);
    hold.Prepare(&process);
    if (!process.StartWithCommandLine(program, commandLine)) return seen;
    harness::DialogSequence dialogs(process);

    // Before the removal: the confirmation, if any.
    bool held = false;
    while (!held && !process.Ended() && process.ElapsedMs() < harness::kDefaultRunTimeoutMs) {
      held = hold.WaitHeld(process, 10);
      const Dialog dialog = dialogs.Next(0);
      if (!dialog) continue;
      if (dialog.Text() == Message(MSG_CONFIRM) && !seen.confirmation) {
        seen.confirmation = true;
        dialog.Press(IDOK);
      } else {
        seen.unexpected.push_back(harness::Narrow(dialog.Caption() + L": " + dialog.Text()));
        dialog.PressEsc();
      }
    }
    seen.reachedRemoval = held;
    if (held) {
      for (const Dialog& dialog : harness::OpenDialogs(process)) {
        if (dialog.IsProgressDialog()) {
          seen.progress = true;
        } else {
          seen.unexpected.push_back(harness::Narrow(dialog.Caption() + L": " + dialog.Text()));
        }
      }
      hold.Release();
    }
    // After it: the closing message, if any.
    while (const Dialog dialog = dialogs.Next(harness::kDefaultRunTimeoutMs)) {
      if (dialog.Text() == Message(MSG_DONE) && !seen.closing) {
        seen.closing = true;
      } else {
        seen.unexpected.push_back(harness::Narrow(dialog.Caption() + L": " + dialog.Text()));
      }
      dialog.Press(IDOK);
    }
    seen.result = process.Finish();
    return seen;
  }

  pack::Payload payload = harness::StandardPayload();
};

struct SwitchCase {
  const char* name;
  const wchar_t* arguments;
  bool interactive;  // confirmation, progress dialog and closing message
};

void PrintTo(const SwitchCase& switchCase, std::ostream* out) {
  *out << "\"" << harness::Narrow(switchCase.arguments) << "\"";
}

class Switches : public CommandLineRun, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(Switches, ShowTheWindowsOfAnInteractiveRunOrNone) {
  const std::wstring program = sandbox.WriteUninstaller(L"App\\uninstall.exe", payload);
  ASSERT_FALSE(program.empty());
  std::wstring commandLine = L"\"" + program + L"\"";
  if (*GetParam().arguments) commandLine += std::wstring(L" ") + GetParam().arguments;

  const Seen seen = Observe(program, commandLine);
  EXPECT_TRUE(ExitedWith(seen.result, 0));
  EXPECT_TRUE(seen.reachedRemoval);
  EXPECT_EQ(seen.confirmation, GetParam().interactive);
  EXPECT_EQ(seen.progress, GetParam().interactive);
  EXPECT_EQ(seen.closing, GetParam().interactive);
  EXPECT_EQ(seen.unexpected, std::vector<std::string>());
}

INSTANTIATE_TEST_SUITE_P(
    Table, Switches,
    ::testing::Values(SwitchCase{"None", L"", true}, SwitchCase{"Q", L"/Q", false}, SwitchCase{"S", L"/S", false},
                      SwitchCase{"X", L"/X", false}, SwitchCase{"SAndX", L"/S /X", false},
                      SwitchCase{"DashLowerS", L"-s", false}, SwitchCase{"Silent", L"/Silent", false},
                      SwitchCase{"SQWithoutSpace", L"/S/Q", false},
                      // A bare word ends the switches: what follows it is not read.
                      SwitchCase{"SAfterAWord", L"now /S", true},
                      // A lone slash at the end names no switch.
                      SwitchCase{"LoneSlash", L"/", true}),
    [](const ::testing::TestParamInfo<SwitchCase>& info) { return std::string(info.param.name); });

// An installer that registered the uninstaller's path without quotes: the
// command line is split at the space inside the path, "Files\App\..." is no
// switch, and the /S after it is never read. The user is asked as in a
// normal run.
TEST_F(CommandLineRun, AnUnquotedPathWithASpaceHidesTheSwitches) {
  const std::wstring program = sandbox.WriteUninstaller(L"Program Files\\App\\uninst.exe", payload);
  ASSERT_FALSE(program.empty());
  const Seen seen = Observe(program, program + L" /S");
  EXPECT_TRUE(ExitedWith(seen.result, 0));
  EXPECT_TRUE(seen.reachedRemoval);
  EXPECT_TRUE(seen.confirmation);
  EXPECT_TRUE(seen.progress);
  EXPECT_TRUE(seen.closing);
}

}  // namespace
