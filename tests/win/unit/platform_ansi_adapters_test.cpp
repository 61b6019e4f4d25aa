// The ANSI adapters against the real ANSI functions: what the 9x family runs.
// Whole runs on that family (AnsiFamilyUninstall) and the path tests on both
// tables show plain names reaching their files, folders and keys; these pin
// the conversions, the bounds and the refusals.
#include <gtest/gtest.h>

#include <functional>

#include "payload/memory.h"
#include "platform/ansi_adapters.h"
#include "platform/system_calls.h"
#include "platform_test_support.h"

namespace {

std::string WindowText(HWND window) {
  char text[32] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}
std::string ProfileValue(const std::wstring& ini, const char* key) {
  char value[64];
  GetPrivateProfileStringA("Rename", key, "(none)", value, sizeof value, std::string(ini.begin(), ini.end()).c_str());
  return value;
}
// The last error when the call failed, 0 when it did not.
DWORD ErrorIf(bool failed) { return failed ? GetLastError() : 0; }

// The ANSI table, a private scratch folder and a registry key of the test's
// own under HKCU\Software\RetraxTests; the wide table to compare with.
class AnsiAdapters : public ::testing::Test {
 protected:
  void SetUp() override {
    liveBlocks = MemLiveBlocks();
    path = std::string("Software\\RetraxTests\\") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    MemFailAfter(0);
    RegCloseKey(key);
    RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\RetraxTests");  // only when no other test left a key
    EXPECT_EQ(MemLiveBlocks(), liveBlocks) << "an adapter kept an ANSI copy";
  }
  void SetAnsi(const char* name, DWORD type, const void* data, DWORD count) {
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, (const BYTE*)data, count), ERROR_SUCCESS);
  }
  std::string AnsiValue(const char* name) {
    char value[16] = "";
    DWORD count = sizeof value - 1;
    return RegQueryValueExA(key, name, nullptr, nullptr, (BYTE*)value, &count) == ERROR_SUCCESS ? value : "(none)";
  }
  const SystemCallTable wide = sys;
  TableSelection table{false};
  ScratchFolder scratch;
  std::string path;
  HKEY key = nullptr;
  long liveBlocks = 0;
};

// Each text output against the wide function, with room and with a buffer
// too short: then the size the wide function gives, an empty text and
// nothing written past the size stated.
TEST_F(AnsiAdapters, TextOutputsMatchTheWideFunctionsAndStayInTheirBuffers) {
  wchar_t saved[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, saved);
  ASSERT_TRUE(sys.SetCurrentDirectoryW(scratch.Path().c_str()));
  const std::wstring folder = scratch.Path();
  const std::function<DWORD(const SystemCallTable&, wchar_t*, DWORD)> outputs[] = {
      [](auto& t, wchar_t* b, DWORD n) -> DWORD { return t.GetWindowsDirectoryW(b, n); },
      [](auto& t, wchar_t* b, DWORD n) -> DWORD { return t.GetSystemDirectoryW(b, n); },
      [](auto& t, wchar_t* b, DWORD n) { return t.GetTempPathW(n, b); },
      [](auto& t, wchar_t* b, DWORD n) { return t.GetModuleFileNameW(nullptr, b, n); },
      [](auto& t, wchar_t* b, DWORD n) { return t.GetCurrentDirectoryW(n, b); },
      [&](auto& t, wchar_t* b, DWORD n) { return t.GetShortPathNameW(folder.c_str(), b, n); }};
  for (size_t i = 0; i < sizeof outputs / sizeof *outputs; ++i) {
    SCOPED_TRACE(i);
    wchar_t expected[MAX_PATH], actual[MAX_PATH];
    const DWORD count = outputs[i](wide, expected, MAX_PATH);
    ASSERT_GT(count, 8u);
    EXPECT_EQ(outputs[i](sys, actual, MAX_PATH), count);
    EXPECT_STREQ(actual, expected);
    wmemset(actual, L'#', 16);
    EXPECT_EQ(outputs[i](sys, actual, 8), outputs[i](wide, expected, 8));
    EXPECT_EQ(actual[0], 0);
    EXPECT_EQ(actual[8], L'#');
  }
  SetCurrentDirectoryW(saved);
}

// The wide search is the reference, over this test's own entries: the times
// of "." and ".." change whenever a parallel test writes beside them.
TEST_F(AnsiAdapters, FindDataArrivesFieldByField) {
  scratch.MakeFile(L"entry with a long name.txt", "12345");
  scratch.MakeFile(L"entry2.dat");
  ASSERT_TRUE(CreateDirectoryW(scratch.Child(L"entry3").c_str(), nullptr));
  ASSERT_TRUE(SetFileAttributesW(scratch.Child(L"entry2.dat").c_str(), FILE_ATTRIBUTE_READONLY));
  const std::wstring pattern = scratch.Child(L"entry*");
  WIN32_FIND_DATAW expected, actual;
  memset(&actual, 0xCD, sizeof actual);
  HANDLE wideSearch = FindFirstFileW(pattern.c_str(), &expected);
  HANDLE ansiSearch = sys.FindFirstFileW(pattern.c_str(), &actual);
  ASSERT_NE(ansiSearch, INVALID_HANDLE_VALUE);
  int entries = 0;
  for (BOOL more = TRUE; more; ++entries) {
    SCOPED_TRACE(entries);
    EXPECT_EQ(memcmp(&actual, &expected, offsetof(WIN32_FIND_DATAW, cFileName)), 0) << "attributes to reserved";
    EXPECT_STREQ(actual.cFileName, expected.cFileName);
    EXPECT_STREQ(actual.cAlternateFileName, expected.cAlternateFileName);
    memset(&actual, 0xCD, sizeof actual);
    more = FindNextFileW(wideSearch, &expected);
    EXPECT_EQ(sys.FindNextFileW(ansiSearch, &actual), more);
  }
  EXPECT_EQ(entries, 3);
  FindClose(wideSearch);
  FindClose(ansiSearch);
}

TEST_F(AnsiAdapters, RegistryStringsTravelAsAnsiWithWideCountsAndNumbersAsTheyAre) {
  const char text[] = "C:\\Program Files\\App";
  const DWORD s = sizeof text, number = 0x12345678;  // ANSI bytes with the terminator
  SetAnsi("Path", REG_SZ, text, s);
  SetAnsi("Expand", REG_EXPAND_SZ, "%WINDIR%", 9);  // read as written, not expanded
  SetAnsi("Empty", REG_SZ, "", 0);
  SetAnsi("Count", REG_DWORD, &number, 4);
  wchar_t buffer[64];
  DWORD type = 0, count = 2 * s, read = 0;
  ASSERT_EQ(sys.RegQueryValueExW(key, L"Path", nullptr, &type, (BYTE*)buffer, &count), ERROR_SUCCESS);
  EXPECT_STREQ(buffer, L"C:\\Program Files\\App");
  EXPECT_EQ(count, 2 * (wcslen(buffer) + 1));
  count = sizeof buffer;
  ASSERT_EQ(sys.RegQueryValueExW(key, L"Expand", nullptr, &type, (BYTE*)buffer, &count), ERROR_SUCCESS);
  EXPECT_STREQ(buffer, L"%WINDIR%");
  // A count too small: the size needed (an empty text still needs its
  // terminator), and nothing written.
  for (const auto& c : {std::make_pair(L"Path", 2 * s), std::make_pair(L"Empty", (DWORD)2)}) {
    wmemset(buffer, L'#', 64);
    count = c.second - 1;
    EXPECT_EQ(sys.RegQueryValueExW(key, c.first, nullptr, &type, (BYTE*)buffer, &count), ERROR_MORE_DATA);
    EXPECT_EQ(count, c.second);
    EXPECT_EQ(buffer[0], L'#');
  }
  count = 2;
  EXPECT_EQ(sys.RegQueryValueExW(key, L"Empty", nullptr, &type, (BYTE*)buffer, &count), ERROR_SUCCESS);
  EXPECT_STREQ(buffer, L"");
  EXPECT_EQ(count, 2u);
  count = sizeof read;
  ASSERT_EQ(sys.RegQueryValueExW(key, L"Count", nullptr, &type, (BYTE*)&read, &count), ERROR_SUCCESS);
  EXPECT_EQ(read, number);
  EXPECT_EQ(count, 4u);
  // The query's own block: the name's copy is allocation 1, the block 2.
  count = sizeof buffer;
  MemFailAfter(2);
  EXPECT_EQ(sys.RegQueryValueExW(key, L"Path", nullptr, nullptr, (BYTE*)buffer, &count), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_STREQ(buffer, L"");
  EXPECT_EQ(count, 2u) << "the size of the empty string it holds";

  const wchar_t path[] = L"C:\\App\\lib.dll";
  ASSERT_EQ(sys.RegSetValueExW(key, L"Text", 0, REG_SZ, (const BYTE*)path, 1000), ERROR_SUCCESS);
  ASSERT_EQ(sys.RegSetValueExW(key, L"Count", 0, REG_DWORD, (const BYTE*)&s, 4), ERROR_SUCCESS);
  char ansi[64];
  count = sizeof ansi;
  ASSERT_EQ(RegQueryValueExA(key, "Text", nullptr, &type, (BYTE*)ansi, &count), ERROR_SUCCESS);
  EXPECT_STREQ(ansi, "C:\\App\\lib.dll");
  EXPECT_EQ(count, strlen(ansi) + 1) << "the ANSI count, whatever the caller passed";
  count = sizeof read;
  ASSERT_EQ(RegQueryValueExA(key, "Count", nullptr, &type, (BYTE*)&read, &count), ERROR_SUCCESS);
  EXPECT_EQ(read, s);
}

// A name that cannot be copied fails the call before it is made, with the
// wide function's failure result and the reason as its last error or
// status: the heap is exhausted (a null in its place would name the default
// value, delete the profile entry, drop the arguments), or the code page
// cannot spell it (under 1252 "\u0141odz", L with stroke, would become
// "Lodz", the neighbour). Either way the neighbours named Lodz stay.
TEST_F(AnsiAdapters, ANameThatCannotBeCopiedFailsTheCallAndReachesNoNeighbour) {
  scratch.MakeFile(L"Lodz.txt");
  ASSERT_TRUE(CreateDirectoryW(scratch.Child(L"Lodz").c_str(), nullptr));
  HKEY sub = nullptr, opened = nullptr;
  ASSERT_EQ(RegCreateKeyExW(key, L"Lodz", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr), ERROR_SUCCESS);
  RegCloseKey(sub);
  SetAnsi("Lodz", REG_SZ, "kept", 5);
  SetAnsi("", REG_SZ, "default", 8);
  const std::wstring ini = scratch.Child(L"wininit.ini"), in = scratch.Path() + L"\\";
  ASSERT_TRUE(WritePrivateProfileStringW(L"Rename", L"Lodz", L"kept", ini.c_str()));
  wchar_t cmd[MAX_PATH], saved[MAX_PATH], buffer[MAX_PATH];
  GetSystemDirectoryW(cmd, MAX_PATH);
  wcscat(cmd, L"\\cmd.exe");
  GetCurrentDirectoryW(MAX_PATH, saved);
  // Should a call be made, what it opens or starts is left to the end of
  // the process: the test has failed.
  WIN32_FIND_DATAW found;
  STARTUPINFOW startup = {sizeof startup};
  PROCESS_INFORMATION process = {};
  typedef const std::wstring& Name;
  auto file = [&](Name n) { return in + n + L".txt"; };
  const struct {
    long copy;  // which of the adapter's copies the name is
    std::function<DWORD(Name)> call;
  } adapters[] = {
      {1, [&](Name n) { return ErrorIf(sys.CreateFileW((in + n + L".new").c_str(), GENERIC_WRITE, 0, nullptr,
                                                       CREATE_NEW, 0, nullptr) == INVALID_HANDLE_VALUE); }},
      {1, [&](Name n) { return ErrorIf(!sys.DeleteFileW(file(n).c_str())); }},
      {1, [&](Name n) { return ErrorIf(sys.GetFileAttributesW(file(n).c_str()) == INVALID_FILE_ATTRIBUTES); }},
      {1, [&](Name n) { return ErrorIf(!sys.SetFileAttributesW(file(n).c_str(), FILE_ATTRIBUTE_READONLY)); }},
      {1, [&](Name n) { return ErrorIf(sys.FindFirstFileW((in + n + L"*").c_str(), &found) == INVALID_HANDLE_VALUE); }},
      {1, [&](Name n) { return ErrorIf(!sys.RemoveDirectoryW((in + n).c_str())); }},
      {1, [&](Name n) { return ErrorIf(!sys.SetCurrentDirectoryW((in + n).c_str())); }},
      {1, [&](Name n) { return ErrorIf(sys.GetShortPathNameW(file(n).c_str(), buffer, MAX_PATH) == 0); }},
      {1, [&](Name n) { return ErrorIf(sys.LoadLibraryW((n + L".dll").c_str()) == nullptr); }},
      {1, [&](Name n) { return ErrorIf(sys.RemoveFontResourceW((in + n + L".ttf").c_str()) == 0); }},
      {2, [&](Name n) { return ErrorIf(!sys.WritePrivateProfileStringW(L"Rename", n.c_str(), nullptr, ini.c_str())); }},
      {3, [&](Name n) { return ErrorIf(!sys.WritePrivateProfileStringW(L"Rename", L"Lodz", n.c_str(), ini.c_str())); }},
      {2, [&](Name n) {
         std::wstring line = L"cmd /c rem " + n;
         return ErrorIf(!sys.CreateProcessW(cmd, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                                            &startup, &process));
       }},
      {2, [&](Name n) {
         const INT_PTR code = (INT_PTR)sys.ShellExecuteW(nullptr, nullptr, cmd, (L"/c rem " + n).c_str(), nullptr, 0);
         return ErrorIf(code == (GetLastError() == ERROR_NOT_ENOUGH_MEMORY ? SE_ERR_OOM : SE_ERR_FNF));
       }},
      {2, [&](Name n) {
         const std::wstring parameters = L"/c rem " + n;
         SHELLEXECUTEINFOW info = {sizeof info, SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI};
         info.lpFile = cmd;
         info.lpParameters = parameters.c_str();
         const BOOL started = sys.ShellExecuteExW(&info);
         const INT_PTR code = GetLastError() == ERROR_NOT_ENOUGH_MEMORY ? SE_ERR_OOM : SE_ERR_FNF;
         return ErrorIf(!started && info.hProcess == nullptr && (INT_PTR)info.hInstApp == code);
       }},
      {1, [&](Name n) { return (DWORD)sys.RegOpenKeyExW(key, n.c_str(), 0, KEY_READ, &opened); }},
      {1, [&](Name n) {
         DWORD count = sizeof buffer;
         return (DWORD)sys.RegQueryValueExW(key, n.c_str(), nullptr, nullptr, (BYTE*)buffer, &count);
       }},
      {1, [&](Name n) { return (DWORD)sys.RegSetValueExW(key, n.c_str(), 0, REG_SZ, (const BYTE*)L"new", 8); }},
      {1, [&](Name n) { return (DWORD)sys.RegDeleteKeyW(key, n.c_str()); }},
      {1, [&](Name n) { return (DWORD)sys.RegDeleteValueW(key, n.c_str()); }},
  };
  for (size_t i = 0; i < sizeof adapters / sizeof *adapters; ++i) {
    MemFailAfter(adapters[i].copy);
    EXPECT_EQ(adapters[i].call(L"Lodz"), (DWORD)ERROR_NOT_ENOUGH_MEMORY) << "adapter " << i;
    MemFailAfter(0);
    if (!SpelledExactly(L"\u0141odz", GetACP())) {
      EXPECT_EQ(adapters[i].call(L"\u0141odz"), (DWORD)ERROR_NO_UNICODE_TRANSLATION) << "adapter " << i;
    }
  }
  EXPECT_EQ(GetFileAttributesW(scratch.Child(L"Lodz.new").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesW(scratch.Child(L"Lodz.txt").c_str()) & (FILE_ATTRIBUTE_READONLY | 0x80000000u), 0u);
  EXPECT_NE(GetFileAttributesW(scratch.Child(L"Lodz").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetCurrentDirectoryW(MAX_PATH, buffer), wcslen(saved));
  EXPECT_STREQ(buffer, saved);
  EXPECT_EQ(RegOpenKeyExW(key, L"Lodz", 0, KEY_READ, &opened), ERROR_SUCCESS);
  RegCloseKey(opened);
  EXPECT_EQ(AnsiValue("Lodz"), "kept");
  EXPECT_EQ(AnsiValue(""), "default");
  EXPECT_EQ(ProfileValue(ini, "Lodz"), "kept");
}

// Texts that are only shown or stored are converted as well as the code page
// allows; only an exhausted heap fails them, before the call.
TEST_F(AnsiAdapters, ShownTextsAreConvertedAsWellAsTheCodePageAllows) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = (WNDPROC)sys.DefWindowProcW;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = L"RetraxAnsiAdapterTest";
  MemFailAfter(1);
  EXPECT_EQ(sys.RegisterClassW(&windowClass), 0);
  WNDCLASSA registered;
  EXPECT_FALSE(GetClassInfoA(instance, "RetraxAnsiAdapterTest", &registered));
  const ATOM atom = sys.RegisterClassW(&windowClass);
  ASSERT_NE(atom, 0);
  auto create = [&](LPCWSTR className, LPCWSTR caption) {
    return sys.CreateWindowExW(0, className, caption, WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, instance,
                               nullptr);
  };
  for (long failing : {1, 2}) {  // the class name, then the window name
    MemFailAfter(failing);
    EXPECT_EQ(create(L"RetraxAnsiAdapterTest", L"Caption"), nullptr) << "copy " << failing;
  }
  HWND byAtom = create((LPCWSTR)MAKEINTATOM(atom), nullptr);  // an atom is no text: it passes as it is
  EXPECT_NE(byAtom, nullptr);
  DestroyWindow(byAtom);
  HWND window = create(L"RetraxAnsiAdapterTest", L"Caption");
  ASSERT_NE(window, nullptr);
  HWND item = CreateWindowExA(0, "STATIC", "Item", WS_CHILD, 0, 0, 50, 20, window, (HMENU)5, instance, nullptr);
  MemFailAfter(1);
  EXPECT_FALSE(sys.SetWindowTextW(window, L"Renamed"));
  MemFailAfter(1);
  EXPECT_FALSE(sys.SetDlgItemTextW(window, 5, L"Renamed"));
  EXPECT_EQ(WindowText(window), "Caption");
  EXPECT_EQ(WindowText(item), "Item");
  EXPECT_TRUE(sys.SetDlgItemTextW(window, 5, L"Renamed"));
  EXPECT_EQ(WindowText(item), "Renamed");

  const std::wstring hebrew = L"\u05D0\u05D1";  // "??" in 1252 and 932
  EXPECT_TRUE(sys.SetWindowTextW(window, (hebrew + L" x").c_str()));
  EXPECT_EQ(sys.RegSetValueExW(key, L"Shown", 0, REG_SZ, (const BYTE*)hebrew.c_str(), 6), ERROR_SUCCESS);
  if (!SpelledExactly(hebrew.c_str(), GetACP())) {
    EXPECT_EQ(WindowText(window), "?? x");
    EXPECT_EQ(AnsiValue("Shown"), "??");
  }
  DestroyWindow(window);
  UnregisterClassA("RetraxAnsiAdapterTest", instance);
}

TEST_F(AnsiAdapters, FontRecordsTravelBothWays) {
  LOGFONTW font = {-11, 0, 0, 0, FW_BOLD, TRUE, 0, 0, DEFAULT_CHARSET, 0, 0, ANTIALIASED_QUALITY,
                   VARIABLE_PITCH | FF_SWISS, L"Tahoma"};
  HFONT handle = sys.CreateFontIndirectW(&font);
  ASSERT_NE(handle, nullptr);
  LOGFONTW back;
  memset(&back, 0xCD, sizeof back);
  EXPECT_EQ(sys.GetObjectW(handle, sizeof back, &back), (int)sizeof(LOGFONTA));
  EXPECT_EQ(memcmp(&back, &font, 28), 0) << "the 28 shared bytes";
  EXPECT_STREQ(back.lfFaceName, L"Tahoma");
  EXPECT_EQ(back.lfFaceName[LF_FACESIZE - 1], 0);
  LOGFONTA ansi;
  EXPECT_EQ(sys.GetObjectW(handle, sizeof ansi, &ansi), (int)sizeof ansi) << "other sizes pass unchanged";
  EXPECT_STREQ(ansi.lfFaceName, "Tahoma");
  DeleteObject(handle);
}

// The launcher waits on the execute record's process handle.
TEST_F(AnsiAdapters, ALaunchedProgramGetsItsArgumentsAndFolderAndTheCallerItsHandle) {
  wchar_t cmd[MAX_PATH];
  GetSystemDirectoryW(cmd, MAX_PATH);
  wcscat(cmd, L"\\cmd.exe");
  scratch.MakeFile(L"marker.txt");
  SHELLEXECUTEINFOW info = {sizeof info, SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI};
  info.lpVerb = L"open";
  info.lpFile = cmd;
  info.lpParameters = L"/c if exist marker.txt exit 7";
  info.lpDirectory = scratch.Path().c_str();
  ASSERT_TRUE(sys.ShellExecuteExW(&info));
  ASSERT_NE(info.hProcess, nullptr);
  EXPECT_GT((INT_PTR)info.hInstApp, 32);
  DWORD code = 0;
  ASSERT_EQ(WaitForSingleObject(info.hProcess, 10000), WAIT_OBJECT_0);
  GetExitCodeProcess(info.hProcess, &code);
  EXPECT_EQ(code, 7u);
  CloseHandle(info.hProcess);
  EXPECT_EQ(sys.LoadLibraryW(L"shell32.dll"), GetModuleHandleW(L"shell32.dll"));
}

// A double-byte code page (932, which Wine converts whatever the host's
// locale): n bytes give fewer than n characters, and the text ends right
// after them.
TEST(AnsiTextConversion, DoubleByteTextEndsRightAfterItsCharacters) {
  const char bytes[] = "\x83\x66\x81\x5B\x83\x5E";  // the katakana "de", long mark, "ta"
  const wchar_t word[] = L"\u30C7\u30FC\u30BF";
  char* copy = WideToAnsiCopy(word, 932);
  ASSERT_NE(copy, nullptr);
  EXPECT_STREQ(copy, bytes);
  MemRelease(&copy);

  wchar_t wide[8];
  wmemset(wide, L'#', 8);
  DWORD length = 0;
  ASSERT_TRUE(AnsiToWideInCodePage(wide, 8, bytes, &length, 932));
  EXPECT_EQ(length, 3u);
  EXPECT_STREQ(wide, word);
  EXPECT_EQ(wide[4], L'#') << "nothing written past the terminator";
  // Room for the characters is enough, though the six bytes would not fit.
  EXPECT_TRUE(AnsiToWideInCodePage(wide, 4, bytes, &length, 932));
  EXPECT_FALSE(AnsiToWideInCodePage(wide, 3, bytes, &length, 932));
  EXPECT_EQ(length, 4u) << "the units needed, terminator included";
  EXPECT_STREQ(wide, L"");
  // A lead byte cut off from its trail byte still ends the text in place.
  wmemset(wide, L'#', 8);
  ASSERT_TRUE(AnsiToWideInCodePage(wide, 8, "A\x83", &length, 932));
  EXPECT_LE(length, 2u);
  EXPECT_EQ(wide[length], 0);

  EXPECT_TRUE(SpelledExactly(word, 932));
  EXPECT_FALSE(SpelledExactly(word, 1252));
  EXPECT_TRUE(SpelledExactly(L"Caf\u00E9 ?*", 1252));
  EXPECT_FALSE(SpelledExactly(L"\u0141odz", 1252)) << "best fit gives Lodz";
  EXPECT_FALSE(SpelledExactly(L"\u0141odz", 932));
  EXPECT_FALSE(SpelledExactly(L"\U0001F600", 932)) << "a surrogate pair";
}

}  // namespace
