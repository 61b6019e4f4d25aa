// Which functions the table holds on each platform family.
#include <gtest/gtest.h>

#include "platform/system_calls.h"
#include "platform_test_support.h"

namespace {

// Every entry of the table, as (name, entry in the table, wide function).
#define RX_FOR_EACH_ENTRY(X)                                                                              \
  X(CreateFileW) X(DeleteFileW) X(GetFileAttributesW) X(SetFileAttributesW) X(FindFirstFileW)               \
  X(FindNextFileW) X(RemoveDirectoryW) X(SetCurrentDirectoryW) X(GetCurrentDirectoryW) X(GetModuleFileNameW) \
  X(GetWindowsDirectoryW) X(GetSystemDirectoryW) X(GetTempPathW) X(GetShortPathNameW)                       \
  X(WritePrivateProfileStringW) X(LoadLibraryW) X(CreateProcessW) X(ShellExecuteW) X(ShellExecuteExW)       \
  X(RegOpenKeyExW) X(RegQueryValueExW) X(RegSetValueExW) X(RegDeleteKeyW) X(RegDeleteValueW)                \
  X(RemoveFontResourceW) X(RegisterClassW) X(CreateWindowExW) X(DefWindowProcW) X(CreateDialogParamW)      \
  X(DialogBoxParamW) X(IsDialogMessageW) X(SetWindowLongW) X(SendMessageW) X(PeekMessageW) X(GetMessageW)   \
  X(DispatchMessageW) X(LoadIconW) X(LoadCursorW) X(SetWindowTextW) X(SetDlgItemTextW)                      \
  X(CreateFontIndirectW) X(GetObjectW) X(MessageBoxW)

// The members above plus SHGetPathFromIDListW: a new entry added to the table
// but not to the list shows up here.
static_assert(sizeof(SystemCallTable) == 44 * sizeof(void*), "the entry list no longer matches the table");

// A function named in a static initialiser is the import thunk of the
// program (jmp [import slot]); one named in code is the slot's content. Both
// lead to the same function once the thunk is followed.
const void* Target(const void* function) {
  const unsigned char* code = (const unsigned char*)function;
  if (code[0] == 0xFF && code[1] == 0x25) return **(const void* const* const*)(code + 2);
  return function;
}

FARPROC ShellExport() {
  HMODULE shell = GetModuleHandleW(L"shell32.dll");
  return shell == nullptr ? nullptr : GetProcAddress(shell, "SHGetPathFromIDListW");
}

TEST(SystemCallSelection, WidePlatformKeepsEveryWideFunctionAndFindsTheShellExport) {
  SelectSystemCalls();
#define RX_EXPECT_WIDE(name) EXPECT_EQ(Target((void*)sys.name), Target((void*)&::name)) << #name;
  RX_FOR_EACH_ENTRY(RX_EXPECT_WIDE)
#undef RX_EXPECT_WIDE
  ASSERT_NE(ShellLibraryHandle(), nullptr);
  ASSERT_NE(ShellExport(), nullptr);
  EXPECT_EQ(Target((void*)sys.SHGetPathFromIDListW), Target((void*)ShellExport()));
}

TEST(SystemCallSelection, AnsiPlatformSwitchesEveryEntryButMessageBox) {
  {
    TableSelection ansi(false);
#define RX_EXPECT_SWITCHED(name) \
  if (strcmp(#name, "MessageBoxW") != 0) {                  \
    EXPECT_NE(Target((void*)sys.name), Target((void*)&::name)) << #name;    \
  }
    RX_FOR_EACH_ENTRY(RX_EXPECT_SWITCHED)
#undef RX_EXPECT_SWITCHED
    EXPECT_EQ(Target((void*)sys.MessageBoxW), Target((void*)&::MessageBoxW));
    EXPECT_NE(Target((void*)sys.SHGetPathFromIDListW), Target((void*)ShellExport()));
    EXPECT_EQ(ShellLibraryHandle(), nullptr) << "the ANSI family loads no shell library";
    // The messages and loads that carry no text go straight to the ANSI functions.
    EXPECT_EQ(Target((void*)sys.SendMessageW), Target((void*)&::SendMessageA));
    EXPECT_EQ(Target((void*)sys.LoadCursorW), Target((void*)&::LoadCursorA));
  }
  EXPECT_EQ(Target((void*)sys.CreateFileW), Target((void*)&::CreateFileW)) << "the wide table comes back";
  EXPECT_EQ(Target((void*)sys.SHGetPathFromIDListW), Target((void*)ShellExport()));
}

TEST(SystemCallSelection, SystemLibrariesComeFromTheSystemFolderOnly) {
  wchar_t system[MAX_PATH], loaded[MAX_PATH];
  ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
  HMODULE library = LoadSystemLibrary(L"shell32.dll");
  ASSERT_NE(library, nullptr);
  ASSERT_GT(GetModuleFileNameW(library, loaded, MAX_PATH), 0u);
  EXPECT_EQ(_wcsnicmp(loaded, system, wcslen(system)), 0) << "loaded from elsewhere";
  FreeLibrary(library);

  // A name beside the program but not in the system folder is not found.
  ScratchFolder scratch;
  scratch.MakeFile(L"retrax_not_a_system.dll", "MZ");
  wchar_t saved[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, saved);
  SetCurrentDirectoryW(scratch.Path().c_str());
  EXPECT_EQ(LoadSystemLibrary(L"retrax_not_a_system.dll"), nullptr);
  SetCurrentDirectoryW(saved);

  // A name that would make the path longer than 260 characters is refused.
  std::wstring longName(MAX_PATH, L'a');
  EXPECT_EQ(LoadSystemLibrary(longName.c_str()), nullptr);
}

}  // namespace
