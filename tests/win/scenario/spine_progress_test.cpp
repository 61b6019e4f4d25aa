// The progress dialog of a confirmed run and the closing message after it.
// The dialog lives only as long as the removal; the test extension library
// holds the run inside one of its calls (RunHold), servicing the windows as
// the program does, so that the test can look at it.
#include "harness/harness.h"

#include <commctrl.h>

#include <memory>

using harness::Dialog;
using harness::ExitedWith;
using harness::Message;

namespace {

const int kBeforeRemoval = 53, kAfterRemoval = 56;

class ProgressDialog : public harness::ScenarioTest {
 protected:
  // Starts the uninstaller of an empty payload, confirms, and returns the
  // progress dialog while the run holds at the extension call holdAt.
  Dialog ConfirmAndHold(int holdAt = kBeforeRemoval) {
    EXPECT_TRUE(harness::AddTestExtension(&payload));
    hold.reset(new harness::RunHold(holdAt));
    sandbox.PrepareProcess(&process);
    hold->Prepare(&process);
    EXPECT_TRUE(process.Start(sandbox.WriteUninstaller(L"App\\uninstall.exe", payload)));
    const Dialog confirmation = dialogs.Next(Message(MSG_CONFIRM));
    if (!confirmation) return Dialog();
    confirmation.Press(IDOK);
    if (!hold->WaitHeld(process)) return Dialog();
    const std::vector<Dialog> open = harness::OpenDialogs(process);
    EXPECT_EQ(open.size(), 1u) << "the progress dialog alone";
    return open.size() == 1 && open[0].IsProgressDialog() ? open[0] : Dialog();
  }
  // Lets the run go on; the closing message must come after the progress
  // dialog has gone.
  void ReleaseAndAnswerTheClosingMessage(const Dialog& progress) {
    hold->Release();
    const Dialog closing = dialogs.Next(Message(MSG_DONE));
    ASSERT_TRUE(closing) << "no closing message";
    EXPECT_FALSE(IsWindow(progress.window()));
    EXPECT_EQ(closing.Caption(), Message(MSG_TITLE));
    EXPECT_EQ(closing.Text(), Message(MSG_DONE));
    EXPECT_EQ(closing.Buttons().size(), 1u);
    closing.Press(IDOK);
    EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  }

  pack::Payload payload = harness::StandardPayload();  // nothing to ask on the way
  harness::Process process;
  harness::DialogSequence dialogs{process};
  std::unique_ptr<harness::RunHold> hold;
};

// Esc, Enter, the close box and Cancel leave it open.
TEST_F(ProgressDialog, ShowsTheTitleAndTheFilesTextAtTheTopLeftOfTheHiddenMainWindow) {
  const Dialog progress = ConfirmAndHold();
  ASSERT_TRUE(progress);
  harness::SaveScreenshotForDocs(progress, L"progress");
  EXPECT_EQ(progress.Caption(), Message(MSG_TITLE));
  EXPECT_EQ(progress.ItemText(1000), Message(MSG_PROGRESS_FILES));
  EXPECT_EQ(progress.ProgressPosition(), 0);
  HWND owner = progress.Owner();
  wchar_t ownerClass[32] = L"";
  GetClassNameW(owner, ownerClass, 32);
  EXPECT_STREQ(ownerClass, L"RetraxClass");
  EXPECT_FALSE(IsWindowVisible(owner));
  POINT ownerOrigin = {0, 0}, origin = {0, 0};  // client areas
  ClientToScreen(owner, &ownerOrigin);
  ClientToScreen(progress.window(), &origin);
  EXPECT_EQ(origin.x, ownerOrigin.x);
  EXPECT_EQ(origin.y, ownerOrigin.y);

  progress.PressEsc();
  progress.PressEnter();
  progress.CloseWithCloseBox();
  progress.Press(IDCANCEL);
  // Posted messages are handled in order: once the bar shows this position,
  // the keys and commands before it have been handled too.
  PostMessageW(GetDlgItem(progress.window(), 1009), PBM_SETPOS, 42, 0);
  for (DWORD waited = 0; progress.ProgressPosition() != 42 && waited < 5000; waited += 10) Sleep(10);
  ASSERT_EQ(progress.ProgressPosition(), 42) << "the run did not handle its messages";
  EXPECT_TRUE(progress.IsOpen());
  ReleaseAndAnswerTheClosingMessage(progress);
}

TEST_F(ProgressDialog, WithEmptyListsEndsOnTheRegistryTextWithTheBarUnmoved) {
  const Dialog progress = ConfirmAndHold(kAfterRemoval);
  ASSERT_TRUE(progress);
  EXPECT_EQ(progress.ItemText(1000), Message(MSG_PROGRESS_REGISTRY));
  EXPECT_EQ(progress.ProgressPosition(), 0);
  ReleaseAndAnswerTheClosingMessage(progress);
}

TEST_F(ProgressDialog, NoClosingMessageWhenItIsEmpty) {
  payload.messages[MSG_DONE] = u"";
  ASSERT_TRUE(ConfirmAndHold());
  hold->Release();
  EXPECT_TRUE(harness::ExpectNoWindow(process, harness::kDefaultRunTimeoutMs, harness::kMessageBox));
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
}

}  // namespace
