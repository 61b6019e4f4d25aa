// Launching programs and the final page in the test's own process: the
// recording helper stands in for the launched program, and a stand-in for
// the shell's entry points sees what the shell would be asked.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "driver/launch.h"
#include "harness/harness.h"
#include "platform/system_calls.h"
#include "recorder/recorder_log.h"

namespace {

std::wstring CurrentFolder() {
  wchar_t folder[MAX_PATH];
  const DWORD length = GetCurrentDirectoryW(MAX_PATH, folder);
  return std::wstring(folder, length < MAX_PATH ? length : 0);
}

// The folder the test found is given back whatever a test did with it.
class Launch : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sandbox.ok());
    ASSERT_TRUE(sandbox.MakeFolder(L"Tools"));
    ASSERT_TRUE(recorder::Install(tool));
    savedFolder = CurrentFolder();
    ASSERT_TRUE(SetCurrentDirectoryW(sandbox.root().c_str()));
    environment.Set(L"RXTEST_RECORD_LOG", log);
  }
  void TearDown() override {
    sys = savedTable;
    SetCurrentDirectoryW(savedFolder.c_str());
  }
  harness::Sandbox sandbox;
  const std::wstring tool = sandbox.Path(L"Tools\\tool.exe");
  const std::wstring log = sandbox.Path(L"record.log");
  recorder::ScopedEnvironment environment;
  std::wstring savedFolder;
  const SystemCallTable savedTable = sys;
};

TEST_F(Launch, TheProgramRunsInItsOwnFolderAndOursIsPutBack) {
  EXPECT_TRUE(LaunchProgram(tool.c_str(), L"-u  \"a b\"", true));
  EXPECT_EQ(CurrentFolder(), sandbox.root());
  const std::vector<recorder::Record> records = recorder::ReadLog(log);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_TRUE(records[0].ended) << "waited for";
  EXPECT_EQ(records[0].folder, sandbox.Path(L"Tools"));
  EXPECT_EQ(records[0].arguments, L"-u  \"a b\"");
  EXPECT_EQ(records[0].show, SW_SHOW);

  // Refused by the shell, or too long to be launched whole: false, and the
  // folder is ours all the same.
  EXPECT_FALSE(LaunchProgram(sandbox.Path(L"Tools\\missing.exe").c_str(), L"", true));
  EXPECT_EQ(CurrentFolder(), sandbox.root());
}

int ticks, ticksWithWaitCursor;
bool counting;
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) {
  if (!counting) return;
  ++ticks;
  if (GetCursor() == LoadCursorW(nullptr, IDC_WAIT)) ++ticksWithWaitCursor;
}

// A program that runs 1.5 s and ends with 259, the code GetExitCodeProcess
// gives for a running process: the wait ends with it. Meanwhile the wait
// cursor shows, timers fire and another thread's sent messages are answered.
TEST_F(Launch, WaitingKeepsTheWindowsAnsweringUntilTheProgramEnds) {
  environment.Set(L"RXTEST_RECORD_SLEEP_MS", L"1500");
  environment.Set(L"RXTEST_RECORD_EXIT", L"259");
  HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);

  ticks = ticksWithWaitCursor = 0;
  counting = true;
  const HCURSOR before = SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  const UINT_PTR timer = SetTimer(nullptr, 0, 100, CountTick);

  std::atomic<bool> sending{true}, senderDone{false};
  DWORD slowestAnswerMs = 0;
  int answered = 0, unanswered = 0;
  std::thread sender([&] {
    while (sending) {
      DWORD_PTR result;
      const DWORD start = GetTickCount();
      if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result)) {
        ++answered;
        slowestAnswerMs = std::max(slowestAnswerMs, GetTickCount() - start);
      } else {
        ++unanswered;
      }
      Sleep(50);
    }
    senderDone = true;
  });

  const DWORD start = GetTickCount();
  EXPECT_TRUE(LaunchProgram(tool.c_str(), L"", true));
  const DWORD elapsed = GetTickCount() - start;
  const uint64_t returnedMs = recorder::NowMs();
  counting = false;
  KillTimer(nullptr, timer);
  const HCURSOR after = GetCursor();
  // A message sent as the wait ended is answered here, not left to time out.
  sending = false;
  for (MSG message; !senderDone; Sleep(5)) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  sender.join();
  SetCursor(before);
  DestroyWindow(window);

  const std::vector<recorder::Record> records = recorder::ReadLog(log);
  ASSERT_EQ(records.size(), 1u);
  ASSERT_TRUE(records[0].ended);
  EXPECT_LE(records[0].endMs, returnedMs);
  EXPECT_GE(elapsed, 1400u);
  EXPECT_LT(elapsed, 4000u) << "the wait ends with the program, whatever its exit code";
  EXPECT_GE(ticks, 5) << "timers fire during the wait";
  EXPECT_EQ(ticksWithWaitCursor, ticks);
  EXPECT_EQ(after, LoadCursorW(nullptr, IDC_ARROW)) << "the cursor from before";
  EXPECT_GE(answered, 10);
  EXPECT_EQ(unanswered, 0);
  EXPECT_LT(slowestAnswerMs, 800u);
}

// What the shell is asked, seen by a stand-in that starts nothing.
SHELLEXECUTEINFOW request;
std::wstring folderAtLaunch;
HANDLE handOut;
BOOL acceptWith;
BOOL WINAPI RecordRequest(SHELLEXECUTEINFOW* info) {
  request = *info;
  folderAtLaunch = CurrentFolder();
  info->hProcess = handOut;
  return acceptWith;
}

TEST_F(Launch, TheShellGetsTheOpenVerbAndNoDirectoryAndEveryHandleEndsTheWait) {
  sys.ShellExecuteExW = RecordRequest;
  acceptWith = TRUE;
  handOut = nullptr;  // a document handed to a viewer that was already running
  EXPECT_TRUE(LaunchProgram(tool.c_str(), L"-x", true));
  EXPECT_EQ(request.cbSize, 60u);
  EXPECT_EQ(request.fMask, 0x440u);
  EXPECT_EQ(request.hwnd, nullptr);
  EXPECT_STREQ(request.lpVerb, L"open");
  EXPECT_STREQ(request.lpFile, tool.c_str());
  EXPECT_STREQ(request.lpParameters, L"-x");
  EXPECT_EQ(request.lpDirectory, nullptr);
  EXPECT_EQ(request.nShow, SW_SHOW);
  EXPECT_EQ(folderAtLaunch, sandbox.Path(L"Tools"));

  // A handle that cannot be waited on ends the wait at once.
  handOut = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x7FF0));
  const DWORD start = GetTickCount();
  EXPECT_TRUE(LaunchProgram(tool.c_str(), L"", true));
  EXPECT_LT(GetTickCount() - start, 1000u);

  // A program in a root keeps the root's backslash: "C:" alone would be the
  // drive's current folder. A bare name leaves the folder as it is.
  handOut = nullptr;
  acceptWith = FALSE;
  EXPECT_FALSE(LaunchProgram(L"C:\\tool.exe", L"", false));
  EXPECT_EQ(folderAtLaunch, L"C:\\");
  EXPECT_FALSE(LaunchProgram(L"tool.exe", L"", false));
  EXPECT_EQ(folderAtLaunch, sandbox.root());
  EXPECT_EQ(CurrentFolder(), sandbox.root());

  // 267 characters fit the program's buffer; a longer program is refused
  // before the shell sees it, never cut to another name.
  const std::wstring longest = L"C:\\" + std::wstring(LAUNCH_PROGRAM_CAPACITY - 1 - 3 - 4, L't') + L".exe";
  ASSERT_EQ(longest.size(), LAUNCH_PROGRAM_CAPACITY - 1u);
  request.lpFile = nullptr;
  LaunchProgram(longest.c_str(), L"", false);
  EXPECT_EQ(request.lpFile, longest.c_str());
  request.lpFile = nullptr;
  EXPECT_FALSE(LaunchProgram((longest + L"x").c_str(), L"", false));
  EXPECT_EQ(request.lpFile, nullptr);
}

struct PageOpened {
  bool called = false;
  HWND owner;
  std::wstring verb, file, directory;
  bool hasParameters, hasDirectory;
  INT show;
} opened;
HINSTANCE WINAPI RecordPage(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                            INT show) {
  opened = {true, owner, verb, file, directory ? directory : L"", parameters != nullptr, directory != nullptr, show};
  return reinterpret_cast<HINSTANCE>(42);
}

TEST_F(Launch, AFinalPageOpensInItsOwnFolderUnlessItIsAnAddressOrABareName) {
  sys.ShellExecuteW = RecordPage;
  const struct {
    const wchar_t* page;
    const wchar_t* directory;  // null: none
  } cases[] = {
      {L"HTTPS://example.invalid/done", nullptr},
      {L"http://example.invalid/a\\b", nullptr},
      {L"Https:\\\\example.invalid\\done", L"Https:\\\\example.invalid"},  // not an address
      {L"C:\\App\\Docs\\done.htm", L"C:\\App\\Docs"},
      {L"C:\\done.htm", L"C:\\"},
      {L"done.htm", nullptr},
  };
  for (const auto& c : cases) {
    opened = PageOpened();
    OpenFinalPage(c.page);
    ASSERT_TRUE(opened.called) << harness::Narrow(c.page);
    EXPECT_EQ(opened.owner, nullptr);
    EXPECT_EQ(opened.verb, L"open");
    EXPECT_EQ(opened.file, c.page);
    EXPECT_FALSE(opened.hasParameters);
    EXPECT_EQ(opened.hasDirectory, c.directory != nullptr) << harness::Narrow(c.page);
    if (c.directory) EXPECT_EQ(opened.directory, c.directory);
    EXPECT_EQ(opened.show, SW_SHOW);
  }
  // 259 characters fit the buffer; 260 would be cut, so the page is not
  // opened at all.
  const std::wstring longest = L"C:\\" + std::wstring(256, L'p');
  opened = PageOpened();
  OpenFinalPage(longest.c_str());
  EXPECT_TRUE(opened.called);
  opened = PageOpened();
  OpenFinalPage((longest + L"p").c_str());
  EXPECT_FALSE(opened.called);
}

}  // namespace
