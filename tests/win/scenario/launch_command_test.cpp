// The pre-uninstall command and the final page in whole runs: which runs
// start them, how, and that a waited-for command ends before anything is
// removed. The recording helper stands in for both.
#include "harness/harness.h"
#include "recorder/recorder_log.h"

using recorder::Record;

namespace {

class Launch : public harness::ScenarioTest {
 protected:
  void SetUp() override {
    harness::ScenarioTest::SetUp();
    ASSERT_TRUE(sandbox.InstallFile(L"App\\data.txt"));
    ASSERT_TRUE(recorder::Install(sandbox.Path(L"App\\tool.exe")));
    payload.files = {{u".", u"data.txt", 0}};
  }
  // Runs App\uninstall.exe with these switches, answering its boxes; the
  // records of what it started, once all ended.
  std::vector<Record> Run(const std::wstring& switches, const std::map<std::wstring, std::wstring>& variables = {}) {
    harness::Process process;
    sandbox.PrepareProcess(&process);
    process.SetEnvironment(L"RXTEST_RECORD_LOG", log);
    for (const auto& variable : variables) process.SetEnvironment(variable.first, variable.second);
    EXPECT_TRUE(process.Start(sandbox.WriteUninstaller(L"App\\uninstall.exe", payload), switches));
    EXPECT_TRUE(harness::ExitedWith(harness::FinishAnswering(&process), 0)) << harness::Narrow(switches);
    EXPECT_TRUE(process.WaitForDescendants(20000));
    return recorder::ReadLog(log);
  }

  pack::Payload payload = harness::StandardPayload();
  const std::wstring log = sandbox.Path(L"record.log");
};

// Relative to the install folder and run there (the forms of the text:
// the pre-uninstall unit tests). The log holds every run so far.
TEST_F(Launch, TheCommandRunsUnlessXComesWithoutS) {
  payload.header.command = u"\"tool.exe\"  -u";
  const std::pair<const wchar_t*, size_t> cases[] = {{L"/X", 0}, {L"/S /X", 1}, {L"/S", 2}, {L"/Q", 3}, {L"", 4}};
  for (const auto& c : cases) ASSERT_EQ(Run(c.first).size(), c.second) << harness::Narrow(c.first);
  for (const Record& record : recorder::ReadLog(log)) {
    EXPECT_EQ(record.program, sandbox.Path(L"App\\tool.exe"));
    EXPECT_EQ(record.arguments, L"-u");
    EXPECT_EQ(record.folder, sandbox.Path(L"App"));
    EXPECT_EQ(record.show, SW_SHOW);
  }
}

TEST_F(Launch, TheFinalPageOpensInConfirmedAndQuietRunsAloneInItsOwnFolder) {
  ASSERT_TRUE(sandbox.MakeFolder(L"Viewer") && recorder::Install(sandbox.Path(L"Viewer\\viewer.exe")));
  payload.header.finalPage = harness::U16(sandbox.Path(L"Viewer\\viewer.exe"));
  for (const wchar_t* switches : {L"/S", L"/X", L"/Q", L""}) Run(switches);
  const std::vector<Record> records = recorder::ReadLog(log);
  ASSERT_EQ(records.size(), 2u) << "/Q and the confirmed run";
  for (const Record& record : records) {
    EXPECT_EQ(record.program, sandbox.Path(L"Viewer\\viewer.exe"));
    EXPECT_EQ(record.folder, sandbox.Path(L"Viewer"));
    EXPECT_EQ(record.show, SW_SHOW);
  }
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
  EXPECT_TRUE(records[0].ended);
  EXPECT_EQ(records[0].check, L"present") << "nothing was removed before the command ended";
  EXPECT_EQ(records[0].dialog, L"none") << "the progress window opens after it";
  EXPECT_FALSE(sandbox.Exists(L"App\\data.txt")) << "and the removal followed";
}

}  // namespace
