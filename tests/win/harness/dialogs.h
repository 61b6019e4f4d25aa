// Driving the program's windows like a person: wait for a message box or
// dialog of the process under test, read it, answer it.
//
// What works under Wine (and on Windows): top-level windows found with
// EnumWindows and filtered by process id, class "#32770", visible. The
// filter by process matters: Wine's crash dialog is a #32770 as well.
// Texts of another process's windows are read with GetWindowTextW (the
// system keeps them, so this works even while the program is busy);
// anything asked by message (fonts, the bar's position) uses
// SendMessageTimeoutW and gives up after a second.
//
// Answers are posted, never sent, and handled by the program's own message
// loop, as a click would be:
//  - Press(id): WM_COMMAND with BN_CLICKED from that button;
//  - PressEsc / PressEnter: WM_KEYDOWN and WM_KEYUP to the window that has
//    the focus in the program's thread (GetGUIThreadInfo), or the dialog.
//    The program's IsDialogMessageW, or the modal loop of the box, turns
//    them into WM_COMMAND IDCANCEL or the default button, as for a real
//    key. A busy program that pumps nothing handles them later, or never;
//  - CloseWithCloseBox: WM_SYSCOMMAND SC_CLOSE, the close box's command.
// No real input (SendInput) is used: under the virtual display without a
// window manager no window reliably has the keyboard focus.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "harness/process.h"

namespace harness {

enum : DWORD { kDefaultDialogTimeoutMs = 15000 };

struct Button {
  int id;
  std::wstring label;
};

// A visible top-level dialog (class #32770) of the program under test. A
// plain handle: it does not end the dialog when it goes.
class Dialog {
 public:
  Dialog() = default;
  explicit Dialog(HWND window, DWORD seenAfterMs = 0) : window_(window), seenAfterMs_(seenAfterMs) {}

  explicit operator bool() const { return window_ != NULL; }
  HWND window() const { return window_; }
  // Milliseconds from the program's start until the dialog was first seen
  // (within the polling interval of about 5 ms).
  DWORD seenAfterMs() const { return seenAfterMs_; }
  // The window still exists and is visible.
  bool IsOpen() const;
  // Waits up to timeoutMs for the dialog to go; true when it went.
  bool WaitClosed(DWORD timeoutMs = kDefaultDialogTimeoutMs) const;

  std::wstring Caption() const;
  // A message box's text (its static control 0xFFFF, in Windows and Wine);
  // for the program's own dialogs, their text control 1000.
  std::wstring Text() const;
  std::wstring ItemText(int id) const;
  // Push buttons in child order (for a message box, left to right).
  std::vector<Button> Buttons() const;
  bool HasButton(int id) const { return GetDlgItem(window_, id) != NULL; }
  // Dialog 110: the one with the progress bar control 1009.
  bool IsProgressDialog() const { return HasButton(1009); }
  // The owner window (GW_OWNER); NULL for an unowned box.
  HWND Owner() const { return GetWindow(window_, GW_OWNER); }
  // Window rectangle in screen coordinates.
  RECT Rect() const;
  // The position of the progress bar control 1009 (PBM_GETPOS); -1 when
  // there is none or it does not answer.
  int ProgressPosition() const;
  // The font handle of control id, or of the dialog itself for id 0
  // (WM_GETFONT); NULL when it has none or does not answer.
  HFONT Font(int id) const;
  // That font as its LOGFONTW (GetObjectW on the handle). Works where font
  // handles are valid in every process of the session, as on Windows; Wine
  // keeps them per process, so there it is false and only the handles
  // themselves can be compared.
  bool ControlFont(int id, LOGFONTW* font) const;

  void Press(int id) const;
  void PressEsc() const;
  void PressEnter() const;
  void CloseWithCloseBox() const;

 private:
  void PressKey(WORD key) const;

  HWND window_ = NULL;
  DWORD seenAfterMs_ = 0;
};

// Every visible top-level #32770 of the process, in z-order.
std::vector<Dialog> OpenDialogs(const Process& process);

// Waits up to timeoutMs for a visible #32770 of the process other than
// those in except (the ones already handled). An empty Dialog when none
// came before the limit or before the process ended.
Dialog WaitForDialog(const Process& process, DWORD timeoutMs = kDefaultDialogTimeoutMs,
                     const std::vector<HWND>& except = {});

// The dialogs of one run in the order they come, each once; the progress
// dialog is passed over (it stays open behind the questions of the
// removal). For runs whose questions are answered one after another:
//   harness::DialogSequence dialogs(process);
//   dialogs.Next().Press(IDOK);             // the confirmation
//   EXPECT_EQ(dialogs.Next().Text(), ...);  // the next box
class DialogSequence {
 public:
  explicit DialogSequence(const Process& process) : process_(process) {}
  // The next dialog not returned before; an empty Dialog when none came
  // within the limit or before the process ended.
  Dialog Next(DWORD timeoutMs = kDefaultDialogTimeoutMs);

 private:
  const Process& process_;
  std::vector<HWND> seen_;
};

// What ExpectNoWindow looks for: any visible top-level window (the main
// window is never shown, so any is one too many), or message boxes alone
// (dialogs with the static text control 0xFFFF), for runs in which the
// progress dialog may come and go.
enum WindowKind { kAnyWindow, kMessageBox };

// Passes when the process shows no window of that kind from now until it
// ends, waiting at most timeoutMs for its end; fails with the first
// window's class, caption and text. Polls every few milliseconds: a window
// shown for less than that can slip through.
::testing::AssertionResult ExpectNoWindow(const Process& process, DWORD timeoutMs = kDefaultRunTimeoutMs,
                                          WindowKind kind = kAnyWindow);

// Saves what the virtual display shows inside area (the whole screen when
// NULL) as a 24-bit BMP file. Read back from the screen with BitBlt, so
// the windows must be uncovered and painted; under Wine's X11 driver that
// is the X server's root window, the display of scripts/wine-run.sh's Xvfb.
bool SaveScreenshot(const std::wstring& path, const RECT* area = NULL);

// For the README and for inspection: when the environment variable
// RETRAX_SCREENSHOT_DIR names a folder (inside the prefix, e.g.
// C:\retrax-screenshots), saves the dialog with a margin around it as
// <folder>\<name>.bmp, after a short pause for its painting. Nothing
// happens without the variable. docs/screenshots/update.sh runs the tests
// that take them and turns the files into the PNGs of docs/screenshots.
void SaveScreenshotForDocs(const Dialog& dialog, const std::wstring& name);

}  // namespace harness
