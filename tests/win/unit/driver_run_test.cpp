// A quiet uninstall sequence in the test's own process, over a payload read
// from a file: it runs through, with or without a header, and leaves
// nothing on the heap, which only a run in this process can see.
#include <gtest/gtest.h>

#include "driver/command_line.h"
#include "driver_test_support.h"
#include "paths/path_ops.h"
#include "payload/file_io.h"
#include "platform_test_support.h"

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

// Every kind of chunk. Every path lies in the scratch folder (installDir for
// the relative ones) and names nothing that exists: whatever the phases do,
// they touch only that folder.
pack::Payload EveryKindOfChunk(const std::wstring& scratch, bool header) {
  const std::u16string folder(scratch.begin(), scratch.end());
  pack::Payload payload;
  payload.hasHeader = header;  // without one, read as a header of zeros
  payload.header.finalPage = u"https://example.invalid/bye";
  payload.messages = std::vector<std::u16string>(MSG_COUNT_USED, u"text");
  payload.files = {{u".", u"absent.exe", 0}, {u".\\sub", u"absent.dll", 0}};
  payload.shortcuts = {{1, folder + u"\\menu\\sub", u"", u"absent.lnk"}};
  payload.registry = {{0x80000001u, u"Software\\Retrax unit test\\absent"}};
  payload.folderTrees = {u"absent-tree\\*.*"};
  payload.hasOpaque = true;
  payload.opaque = {1, 2, 3};
  return payload;
}

class Run : public RunTest {
 protected:
  ScratchFolder scratch;
};

TEST_F(Run, QuietSequenceRunsThroughAndLeavesNothingBehind) {
  ASSERT_TRUE(CopyText(run.installDir, RX_MAX_PATH, scratch.Path().c_str()));
  ASSERT_TRUE(AddBackslash(run.installDir));
  const std::wstring path = scratch.Child(L"uninstall.exe");
  for (bool header : {true, false}) {
    SCOPED_TRACE(header ? "header" : "no header");
    // Some bytes standing for the program proper, then the payload.
    pack::Bytes file(512, 0x90), payload = pack::EncodePayload(EveryKindOfChunk(scratch.Path(), header));
    file.insert(file.end(), payload.begin(), payload.end());
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_EQ(WriteBlock(handle, file.data(), (uint32_t)file.size()), 0);
    CloseFileHandle(handle);
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

}  // namespace
