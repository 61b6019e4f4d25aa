// The ANSI adapters against the real ANSI functions: what the 9x family runs.
#include <gtest/gtest.h>
#include <shlobj.h>

#include "payload/memory.h"
#include "platform/ansi_adapters.h"
#include "platform/system_calls.h"
#include "platform_test_support.h"
#include "removal_files_sfnt.h"

namespace {

class AnsiAdapters : public ::testing::Test {
 protected:
  void SetUp() override { liveBlocks = MemLiveBlocks(); }
  void TearDown() override {
    MemFailAfter(0);
    EXPECT_EQ(MemLiveBlocks(), liveBlocks) << "an adapter kept an ANSI copy";
  }
  TableSelection table{false};
  ScratchFolder scratch;
  long liveBlocks = 0;
};

// A unique key under HKCU\Software\RetraxTests, deleted with its values.
class AnsiRegistryAdapters : public AnsiAdapters {
 protected:
  void SetUp() override {
    AnsiAdapters::SetUp();
    path = std::string("Software\\RetraxTests\\") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\RetraxTests");  // only when no other test left a key
    AnsiAdapters::TearDown();
  }
  void SetAnsi(const char* name, DWORD type, const void* data, DWORD count) {
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, (const BYTE*)data, count), ERROR_SUCCESS);
  }
  std::string path;
  HKEY key = nullptr;
};

TEST_F(AnsiAdapters, TextOutputsMatchTheWideFunctions) {
  wchar_t wide[MAX_PATH], ansi[MAX_PATH];
  UINT count = GetWindowsDirectoryW(wide, MAX_PATH);
  EXPECT_EQ(sys.GetWindowsDirectoryW(ansi, MAX_PATH), count);
  EXPECT_STREQ(ansi, wide);
  count = GetSystemDirectoryW(wide, MAX_PATH);
  EXPECT_EQ(sys.GetSystemDirectoryW(ansi, MAX_PATH), count);
  EXPECT_STREQ(ansi, wide);
  EXPECT_EQ(sys.GetTempPathW(MAX_PATH, ansi), scratch.Path().size() + 1);
  EXPECT_STREQ(ansi, (scratch.Path() + L"\\").c_str());
  count = GetModuleFileNameW(nullptr, wide, MAX_PATH);
  EXPECT_EQ(sys.GetModuleFileNameW(nullptr, ansi, MAX_PATH), count);
  EXPECT_STREQ(ansi, wide);
  count = GetShortPathNameW(scratch.Path().c_str(), wide, MAX_PATH);
  EXPECT_EQ(sys.GetShortPathNameW(scratch.Path().c_str(), ansi, MAX_PATH), count);
  EXPECT_STREQ(ansi, wide);

  // The current folder is counted in wide characters, as by the wide
  // function; a short buffer is told the size it needs.
  wchar_t saved[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, saved);
  EXPECT_TRUE(sys.SetCurrentDirectoryW(scratch.Path().c_str()));
  EXPECT_EQ(sys.GetCurrentDirectoryW(MAX_PATH, ansi), scratch.Path().size());
  EXPECT_STREQ(ansi, scratch.Path().c_str());
  EXPECT_EQ(sys.GetCurrentDirectoryW(4, ansi), scratch.Path().size() + 1);
  EXPECT_STREQ(ansi, L"");
  SetCurrentDirectoryW(saved);

  PIDLIST_ABSOLUTE list = nullptr;
  ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_WINDOWS, &list), S_OK);
  EXPECT_TRUE(sys.SHGetPathFromIDListW(list, ansi));
  GetWindowsDirectoryW(wide, MAX_PATH);
  EXPECT_STREQ(ansi, wide);
  CoTaskMemFree(list);
}

TEST_F(AnsiAdapters, FailedOrOversizedTextOutputsLeaveAnEmptyStringAndNoOverrun) {
  wchar_t buffer[16];
  wmemset(buffer, L'#', 16);
  EXPECT_EQ(sys.GetShortPathNameW(scratch.Child(L"missing").c_str(), buffer, 16), 0u);
  EXPECT_STREQ(buffer, L"");

  // Callers that state a small buffer get the size needed, as from the wide
  // functions, and nothing past what they stated.
  wmemset(buffer, L'#', 16);
  DWORD needed = sys.GetTempPathW(8, buffer);
  EXPECT_EQ(needed, scratch.Path().size() + 2);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(buffer[8], L'#');
  wmemset(buffer, L'#', 16);
  EXPECT_EQ(sys.GetModuleFileNameW(nullptr, buffer, 8), 8u);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(buffer[8], L'#');

  PIDLIST_ABSOLUTE list = nullptr;
  ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &list), S_OK);
  wchar_t path[MAX_PATH];
  wmemset(path, L'#', MAX_PATH);
  EXPECT_FALSE(sys.SHGetPathFromIDListW(list, path)) << "a virtual folder has no path";
  EXPECT_STREQ(path, L"");
  CoTaskMemFree(list);
}

// Sets the last-access and last-write times (creation times cannot be set on
// Wine's Linux side); folders need the backup-semantics flag to be opened.
void SetTimes(const std::wstring& path, ULONGLONG access, ULONGLONG write) {
  HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  FILETIME accessTime = {(DWORD)access, (DWORD)(access >> 32)};
  FILETIME writeTime = {(DWORD)write, (DWORD)(write >> 32)};
  EXPECT_TRUE(SetFileTime(file, nullptr, &accessTime, &writeTime));
  CloseHandle(file);
}

ULONGLONG Ticks(const FILETIME& time) { return (ULONGLONG)time.dwHighDateTime << 32 | time.dwLowDateTime; }

// The wide search is the reference. Only entries of this test are compared:
// "." and ".." are left out by the pattern, since the times of the folders
// around change whenever a parallel test writes into the temporary folder.
// The times set here differ from each other and from the clock, so that a
// field copied into the wrong place shows.
TEST_F(AnsiAdapters, FindDataArrivesFieldByFieldAndFailureLeavesTheRecord) {
  scratch.MakeFile(L"entry with a long name.txt", "12345");
  scratch.MakeFile(L"entry2.dat");
  ASSERT_TRUE(CreateDirectoryW(scratch.Child(L"entry3").c_str(), nullptr));
  const ULONGLONG kAccess = 0x01D0000000000000ull, kWrite = 0x01C0000000000000ull;
  for (const wchar_t* name : {L"entry with a long name.txt", L"entry2.dat", L"entry3"}) {
    SetTimes(scratch.Child(name), kAccess, kWrite);
  }
  ASSERT_TRUE(SetFileAttributesW(scratch.Child(L"entry2.dat").c_str(), FILE_ATTRIBUTE_READONLY));
  std::wstring pattern = scratch.Child(L"entry*");

  WIN32_FIND_DATAW expected, actual;
  HANDLE wide = FindFirstFileW(pattern.c_str(), &expected);
  memset(&actual, 0xCD, sizeof actual);
  HANDLE ansi = sys.FindFirstFileW(pattern.c_str(), &actual);
  ASSERT_NE(wide, INVALID_HANDLE_VALUE);
  ASSERT_NE(ansi, INVALID_HANDLE_VALUE);
  int entries = 0;
  BOOL more = TRUE;
  while (more) {
    SCOPED_TRACE(::testing::PrintToString(std::wstring(expected.cFileName)));
    EXPECT_EQ(actual.dwFileAttributes, expected.dwFileAttributes);
    EXPECT_EQ(Ticks(actual.ftCreationTime), Ticks(expected.ftCreationTime));
    EXPECT_EQ(Ticks(actual.ftLastAccessTime), kAccess);
    EXPECT_EQ(Ticks(actual.ftLastWriteTime), kWrite);
    EXPECT_EQ(actual.nFileSizeHigh, expected.nFileSizeHigh);
    EXPECT_EQ(actual.nFileSizeLow, expected.nFileSizeLow);
    EXPECT_EQ(actual.dwReserved0, expected.dwReserved0);
    EXPECT_EQ(actual.dwReserved1, expected.dwReserved1);
    EXPECT_STREQ(actual.cFileName, expected.cFileName);
    EXPECT_STREQ(actual.cAlternateFileName, expected.cAlternateFileName);
    ++entries;
    memset(&actual, 0xCD, sizeof actual);
    more = FindNextFileW(wide, &expected);
    EXPECT_EQ(sys.FindNextFileW(ansi, &actual), more);
  }
  EXPECT_EQ(entries, 3);
  EXPECT_EQ(actual.dwFileAttributes, 0xCDCDCDCDu) << "the end of the search left the record alone";
  FindClose(wide);
  FindClose(ansi);

  EXPECT_EQ(sys.FindFirstFileW(scratch.Child(L"none*").c_str(), &actual), INVALID_HANDLE_VALUE);
  EXPECT_EQ(actual.dwFileAttributes, 0xCDCDCDCDu);
}

TEST_F(AnsiRegistryAdapters, StringValuesArriveWideWithWideCounts) {
  const char text[] = "C:\\Program Files\\App";
  const DWORD s = sizeof text;  // ANSI bytes with the terminator
  SetAnsi("Path", REG_SZ, text, s);
  SetAnsi("Expand", REG_EXPAND_SZ, "%WINDIR%", 9);

  wchar_t buffer[64];
  DWORD type = 0, count = 2 * s;
  ASSERT_EQ(sys.RegQueryValueExW(key, L"Path", nullptr, &type, (BYTE*)buffer, &count), ERROR_SUCCESS);
  EXPECT_STREQ(buffer, L"C:\\Program Files\\App");
  EXPECT_EQ(count, 2 * (wcslen(buffer) + 1));
  EXPECT_EQ(type, (DWORD)REG_SZ);

  wmemset(buffer, L'#', 64);
  count = 2 * s - 1;
  EXPECT_EQ(sys.RegQueryValueExW(key, L"Path", nullptr, &type, (BYTE*)buffer, &count), ERROR_MORE_DATA);
  EXPECT_EQ(count, 2 * s);
  EXPECT_EQ(buffer[0], L'#') << "nothing is written when the count is too small";

  count = sizeof buffer;
  ASSERT_EQ(sys.RegQueryValueExW(key, L"Expand", nullptr, &type, (BYTE*)buffer, &count), ERROR_SUCCESS);
  EXPECT_STREQ(buffer, L"%WINDIR%") << "stored as written, not expanded";
  EXPECT_EQ(type, (DWORD)REG_EXPAND_SZ);
}

TEST_F(AnsiRegistryAdapters, AnEmptyStringStillNeedsRoomForItsTerminator) {
  SetAnsi("Empty", REG_SZ, "", 0);
  wchar_t buffer[8];
  wmemset(buffer, L'#', 8);
  DWORD type = 0, count = 0;
  EXPECT_EQ(sys.RegQueryValueExW(key, L"Empty", nullptr, &type, (BYTE*)buffer, &count), ERROR_MORE_DATA);
  EXPECT_EQ(count, 2u) << "room for the terminator the caller is given";
  EXPECT_EQ(buffer[0], L'#');
  count = 2;
  EXPECT_EQ(sys.RegQueryValueExW(key, L"Empty", nullptr, &type, (BYTE*)buffer, &count), ERROR_SUCCESS);
  EXPECT_STREQ(buffer, L"");
  EXPECT_EQ(count, 2u);
}

TEST_F(AnsiRegistryAdapters, NumbersPassUnchangedAndStringsAreWrittenWithTheirAnsiCount) {
  DWORD number = 0x12345678, read = 0, type = 0, count = sizeof read;
  SetAnsi("Count", REG_DWORD, &number, sizeof number);
  ASSERT_EQ(sys.RegQueryValueExW(key, L"Count", nullptr, &type, (BYTE*)&read, &count), ERROR_SUCCESS);
  EXPECT_EQ(read, number);
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(type, (DWORD)REG_DWORD);

  const wchar_t text[] = L"C:\\App\\lib.dll";
  ASSERT_EQ(sys.RegSetValueExW(key, L"Text", 0, REG_SZ, (const BYTE*)text, 1000), ERROR_SUCCESS);
  char ansi[64];
  count = sizeof ansi;
  ASSERT_EQ(RegQueryValueExA(key, "Text", nullptr, &type, (BYTE*)ansi, &count), ERROR_SUCCESS);
  EXPECT_STREQ(ansi, "C:\\App\\lib.dll");
  EXPECT_EQ(count, strlen(ansi) + 1);
  number = 7;
  ASSERT_EQ(sys.RegSetValueExW(key, L"Count", 0, REG_DWORD, (const BYTE*)&number, 4), ERROR_SUCCESS);
  count = sizeof read;
  ASSERT_EQ(RegQueryValueExA(key, "Count", nullptr, &type, (BYTE*)&read, &count), ERROR_SUCCESS);
  EXPECT_EQ(read, 7u);
}

TEST_F(AnsiRegistryAdapters, ANameThatCannotBeCopiedFailsInsteadOfNamingTheDefaultValue) {
  SetAnsi("", REG_SZ, "default", 8);
  SetAnsi("Named", REG_SZ, "named", 6);
  MemFailAfter(1);
  EXPECT_EQ(sys.RegDeleteValueW(key, L"Named"), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(RegQueryValueExA(key, "", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(key, "Named", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);

  // The query's own block: the name's copy is allocation 1, the block 2.
  wchar_t buffer[16];
  DWORD count = sizeof buffer;
  MemFailAfter(2);
  EXPECT_EQ(sys.RegQueryValueExW(key, L"Named", nullptr, nullptr, (BYTE*)buffer, &count),
            ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_STREQ(buffer, L"");
  EXPECT_EQ(count, 2u) << "the size of the empty string it holds";
}

void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
  CloseHandle(file);
}

std::string ProfileValue(const std::wstring& ini, const char* section, const char* key) {
  char value[64];
  std::string file(ini.begin(), ini.end());
  GetPrivateProfileStringA(section, key, "(none)", value, sizeof value, file.c_str());
  return value;
}

TEST_F(AnsiAdapters, FilesFoldersLibrariesAndFontsAreReachedByTheirNames) {
  const std::wstring file = scratch.Child(L"notes.txt");
  HANDLE handle = sys.CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  CloseHandle(handle);
  EXPECT_TRUE(sys.SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_NE(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(sys.GetFileAttributesW(file.c_str()), GetFileAttributesW(file.c_str()));
  EXPECT_FALSE(sys.DeleteFileW(file.c_str())) << "a read-only file stays";
  EXPECT_TRUE(sys.SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(sys.DeleteFileW(file.c_str()));
  EXPECT_EQ(sys.GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);

  const std::wstring folder = scratch.Child(L"sub folder");
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  EXPECT_TRUE(sys.RemoveDirectoryW(folder.c_str()));
  EXPECT_EQ(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);

  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  HMODULE library = sys.LoadLibraryW((std::wstring(system) + L"\\shell32.dll").c_str());
  EXPECT_NE(library, nullptr);
  EXPECT_EQ(library, GetModuleHandleW(L"shell32.dll"));
  FreeLibrary(library);

  const std::wstring font = scratch.Child(L"face.ttf");
  WriteBytes(font, sfnt::Build(sfnt::FontNames("Rx Ansi Adapter")));
  ASSERT_GT(AddFontResourceW(font.c_str()), 0);
  EXPECT_NE(sys.RemoveFontResourceW(font.c_str()), 0);
  EXPECT_EQ(sys.RemoveFontResourceW(font.c_str()), 0) << "no longer loaded";
}

// Null arguments stay null: they are what makes the profile function delete
// a key or a section, or write its cache to the file.
TEST_F(AnsiAdapters, ProfileEntriesAreWrittenAndNullArgumentsKeepTheirMeaning) {
  const std::wstring ini = scratch.Child(L"wininit.ini");
  EXPECT_TRUE(sys.WritePrivateProfileStringW(L"Rename", L"xyz", L"C:\\OLD\\A.EXE", ini.c_str()));
  EXPECT_TRUE(sys.WritePrivateProfileStringW(L"Rename", L"other", L"1", ini.c_str()));
  sys.WritePrivateProfileStringW(nullptr, nullptr, nullptr, ini.c_str());
  EXPECT_EQ(ProfileValue(ini, "Rename", "xyz"), "C:\\OLD\\A.EXE");
  EXPECT_TRUE(sys.WritePrivateProfileStringW(L"Rename", L"xyz", nullptr, ini.c_str()));
  EXPECT_EQ(ProfileValue(ini, "Rename", "xyz"), "(none)");
  EXPECT_EQ(ProfileValue(ini, "Rename", "other"), "1");
  EXPECT_TRUE(sys.WritePrivateProfileStringW(L"Rename", nullptr, nullptr, ini.c_str()));
  EXPECT_EQ(ProfileValue(ini, "Rename", "other"), "(none)");
}

// A text that cannot be copied fails the call before it is made, with the
// wide function's failure result: nothing is created, written or renamed,
// and no null takes the text's place.
TEST_F(AnsiAdapters, ATextThatCannotBeCopiedFailsTheCallBeforeItIsMade) {
  MemFailAfter(1);
  EXPECT_EQ(WideToAnsiCopy(L"text", CP_ACP), nullptr);

  const std::wstring file = scratch.Child(L"never.txt");
  MemFailAfter(1);
  EXPECT_EQ(sys.CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);

  // A null value would delete the entry.
  const std::wstring ini = scratch.Child(L"wininit.ini");
  ASSERT_TRUE(WritePrivateProfileStringW(L"Rename", L"xyz", L"kept", ini.c_str()));
  MemFailAfter(3);  // the section, the key, then the value
  EXPECT_FALSE(sys.WritePrivateProfileStringW(L"Rename", L"xyz", L"new", ini.c_str()));
  EXPECT_EQ(ProfileValue(ini, "Rename", "xyz"), "kept");

  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = (WNDPROC)sys.DefWindowProcW;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = L"RetraxAnsiCopyFailure";
  MemFailAfter(1);
  EXPECT_EQ(sys.RegisterClassW(&windowClass), 0);
  WNDCLASSA registered;
  EXPECT_FALSE(GetClassInfoA(instance, "RetraxAnsiCopyFailure", &registered));
  ASSERT_NE(sys.RegisterClassW(&windowClass), 0);
  for (long failing : {1, 2}) {  // the class name, then the window name
    MemFailAfter(failing);
    EXPECT_EQ(sys.CreateWindowExW(0, L"RetraxAnsiCopyFailure", L"Caption", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                  nullptr, instance, nullptr),
              nullptr)
        << "copy " << failing;
  }
  HWND window = sys.CreateWindowExW(0, L"RetraxAnsiCopyFailure", L"Caption", WS_OVERLAPPED, 0, 0, 100, 100,
                                    nullptr, nullptr, instance, nullptr);
  ASSERT_NE(window, nullptr);
  HWND item = CreateWindowExA(0, "STATIC", "Item", WS_CHILD, 0, 0, 50, 20, window, (HMENU)5, instance, nullptr);
  ASSERT_NE(item, nullptr);
  MemFailAfter(1);
  EXPECT_FALSE(sys.SetWindowTextW(window, L"Renamed"));
  MemFailAfter(1);
  EXPECT_FALSE(sys.SetDlgItemTextW(window, 5, L"Renamed"));
  char text[32];
  GetWindowTextA(window, text, 32);
  EXPECT_STREQ(text, "Caption");
  GetWindowTextA(item, text, 32);
  EXPECT_STREQ(text, "Item");
  EXPECT_TRUE(sys.SetDlgItemTextW(window, 5, L"Renamed"));
  GetWindowTextA(item, text, 32);
  EXPECT_STREQ(text, "Renamed");
  DestroyWindow(window);
  UnregisterClassA("RetraxAnsiCopyFailure", instance);

  // Without its parameters the command interpreter would wait for input.
  wchar_t cmd[MAX_PATH];
  GetSystemDirectoryW(cmd, MAX_PATH);
  wcscat(cmd, L"\\cmd.exe");
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpFile = cmd;
  info.lpParameters = L"/c exit 3";
  info.nShow = SW_HIDE;
  MemFailAfter(2);  // no verb: the file is copy 1, the parameters copy 2
  EXPECT_FALSE(sys.ShellExecuteExW(&info));
  EXPECT_EQ((INT_PTR)info.hInstApp, SE_ERR_OOM);
  EXPECT_EQ(info.hProcess, nullptr);
}

TEST_F(AnsiAdapters, FontRecordsTravelBothWays) {
  LOGFONTW font = {};
  font.lfHeight = -11;
  font.lfWeight = FW_BOLD;
  font.lfItalic = TRUE;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = ANTIALIASED_QUALITY;
  font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
  wcscpy(font.lfFaceName, L"Tahoma");
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

TEST_F(AnsiAdapters, LaunchedProcessesReachTheirArgumentsFolderAndHandle) {
  wchar_t cmd[MAX_PATH];
  GetSystemDirectoryW(cmd, MAX_PATH);
  wcscat(cmd, L"\\cmd.exe");
  scratch.MakeFile(L"marker.txt");

  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = cmd;
  info.lpParameters = L"/c if exist marker.txt exit 7";
  info.lpDirectory = scratch.Path().c_str();
  info.nShow = SW_HIDE;
  ASSERT_TRUE(sys.ShellExecuteExW(&info));
  ASSERT_NE(info.hProcess, nullptr) << "the launcher waits on this handle";
  EXPECT_GT((INT_PTR)info.hInstApp, 32);
  ASSERT_EQ(WaitForSingleObject(info.hProcess, 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  EXPECT_EQ(code, 7u);
  CloseHandle(info.hProcess);

  std::wstring line = L"\"" + std::wstring(cmd) + L"\" /c if exist marker.txt exit 5";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(sys.CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                                 scratch.Path().c_str(), &startup, &process));
  ASSERT_EQ(WaitForSingleObject(process.hProcess, 10000), WAIT_OBJECT_0);
  GetExitCodeProcess(process.hProcess, &code);
  EXPECT_EQ(code, 5u);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

TEST_F(AnsiAdapters, WindowsAreRegisteredAndNamedInTheAnsiCharacterSet) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = (WNDPROC)sys.DefWindowProcW;
  windowClass.hInstance = instance;
  windowClass.hCursor = sys.LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.lpszClassName = L"RetraxAnsiAdapterTest";
  ATOM atom = sys.RegisterClassW(&windowClass);
  ASSERT_NE(atom, 0);

  HWND byName = sys.CreateWindowExW(0, L"RetraxAnsiAdapterTest", L"Caption", WS_OVERLAPPED, 0, 0, 100, 100,
                                    nullptr, nullptr, instance, nullptr);
  ASSERT_NE(byName, nullptr);
  EXPECT_FALSE(IsWindowUnicode(byName));
  char text[32];
  GetWindowTextA(byName, text, 32);
  EXPECT_STREQ(text, "Caption");
  EXPECT_TRUE(sys.SetWindowTextW(byName, L"Renamed"));
  GetWindowTextA(byName, text, 32);
  EXPECT_STREQ(text, "Renamed");

  // A class named by its atom passes through; it is not a text to convert.
  HWND byAtom = sys.CreateWindowExW(0, (LPCWSTR)MAKEINTATOM(atom), nullptr, WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                    nullptr, instance, nullptr);
  EXPECT_NE(byAtom, nullptr);
  DestroyWindow(byAtom);
  DestroyWindow(byName);
  UnregisterClassA("RetraxAnsiAdapterTest", instance);
}

TEST_F(AnsiRegistryAdapters, KeysAndValuesAreOpenedAndDeletedByTheirNames) {
  // A name with a letter of the code page beyond ASCII (e acute).
  const wchar_t* name = L"Caf\u00E9";
  if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 1252";
  HKEY sub = nullptr;
  ASSERT_EQ(RegCreateKeyExW(key, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr), ERROR_SUCCESS);
  RegSetValueExW(sub, name, 0, REG_SZ, (const BYTE*)L"1", 4);
  RegSetValueExW(sub, nullptr, 0, REG_SZ, (const BYTE*)L"default", 16);
  RegCloseKey(sub);

  HKEY opened = nullptr;
  ASSERT_EQ(sys.RegOpenKeyExW(key, name, 0, KEY_ALL_ACCESS, &opened), ERROR_SUCCESS);
  EXPECT_EQ(sys.RegDeleteValueW(opened, name), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(opened, name, nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(sys.RegDeleteValueW(opened, nullptr), ERROR_SUCCESS) << "null names the default value";
  EXPECT_EQ(RegQueryValueExW(opened, nullptr, nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
  RegCloseKey(opened);
  EXPECT_EQ(sys.RegDeleteKeyW(key, name), ERROR_SUCCESS);
  EXPECT_NE(RegOpenKeyExW(key, name, 0, KEY_READ, &opened), ERROR_SUCCESS);
}

// What WideCharToMultiByte makes of a letter the code page lacks is a "?",
// a wildcard, or a look-alike: under 1252 "\u0141odz" (L with stroke)
// becomes "Lodz". Either names a neighbour, which a deletion would remove;
// such names are refused. Texts that are only stored or shown keep what the
// code page can show.
TEST_F(AnsiRegistryAdapters, ANameTheCodePageCannotSpellIsRefusedNotReplacedByALookAlike) {
  const std::wstring lookAlike = L"\u0141odz";
  const std::wstring unspellable = L"\u05D0\u05D1";  // two Hebrew letters: "??" in 1252 and 932
  if (SpelledExactly(lookAlike.c_str(), GetACP()) || SpelledExactly(unspellable.c_str(), GetACP())) {
    GTEST_SKIP() << "the ANSI code page " << GetACP() << " spells them";
  }
  HKEY neighbour = nullptr;
  ASSERT_EQ(RegCreateKeyExW(key, L"Lodz", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &neighbour, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(neighbour);
  RegSetValueExW(key, L"Lodz", 0, REG_SZ, (const BYTE*)L"1", 4);
  scratch.MakeFile(L"Lodz.txt");
  scratch.MakeFile(L"ab.txt");

  EXPECT_EQ(sys.RegDeleteKeyW(key, lookAlike.c_str()), ERROR_NO_UNICODE_TRANSLATION);
  EXPECT_EQ(sys.RegDeleteValueW(key, lookAlike.c_str()), ERROR_NO_UNICODE_TRANSLATION);
  HKEY opened = nullptr;
  EXPECT_EQ(sys.RegOpenKeyExW(key, lookAlike.c_str(), 0, KEY_READ, &opened), ERROR_NO_UNICODE_TRANSLATION);
  EXPECT_EQ(RegOpenKeyExW(key, L"Lodz", 0, KEY_READ, &opened), ERROR_SUCCESS);
  RegCloseKey(opened);
  EXPECT_EQ(RegQueryValueExW(key, L"Lodz", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);

  EXPECT_FALSE(sys.DeleteFileW(scratch.Child(lookAlike + L".txt").c_str()));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_UNICODE_TRANSLATION);
  EXPECT_EQ(scratch.CountEntries(), 2) << "Lodz.txt stays";
  WIN32_FIND_DATAW found;
  EXPECT_EQ(sys.FindFirstFileW(scratch.Child(unspellable + L".txt").c_str(), &found), INVALID_HANDLE_VALUE)
      << "\"??.txt\" would find ab.txt";

  DWORD type = 0, count = sizeof type;
  EXPECT_EQ(sys.RegSetValueExW(key, L"Shown", 0, REG_SZ, (const BYTE*)unspellable.c_str(), 6), ERROR_SUCCESS);
  char stored[8] = {};
  count = sizeof stored;
  EXPECT_EQ(RegQueryValueExA(key, "Shown", nullptr, &type, (BYTE*)stored, &count), ERROR_SUCCESS);
  EXPECT_STREQ(stored, "??");
  HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  EXPECT_TRUE(sys.SetWindowTextW(window, (unspellable + L" x").c_str()));
  GetWindowTextA(window, stored, sizeof stored);
  EXPECT_STREQ(stored, "?? x");
  DestroyWindow(window);
}

// A double-byte code page (932, which Wine converts whatever the host's
// locale): a character is one or two bytes, so n bytes give fewer than n
// characters, and the text ends right after them.
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

// Runs only where the ANSI code page is 932 (Wine started with
// LC_ALL=ja_JP.UTF-8): the adapters themselves count characters, not bytes.
TEST_F(AnsiRegistryAdapters, DoubleByteCodePageCountsCharactersNotBytes) {
  if (GetACP() != 932) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 932";
  const char bytes[] = "\x83\x66\x81\x5B\x83\x5E";
  const wchar_t word[] = L"\u30C7\u30FC\u30BF";
  wchar_t wide[8];
  wmemset(wide, L'#', 8);
  EXPECT_EQ(AnsiToWide(wide, bytes), 3);
  EXPECT_STREQ(wide, word) << "terminated right after the characters";

  SetAnsi("Word", REG_SZ, bytes, sizeof bytes);
  DWORD count = 2 * sizeof bytes;
  ASSERT_EQ(sys.RegQueryValueExW(key, L"Word", nullptr, nullptr, (BYTE*)wide, &count), ERROR_SUCCESS);
  EXPECT_STREQ(wide, word);
  EXPECT_EQ(count, 8u) << "twice the characters and the terminator, not twice the bytes";

  LOGFONTW font = {};
  font.lfHeight = -12;
  font.lfCharSet = SHIFTJIS_CHARSET;
  wcscpy(font.lfFaceName, L"\uFF2D\uFF33 \u30B4\u30B7\u30C3\u30AF");  // MS Gothic
  HFONT handle = sys.CreateFontIndirectW(&font);
  ASSERT_NE(handle, nullptr);
  LOGFONTW back = {};
  EXPECT_EQ(sys.GetObjectW(handle, sizeof back, &back), (int)sizeof(LOGFONTA));
  EXPECT_STREQ(back.lfFaceName, font.lfFaceName);
  DeleteObject(handle);

  // Wine stores a non-ASCII name only when the host's own locale can spell it.
  std::wstring folder = scratch.Child(word);
  if (!CreateDirectoryW(folder.c_str(), nullptr)) GTEST_SKIP() << "the host cannot store a Japanese file name";
  wchar_t saved[MAX_PATH], current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, saved);
  ASSERT_TRUE(sys.SetCurrentDirectoryW(folder.c_str()));
  EXPECT_EQ(sys.GetCurrentDirectoryW(MAX_PATH, current), folder.size()) << "wide length, not ANSI bytes";
  EXPECT_STREQ(current, folder.c_str());
  SetCurrentDirectoryW(saved);
}

}  // namespace
