// The progress dialog of a confirmed run, held open inside a call of the
// test extension library (RunHold), and the closing message after it.
#include "harness/harness.h"

#include <commctrl.h>

using harness::Dialog;
using harness::ExitedWith;
using harness::Message;

namespace {

class ProgressDialog : public harness::ScenarioTest {
 protected:
  // Confirms the uninstaller of an empty payload; the progress dialog
  // while the run holds before the removal.
  Dialog ConfirmAndHold() {
    EXPECT_TRUE(harness::AddTestExtension(&payload));
    sandbox.PrepareProcess(&process);
    hold.Prepare(&process);
    EXPECT_TRUE(process.Start(sandbox.WriteUninstaller(L"App\\uninstall.exe", payload)));
    const Dialog confirmation = dialogs.Next(Message(MSG_CONFIRM));
    if (confirmation) confirmation.Press(IDOK);
    if (!confirmation || !hold.WaitHeld(process)) return Dialog();
    const std::vector<Dialog> open = harness::OpenDialogs(process);
    EXPECT_EQ(open.size(), 1u) << "the progress dialog alone";
    return open.size() == 1 && open[0].IsProgressDialog() ? open[0] : Dialog();
  }

  pack::Payload payload = harness::StandardPayload();
  harness::Process process;
  harness::DialogSequence dialogs{process};
  harness::RunHold hold{53};
};

// Esc, Enter, the close box and Cancel leave it open; the closing message
// comes once it has gone.
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
  EXPECT_TRUE(origin.x == ownerOrigin.x && origin.y == ownerOrigin.y);

  progress.PressEsc();
  progress.PressEnter();
  progress.CloseWithCloseBox();
  progress.Press(IDCANCEL);
  // Posted messages are handled in order: once the bar shows 42, the keys
  // and commands before it have been handled too.
  PostMessageW(GetDlgItem(progress.window(), 1009), PBM_SETPOS, 42, 0);
  for (DWORD waited = 0; progress.ProgressPosition() != 42 && waited < 5000; waited += 10) Sleep(10);
  ASSERT_EQ(progress.ProgressPosition(), 42) << "the run did not handle its messages";
  EXPECT_TRUE(progress.IsOpen());

  hold.Release();
  const Dialog closing = dialogs.Next(Message(MSG_DONE));
  ASSERT_TRUE(closing) << "no closing message";
  EXPECT_FALSE(IsWindow(progress.window()));
  EXPECT_EQ(closing.Caption(), Message(MSG_TITLE));
  EXPECT_EQ(closing.Text(), Message(MSG_DONE));
  EXPECT_EQ(closing.Buttons().size(), 1u);
  closing.Press(IDOK);
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
}

// A box left open would hold the run until it is killed.
TEST_F(ProgressDialog, NoClosingMessageWhenItIsEmpty) {
  payload.messages[MSG_DONE] = u"";
  ASSERT_TRUE(ConfirmAndHold());
  hold.Release();
  EXPECT_TRUE(ExitedWith(process.Finish(10000), 0));
}

}  // namespace
