// The question before anything is done: what the user sees, and that
// declining it leaves everything, the uninstaller included.
#include "harness/harness.h"

namespace {

class Confirmation : public harness::ScenarioTest {};

// Cancel, Esc and the close box decline alike; a payload without messages
// still asks, in a box without text.
TEST_F(Confirmation, AsksWithTheTitleAndQuestionOfThePayloadOverOkAndCancel) {
  ASSERT_TRUE(sandbox.InstallFile(L"App\\app.exe"));
  for (int way = 0; way < 4; ++way) {
    SCOPED_TRACE(way);
    pack::Payload payload = harness::StandardPayload();
    if (way == 3) payload.messages.clear();
    payload.files = {{u".", u"app.exe", 0}};
    harness::Process run;
    sandbox.PrepareProcess(&run);
    ASSERT_TRUE(run.Start(sandbox.WriteUninstaller(L"App\\uninstall.exe", payload)));
    const harness::Dialog box = harness::WaitForDialog(run);
    ASSERT_TRUE(box) << "no confirmation";
    EXPECT_EQ(box.Caption() + L"|" + box.Text(),
              way == 3 ? L"|" : harness::Message(MSG_TITLE) + L"|" + harness::Message(MSG_CONFIRM));
    const std::vector<harness::Button> buttons = box.Buttons();
    ASSERT_EQ(buttons.size(), 2u);
    EXPECT_TRUE(buttons[0].id == IDOK && buttons[1].id == IDCANCEL);
    EXPECT_FALSE(IsWindowVisible(box.Owner())) << "owned by the hidden main window";
    if (way == 0) harness::SaveScreenshotForDocs(box, L"confirmation");
    if (way == 1) box.PressEsc();
    if (way == 2) box.CloseWithCloseBox();
    if (way == 0 || way == 3) box.Press(IDCANCEL);
    EXPECT_TRUE(harness::ExitedWith(run.Finish(), 0));
    EXPECT_TRUE(sandbox.Exists(L"App\\app.exe") && sandbox.Exists(L"App\\uninstall.exe"));
    EXPECT_TRUE(run.WaitForDescendants(0)) << "no removal copy either";
  }
}

}  // namespace
