// The command line as installers, the self-removal copy and people write
// it (whole runs show what each switch does), and the hidden main window.
#include "driver/command_line.h"
#include "unit_test_support.h"
// after windows.h
#include <commctrl.h>
#include <uxtheme.h>

namespace {

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    run = RunState();
    run.workPath = workPath_;
    run.logPath = logPath_;
  }
  void TearDown() override { run = RunState(); }
  std::string Switches() {
    return std::string(run.quiet ? "Q" : "") + (run.switchS ? "S" : "") + (run.switchX ? "X" : "") + (run.unattended ? "N" : "");
  }
  wchar_t workPath_[RX_MAX_PATH], logPath_[RX_MAX_PATH];
};

TEST_F(CommandLine, SwitchesAndTheDeletionPath) {
  const struct {
    const wchar_t* arguments;  // after the quoted program path and a space
    const char* switches;
    RunMode mode;
    const wchar_t* path;  // workPath afterwards
  } cases[] = {
      {L"-s", "QS", RUN_UNINSTALL, L""},
      {L"/Sabc-X", "QSX", RUN_UNINSTALL, L""},  // a separator inside a word starts a switch
      {L"/Q later /S", "Q", RUN_UNINSTALL, L""},  // a bare word ends the switches
      {L"/D \"C:\\App Folder\\uninst.exe\" /S", "QS", RUN_DELETION, L"C:\\App Folder\\uninst.exe"},
      {L"/D \"C:\\No End\\u.exe", "", RUN_DELETION, L"C:\\No End\\u.exe"},
      {L"/D \"\" /S", "QS", RUN_UNINSTALL, L""},  // an empty path: a normal run
      {L"/NoQuestions /S", "QSN", RUN_UNINSTALL, L""},
  };
  for (const auto& c : cases) {
    const std::wstring line = std::wstring(L"\"C:\\Program Files\\App\\uninst.exe\" ") + c.arguments;
    SCOPED_TRACE(std::string(line.begin(), line.end()));
    EXPECT_EQ(ParseCommandLineText(line.c_str()), c.mode);
    EXPECT_EQ(Switches(), c.switches);
    EXPECT_STREQ(workPath_, c.path);
  }
}

// A shortened path would name another file, and the deletion mode deletes
// it and its folder; a log under a cut name would land elsewhere. Either is
// refused and the rest of the line is still read.
TEST_F(CommandLine, APathTooLongIsRefusedNotCut) {
  const std::wstring p = L"u.exe /D \"C:\\";
  EXPECT_EQ(ParseCommandLineText((p + std::wstring(RX_MAX_PATH - 4, L'f') + L"\"").c_str()), RUN_DELETION);
  EXPECT_EQ(wcslen(workPath_), (size_t)RX_MAX_PATH - 1) << "the longest path that fits";
  EXPECT_EQ(ParseCommandLineText((p + std::wstring(RX_MAX_PATH - 3, L'l') + L"\" /S").c_str()), RUN_NOTHING);
  EXPECT_STREQ(workPath_, L"");
  EXPECT_EQ(Switches(), "QS");
  EXPECT_EQ(ParseCommandLineText((L"u.exe /L C:\\" + std::wstring(RX_MAX_PATH - 3, L'l') + L" /N").c_str()),
            RUN_UNINSTALL);
  EXPECT_STREQ(logPath_, L"");
  EXPECT_EQ(Switches(), "QN");
}

// Each line ends right before an inaccessible page: a single read beyond
// its terminator crashes the test.
TEST_F(CommandLine, ASeparatorOrPathAtTheVeryEndReadsNothingBeyond) {
  char* memory = (char*)VirtualAlloc(nullptr, 8192, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  DWORD old;
  ASSERT_TRUE(VirtualProtect(memory + 4096, 4096, PAGE_NOACCESS, &old));
  for (const wchar_t* line : {L"u.exe /", L"u.exe /S-", L"u.exe /D", L"u.exe /D \"", L"u.exe /D C:\\x", L"\"C:\\x"}) {
    wchar_t* atEnd = (wchar_t*)(memory + 4096) - (wcslen(line) + 1);
    wcscpy(atEnd, line);
    ParseCommandLineText(atEnd);
  }
  VirtualFree(memory, 0, MEM_RELEASE);
}

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

std::vector<WPARAM> barPositions;
LRESULT WINAPI RecordBar(HWND, UINT message, WPARAM wParam, LPARAM) {
  if (message == PBM_SETPOS) barPositions.push_back(wParam);
  return 0;
}

// The bar is sent a position only when the shown percentage changes, and
// never one past 100.
TEST_F(MainWindow, TheBarMovesOncePerShownPercentageAndNeverPast100) {
  sys.SendMessageW = RecordBar;
  run.progressBar = GetDesktopWindow();  // any window: nothing reaches it
  for (uint32_t percentage : {0u, 150u, 100u, 150u, 5u, 5u}) SetProgress(percentage);
  EXPECT_EQ(barPositions, (std::vector<WPARAM>{100, 5}));
}

// Controls get the dialog's font at normal weight, whatever weight the
// template's font has; its face and size stay.
TEST_F(MainWindow, DialogControlsGetTheDialogsFontAtNormalWeight) {
  HWND dialog = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  HWND control = CreateWindowExW(0, L"STATIC", L"x", WS_CHILD, 0, 0, 1, 1, dialog, nullptr, nullptr, nullptr);
  HFONT font = CreateFontW(-11, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, L"Tahoma");
  SendMessageW(dialog, WM_SETFONT, (WPARAM)font, 0);
  ApplyDialogFont(dialog);
  LOGFONTW given = {};
  ASSERT_NE(GetObjectW((HFONT)SendMessageW(control, WM_GETFONT, 0, 0), sizeof given, &given), 0);
  EXPECT_EQ(given.lfWeight, FW_NORMAL);
  EXPECT_EQ(given.lfHeight, -11);
  EXPECT_STREQ(given.lfFaceName, L"Tahoma");
  DestroyWindow(dialog);
  DeleteObject(font);
}

// A quiet run of an empty payload: header bit 1 keeps the visual styles for
// the whole window; without it they stay for the frames alone.
TEST_F(MainWindow, HeaderBit1KeepsTheVisualStylesOrRestrictsThemToTheFrames) {
  typedef DWORD(WINAPI * GetProperties)();
  const GetProperties get = (GetProperties)(void*)GetProcAddress(run.themeLibrary, "GetThemeAppProperties");
  ASSERT_TRUE(get != nullptr && run.setThemeProperties != nullptr);
  for (uint32_t flags : {(uint32_t)HEADER_KEEP_VISUAL_STYLES, 0u}) {
    run.setThemeProperties(STAP_ALLOW_NONCLIENT | STAP_ALLOW_CONTROLS);
    pack::Payload payload;
    payload.header.flags = flags;
    Load(payload);
    run.quiet = run.switchS = true;
    EXPECT_EQ(RunUninstallSteps(), 0);
    EXPECT_EQ(get(), flags != 0 ? (DWORD)(STAP_ALLOW_NONCLIENT | STAP_ALLOW_CONTROLS) : (DWORD)STAP_ALLOW_NONCLIENT);
    UnregisterClassW(kMainWindowClass, GetModuleHandleW(nullptr));
  }
}

}  // namespace
