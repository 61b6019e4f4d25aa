// The hidden main window closed from outside, in the test's own process.
#include "driver_test_support.h"

namespace {

using MainWindow = RunTest;

// A task manager closes the hidden window. Its quit message is dropped by
// the pump of the next progress step, and the end of the run must not wait
// for a second one.
void CALLBACK GiveUp(HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(0); }

TEST_F(MainWindow, ClosedFromOutsideItEndsTheRunWithoutWaiting) {
  ASSERT_TRUE(RegisterMainWindowClass() && CreateMainWindow());
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
