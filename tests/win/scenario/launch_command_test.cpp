// The pre-uninstall command in whole runs: which program the installer's
// text names, which switches let it run, and that with the wait flag it
// ends before anything is removed while the windows keep answering. The
// recording helper stands in for the command.
#include <string>
#include <vector>

#include "harness/harness.h"
#include "launch_support.h"
#include "recorder/recorder_log.h"

using harness::ExitedWith;
using harness::Process;
using recorder::Record;

namespace {

class LaunchCommand : public harness::ScenarioTest {
 protected:
  void SetUp() override {
    harness::ScenarioTest::SetUp();
    for (const wchar_t* tool : {L"App\\tool.exe", L"App\\my tool.exe", L"App\\#NoSuchMacro#\\tool.exe"}) {
      ASSERT_TRUE(sandbox.MakeFolder(std::wstring(tool).substr(0, std::wstring(tool).rfind(L'\\'))));
      ASSERT_TRUE(recorder::Install(sandbox.Path(tool)));
    }
    ASSERT_TRUE(sandbox.InstallFile(L"App\\data.txt"));
  }
  // The uninstaller App\uninstall.exe, listing App\data.txt, with the
  // command in its header.
  std::wstring WriteUninstaller(const std::u16string& command, uint32_t flags) {
    pack::Payload payload = harness::StandardPayload();
    payload.header.command = command;
    payload.header.flags = flags;
    payload.files = {{u".", u"data.txt", 0}};
    return sandbox.WriteUninstaller(L"App\\uninstall.exe", payload);
  }
  void Prepare(Process* process) {
    sandbox.PrepareProcess(process);
    process->SetEnvironment(L"RXTEST_RECORD_LOG", log);
  }
  // A whole quiet run; the records of what it started, once all ended.
  std::vector<Record> RunQuiet(const std::u16string& command, const std::wstring& switches) {
    DeleteFileW(log.c_str());
    const std::wstring program = WriteUninstaller(command, HEADER_WAIT_FOR_COMMAND);
    Process process;
    Prepare(&process);
    EXPECT_TRUE(process.Start(program, switches));
    EXPECT_TRUE(ExitedWith(process.Finish(), 0)) << harness::Narrow(switches);
    EXPECT_TRUE(process.WaitForDescendants(20000));
    return recorder::ReadLog(log);
  }
  const std::wstring log = sandbox.Path(L"record.log");
};

TEST_F(LaunchCommand, TheProgramIsTheQuotedNameOrTheWholeUnquotedText) {
  const std::wstring app = sandbox.Path(L"App");
  const struct {
    std::u16string command;
    std::wstring program, arguments;  // program empty: nothing starts
  } cases[] = {
      // Unquoted: one name, never split at its spaces. There is no
      // "tool.exe -u", so nothing runs, and tool.exe never gets "-u".
      {u"tool.exe -u", L"", L""},
      {u"my tool.exe", app + L"\\my tool.exe", L""},
      {u"\"tool.exe\" -u", app + L"\\tool.exe", L"-u"},
      {u"\"  tool.exe  \"   -u -v", app + L"\\tool.exe", L"-u -v"},
      {u"\"#InstallDir#\\tool.exe\" -u", app + L"\\tool.exe", L"-u"},
      {u"#NoSuchMacro#\\tool.exe", app + L"\\#NoSuchMacro#\\tool.exe", L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(harness::Narrow(harness::Wide(c.command)));
    const std::vector<Record> records = RunQuiet(c.command, L"/S");
    if (c.program.empty()) {
      EXPECT_TRUE(records.empty());
      continue;
    }
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].program, c.program);
    EXPECT_EQ(records[0].arguments, c.arguments);
    EXPECT_EQ(records[0].folder, c.program.substr(0, c.program.rfind(L'\\'))) << "its own folder";
    EXPECT_EQ(records[0].show, SW_SHOW);
  }
}

TEST_F(LaunchCommand, XAloneSkipsTheCommandAndWithSItRuns) {
  const struct {
    const wchar_t* switches;
    size_t runs;
  } cases[] = {{L"/X", 0}, {L"/S /X", 1}, {L"/S", 1}, {L"/Q", 1}};
  for (const auto& c : cases) {
    EXPECT_EQ(RunQuiet(u"\"tool.exe\" -u", c.switches).size(), c.runs) << harness::Narrow(c.switches);
  }
}

// A command that runs 3 s with the wait flag: when it ends, the listed file
// is still there and no progress window has been shown; meanwhile the
// hidden main window answers sent messages.
TEST_F(LaunchCommand, AWaitedCommandEndsBeforeTheRemovalAndTheWindowsKeepAnswering) {
  Process process;
  Prepare(&process);
  process.SetEnvironment(L"RXTEST_RECORD_SLEEP_MS", L"3000");
  process.SetEnvironment(L"RXTEST_RECORD_CHECK", sandbox.Path(L"App\\data.txt"));
  process.SetEnvironment(L"RXTEST_RECORD_DIALOG", harness::Wide(harness::StandardMessages()[0]));
  ASSERT_TRUE(process.Start(WriteUninstaller(u"\"tool.exe\"", HEADER_WAIT_FOR_COMMAND)));
  const harness::Dialog confirmation = harness::WaitForDialog(process);
  ASSERT_TRUE(confirmation);
  confirmation.Press(IDOK);

  for (DWORD wait = 0; recorder::ReadLog(log).empty() && wait < 5000; wait += 20) Sleep(20);
  int answered = 0;
  for (int i = 0; i < 10; ++i) {
    DWORD_PTR result;
    HWND main = launch_support::MainWindowOf(process);
    if (main && SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result)) ++answered;
    Sleep(150);
  }
  EXPECT_EQ(answered, 10) << "the main window answers during the wait";
  EXPECT_TRUE(harness::OpenDialogs(process).empty()) << "no progress window while the command runs";

  EXPECT_TRUE(ExitedWith(launch_support::FinishAnswering(&process), 0));
  EXPECT_TRUE(process.WaitForDescendants(20000));
  const std::vector<Record> records = recorder::ReadLog(log);
  ASSERT_EQ(records.size(), 1u);
  ASSERT_TRUE(records[0].ended);
  EXPECT_EQ(records[0].check, L"present") << "nothing was removed before the command ended";
  EXPECT_EQ(records[0].dialog, L"none") << "the progress window opens after it";
  EXPECT_FALSE(sandbox.Exists(L"App\\data.txt")) << "and the removal followed";
}

TEST_F(LaunchCommand, WithoutTheWaitFlagTheRemovalDoesNotWait) {
  Process process;
  Prepare(&process);
  process.SetEnvironment(L"RXTEST_RECORD_SLEEP_MS", L"3000");
  process.SetEnvironment(L"RXTEST_RECORD_CHECK", sandbox.Path(L"App\\data.txt"));
  ASSERT_TRUE(process.Start(WriteUninstaller(u"\"tool.exe\"", 0), L"/S"));
  ASSERT_TRUE(process.Wait(10000));
  EXPECT_EQ(process.exitCode(), 0u);
  std::vector<Record> early;
  for (DWORD wait = 0; (early = recorder::ReadLog(log)).empty() && wait < 5000; wait += 20) Sleep(20);
  ASSERT_EQ(early.size(), 1u);
  EXPECT_FALSE(early[0].ended) << "the run ended while its command still ran";

  EXPECT_TRUE(process.WaitForDescendants(20000));
  const std::vector<Record> records = recorder::ReadLog(log);
  ASSERT_TRUE(records[0].ended);
  EXPECT_EQ(records[0].check, L"absent") << "removed while the command ran";
}

}  // namespace
