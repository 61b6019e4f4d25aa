// A confirmed run as a person meets it: the question before anything is
// done (declining it leaves everything, the uninstaller included), the
// progress dialog, held open inside a call of the test extension library
// (RunHold), and the closing message after it.
#include "harness/harness.h"
// after windows.h
#include <commctrl.h>

using harness::Dialog;
using harness::Message;

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
    const Dialog box = harness::WaitForDialog(run);
    ASSERT_TRUE(box) << "no confirmation";
    EXPECT_EQ(box.Caption() + L"|" + box.Text(), way == 3 ? L"|" : Message(MSG_TITLE) + L"|" + Message(MSG_CONFIRM));
    const std::vector<harness::Button> buttons = box.Buttons();
    ASSERT_EQ(buttons.size(), 2u);
    EXPECT_TRUE(buttons[0].id == IDOK && buttons[1].id == IDCANCEL);
    EXPECT_FALSE(IsWindowVisible(box.Owner())) << "owned by the hidden main window";
    if (way == 1) box.PressEsc();
    if (way == 2) box.CloseWithCloseBox();
    if (way == 0 || way == 3) box.Press(IDCANCEL);
    EXPECT_TRUE(harness::ExitedWith(run.Finish(), 0));
    EXPECT_TRUE(sandbox.Exists(L"App\\app.exe") && sandbox.Exists(L"App\\uninstall.exe"));
    EXPECT_TRUE(run.WaitForDescendants(0)) << "no removal copy either";
  }
}

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

// A confirmed run with a log, watched until the extension library holds it
// after the removal and then killed: the bar never went back and stands at
// 100, and the log holds every action up to the last, but no end.
TEST_F(ProgressDialog, TheBarOnlyMovesForwardAndTheLogOfAKilledRunEndsAtItsLastAction) {
  pack::Payload payload = harness::StandardPayload();
  ASSERT_TRUE(harness::AddTestExtension(&payload));
  const std::u16string app = harness::U16(sandbox.Path(L"App"));
  for (int i = 0; i < 60; ++i) {
    const std::u16string n = harness::U16(std::to_wstring(i));
    payload.files.push_back({app + u"\\" + n, u"f.txt", 0});
    payload.shortcuts.push_back({0, app + u"\\s" + n, u"", u"s.lnk"});
    payload.registry.push_back({harness::kPayloadHkcu, harness::U16(sandbox.RegistryKey(std::to_wstring(i)))});
  }
  harness::Process process;
  harness::DialogSequence dialogs(process);
  harness::RunHold hold;
  sandbox.PrepareProcess(&process);
  hold.Prepare(&process, 56);
  const std::wstring log = sandbox.Path(L"run.log");
  ASSERT_TRUE(process.Start(sandbox.WriteUninstaller(L"App\\uninstall.exe", payload), L"/L \"" + log + L"\""));
  dialogs.Next(Message(MSG_CONFIRM)).Press(IDOK);
  Dialog progress;
  for (DWORD waited = 0; !progress && waited < 15000; waited += 10) {
    for (const Dialog& open : harness::OpenDialogs(process))
      if (open.IsProgressDialog()) progress = open;
    Sleep(10);
  }
  ASSERT_TRUE(progress);
  for (int last = 0; !hold.IsHeld() && !process.Ended();) {
    const int position = progress.ProgressPosition();
    if (position < 0) continue;  // busy for a second: no answer
    EXPECT_GE(position, last) << "the bar went back";
    last = position;
  }
  EXPECT_EQ(progress.ProgressPosition(), 100);
  EXPECT_TRUE(process.Finish(0).timedOut);
  const std::vector<std::string> lines = harness::ReadLines(log);
  ASSERT_GT(lines.size(), 7u);
  EXPECT_EQ(lines[6], "question 1, OK by the user");
  EXPECT_EQ(lines.back().rfind("registry: not found HKCU\\", 0), 0u) << lines.back();
}

}  // namespace
