// Launching programs and the final page in the test's own process. Whole
// runs (LaunchCommand, FinalPage) show the program's folder, its arguments
// and the wait; these pin the edges: the exit code 259, handles that cannot
// be waited on, roots, addresses and names too long to launch whole.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

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

// What the shell is asked, seen by stand-ins that start nothing.
SHELLEXECUTEINFOW request;
std::wstring folderAtLaunch;
HANDLE handOut;
BOOL WINAPI RecordRequest(SHELLEXECUTEINFOW* info) {
  request = *info;
  folderAtLaunch = CurrentFolder();
  info->hProcess = handOut;
  return handOut != nullptr;
}
bool pageOpened;
std::wstring pageFolder;  // "-" when none was given
HINSTANCE WINAPI RecordPage(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR directory, INT) {
  pageOpened = true;
  pageFolder = directory ? directory : L"-";
  return reinterpret_cast<HINSTANCE>(42);
}

// The table and the folder the test found are given back whatever it did.
class Launch : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sandbox.ok());
    savedFolder = CurrentFolder();
    ASSERT_TRUE(SetCurrentDirectoryW(sandbox.root().c_str()));
  }
  void TearDown() override {
    sys = savedTable;
    SetCurrentDirectoryW(savedFolder.c_str());
  }
  harness::Sandbox sandbox;
  std::wstring savedFolder;
  const SystemCallTable savedTable = sys;
};

// 259 is what GetExitCodeProcess gives for a running process: the wait ends
// with the process, not with its exit code.
TEST_F(Launch, AProgramThatExitsWith259IsNotWaitedForForever) {
  ASSERT_TRUE(sandbox.MakeFolder(L"Tools"));
  const std::wstring tool = sandbox.Path(L"Tools\\tool.exe"), log = sandbox.Path(L"record.log");
  ASSERT_TRUE(recorder::Install(tool));
  recorder::ScopedEnvironment environment;
  environment.Set(L"RXTEST_RECORD_LOG", log);
  environment.Set(L"RXTEST_RECORD_EXIT", L"259");
  const DWORD start = GetTickCount();
  EXPECT_TRUE(LaunchProgram(tool.c_str(), L"", true));
  EXPECT_LT(GetTickCount() - start, 5000u);
  ASSERT_EQ(recorder::ReadLog(log).size(), 1u);
  EXPECT_TRUE(recorder::ReadLog(log)[0].ended);
  EXPECT_EQ(CurrentFolder(), sandbox.root()) << "our folder is put back";
}

TEST_F(Launch, HandlesThatCannotBeWaitedOnRootsAndNamesTooLongToLaunchWhole) {
  sys.ShellExecuteExW = RecordRequest;
  // A handle that cannot be waited on ends the wait at once.
  handOut = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x7FF0));
  const DWORD start = GetTickCount();
  EXPECT_TRUE(LaunchProgram(L"C:\\Tools\\tool.exe", L"-x", true));
  EXPECT_LT(GetTickCount() - start, 1000u);
  EXPECT_STREQ(request.lpVerb, L"open");
  EXPECT_EQ(request.lpDirectory, nullptr) << "the program's folder is the current one";

  // A root keeps its backslash: "C:" alone would be the drive's current
  // folder. A bare name leaves the folder as it is. Refused by the shell:
  // false, and our folder back all the same.
  handOut = nullptr;
  EXPECT_FALSE(LaunchProgram(L"C:\\tool.exe", L"", false));
  EXPECT_EQ(folderAtLaunch, L"C:\\");
  EXPECT_FALSE(LaunchProgram(L"tool.exe", L"", false));
  EXPECT_EQ(folderAtLaunch, sandbox.root());
  EXPECT_EQ(CurrentFolder(), sandbox.root());

  // 267 characters fit the program's buffer; a longer program is refused
  // before the shell sees it, never cut to another name.
  const std::wstring longest = L"C:\\" + std::wstring(LAUNCH_PROGRAM_CAPACITY - 1 - 3 - 4, L't') + L".exe";
  request.lpFile = nullptr;
  LaunchProgram(longest.c_str(), L"", false);
  EXPECT_EQ(request.lpFile, longest.c_str());
  request.lpFile = nullptr;
  EXPECT_FALSE(LaunchProgram((longest + L"x").c_str(), L"", false));
  EXPECT_EQ(request.lpFile, nullptr);
}

TEST_F(Launch, AFinalPageOpensInItsOwnFolderUnlessItIsAnAddressOrABareName) {
  sys.ShellExecuteW = RecordPage;
  const wchar_t* cases[][2] = {
      {L"HTTPS://example.invalid/done", L"-"},
      {L"http://example.invalid/a\\b", L"-"},
      {L"Https:\\\\example.invalid\\done", L"Https:\\\\example.invalid"},  // not an address
      {L"C:\\App\\Docs\\done.htm", L"C:\\App\\Docs"},
      {L"C:\\done.htm", L"C:\\"},
      {L"done.htm", L"-"},
  };
  for (const auto& c : cases) {
    pageOpened = false;
    OpenFinalPage(c[0]);
    EXPECT_TRUE(pageOpened);
    EXPECT_EQ(pageFolder, c[1]) << harness::Narrow(c[0]);
  }
  // 259 characters fit the buffer; 260 would be cut, so the page is not
  // opened at all.
  const std::wstring longest = L"C:\\" + std::wstring(256, L'p');
  pageOpened = false;
  OpenFinalPage(longest.c_str());
  EXPECT_TRUE(pageOpened);
  pageOpened = false;
  OpenFinalPage((longest + L"p").c_str());
  EXPECT_FALSE(pageOpened);
}

}  // namespace
