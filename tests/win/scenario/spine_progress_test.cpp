// The progress dialog of a confirmed run and the closing message after it.
// The dialog lives only as long as the removal; the test extension library
// holds the run right after the dialog opened (RunHold), servicing its
// windows the way the program does, so that the test can look at it.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "harness/harness.h"

using harness::Dialog;
using harness::ExitedWith;
using harness::Process;
using harness::RunHold;
using harness::WaitForDialog;

namespace {

const int kBeforeRemoval = 53;
const int kAfterRemoval = 56;
const int kProgressText = 1000;
const int kProgressBar = 1009;

std::wstring Message(int index) { return harness::Wide(harness::StandardMessages()[index]); }

class ProgressDialog : public harness::ScenarioTest {
 protected:
  void SetUp() override {
    harness::ScenarioTest::SetUp();
    ASSERT_TRUE(harness::AddTestExtension(&payload));
  }

  // Starts the uninstaller without switches, confirms, and returns the
  // progress dialog while the run holds at the extension call holdAt.
  Dialog ConfirmAndHold(int holdAt = kBeforeRemoval) {
    hold.reset(new RunHold(holdAt));
    const std::wstring program = sandbox.WriteUninstaller(L"App\\uninstall.exe", payload);
    EXPECT_FALSE(program.empty());
    sandbox.PrepareProcess(&process);
    hold->Prepare(&process);
    EXPECT_TRUE(process.Start(program));
    const Dialog confirmation = WaitForDialog(process);
    EXPECT_EQ(confirmation.Text(), Message(MSG_CONFIRM));
    if (!confirmation) return Dialog();
    confirmation.Press(IDOK);
    if (!hold->WaitHeld(process)) {
      ADD_FAILURE() << "the run did not reach the removal";
      return Dialog();
    }
    const std::vector<Dialog> open = harness::OpenDialogs(process);
    EXPECT_EQ(open.size(), 1u) << "the progress dialog alone";
    return open.empty() ? Dialog() : open[0];
  }

  // Lets the run go on and answers the closing message, which must come.
  void ReleaseAndAnswerTheClosingMessage(const Dialog& progress) {
    hold->Release();
    const Dialog closing = WaitForDialog(process, harness::kDefaultDialogTimeoutMs, {progress.window()});
    ASSERT_TRUE(closing) << "no closing message";
    EXPECT_EQ(closing.Text(), Message(MSG_DONE));
    closing.Press(IDOK);
    EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  }

  // Empty lists: nothing to remove, so nothing to ask on the way.
  pack::Payload payload = harness::StandardPayload();
  Process process;
  std::unique_ptr<RunHold> hold;
};

TEST_F(ProgressDialog, ShowsTheTitleAndTheFilesTextAtTheTopLeftOfTheHiddenMainWindow) {
  const Dialog progress = ConfirmAndHold();
  ASSERT_TRUE(progress);
  harness::SaveScreenshotForDocs(progress, L"progress");

  EXPECT_EQ(progress.Caption(), Message(MSG_TITLE));
  EXPECT_EQ(progress.ItemText(kProgressText), Message(MSG_PROGRESS_FILES));
  EXPECT_EQ(progress.ProgressPosition(), 0);

  HWND owner = progress.Owner();
  wchar_t ownerClass[32] = L"";
  GetClassNameW(owner, ownerClass, 32);
  EXPECT_STREQ(ownerClass, L"RetraxClass");
  EXPECT_FALSE(IsWindowVisible(owner));
  // The template's 0,0 places the dialog's client area on the main
  // window's client area, frame outside.
  POINT ownerOrigin = {0, 0}, origin = {0, 0};
  ClientToScreen(owner, &ownerOrigin);
  ClientToScreen(progress.window(), &origin);
  EXPECT_EQ(origin.x, ownerOrigin.x);
  EXPECT_EQ(origin.y, ownerOrigin.y);

  ReleaseAndAnswerTheClosingMessage(progress);
}

// Read inside the program by the test extension library: under Wine no
// other process can ask a window for its font.
TEST_F(ProgressDialog, ControlsUseTheTemplatesTahomaInNormalWeight) {
  process.SetEnvironment(L"RXTEST_EXT_LOG", sandbox.Path(L"extension.log"));
  const Dialog progress = ConfirmAndHold();
  ASSERT_TRUE(progress);
  std::vector<std::string> fonts;
  for (const std::string& line : harness::ReadLines(sandbox.Path(L"extension.log"))) {
    if (line.compare(0, 5, "font ") == 0) fonts.push_back(line);
  }
  ASSERT_EQ(fonts.size(), 3u) << "the dialog and its two controls";
  // "font 0 Tahoma <height> <weight>": the template's font, at its size.
  const std::string templateFont = fonts[0];
  ASSERT_EQ(templateFont.compare(0, 14, "font 0 Tahoma "), 0) << templateFont;
  const std::string height = templateFont.substr(14, templateFont.find(' ', 14) - 14);
  EXPECT_EQ(fonts[1], "font 1000 Tahoma " + height + " 400");
  EXPECT_EQ(fonts[2], "font 1009 Tahoma " + height + " 400");
  ReleaseAndAnswerTheClosingMessage(progress);
}

TEST_F(ProgressDialog, WithEmptyListsEndsOnTheRegistryTextWithTheBarUnmoved) {
  const Dialog progress = ConfirmAndHold(kAfterRemoval);
  ASSERT_TRUE(progress);
  EXPECT_EQ(progress.ItemText(kProgressText), Message(MSG_PROGRESS_REGISTRY));
  EXPECT_EQ(progress.ProgressPosition(), 0);
  ReleaseAndAnswerTheClosingMessage(progress);
}

TEST_F(ProgressDialog, EscEnterAndTheCloseBoxLeaveItOpen) {
  const Dialog progress = ConfirmAndHold();
  ASSERT_TRUE(progress);
  progress.PressEsc();
  progress.PressEnter();
  progress.CloseWithCloseBox();
  progress.Press(IDCANCEL);
  // Posted messages are handled in order: once the bar shows this position,
  // the keys and commands before it have been handled too.
  PostMessageW(GetDlgItem(progress.window(), kProgressBar), PBM_SETPOS, 42, 0);
  const DWORD start = GetTickCount();
  while (progress.ProgressPosition() != 42 && GetTickCount() - start < 5000) Sleep(10);
  ASSERT_EQ(progress.ProgressPosition(), 42) << "the run did not handle its messages";

  EXPECT_TRUE(progress.IsOpen());
  EXPECT_FALSE(process.Ended());
  ReleaseAndAnswerTheClosingMessage(progress);
}

TEST_F(ProgressDialog, IsGoneBeforeTheClosingMessage) {
  const Dialog progress = ConfirmAndHold();
  ASSERT_TRUE(progress);
  hold->Release();
  const Dialog closing = WaitForDialog(process, harness::kDefaultDialogTimeoutMs, {progress.window()});
  ASSERT_TRUE(closing);
  EXPECT_FALSE(IsWindow(progress.window()));
  EXPECT_EQ(harness::OpenDialogs(process).size(), 1u);

  EXPECT_EQ(closing.Caption(), Message(MSG_TITLE));
  EXPECT_EQ(closing.Text(), Message(MSG_DONE));
  ASSERT_EQ(closing.Buttons().size(), 1u);
  EXPECT_EQ(closing.Buttons()[0].id, IDOK);
  closing.Press(IDOK);
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
}

TEST_F(ProgressDialog, NoClosingMessageWhenItIsEmpty) {
  payload.messages[MSG_DONE] = u"";
  const Dialog progress = ConfirmAndHold();
  ASSERT_TRUE(progress);
  hold->Release();
  EXPECT_TRUE(harness::ExpectNoWindow(process, harness::kDefaultRunTimeoutMs, harness::kMessageBox));
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
}

}  // namespace
