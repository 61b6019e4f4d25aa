// The question before anything is done: what the user sees, and that
// declining it leaves everything, the uninstaller included.
#include "harness/harness.h"

using harness::Dialog;
using harness::ExitedWith;

namespace {

class Confirmation : public harness::ScenarioTest {
 protected:
  // Starts App\uninstall.exe, listing App\app.exe; its first box.
  Dialog Start(harness::Process* run, const pack::Payload& payload = harness::StandardPayload()) {
    pack::Payload listing = payload;
    listing.files = {{u".", u"app.exe", 0}};
    EXPECT_TRUE(sandbox.InstallFile(L"App\\app.exe"));
    sandbox.PrepareProcess(run);
    EXPECT_TRUE(run->Start(sandbox.WriteUninstaller(L"App\\uninstall.exe", listing)));
    return harness::WaitForDialog(*run);
  }
  void ExpectDeclined(harness::Process* run) {
    EXPECT_TRUE(ExitedWith(run->Finish(), 0));
    EXPECT_TRUE(sandbox.Exists(L"App\\app.exe") && sandbox.Exists(L"App\\uninstall.exe"));
    EXPECT_TRUE(run->WaitForDescendants(0)) << "no removal copy either";
  }
};

TEST_F(Confirmation, AsksWithTheTitleAndQuestionOfThePayloadOverOkAndCancel) {
  harness::Process run;
  const Dialog box = Start(&run);
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
  ExpectDeclined(&run);
}

// Esc and the close box are a Cancel too; without messages it still asks.
TEST_F(Confirmation, EscTheCloseBoxAndAnEmptyBoxDeclineLikeCancel) {
  for (int way = 0; way < 3; ++way) {
    SCOPED_TRACE(way);
    pack::Payload payload = harness::StandardPayload();
    if (way == 2) payload.messages.clear();
    harness::Process run;
    const Dialog box = Start(&run, payload);
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

}  // namespace
