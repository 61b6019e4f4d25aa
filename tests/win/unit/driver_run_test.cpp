// A run in the test's own process: start-up, the payload read from a file,
// a quiet uninstall sequence over it with nothing left on the heap after
// it, and the deletion mode.
#include <gtest/gtest.h>

#include "driver/command_line.h"
#include "driver_test_support.h"
#include "paths/path_ops.h"
#include "payload/file_io.h"
#include "platform_test_support.h"
#include "ui/messages.h"

namespace {

// A main window of this process: the scenario tests running beside this
// one have retrax.exe processes with windows of the same class.
HWND OwnMainWindow() {
  for (HWND window = FindWindowExW(nullptr, nullptr, kMainWindowClass, nullptr); window != nullptr;
       window = FindWindowExW(nullptr, window, kMainWindowClass, nullptr)) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) return window;
  }
  return nullptr;
}

// Every path lies in the test's scratch folder (installDir for the relative
// ones) and names nothing that exists: whatever the phases do, they touch
// only that folder.
pack::Payload EveryKindOfChunk(const std::wstring& scratch) {
  const std::u16string folder(scratch.begin(), scratch.end());
  pack::Payload payload;
  payload.header.finalPage = u"https://example.invalid/bye";
  payload.messages = NumberedMessages();
  payload.files = {{u".", u"absent.exe", 0}, {u".\\sub", u"absent.dll", 0}};
  payload.shortcuts = {{1, folder + u"\\menu\\sub", u"", u"absent.lnk"}};
  payload.registry = {{0x80000001u, u"Software\\Retrax unit test\\absent"}};
  payload.folderTrees = {u"absent-tree\\*.*"};
  payload.hasOpaque = true;
  payload.opaque = {1, 2, 3};
  return payload;
}

// The program file: some bytes standing for the program proper, then the
// payload.
std::wstring WriteProgram(const ScratchFolder& scratch, const pack::Bytes& payload, uint32_t programLength) {
  pack::Bytes file(programLength, 0x90);
  file.insert(file.end(), payload.begin(), payload.end());
  const std::wstring path = scratch.Child(L"uninstall.exe");
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  EXPECT_NE(handle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(WriteBlock(handle, file.data(), (uint32_t)file.size()), 0);
  CloseFileHandle(handle);
  return path;
}

class Run : public RunTest {
 protected:
  void UseScratchAsInstallDir() {
    ASSERT_TRUE(CopyText(run.installDir, RX_MAX_PATH, scratch.Path().c_str()));
    ASSERT_TRUE(AddBackslash(run.installDir));
  }
  ScratchFolder scratch;
};

// The read goes through the system-call table: on the ANSI family the wide
// CreateFileW only fails.
TEST_F(Run, PayloadIsReadFromItsOffsetOnTheAnsiFamilyToo) {
  const std::wstring path = WriteProgram(scratch, pack::EncodePayload(EveryKindOfChunk(scratch.Path())), 5000);
  TableSelection ansi(false);
  ASSERT_EQ(ReadPayloadFromFile(path.c_str(), 5000), PAYLOAD_OK);
  EXPECT_EQ(uninstallData.files.count, 2u);
  EXPECT_STREQ(GetMessageText(0, MSG_PROGRAM_RUNNING), L"message 15");
  EXPECT_EQ(ReadPayloadFromFile(scratch.Child(L"missing.exe").c_str(), 10), PAYLOAD_NO_FILE);
}

TEST_F(Run, QuietSequenceRunsThroughAndLeavesNothingBehind) {
  UseScratchAsInstallDir();
  pack::Payload withoutHeader = EveryKindOfChunk(scratch.Path());
  withoutHeader.hasHeader = false;  // read as a header of zeros
  for (const pack::Payload& payload : {EveryKindOfChunk(scratch.Path()), withoutHeader}) {
    SCOPED_TRACE(payload.hasHeader ? "header" : "no header");
    const std::wstring path = WriteProgram(scratch, pack::EncodePayload(payload), 512);
    ASSERT_EQ(ReadPayloadFromFile(path.c_str(), 512), PAYLOAD_OK);
    EXPECT_EQ(ParseCommandLineText(L"uninstall.exe /S"), RUN_UNINSTALL);

    EXPECT_EQ(RunUninstallSteps(), 0);
    EXPECT_EQ(run.mainWindow, nullptr);
    EXPECT_EQ(OwnMainWindow(), nullptr);
    EXPECT_EQ(run.progressDialog, nullptr) << "no progress window in a quiet run";
    EXPECT_EQ(uninstallData.files.items, nullptr) << "the payload data is released by the sequence";
    EXPECT_EQ(uninstallData.messages, nullptr);
    UnregisterClassW(kMainWindowClass, run.instance);  // as a new process would start
  }
  TeardownRun();
  EXPECT_EQ(MemLiveBlocks(), 0) << "blocks left after a whole run";
}

TEST_F(Run, DeletionModeRemovesTheFileAndItsEmptiedFolder) {
  const std::wstring folder = scratch.Child(L"app");
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  scratch.MakeFile(L"app\\uninst.exe");
  const std::wstring line = L"_uins1.exe /D \"" + folder + L"\\uninst.exe\"";
  ASSERT_EQ(ParseCommandLineText(line.c_str()), RUN_DELETION);
  FinishDeletion();
  EXPECT_FALSE(FileExists(folder.c_str()));
}

}  // namespace
