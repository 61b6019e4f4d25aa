// The table on the ANSI family (under Wine the wide functions work, so a
// whole run would not notice an entry left wide), and system libraries.
#include "platform_test_support.h"

namespace {

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

// The list above plus SHGetPathFromIDListW: an entry added to the table but
// not to the list shows up here.
static_assert(sizeof(SystemCallTable) == 44 * sizeof(void*), "the entry list no longer matches the table");

// A function named in a static initialiser is the program's import thunk
// (jmp [slot]), one named in code the slot's content.
const void* Target(const void* function) {
  const unsigned char* code = (const unsigned char*)function;
  return code[0] == 0xFF && code[1] == 0x25 ? **(const void* const* const*)(code + 2) : function;
}

TEST(SystemCallSelection, TheAnsiFamilySwitchesEveryEntryButMessageBoxAndLoadsNoShell) {
  TableSelection ansi(false);
#define RX_EXPECT_SWITCHED(name) \
  if (strcmp(#name, "MessageBoxW") != 0) EXPECT_NE(Target((void*)sys.name), Target((void*)&::name)) << #name;
  RX_FOR_EACH_ENTRY(RX_EXPECT_SWITCHED)
#undef RX_EXPECT_SWITCHED
  EXPECT_EQ(Target((void*)sys.MessageBoxW), Target((void*)&::MessageBoxW));
  EXPECT_EQ(ShellLibraryHandle(), nullptr);
  EXPECT_NE((void*)sys.SHGetPathFromIDListW,
            (void*)GetProcAddress(GetModuleHandleW(L"shell32.dll"), "SHGetPathFromIDListW"));
}

// The program runs elevated, its self-removal copy from the temporary folder:
// a library planted in the current folder must not be the one loaded.
TEST(SystemCallSelection, SystemLibrariesComeFromTheSystemFolderOnly) {
  wchar_t saved[MAX_PATH];
  ScratchFolder scratch;
  harness::Bytes planted;
  ASSERT_TRUE(harness::LoadEmbeddedFile(L"RETRAX_TEST_EXTENSION_HELPER_DLL", &planted));
  ASSERT_TRUE(scratch.WriteFile(L"retrax_planted.dll", planted));
  GetCurrentDirectoryW(MAX_PATH, saved);
  SetCurrentDirectoryW(scratch.root().c_str());
  EXPECT_EQ(LoadSystemLibrary(L"retrax_planted.dll"), nullptr);
  SetCurrentDirectoryW(saved);
  EXPECT_EQ(LoadSystemLibrary(std::wstring(MAX_PATH, L'a').c_str()), nullptr) << "a path over 260: refused";
}

}  // namespace
