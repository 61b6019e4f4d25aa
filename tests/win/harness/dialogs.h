// Driving the program's windows like a person. Dialogs are top-level
// "#32770" windows of the process (Wine's crash dialog is one too), taken
// only once ready: visible, enabled, and answering a sent message, which
// the program's thread does only where it waits for messages, so a ready
// box has been through WM_INITDIALOG, its texts set and its focus on its
// default button. (On a loaded machine a box was once taken with its text
// still empty, and the Enter posted to it went nowhere.) Answers are
// posted as a click or a key would be: BN_CLICKED from a button, or
// WM_KEYDOWN/UP to the focused control, which the box's IsDialogMessageW
// turns into IDCANCEL or the default button. No SendInput: without a window
// manager no window reliably has the keyboard focus.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "harness/process.h"

namespace harness {

enum : DWORD { kDefaultDialogTimeoutMs = 15000, kSettleMs = 200 };

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
  bool WaitClosed(DWORD timeoutMs = kDefaultDialogTimeoutMs) const;  // true once it went
  std::wstring Caption() const;
  // A message box's text (control 0xFFFF), or the program's dialogs' 1000.
  std::wstring Text() const;
  std::wstring ItemText(int id) const;
  // Push buttons in child order (for a message box, left to right).
  std::vector<Button> Buttons() const;
  bool HasButton(int id) const { return GetDlgItem(window_, id) != NULL; }
  bool IsProgressDialog() const { return HasButton(1009); }  // its bar
  HWND Owner() const { return GetWindow(window_, GW_OWNER); }
  int ProgressPosition() const;  // -1 without a bar or an answer
  void Press(int id) const;
  void PressEsc() const { PressKey(VK_ESCAPE); }
  void PressEnter() const { PressKey(VK_RETURN); }
  void CloseWithCloseBox() const { PostMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0); }

 private:
  void PressKey(WORD key) const;

  HWND window_ = NULL;
};

// Every visible top-level #32770 of the process, ready or not.
std::vector<Dialog> OpenDialogs(const Process& process);

// Waits for a ready dialog of the process not in except (those handled).
// With text, for one that shows it; at the limit, a ready one that shows
// another text, so that the test's check says what came. Without, a box
// with no text is taken once it has shown none for kSettleMs. Empty when
// none came before the limit or the end of the process.
Dialog WaitForDialog(const Process& process, DWORD timeoutMs = kDefaultDialogTimeoutMs,
                     const std::vector<HWND>& except = {}, const std::wstring* text = nullptr);

// The dialogs of one run in order, each once, passing over the progress
// dialog (it stays open behind the removal's questions).
class DialogSequence {
 public:
  explicit DialogSequence(const Process& process) : process_(process) {}
  Dialog Next(DWORD timeoutMs = kDefaultDialogTimeoutMs) { return Take(nullptr, timeoutMs); }
  Dialog Next(const std::wstring& text, DWORD timeoutMs = kDefaultDialogTimeoutMs) { return Take(&text, timeoutMs); }

 private:
  Dialog Take(const std::wstring* text, DWORD timeoutMs);
  const Process& process_;
  std::vector<HWND> seen_;
};

// Passes when the process shows no visible top-level window (the main
// window never is) until it ends, within timeoutMs. Polled: a window shown
// for a few milliseconds can slip through.
::testing::AssertionResult ExpectNoWindow(const Process& process, DWORD timeoutMs = kDefaultRunTimeoutMs);

// With RETRAX_SCREENSHOT_DIR set (docs/screenshots/update.sh), saves what
// the display shows of the dialog as <that folder>\<name>.bmp.
void SaveScreenshotForDocs(const Dialog& dialog, const std::wstring& name);

}  // namespace harness
