// The progress bar and the message pump, and the main window closed from
// outside. Whole runs (ProgressDialog) show the placement and the font.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "driver_test_support.h"

namespace {

// Counters behind the bar's window procedure (its PBM_SETPOS) and behind a
// probe window, whose message posted before a step tells whether it pumped.
int setPosSent = 0, probesPumped = 0;
WNDPROC barProc = nullptr, staticProc = nullptr;
LRESULT CALLBACK CountingBar(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == PBM_SETPOS) ++setPosSent;
  return CallWindowProcW(barProc, w, m, wp, lp);
}
LRESULT CALLBACK Probe(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_APP) ++probesPumped;
  return CallWindowProcW(staticProc, w, m, wp, lp);
}

class Windows : public RunTest {
 protected:
  void SetUp() override {
    RunTest::SetUp();
    ASSERT_TRUE(RegisterMainWindowClass());
    ASSERT_TRUE(CreateMainWindow());
  }
  // Runs step with a probe message waiting; true when it was dispatched.
  template <typename Step>
  bool Pumps(Step step) {
    HWND probe = CreateWindowExW(0, L"Static", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    staticProc = (WNDPROC)SetWindowLongPtrW(probe, GWLP_WNDPROC, (LONG_PTR)Probe);
    probesPumped = 0;
    PostMessageW(probe, WM_APP, 0, 0);
    step();
    DestroyWindow(probe);
    return probesPumped > 0;
  }
};

TEST_F(Windows, ProgressMovesTheBarAndPumpsOnlyWhenThePercentageChanges) {
  run.progressBar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD, 0, 0, 100, 10, run.mainWindow, nullptr,
                                    nullptr, nullptr);
  barProc = (WNDPROC)SetWindowLongPtrW(run.progressBar, GWLP_WNDPROC, (LONG_PTR)CountingBar);
  setPosSent = 0;
  auto position = [] { return (int)SendMessageW(run.progressBar, PBM_GETPOS, 0, 0); };

  EXPECT_FALSE(Pumps([] { SetProgress(0); })) << "a first 0 changes nothing";
  EXPECT_EQ(setPosSent, 0);
  EXPECT_TRUE(Pumps([] { SetProgress(37); }));
  EXPECT_FALSE(Pumps([] { SetProgress(37); })) << "a repeat is not sent again";
  EXPECT_EQ(setPosSent, 1);
  EXPECT_EQ(position(), 37);
  SetProgress(150);
  EXPECT_EQ(position(), 100);
  SetProgress(0xFFFFFFFFu);
  EXPECT_EQ(setPosSent, 2) << "every value above 100 is 100";
}

// A task manager closes the hidden window. Its quit message is dropped by
// the pump of the next progress step, and the end of the run must not wait
// for a second one.
void CALLBACK GiveUp(HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(0); }

TEST_F(Windows, MainWindowClosedFromOutsideEndsWithoutWaiting) {
  PostMessageW(run.mainWindow, WM_CLOSE, 0, 0);
  SetProgress(10);
  EXPECT_EQ(run.mainWindow, nullptr) << "no box may be owned by the dead window";

  UINT_PTR timer = SetTimer(nullptr, 0, 2000, GiveUp);
  const DWORD start = GetTickCount();
  DestroyMainWindow();
  KillTimer(nullptr, timer);
  EXPECT_LT(GetTickCount() - start, 1000u) << "the final drain waited for a quit message that was gone";
}

}  // namespace
