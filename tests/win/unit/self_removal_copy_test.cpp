// The self-removal copy made in the test's own process, from a "program
// file" whose program proper is the recording helper, so that the started
// copy tells how it was started; and the restart registration on the ANSI
// family, with WININIT.INI in the test's folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "driver/driver.h"
#include "driver/launch.h"
#include "driver/run_state.h"
#include "harness/harness.h"
#include "platform/system_calls.h"
#include "recorder/recorder_log.h"

namespace {

using harness::Bytes;

// What the copy looked like to others at the moment it was started.
struct AtStart {
  bool called = false;
  DWORD writeError = 0, deleteError = 0;
} atStart;
HINSTANCE WINAPI CheckLockThenStart(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                                    LPCWSTR directory, INT show) {
  atStart.called = true;
  HANDLE writer = CreateFileW(file, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  atStart.writeError = writer == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  atStart.deleteError = DeleteFileW(file) ? 0 : GetLastError();
  return ShellExecuteW(owner, verb, file, parameters, directory, show);
}

class SelfRemovalCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sandbox.ok() && sandbox.MakeFolder(L"temp"));
    ASSERT_TRUE(harness::LoadEmbeddedFile(L"RETRAX_TEST_RECORDER_EXE", &programProper));
    Bytes file = programProper;
    file.insert(file.end(), 3000, 0xEE);  // the payload, which the copy leaves out
    ASSERT_TRUE(sandbox.WriteFile(L"App\\uninstall.exe", file));
    environment.Set(L"TMP", temp);
    environment.Set(L"TEMP", temp);
    DetectPlatform();
    sys.ShellExecuteW = CheckLockThenStart;
    atStart = AtStart();
  }
  void TearDown() override {
    sys = savedTable;
    run = saved;
  }
  bool Start(uint32_t length) { return StartDeletionCopy(program.c_str(), length); }
  // The copy's one run, as the recording helper logged it.
  recorder::Record CopyRun() {
    const std::vector<recorder::Record> records = recorder::WaitForEndedRecords(temp + L"\\recorder.log", 1);
    EXPECT_EQ(records.size(), 1u) << "the copy ran";
    if (records.empty()) return recorder::Record();
    recorder::WaitForExit(records[0]);
    return records[0];
  }

  harness::Sandbox sandbox;
  const std::wstring temp = sandbox.Path(L"temp");
  const std::wstring program = sandbox.Path(L"App\\uninstall.exe");
  Bytes programProper;
  recorder::ScopedEnvironment environment;
  const RunState saved = run;
  const SystemCallTable savedTable = sys;
};

TEST_F(SelfRemovalCopy, TheProgramProperGoesToTheNextFreeNameLockedAndStartsHiddenInDeletionMode) {
  ASSERT_TRUE(sandbox.WriteFile(L"temp\\_uins1.exe", {'1'}) && sandbox.WriteFile(L"temp\\_uins2.exe", {'2'}));
  EXPECT_TRUE(Start(static_cast<uint32_t>(programProper.size())));
  const std::wstring copy = temp + L"\\_uins3.exe";
  const recorder::Record record = CopyRun();
  EXPECT_EQ(record.program, copy);
  EXPECT_EQ(record.arguments, L"/D\"" + program + L"\"");
  EXPECT_EQ(record.folder, temp) << "not the uninstaller's folder, which it is to remove";
  EXPECT_EQ(record.show, SW_HIDE);
  EXPECT_EQ(atStart.writeError, static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << "nobody may change it";
  EXPECT_EQ(atStart.deleteError, static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << "nor swap it";
  Bytes copied;
  ASSERT_TRUE(harness::ReadWholeFile(copy, &copied));
  EXPECT_TRUE(copied == programProper) << "exactly the program proper: " << copied.size() << " bytes";
  EXPECT_TRUE(harness::ReadWholeFile(temp + L"\\_uins1.exe", &copied) && copied == Bytes{'1'});
}

TEST_F(SelfRemovalCopy, ACopyThatIsNotWholeIsDeletedAndNeverStarted) {
  const uint32_t fileLength = static_cast<uint32_t>(programProper.size()) + 3000;
  EXPECT_FALSE(Start(fileLength + 1)) << "the file ends before payloadOffset";
  EXPECT_FALSE(Start(0)) << "no program proper";
  EXPECT_FALSE(StartDeletionCopy(sandbox.Path(L"App\\missing.exe").c_str(), 1000));
  EXPECT_FALSE(atStart.called);
  EXPECT_FALSE(sandbox.Exists(L"temp\\_uins1.exe"));
  // The whole file is a program proper as good as any: the count decides.
  EXPECT_TRUE(Start(fileLength));
  EXPECT_TRUE(atStart.called);
  CopyRun();
}

// WININIT.INI of the test's folder, standing in for the Windows folder's.
std::wstring windowsFolder;
UINT WINAPI TestWindowsFolder(LPWSTR buffer, UINT size) {
  if (windowsFolder.size() >= size) return static_cast<UINT>(windowsFolder.size() + 1);
  wcscpy(buffer, windowsFolder.c_str());
  return static_cast<UINT>(windowsFolder.size());
}

std::string ShortPathOf(const std::wstring& path) {
  wchar_t shortPath[MAX_PATH];
  const DWORD length = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
  return harness::Narrow(std::wstring(shortPath, length < MAX_PATH ? length : 0));
}

// Another section first, with a key that merely ends in xyz and an xyz
// line whose path only begins like ours: neither may be touched.
TEST_F(SelfRemovalCopy, OnTheAnsiFamilyEachRequestAddsANulLineAndLeavesTheRestAsItWas) {
  std::string shortPaths[2];
  for (int i = 0; i < 2; ++i) {
    const std::wstring name = sandbox.Path(L"Long Copy Name " + std::to_wstring(i) + L".exe");
    ASSERT_TRUE(harness::WriteWholeFile(name, {'c'}));
    shortPaths[i] = ShortPathOf(name);
  }
  const std::string& one = shortPaths[0];
  ASSERT_NE(one, shortPaths[1]);
  ASSERT_NE(one.find('~'), std::string::npos) << one;
  const std::string before =
      "[Other]\r\nabcxyz=" + one + "\r\nxyz=" + one + "X\r\n[Rename]\r\nNUL=C:\\OLD\\A.EXE\r\nNUL=C:\\OLD\\B.EXE\r\n";
  ASSERT_TRUE(sandbox.WriteFile(L"WININIT.INI", Bytes(before.begin(), before.end())));

  SelectSystemCallsForPlatform(false);  // the ANSI family's table, as the program selects it there
  windowsFolder = sandbox.root();
  sys.GetWindowsDirectoryW = TestWindowsFolder;
  run.isNT = false;
  for (int i = 0; i < 2; ++i)
    EXPECT_TRUE(DeleteAtRestart(sandbox.Path(L"Long Copy Name " + std::to_wstring(i) + L".exe").c_str()));
  Bytes after;
  ASSERT_TRUE(harness::ReadWholeFile(sandbox.Path(L"WININIT.INI"), &after));
  EXPECT_EQ(std::string(after.begin(), after.end()), before + "NUL=" + one + "\r\nNUL=" + shortPaths[1] + "\r\n");

  windowsFolder = L"C:\\" + std::wstring(300, L'w');
  EXPECT_FALSE(DeleteAtRestart(sandbox.Path(L"Long Copy Name 0.exe").c_str())) << "too long for the buffer";
}

}  // namespace
