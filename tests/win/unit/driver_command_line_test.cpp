// The command line as installers, the self-removal copy and people at a
// prompt write it; whole runs (Switches, CommandLineRun) show what each
// switch does to a run.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "driver/command_line.h"
#include "driver/run_state.h"

namespace {

struct Case {
  const wchar_t* arguments;  // after the quoted program path and a space
  const char* switches;      // the flags set, as "Q", "QS", "QX", "QSX" or ""
  RunMode mode;
  const wchar_t* path;  // workPath afterwards
};

const Case kCases[] = {
    {L"", "", RUN_UNINSTALL, L""},
    {L"/Q", "Q", RUN_UNINSTALL, L""},
    {L"-s", "QS", RUN_UNINSTALL, L""},
    {L"/S/Q", "QS", RUN_UNINSTALL, L""},
    {L"/Sabc-X", "QSX", RUN_UNINSTALL, L""},  // a separator inside a word starts a switch
    {L"/Z   /x", "QX", RUN_UNINSTALL, L""},   // unknown letters are skipped
    {L"/Q later /S", "Q", RUN_UNINSTALL, L""},  // a bare word ends the switches
    // The self-removal copy's line; /S changes nothing of the mode.
    {L"/D \"C:\\App Folder\\uninst.exe\" /S", "QS", RUN_DELETION, L"C:\\App Folder\\uninst.exe"},
    {L"/D\"C:\\A B\\u.exe\"/Q", "Q", RUN_DELETION, L"C:\\A B\\u.exe"},
    {L"-d    C:\\App\\uninst.exe more", "", RUN_DELETION, L"C:\\App\\uninst.exe"},
    {L"/D \"C:\\No End\\u.exe", "", RUN_DELETION, L"C:\\No End\\u.exe"},
    {L"/D C:\\first.exe /D C:\\second.exe", "", RUN_DELETION, L"C:\\second.exe"},
    {L"/D \"\" /S", "QS", RUN_UNINSTALL, L""},  // an empty path: a normal run
};

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    run = RunState();
    run.workPath = workPath_;
  }
  void TearDown() override { run = RunState(); }
  std::string Switches() {
    return std::string(run.quiet ? "Q" : "") + (run.switchS ? "S" : "") + (run.switchX ? "X" : "");
  }
  wchar_t workPath_[RX_MAX_PATH];
};

TEST_F(CommandLine, EveryContractOfTheSwitches) {
  for (const Case& c : kCases) {
    const std::wstring line = std::wstring(L"\"C:\\Program Files\\App\\uninst.exe\" ") + c.arguments;
    SCOPED_TRACE(std::string(line.begin(), line.end()));
    EXPECT_EQ(ParseCommandLineText(line.c_str()), c.mode);
    EXPECT_EQ(Switches(), c.switches);
    EXPECT_STREQ(workPath_, c.path);
  }
}

// A path is kept whole or not at all: a shortened one would name another
// file, and the deletion mode deletes it and its folder.
TEST_F(CommandLine, DeletionPathTooLongIsRefusedNotCut) {
  const std::wstring p = L"u.exe /D \"C:\\";
  const std::wstring tooLong = p + std::wstring(RX_MAX_PATH - 3, L'l') + L"\" /S";
  EXPECT_EQ(ParseCommandLineText((p + std::wstring(RX_MAX_PATH - 4, L'f') + L"\"").c_str()), RUN_DELETION);
  EXPECT_EQ(wcslen(workPath_), (size_t)RX_MAX_PATH - 1) << "the longest path that fits";
  EXPECT_EQ(ParseCommandLineText(tooLong.c_str()), RUN_NOTHING);
  EXPECT_STREQ(workPath_, L"");
  EXPECT_EQ(Switches(), "QS") << "the rest of the line is still read";
  EXPECT_EQ(ParseCommandLineText((tooLong + L" /D C:\\u.exe").c_str()), RUN_DELETION);

  wchar_t small[8];
  wmemset(small, L'#', 8);
  bool refused = false;
  EXPECT_STREQ(ReadSwitchPath(L" \"C:\\a\\bc.exe\" next", small, 6, &refused), L" next");
  EXPECT_TRUE(refused);
  EXPECT_STREQ(small, L"");
  EXPECT_EQ(small[6], L'#') << "wrote past the capacity";
}

// Each line is placed so that its terminator is the last unit before an
// inaccessible page: a single read beyond the end crashes the test.
TEST_F(CommandLine, SeparatorOrPathAtTheVeryEndReadsNothingBeyond) {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  const DWORD page = system.dwPageSize;
  char* memory = (char*)VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  DWORD old;
  ASSERT_TRUE(VirtualProtect(memory + page, page, PAGE_NOACCESS, &old));
  for (const wchar_t* line : {L"u.exe /", L"u.exe -", L"u.exe /S-", L"u.exe /D", L"u.exe /D \"", L"u.exe /D C:\\x",
                              L"\"C:\\unterminated", L"noSpaces"}) {
    const size_t units = wcslen(line) + 1;
    wchar_t* atEnd = (wchar_t*)(memory + page) - units;
    wmemcpy(atEnd, line, units);
    ParseCommandLineText(atEnd);
  }
  VirtualFree(memory, 0, MEM_RELEASE);
}

}  // namespace
