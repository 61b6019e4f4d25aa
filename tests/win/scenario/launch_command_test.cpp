// The pre-uninstall command and the final page in whole runs: which runs
// start them, and how (the forms of the command: the pre-uninstall unit
// tests). The recording helper stands in for both.
#include "harness/harness.h"
#include "recorder/recorder_log.h"

namespace {

class Launch : public harness::ScenarioTest {};

TEST_F(Launch, TheCommandRunsUnlessXComesWithoutSAndThePageInConfirmedAndQuietRuns) {
  const std::wstring tool = sandbox.Path(L"App\\tool.exe"), page = sandbox.Path(L"Viewer\\viewer.exe");
  ASSERT_TRUE(sandbox.MakeFolder(L"Viewer") && recorder::Install(page));
  pack::Payload payload = harness::StandardPayload();
  payload.header.command = u"\"tool.exe\"  -u";  // relative to the install folder
  payload.header.finalPage = harness::U16(page);
  // Each run answers its boxes; the log holds all runs so far.
  const std::pair<const wchar_t*, size_t> cases[] = {{L"/X", 0}, {L"/S /X", 1}, {L"/S", 2}, {L"/Q", 4}, {L"/N", 5}, {L"", 7}};
  for (const auto& c : cases) {
    ASSERT_TRUE(sandbox.MakeFolder(L"App") && recorder::Install(tool));
    harness::Process process;
    sandbox.PrepareProcess(&process);
    process.SetEnvironment(L"RXTEST_RECORD_LOG", sandbox.Path(L"record.log"));
    ASSERT_TRUE(process.Start(sandbox.WriteUninstaller(L"App\\uninstall.exe", payload), c.first));
    EXPECT_TRUE(harness::ExitedWith(harness::FinishAnswering(&process), 0)) << harness::Narrow(c.first);
    EXPECT_TRUE(process.WaitForDescendants(20000));
    ASSERT_EQ(recorder::ReadLog(sandbox.Path(L"record.log")).size(), c.second) << harness::Narrow(c.first);
  }
  size_t pages = 0;
  for (const recorder::Record& record : recorder::ReadLog(sandbox.Path(L"record.log"))) {
    const bool isPage = record.program == page;
    pages += isPage;
    EXPECT_EQ(record.program, isPage ? page : tool);
    EXPECT_EQ(record.arguments, isPage ? L"" : L"-u");
    EXPECT_EQ(record.folder, sandbox.Path(isPage ? L"Viewer" : L"App")) << "each in its own folder";
    EXPECT_EQ(record.show, SW_SHOW);
  }
  EXPECT_EQ(pages, 2u);
}

}  // namespace
