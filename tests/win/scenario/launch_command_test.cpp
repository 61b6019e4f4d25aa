// The pre-uninstall command and the final page in whole runs: which runs
// start them, how, and that a waited-for command ends before anything is
// removed. The recording helper stands in for both.
#include "harness/harness.h"
#include "recorder/recorder_log.h"

using recorder::Record;

namespace {

class Launch : public harness::ScenarioTest {
 protected:
  // Runs App\uninstall.exe, listing App\data.txt, with these switches,
  // answering its boxes; the records of all it started so far.
  std::vector<Record> Run(const std::wstring& switches, const std::map<std::wstring, std::wstring>& variables = {}) {
    EXPECT_TRUE(sandbox.InstallFile(L"App\\data.txt") && recorder::Install(sandbox.Path(L"App\\tool.exe")));
    payload.files = {{u".", u"data.txt", 0}};
    harness::Process process;
    sandbox.PrepareProcess(&process);
    process.SetEnvironment(L"RXTEST_RECORD_LOG", sandbox.Path(L"record.log"));
    for (const auto& variable : variables) process.SetEnvironment(variable.first, variable.second);
    EXPECT_TRUE(process.Start(sandbox.WriteUninstaller(L"App\\uninstall.exe", payload), switches));
    EXPECT_TRUE(harness::ExitedWith(harness::FinishAnswering(&process), 0)) << harness::Narrow(switches);
    EXPECT_TRUE(process.WaitForDescendants(20000));
    return recorder::ReadLog(sandbox.Path(L"record.log"));
  }
  pack::Payload payload = harness::StandardPayload();
};

// The command is taken relative to the install folder and runs there (its
// forms: the pre-uninstall unit tests); the page opens in its own folder.
TEST_F(Launch, TheCommandRunsUnlessXComesWithoutSAndThePageInConfirmedAndQuietRuns) {
  ASSERT_TRUE(sandbox.MakeFolder(L"Viewer") && recorder::Install(sandbox.Path(L"Viewer\\viewer.exe")));
  payload.header.command = u"\"tool.exe\"  -u";
  payload.header.finalPage = harness::U16(sandbox.Path(L"Viewer\\viewer.exe"));
  const std::pair<const wchar_t*, size_t> cases[] = {{L"/X", 0}, {L"/S /X", 1}, {L"/S", 2}, {L"/Q", 4}, {L"", 6}};
  for (const auto& c : cases) ASSERT_EQ(Run(c.first).size(), c.second) << harness::Narrow(c.first);
  int pages = 0;
  for (const Record& record : Run(L"/X")) {
    const bool page = record.program == sandbox.Path(L"Viewer\\viewer.exe");
    pages += page;
    EXPECT_EQ(record.program, sandbox.Path(page ? L"Viewer\\viewer.exe" : L"App\\tool.exe"));
    EXPECT_EQ(record.arguments, page ? L"" : L"-u");
    EXPECT_EQ(record.folder, sandbox.Path(page ? L"Viewer" : L"App"));
    EXPECT_EQ(record.show, SW_SHOW);
  }
  EXPECT_EQ(pages, 2);
}

// A command of 3 s with the wait flag: when it ends, the listed file is
// still there and no progress window has been shown.
TEST_F(Launch, AWaitedCommandEndsBeforeTheRemoval) {
  payload.header.command = u"\"tool.exe\"";
  payload.header.flags = HEADER_WAIT_FOR_COMMAND;
  payload.messages[MSG_TITLE] = harness::U16(sandbox.name());  // no other test's dialog
  const std::vector<Record> records = Run(L"", {{L"RXTEST_RECORD_SLEEP_MS", L"3000"},
                                                {L"RXTEST_RECORD_CHECK", sandbox.Path(L"App\\data.txt")},
                                                {L"RXTEST_RECORD_DIALOG", sandbox.name()}});
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].check, L"present") << "nothing was removed before the command ended";
  EXPECT_EQ(records[0].dialog, L"none") << "the progress window opens after it";
  EXPECT_FALSE(sandbox.Exists(L"App\\data.txt")) << "and the removal followed";
}

}  // namespace
