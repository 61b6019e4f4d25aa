// retrax.exe with the test extension library in its payload: the entry
// points it calls in a whole run, and the callback table as the program
// itself (built without RTTI, size-optimised) hands it over.
#include "harness/harness.h"

namespace {

class ExtensionRun : public harness::ScenarioTest {};

TEST_F(ExtensionRun, AnImageIsCalledAroundTheRunAndLeavesNoFileBehind) {
  pack::Payload payload;
  payload.messages = {u"Title", u"Confirm", u"All gone"};
  ASSERT_TRUE(harness::AddTestExtension(&payload));
  harness::Process process;
  sandbox.PrepareProcess(&process);
  ASSERT_TRUE(sandbox.WriteFile(L"temp\\tmp1.tmp", {'x'}));
  process.SetEnvironment(L"RXTEST_EXT_LOG", sandbox.Path(L"calls.log"));
  process.SetEnvironment(L"RXTEST_EXT_EXPAND", L"#InstallDir#\\data");
  process.SetEnvironment(L"RXTEST_EXT_MESSAGE", L"0,2");
  ASSERT_TRUE(process.Start(sandbox.WriteUninstaller(L"App\\uninstall.exe", payload), L"/S"));
  EXPECT_TRUE(harness::ExitedWith(process.Finish(), 0));

  const std::string app = harness::Narrow(sandbox.Path(L"App"));
  EXPECT_EQ(harness::ReadLines(sandbox.Path(L"calls.log")),
            (std::vector<std::string>{"51 null", "expand " + std::to_string(app.size() + 5) + " " + app + "\\data",
                                      "message All gone", "reserved", "53 null", "56 null", "52 null"}));
  EXPECT_TRUE(sandbox.Exists(L"temp\\tmp1.tmp"));
  EXPECT_FALSE(sandbox.Exists(L"temp\\tmp2.tmp")) << "the image went with the unload";
}

}  // namespace
