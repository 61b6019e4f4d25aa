// The question before anything is done: what the user sees, and what
// declining it leaves behind (everything, the uninstaller included).
#include "harness/harness.h"

using harness::Dialog;
using harness::ExitedWith;

namespace {

class Confirmation : public harness::ScenarioTest {
 protected:
  // Starts the sample application's uninstaller without switches and
  // returns its first box, which must be the confirmation.
  Dialog Start(harness::Process* run) {
    EXPECT_TRUE(app.ok());
    sandbox.PrepareProcess(run);
    EXPECT_TRUE(run->Start(app.WriteUninstaller()));
    return harness::WaitForDialog(*run);
  }
  // A declined run ends with 0, removes nothing and starts nothing.
  void ExpectDeclined(harness::Process* run) {
    EXPECT_TRUE(ExitedWith(run->Finish(), 0));
    EXPECT_EQ(app.Removed(), std::vector<std::wstring>());
    EXPECT_TRUE(harness::FileExists(app.uninstaller()));
    EXPECT_TRUE(run->WaitForDescendants(0)) << "no removal copy either";
  }

  harness::SampleApp app{sandbox};
};

TEST_F(Confirmation, AsksWithTheTitleAndQuestionOfThePayloadOverOkAndCancel) {
  harness::Process process;
  const Dialog box = Start(&process);
  ASSERT_TRUE(box) << "no confirmation";
  EXPECT_EQ(box.Caption(), L"Sample App Uninstall");
  EXPECT_EQ(box.Text(), L"Do you want to remove Sample App and all of its components from this computer?");
  const std::vector<harness::Button> buttons = box.Buttons();
  ASSERT_EQ(buttons.size(), 2u);
  EXPECT_EQ(buttons[0].id, IDOK);
  EXPECT_EQ(buttons[1].id, IDCANCEL);
  EXPECT_FALSE(IsWindowVisible(box.Owner())) << "owned by the hidden main window";
  harness::SaveScreenshotForDocs(box, L"confirmation");
  box.Press(IDCANCEL);
  ExpectDeclined(&process);
}

// Esc and the close box are a Cancel too; a box without any text still asks.
TEST_F(Confirmation, EscTheCloseBoxAndAnEmptyBoxDeclineLikeCancel) {
  for (int way = 0; way < 3; ++way) {
    SCOPED_TRACE(way);
    if (way == 2) app.payload.messages.clear();
    harness::Process run;
    const Dialog box = Start(&run);
    ASSERT_TRUE(box);
    if (way == 0) box.PressEsc();
    if (way == 1) box.CloseWithCloseBox();
    if (way == 2) {
      EXPECT_EQ(box.Caption() + box.Text(), L"");
      EXPECT_EQ(box.Buttons().size(), 2u);
      box.Press(IDCANCEL);
    }
    ExpectDeclined(&run);
  }
}

TEST_F(Confirmation, EnterConfirmsAndTheRunGoesOnToItsClosingMessage) {
  const std::wstring program = sandbox.WriteUninstaller(L"App\\uninstall.exe", harness::StandardPayload());
  harness::Process process;
  sandbox.PrepareProcess(&process);
  ASSERT_TRUE(process.Start(program));
  harness::DialogSequence dialogs(process);
  const Dialog confirmation = dialogs.Next();
  ASSERT_TRUE(confirmation);
  confirmation.PressEnter();
  const Dialog closing = dialogs.Next(harness::Message(MSG_DONE));
  ASSERT_TRUE(closing) << "the run ended without its closing message";
  EXPECT_EQ(closing.Text(), harness::Message(MSG_DONE));
  closing.PressEnter();
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
}

}  // namespace
