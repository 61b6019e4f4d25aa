// The self-removal copy made in this process from a program file whose
// program proper is the recording helper, which tells how it was started
// (whole SelfRemoval runs show what it is and does); and WININIT.INI.
#include "driver/launch.h"
#include "recorder/recorder_log.h"
#include "unit_test_support.h"

namespace {

using harness::Bytes;

// The error of an open for writing at the moment the copy was started; -1
// while nothing was started.
DWORD writeErrorAtStart = DWORD(-1);
HINSTANCE WINAPI CheckLockThenStart(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                                    INT show) {
  HANDLE writer = CreateFileW(file, GENERIC_WRITE, 7, nullptr, OPEN_EXISTING, 0, nullptr);
  writeErrorAtStart = writer == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  return ShellExecuteW(owner, verb, file, parameters, directory, show);
}

// The deletions at restart that the system has recorded.
std::wstring PendingDeletions() {
  std::wstring text(65536, L'\0');
  DWORD size = DWORD(text.size() * 2);
  RegGetValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
               L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, &text[0], &size);
  return text;
}

// The temporary folder as "junction", a link of the user's to "temp" that is
// re-pointed at "evil" before the start; and a copy replaced by another
// program between its writing and its hold.
std::wstring linkedRoot, pointsAt;
bool replaceBeforeHold = false;
std::wstring ThroughLink(LPCWSTR path) {
  const std::wstring link = linkedRoot + L"\\junction", text = path ? path : L"";
  if (_wcsnicmp(text.c_str(), link.c_str(), link.size()) != 0) return text;
  return linkedRoot + L"\\" + pointsAt + text.substr(link.size());
}
HANDLE WINAPI OpenThroughLink(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE model) {
  const std::wstring real = ThroughLink(path);
  Bytes other;
  if (replaceBeforeHold && access == GENERIC_READ && real.find(L"_uins") != std::wstring::npos &&
      harness::ReadWholeFile(real, &other)) {
    other.push_back(0);  // still a program that runs
    harness::WriteWholeFile(real, other);
  }
  return CreateFileW(real.c_str(), access, share, security, disposition, flags, model);
}
HINSTANCE WINAPI RepointThenStart(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                                  INT show) {
  pointsAt = L"evil";
  return ShellExecuteW(owner, verb, ThroughLink(file).c_str(), parameters, ThroughLink(directory).c_str(), show);
}

class SelfRemovalCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(harness::LoadEmbeddedFile(L"RETRAX_TEST_RECORDER_EXE", &programProper));
    Bytes file = programProper;
    file.insert(file.end(), 3000, 0xEE);  // the payload, which the copy leaves out
    ASSERT_TRUE(sandbox.WriteFile(L"App\\uninstall.exe", file));
    DetectPlatform();
    sys.ShellExecuteW = CheckLockThenStart;
    writeErrorAtStart = DWORD(-1);
  }
  bool Start(size_t length) { return StartDeletionCopy(program.c_str(), static_cast<uint32_t>(length)); }
  void SetTemp(const std::wstring& folder) {
    for (const wchar_t* name : {L"TMP", L"TEMP"}) environment.Set(name, folder);
  }

  SavedRunState saved;
  ScratchFolder sandbox;
  const std::wstring temp = sandbox.Temp(), program = sandbox.Path(L"App\\uninstall.exe");
  Bytes programProper;
  harness::ScopedEnvironment environment;
};

// The copy runs in its own folder: a process holds its current folder, and
// the uninstaller's is to be removed. Until it has started nobody may
// change it. A copy that is not whole is deleted and never started.
TEST_F(SelfRemovalCopy, TheProgramProperIsCopiedLockedAndStartedHiddenInDeletionMode) {
  EXPECT_TRUE(Start(programProper.size()));
  const std::vector<recorder::Record> records = recorder::WaitForEndedRecords(temp + L"\\recorder.log", 1);
  ASSERT_EQ(records.size(), 1u) << "the copy ran";
  EXPECT_EQ(records[0].folder, temp);
  EXPECT_EQ(records[0].show, SW_HIDE);
  EXPECT_EQ(writeErrorAtStart, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  const std::wstring registered = L"\\??\\" + temp + L"\\_uins1.exe" + std::wstring(2, L'\0');
  EXPECT_NE(PendingDeletions().find(registered), std::wstring::npos) << "deleted at the next start";

  writeErrorAtStart = DWORD(-1);
  EXPECT_FALSE(Start(programProper.size() + 3001)) << "the file ends before payloadOffset";
  EXPECT_FALSE(Start(0)) << "no program proper";
  EXPECT_EQ(writeErrorAtStart, DWORD(-1)) << "nothing started";
  EXPECT_FALSE(sandbox.Exists(L"temp\\_uins2.exe"));
}

// What starts is the file that was checked: by its real path, whatever the
// link on the way to it points at by then; a copy replaced before its hold
// is not started at all.
TEST_F(SelfRemovalCopy, WhatStartsIsTheCopyThatWasChecked) {
  ASSERT_TRUE(sandbox.MakeFolder(L"evil") && recorder::Install(sandbox.Path(L"evil\\_uins1.exe")));
  SetTemp(sandbox.Path(L"junction"));
  linkedRoot = sandbox.root();
  pointsAt = L"temp";
  sys.CreateFileW = OpenThroughLink;
  sys.ShellExecuteW = RepointThenStart;
  EXPECT_TRUE(Start(programProper.size()));
  const std::vector<recorder::Record> records = recorder::WaitForEndedRecords(temp + L"\\recorder.log", 1);
  ASSERT_EQ(records.size(), 1u) << "the checked copy ran";
  EXPECT_EQ(records[0].program, temp + L"\\_uins1.exe");

  SetTemp(temp);
  replaceBeforeHold = true;
  EXPECT_FALSE(Start(programProper.size()));
  replaceBeforeHold = false;
  EXPECT_FALSE(sandbox.Exists(L"temp\\_uins2.exe"));
}

// WININIT.INI of the test's folder, standing in for the Windows folder's.
std::wstring windowsFolder;
UINT WINAPI TestWindowsFolder(LPWSTR buffer, UINT size) {
  if (windowsFolder.size() >= size) return static_cast<UINT>(windowsFolder.size() + 1);
  wcscpy(buffer, windowsFolder.c_str());
  return static_cast<UINT>(windowsFolder.size());
}

// The profile functions would write "xyz=<path>" under [Rename]; that line
// alone becomes a NUL line. Another section's key that merely ends in xyz,
// and an xyz line whose path only begins like ours, stay.
TEST_F(SelfRemovalCopy, OnTheAnsiFamilyOnlyTheCopysOwnLineBecomesANulLine) {
  const std::wstring path = sandbox.Path(L"Long Copy Name.exe");
  wchar_t shortPath[MAX_PATH] = L"";
  ASSERT_TRUE(harness::WriteWholeFile(path, {'c'}) && GetShortPathNameW(path.c_str(), shortPath, MAX_PATH) > 0);
  const std::string one = harness::Narrow(shortPath);
  ASSERT_NE(one.find('~'), std::string::npos) << one;
  const std::string before = "[Other]\r\nabcxyz=" + one + "\r\nxyz=" + one + "X\r\n[Rename]\r\nNUL=C:\\A.EXE\r\n";
  ASSERT_TRUE(sandbox.WriteFile(L"WININIT.INI", Bytes(before.begin(), before.end())));
  SelectSystemCallsForPlatform(false);  // the ANSI family's table, as the program selects it there
  windowsFolder = sandbox.root();
  sys.GetWindowsDirectoryW = TestWindowsFolder;
  run.isNT = false;
  EXPECT_TRUE(DeleteAtRestart(path.c_str()));
  Bytes after;
  ASSERT_TRUE(harness::ReadWholeFile(sandbox.Path(L"WININIT.INI"), &after));
  EXPECT_EQ(std::string(after.begin(), after.end()), before + "NUL=" + one + "\r\n");
  windowsFolder = L"C:\\" + std::wstring(300, L'w');
  EXPECT_FALSE(DeleteAtRestart(path.c_str())) << "too long for the buffer";
}

}  // namespace
