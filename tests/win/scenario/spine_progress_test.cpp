// The progress dialog of a confirmed run, held open inside a call of the
// test extension library (RunHold), and the closing message after it.
#include "harness/harness.h"
// after windows.h
#include <commctrl.h>

using harness::Dialog;
using harness::Message;

namespace {

class ProgressDialog : public harness::ScenarioTest {};

// Esc, Enter, the close box and Cancel leave it open; the closing message
// comes once it has gone.
TEST_F(ProgressDialog, ShowsTheTitleAndTheFilesTextAtTheTopLeftOfTheHiddenMainWindow) {
  pack::Payload payload = harness::StandardPayload();
  ASSERT_TRUE(harness::AddTestExtension(&payload));
  harness::Process process;
  harness::DialogSequence dialogs(process);
  harness::RunHold hold;
  sandbox.PrepareProcess(&process);
  hold.Prepare(&process);
  ASSERT_TRUE(process.Start(sandbox.WriteUninstaller(L"App\\uninstall.exe", payload)));
  dialogs.Next(Message(MSG_CONFIRM)).Press(IDOK);
  ASSERT_TRUE(hold.WaitHeld(process));
  const std::vector<Dialog> open = harness::OpenDialogs(process);
  ASSERT_EQ(open.size(), 1u) << "the progress dialog alone";
  const Dialog progress = open[0];
  harness::SaveScreenshotForDocs(progress, L"progress");
  EXPECT_EQ(progress.Caption(), Message(MSG_TITLE));
  EXPECT_EQ(progress.Text(), Message(MSG_PROGRESS_FILES));
  EXPECT_EQ(progress.ProgressPosition(), 0);
  HWND owner = progress.Owner();
  wchar_t ownerClass[32] = L"";
  EXPECT_TRUE(GetClassNameW(owner, ownerClass, 32) && !wcscmp(ownerClass, L"RetraxClass") && !IsWindowVisible(owner));
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
  EXPECT_EQ(closing.Caption() + L"|" + closing.Text(), Message(MSG_TITLE) + L"|" + Message(MSG_DONE));
  EXPECT_EQ(closing.Buttons().size(), 1u);
  closing.Press(IDOK);
  EXPECT_TRUE(harness::ExitedWith(process.Finish(), 0));
}

}  // namespace
