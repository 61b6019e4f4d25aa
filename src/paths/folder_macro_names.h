// The folder macros and the protected folders as plain data, without the
// platform's headers: the program resolves them (paths/folder_macros.cpp),
// retrax-pack checks manifests against them (tools/pack/vocabulary.cpp).
#pragma once
#include <stdint.h>

#include "payload/format.h"

// Values below 0x80000000 are the shell's CSIDL values, passed on unchanged;
// these are the program's own ids for folders the shell does not name (or
// not on every platform).
enum FolderId : uint32_t {
  FOLDER_WINDOWS = 0x80000001u,
  FOLDER_SYSTEM = 0x80000002u,
  FOLDER_TEMP = 0x80000003u,
  FOLDER_COMMON_QUICK_LAUNCH = 0x80000004u,
  FOLDER_QUICK_LAUNCH = 0x80000005u,
  FOLDER_PROGRAM_FILES = 0x80000006u,
  FOLDER_COMMON_FILES = 0x80000007u,
  FOLDER_ALL_USERS = 0x80000008u,
  FOLDER_PROGRAM_FILES_X64 = 0x80000009u,
  FOLDER_LIST_END = 0xFFFFFFFFu,
};

// The shell's CSIDL values that the tables use, under names of their own
// (shlobj.h defines the CSIDL_ names as macros; folder_macros.cpp checks
// that the two agree).
enum ShellFolderId : uint32_t {
  SHELL_DESKTOP = 0x00,
  SHELL_PROGRAMS = 0x02,
  SHELL_PERSONAL = 0x05,
  SHELL_STARTUP = 0x07,
  SHELL_STARTMENU = 0x0B,
  SHELL_DESKTOPDIRECTORY = 0x10,
  SHELL_FONTS = 0x14,
  SHELL_COMMON_STARTMENU = 0x16,
  SHELL_COMMON_PROGRAMS = 0x17,
  SHELL_COMMON_STARTUP = 0x18,
  SHELL_COMMON_DESKTOPDIRECTORY = 0x19,
  SHELL_APPDATA = 0x1A,
  SHELL_LOCAL_APPDATA = 0x1C,
  SHELL_COMMON_APPDATA = 0x23,
  SHELL_PROFILE = 0x28,
  SHELL_COMMON_DOCUMENTS = 0x2E,
};

struct FolderMacroRow {
  const RxChar* name;  // with both '#', compared without regard to ASCII case
  uint32_t id;
};

// Searched in this order; ended by a row whose name is null. "#InstallDir#"
// stands outside the table: it is the uninstaller's own folder.
inline constexpr FolderMacroRow kFolderMacroTable[] = {
    {RX_TEXT("#Windows#"), FOLDER_WINDOWS},
    {RX_TEXT("#System#"), FOLDER_SYSTEM},
    {RX_TEXT("#CommonFiles#"), FOLDER_COMMON_FILES},
    {RX_TEXT("#Program Files#"), FOLDER_PROGRAM_FILES},
    {RX_TEXT("#Program Files (x64)#"), FOLDER_PROGRAM_FILES_X64},
    {RX_TEXT("#MyDocuments#"), SHELL_PERSONAL},
    {RX_TEXT("#Desktop#"), SHELL_DESKTOPDIRECTORY},
    {RX_TEXT("#AppData#"), SHELL_APPDATA},
    {RX_TEXT("#LocalAppData#"), SHELL_LOCAL_APPDATA},
    {RX_TEXT("#UserDir#"), SHELL_PROFILE},
    {RX_TEXT("#TempDir#"), FOLDER_TEMP},
    {RX_TEXT("#AllUsersAppData#"), SHELL_COMMON_APPDATA},
    {RX_TEXT("#AllUsersDocuments#"), SHELL_COMMON_DOCUMENTS},
    {RX_TEXT("#AllUsersDesktop#"), SHELL_COMMON_DESKTOPDIRECTORY},
    {RX_TEXT("#AllUsersDir#"), FOLDER_ALL_USERS},
    {nullptr, 0},
};

inline constexpr RxChar kInstallDirMacro[] = RX_TEXT("#InstallDir#");

// The folders the removal phases never remove, tried in this order; ended
// by FOLDER_LIST_END.
inline constexpr uint32_t kProtectedFolderIds[] = {
    FOLDER_WINDOWS, FOLDER_SYSTEM, FOLDER_TEMP, FOLDER_PROGRAM_FILES, FOLDER_COMMON_FILES,
    FOLDER_ALL_USERS, FOLDER_QUICK_LAUNCH, FOLDER_COMMON_QUICK_LAUNCH,
    SHELL_DESKTOP, SHELL_DESKTOPDIRECTORY, SHELL_COMMON_DESKTOPDIRECTORY, SHELL_FONTS,
    SHELL_PROGRAMS, SHELL_COMMON_PROGRAMS, SHELL_STARTMENU, SHELL_COMMON_STARTMENU, SHELL_STARTUP,
    SHELL_COMMON_STARTUP, SHELL_APPDATA, SHELL_COMMON_APPDATA, SHELL_LOCAL_APPDATA,
    SHELL_COMMON_DOCUMENTS, SHELL_PERSONAL, SHELL_PROFILE,
    FOLDER_PROGRAM_FILES_X64,
    FOLDER_LIST_END,
};
enum { PROTECTED_FOLDER_COUNT = sizeof kProtectedFolderIds / sizeof kProtectedFolderIds[0] - 1 };
static_assert(PROTECTED_FOLDER_COUNT == 25, "the protection list names 25 folders");

// True when id is one of the protected folders.
inline constexpr bool IsProtectedFolderId(uint32_t id) {
  for (int i = 0; i < PROTECTED_FOLDER_COUNT; ++i)
    if (kProtectedFolderIds[i] == id) return true;
  return false;
}
