// The pre-uninstall command seen through a launcher that records what it
// was given. Whole runs (LaunchCommand) show quoted and unquoted programs,
// macros and the switches; these pin the quoting edges and the bounds.
#include <gtest/gtest.h>

#include <string>

#include "driver/launch.h"
#include "driver/pre_uninstall.h"
#include "driver/run_state.h"
#include "payload/memory.h"
#include "payload/writer.h"

namespace {

std::wstring launched;  // "program|arguments|wait", or empty
bool RecordLaunch(const wchar_t* program, const wchar_t* arguments, bool wait) {
  launched = std::wstring(program) + L"|" + arguments + (wait ? L"|wait" : L"");
  return true;
}

class PreUninstall : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = run;
    run.installDir = installDir;
    run.workPath = workPath;
    run.switchS = run.switchX = 0;
    preUninstallLauncher = RecordLaunch;
  }
  void TearDown() override {
    ReleasePayloadBlocks(&uninstallData);
    preUninstallLauncher = LaunchProgram;
    run = saved_;
  }
  std::wstring Run(const std::wstring& command, uint32_t flags = 0) {
    ReleasePayloadBlocks(&uninstallData);
    const pack::Bytes body = pack::EncodeHeader({flags, std::u16string(command.begin(), command.end()), u""});
    MemAlloc(body.size(), &uninstallData.header);
    memcpy(uninstallData.header, body.data(), body.size());
    uninstallData.headerLength = (uint32_t)body.size();
    launched.clear();
    RunPreUninstallCommand();
    return launched;
  }
  wchar_t installDir[RX_MAX_PATH] = L"C:\\App\\";
  wchar_t workPath[RX_MAX_PATH] = L"";
  RunState saved_;
};

TEST_F(PreUninstall, QuotesAroundTheProgramAndMacrosInTheArguments) {
  const wchar_t* cases[][2] = {
      {L"\"#InstallDir#\\a b.exe\" \"#InstallDir#\\x\"", L"C:\\App\\a b.exe|\"C:\\App\\x\""},
      {L"\"tool.exe\"", L"C:\\App\\tool.exe|"},  // quotes without arguments go
      {L"\"tool.exe -u", L"C:\\App\\tool.exe -u|"},  // and so does an unclosed one
      {L"\"\" -u", L""},  // the install folder itself: the shell would open it
  };
  for (auto& c : cases) EXPECT_EQ(Run(c[0]), c[1]) << c[0];
  EXPECT_EQ(Run(L"tool.exe", HEADER_WAIT_FOR_COMMAND), L"C:\\App\\tool.exe||wait");
}

TEST_F(PreUninstall, WhatDoesNotFitIsNotLaunchedAndArgumentsAreNeverCut) {
  EXPECT_EQ(Run(std::wstring(252, L'a')).size(), 259u + 1);  // 7 + 252 fill workPath
  EXPECT_EQ(Run(std::wstring(253, L'a')), L"");
  EXPECT_STREQ(workPath, L"");
  EXPECT_EQ(Run(L"\"#InstallDir#\\" + std::wstring(260, L'p') + L"\" -u"), L"");
  const std::wstring arguments(2000, L'x');
  EXPECT_EQ(Run(L"\"#InstallDir#\\t.exe\" " + arguments), L"C:\\App\\t.exe|" + arguments);
  wcscpy(installDir, (L"C:\\" + std::wstring(246, L'f') + L"\\").c_str());
  std::wstring cut = L"\"#InstallDir#\\t.exe\" ";
  for (int i = 0; i < 300; ++i) cut += L"#InstallDir#";
  EXPECT_EQ(Run(cut), L"") << "an expansion cut at the working buffer's end";
  EXPECT_EQ(Run(L""), L"");
}

}  // namespace
