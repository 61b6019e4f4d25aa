// Driving the program's windows like a person: wait for a message box or
// dialog of the process under test, read it, answer it.
//
// Dialogs are top-level windows of class "#32770" found with EnumWindows
// and filtered by process id (Wine's crash dialog is a #32770 as well).
// One counts as there only once it is ready for a person: visible,
// enabled, and answering a sent message. The program's thread answers one
// only where it waits for messages, so a ready box has been through
// WM_INITDIALOG: its texts are set and its focus is on its default button.
// On a loaded machine a box was once taken while its text was still empty,
// and the Enter posted to it went nowhere.
//
// Texts are read with GetWindowTextW, which the system answers without the
// program. Answers are posted, as a click or a key would be, and handled by
// the program's own message loop:
//  - Press(id): WM_COMMAND with BN_CLICKED from that button;
//  - PressEsc / PressEnter: WM_KEYDOWN and WM_KEYUP to the window with the
//    focus in the program's thread, or the dialog; the box's loop
//    (IsDialogMessageW) makes IDCANCEL or the default button of them;
//  - CloseWithCloseBox: WM_SYSCOMMAND SC_CLOSE.
// No real input (SendInput): under the virtual display without a window
// manager no window reliably has the keyboard focus.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "harness/process.h"

namespace harness {

enum : DWORD { kDefaultDialogTimeoutMs = 15000 };
enum : DWORD { kSettleMs = 200 };

struct Button {
  int id;
  std::wstring label;
};

// A top-level dialog of the program under test; a plain handle.
class Dialog {
 public:
  Dialog() = default;
  explicit Dialog(HWND window) : window_(window) {}

  explicit operator bool() const { return window_ != NULL; }
  HWND window() const { return window_; }
  bool IsOpen() const { return window_ && IsWindow(window_) && IsWindowVisible(window_); }
  // Waits up to timeoutMs for the dialog to go; true when it went.
  bool WaitClosed(DWORD timeoutMs = kDefaultDialogTimeoutMs) const;

  std::wstring Caption() const;
  // A message box's text (its static control 0xFFFF); for the program's
  // own dialogs, their text control 1000.
  std::wstring Text() const;
  std::wstring ItemText(int id) const;
  // Push buttons in child order (for a message box, left to right).
  std::vector<Button> Buttons() const;
  bool HasButton(int id) const { return GetDlgItem(window_, id) != NULL; }
  // Dialog 110: the one with the progress bar control 1009.
  bool IsProgressDialog() const { return HasButton(1009); }
  HWND Owner() const { return GetWindow(window_, GW_OWNER); }
  // The bar's position (PBM_GETPOS); -1 when there is none or no answer.
  int ProgressPosition() const;

  void Press(int id) const;
  void PressEsc() const { PressKey(VK_ESCAPE); }
  void PressEnter() const { PressKey(VK_RETURN); }
  void CloseWithCloseBox() const { PostMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0); }

 private:
  void PressKey(WORD key) const;

  HWND window_ = NULL;
};

// Every visible top-level #32770 of the process, in z-order, ready or not.
std::vector<Dialog> OpenDialogs(const Process& process);

// Waits up to timeoutMs for a ready dialog of the process other than those
// in except (the ones already handled). With text, waits for one that
// shows it; when none did by the limit, returns a ready one that shows
// something else, so that the test's check of its text says what came.
// Without, a box that shows no text is taken once it has shown none for
// kSettleMs. An empty Dialog when none came before the limit or the end of
// the process.
Dialog WaitForDialog(const Process& process, DWORD timeoutMs = kDefaultDialogTimeoutMs,
                     const std::vector<HWND>& except = {}, const std::wstring* text = nullptr);

// The dialogs of one run in the order they come, each once, the progress
// dialog passed over (it stays open behind the questions of the removal):
//   harness::DialogSequence dialogs(process);
//   dialogs.Next().Press(IDOK);                  // the confirmation
//   EXPECT_EQ(dialogs.Next(text).Text(), text);  // the next box
class DialogSequence {
 public:
  explicit DialogSequence(const Process& process) : process_(process) {}
  // The next dialog, as WaitForDialog finds it.
  Dialog Next(DWORD timeoutMs = kDefaultDialogTimeoutMs);
  Dialog Next(const std::wstring& text, DWORD timeoutMs = kDefaultDialogTimeoutMs);

 private:
  const Process& process_;
  std::vector<HWND> seen_;
};

// What ExpectNoWindow looks for: any visible top-level window (the main
// window is never shown), or message boxes alone (those with the static
// control 0xFFFF), for runs in which the progress dialog may come and go.
enum WindowKind { kAnyWindow, kMessageBox };

// Passes when the process shows no window of that kind from now until it
// ends, waiting at most timeoutMs for its end; fails with the first
// window's class, caption and text. Polled: a window shown for less than a
// few milliseconds can slip through.
::testing::AssertionResult ExpectNoWindow(const Process& process, DWORD timeoutMs = kDefaultRunTimeoutMs,
                                          WindowKind kind = kAnyWindow);

// When the environment variable RETRAX_SCREENSHOT_DIR names a folder inside
// the prefix, saves what the virtual display shows of the dialog, with a
// margin, as <folder>\<name>.bmp (docs/screenshots/update.sh turns them
// into the PNGs of docs/screenshots). Nothing happens without it.
void SaveScreenshotForDocs(const Dialog& dialog, const std::wstring& name);

}  // namespace harness
