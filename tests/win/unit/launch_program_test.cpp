// Launching programs, the pre-uninstall command and the final page in the
// test's own process; whole runs (Launch) show the folder, arguments, wait.
#include "driver/launch.h"
#include "driver/pre_uninstall.h"
#include "recorder/recorder_log.h"
#include "unit_test_support.h"

namespace {

// What was asked of stand-ins that start nothing: the shell's request, the
// folder then current, the final page's folder ("-" for none) or the
// pre-uninstall program "program|arguments|wait"; "" when nothing was.
SHELLEXECUTEINFOW request;
std::wstring folderAtLaunch, asked;
HANDLE handOut;
BOOL WINAPI RecordRequest(SHELLEXECUTEINFOW* info) {
  request = *info;
  folderAtLaunch = harness::CurrentFolder();
  info->hProcess = handOut;
  return handOut != nullptr;
}
HINSTANCE WINAPI RecordPage(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR directory, INT) {
  asked = directory ? directory : L"-";
  return reinterpret_cast<HINSTANCE>(42);
}
bool RecordLaunch(const wchar_t* program, const wchar_t* arguments, bool wait) {
  asked = std::wstring(program) + L"|" + arguments + (wait ? L"|wait" : L"");
  return true;
}

class Launch : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sandbox.ok() && SetCurrentDirectoryW(sandbox.root().c_str()));
    run.installDir = installDir;
    run.workPath = workPath;
    preUninstallLauncher = RecordLaunch;
  }
  void TearDown() override {
    preUninstallLauncher = LaunchProgram;
    SetCurrentDirectoryW(savedFolder.c_str());
  }
  std::wstring PreUninstall(const std::wstring& command, uint32_t flags = 0) {
    const pack::Bytes header = pack::EncodeHeader({flags, harness::U16(command), u""});
    uninstallData.header = (uint8_t*)header.data();
    uninstallData.headerLength = (uint32_t)header.size();
    asked.clear();
    RunPreUninstallCommand();
    uninstallData.header = nullptr;
    return asked;
  }
  harness::Sandbox sandbox;
  const std::wstring savedFolder = harness::CurrentFolder();
  SavedRunState saved;
  wchar_t installDir[RX_MAX_PATH] = L"C:\\App\\", workPath[RX_MAX_PATH] = L"";
};

// 259 is the exit code of a running process: the wait ends with the
// process, and not before (the recorder logs just before it ends). A wait
// that never ends fails at the test's time limit.
TEST_F(Launch, AProgramIsWaitedForUntilItEndsEvenWhenItExitsWith259) {
  const std::wstring program = sandbox.Path(L"recorder.exe");
  ASSERT_TRUE(recorder::Install(program));
  harness::ScopedEnvironment environment;
  environment.Set(L"RXTEST_RECORD_EXIT", L"259");
  EXPECT_TRUE(LaunchProgram(program.c_str(), L"", true));
  EXPECT_EQ(recorder::ReadLog(sandbox.Path(L"recorder.log")).size(), 1u) << "returned before the program ended";
}

TEST_F(Launch, HandlesThatCannotBeWaitedOnRootsAndNamesTooLongToLaunchWhole) {
  sys.ShellExecuteExW = RecordRequest;
  handOut = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x7FF0));
  EXPECT_TRUE(LaunchProgram(L"C:\\Tools\\tool.exe", L"-x", true)) << "a handle that cannot be waited on ends the wait";

  // "C:" alone is the drive's current folder. Refused: our folder is back.
  handOut = nullptr;
  EXPECT_FALSE(LaunchProgram(L"C:\\tool.exe", L"", false));
  EXPECT_EQ(folderAtLaunch, L"C:\\");
  EXPECT_EQ(harness::CurrentFolder(), sandbox.root());

  // 267 characters fit; a longer program is refused, never cut.
  const std::wstring longest = L"C:\\" + std::wstring(LAUNCH_PROGRAM_CAPACITY - 1 - 3 - 4, L't') + L".exe";
  LaunchProgram(longest.c_str(), L"", false);
  EXPECT_EQ(request.lpFile, longest.c_str());
  request.lpFile = nullptr;
  EXPECT_FALSE(LaunchProgram((longest + L"x").c_str(), L"", false));
  EXPECT_EQ(request.lpFile, nullptr);
}

TEST_F(Launch, AFinalPageOpensInItsOwnFolderUnlessItIsAnAddressOrABareName) {
  sys.ShellExecuteW = RecordPage;
  const std::wstring longest = L"C:\\" + std::wstring(256, L'p');
  const std::wstring cases[][2] = {
      {L"HTTPS://example.invalid/done", L"-"},
      {L"done.htm", L"-"},
      {longest, L"C:\\"},     // 259 characters fit the buffer
      {longest + L"p", L""},  // 260 would be cut: not opened at all
  };
  for (const auto& c : cases) {
    asked.clear();
    OpenFinalPage(c[0].c_str());
    EXPECT_EQ(asked, c[1]) << harness::Narrow(c[0]);
  }
}

TEST_F(Launch, ThePreUninstallProgramGoesWholeOrNotAtAllAndItsArgumentsAreNeverCut) {
  const std::wstring arguments(2000, L'x'), fits(252, L'a');  // 7 + 252 fill the path
  const std::wstring cases[][2] = {
      {L"\"#InstallDir#\\a b.exe\" \"#InstallDir#\\x\"", L"C:\\App\\a b.exe|\"C:\\App\\x\""},
      {L"\"tool.exe -u", L"C:\\App\\tool.exe -u|"},  // an unclosed quote goes
      {L"\"\" -u", L""},  // the install folder itself: the shell would open it
      {fits, L"C:\\App\\" + fits + L"|"},
      {fits + L"a", L""},
      {L"\"#InstallDir#\\t.exe\" " + arguments, L"C:\\App\\t.exe|" + arguments},
  };
  for (const auto& c : cases) EXPECT_EQ(PreUninstall(c[0]), c[1]) << harness::Narrow(c[0]);
  EXPECT_EQ(PreUninstall(L"tool.exe", HEADER_WAIT_FOR_COMMAND), L"C:\\App\\tool.exe||wait");
  wcscpy(installDir, (L"C:\\" + std::wstring(246, L'f') + L"\\").c_str());
  std::wstring cut = L"\"#InstallDir#\\t.exe\" ";
  for (int i = 0; i < 300; ++i) cut += L"#InstallDir#";
  EXPECT_EQ(PreUninstall(cut), L"") << "arguments cut at the expansion's working buffer";
}

}  // namespace
