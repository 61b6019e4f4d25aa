// The table and the ANSI adapters of the 9x family, against the real ANSI
// functions. Whole runs on that family (AnsiFamilyUninstall) show plain names
// reaching their files, folders and keys; these pin the bounds and refusals.
#include <stddef.h>

#include <functional>

#include "platform/ansi_adapters.h"
#include "unit_test_support.h"

namespace {

// A function named in a static initialiser is the program's import thunk
// (jmp [slot]), one named in code the slot's content.
const void* Target(const void* function) {
  const unsigned char* code = (const unsigned char*)function;
  return code[0] == 0xFF && code[1] == 0x25 ? **(const void* const* const*)(code + 2) : function;
}

// Under Wine the wide functions work: a whole run would not notice an entry
// left wide, which a 9x system lacks.
TEST(SystemCallSelection, TheAnsiFamilySwitchesEveryEntryButMessageBoxAndLoadsNoShell) {
  SelectSystemCallsForPlatform(true);
  const SystemCallTable wide = sys;
  TableSelection ansi(false);
  const void* const *a = (const void* const*)&sys, *const *w = (const void* const*)&wide;
  const size_t box = offsetof(SystemCallTable, MessageBoxW) / sizeof(void*);
  for (size_t i = 0; i < sizeof sys / sizeof(void*); ++i)
    EXPECT_EQ(Target(a[i]) == Target(w[i]), i == box) << "entry " << i;
  EXPECT_EQ(ShellLibraryHandle(), nullptr);
}

// The last error when the call failed, 0 when it did not.
DWORD ErrorIf(bool failed) { return failed ? GetLastError() : 0; }

// The ANSI table, and a scratch folder with its key under HKCU.
class AnsiAdapters : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, scratch.RegistryKey().c_str(), &key), ERROR_SUCCESS);
  }
  void TearDown() override {
    MemFailAfter(0);
    RegCloseKey(key);
  }
  std::string AnsiValue(const char* name) {
    char value[16] = "";
    DWORD count = sizeof value - 1;
    return RegQueryValueExA(key, name, nullptr, nullptr, (BYTE*)value, &count) == ERROR_SUCCESS ? value : "(none)";
  }
  ScratchFolder scratch;
  TableSelection table{false};
  HKEY key = nullptr;
};

TEST_F(AnsiAdapters, RegistryStringsArriveWithWideCountsOrNotAtAll) {
  ASSERT_EQ(RegSetValueExA(key, "Path", 0, REG_SZ, (const BYTE*)"C:\\App", 7), ERROR_SUCCESS);
  wchar_t buffer[16];
  DWORD count = 14;
  ASSERT_EQ(sys.RegQueryValueExW(key, L"Path", nullptr, nullptr, (BYTE*)buffer, &count), ERROR_SUCCESS);
  EXPECT_STREQ(buffer, L"C:\\App");
  wmemset(buffer, L'#', 16);
  count = 13;
  EXPECT_EQ(sys.RegQueryValueExW(key, L"Path", nullptr, nullptr, (BYTE*)buffer, &count), ERROR_MORE_DATA);
  EXPECT_EQ(count, 14u) << "the size needed";
  EXPECT_EQ(buffer[0], L'#') << "nothing written";
}

// A name that cannot be copied fails the call before it is made, with the
// wide function's result and reason: the heap is exhausted (a null name
// would mean the default value, the whole section, no /D), or the code page
// cannot spell it (under 1252 "\u0141odz" becomes the neighbour "Lodz").
TEST_F(AnsiAdapters, ANameThatCannotBeCopiedFailsTheCallAndReachesNoNeighbour) {
  ASSERT_TRUE(scratch.InstallFile(L"Lodz.txt"));
  ASSERT_EQ(RegSetValueExA(key, "Lodz", 0, REG_SZ, (const BYTE*)"kept", 5), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "", 0, REG_SZ, (const BYTE*)"default", 8), ERROR_SUCCESS);
  const std::wstring ini = scratch.Path(L"wininit.ini"), in = scratch.root() + L"\\";
  ASSERT_TRUE(WritePrivateProfileStringW(L"Rename", L"Lodz", L"kept", ini.c_str()));
  wchar_t cmd[MAX_PATH];
  GetSystemDirectoryW(cmd, MAX_PATH);
  wcscat(cmd, L"\\cmd.exe");
  STARTUPINFOW startup = {sizeof startup};
  PROCESS_INFORMATION process = {};
  typedef const std::wstring& Name;
  const struct {
    long copy;  // which of the adapter's copies the name is
    std::function<DWORD(Name)> call;
  } adapters[] = {
      {1, [&](Name n) { return ErrorIf(!sys.DeleteFileW((in + n + L".txt").c_str())); }},
      {1, [&](Name n) { return (DWORD)sys.RegDeleteValueW(key, n.c_str()); }},
      {2, [&](Name n) { return ErrorIf(!sys.WritePrivateProfileStringW(L"Rename", n.c_str(), nullptr, ini.c_str())); }},
      {2, [&](Name n) {
         std::wstring line = L"cmd /c rem " + n;
         return ErrorIf(!sys.CreateProcessW(cmd, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                                            nullptr, &startup, &process));
       }},
  };
  for (size_t i = 0; i < sizeof adapters / sizeof *adapters; ++i) {
    MemFailAfter(adapters[i].copy);
    EXPECT_EQ(adapters[i].call(L"Lodz"), (DWORD)ERROR_NOT_ENOUGH_MEMORY) << "adapter " << i;
    MemFailAfter(0);
    if (!SpelledExactly(L"\u0141odz", GetACP()))
      EXPECT_EQ(adapters[i].call(L"\u0141odz"), (DWORD)ERROR_NO_UNICODE_TRANSLATION) << "adapter " << i;
  }
  EXPECT_TRUE(scratch.Exists(L"Lodz.txt"));
  EXPECT_EQ(AnsiValue("Lodz"), "kept");
  EXPECT_EQ(AnsiValue(""), "default");
  char value[16];
  GetPrivateProfileStringA("Rename", "Lodz", "(none)", value, sizeof value, harness::Narrow(ini).c_str());
  EXPECT_STREQ(value, "kept");
}

// The launcher waits on the process handle, which must come back from the
// ANSI record into the caller's: without it the 9x family would not wait
// for the pre-uninstall command.
TEST_F(AnsiAdapters, ShellExecuteExHandsBackTheProcessHandle) {
  SHELLEXECUTEINFOW info = {sizeof info};
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpFile = L"cmd.exe";
  info.lpParameters = L"/c exit 7";
  info.nShow = SW_HIDE;
  ASSERT_TRUE(sys.ShellExecuteExW(&info));
  ASSERT_NE(info.hProcess, nullptr);
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 20000), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code) && code == 7) << code;
  CloseHandle(info.hProcess);
}

// Code page 932, which Wine converts whatever the host's locale: n bytes
// give fewer than n characters, and the text ends right after them.
TEST(AnsiTextConversion, DoubleByteTextEndsRightAfterItsCharacters) {
  const char bytes[] = "\x83\x66\x81\x5B\x83\x5E";  // the katakana "de", long mark, "ta"
  const wchar_t word[] = L"\u30C7\u30FC\u30BF";
  char* copy = WideToAnsiCopy(word, 932);
  EXPECT_STREQ(copy, bytes);
  MemRelease(&copy);
  wchar_t wide[8];
  wmemset(wide, L'#', 8);
  DWORD length = 0;
  ASSERT_TRUE(AnsiToWideInCodePage(wide, 4, bytes, &length, 932)) << "room for the characters is enough";
  EXPECT_STREQ(wide, word);
  EXPECT_EQ(wide[4], L'#');
  EXPECT_FALSE(AnsiToWideInCodePage(wide, 3, bytes, &length, 932));
  EXPECT_EQ(length, 4u) << "the units needed, terminator included";
  EXPECT_STREQ(wide, L"");
  EXPECT_TRUE(SpelledExactly(word, 932));
  EXPECT_FALSE(SpelledExactly(word, 1252));
  EXPECT_FALSE(SpelledExactly(L"\u0141odz", 1252)) << "best fit gives Lodz";
}

}  // namespace
