#include "paths/folder_macros.h"

#include <shlobj.h>

#include "driver/run_state.h"
#include "paths/canonical_path.h"
#include "paths/path_ops.h"
#include "paths/path_spelling.h"
#include "payload/memory.h"
#include "platform/system_calls.h"

namespace {

// The tables name the shell's folders by numbers of their own; they are
// the shell's CSIDL values.
static_assert(SHELL_DESKTOP == CSIDL_DESKTOP && SHELL_PROGRAMS == CSIDL_PROGRAMS &&
                  SHELL_PERSONAL == CSIDL_PERSONAL && SHELL_STARTUP == CSIDL_STARTUP &&
                  SHELL_STARTMENU == CSIDL_STARTMENU &&
                  SHELL_DESKTOPDIRECTORY == CSIDL_DESKTOPDIRECTORY && SHELL_FONTS == CSIDL_FONTS &&
                  SHELL_COMMON_STARTMENU == CSIDL_COMMON_STARTMENU &&
                  SHELL_COMMON_PROGRAMS == CSIDL_COMMON_PROGRAMS &&
                  SHELL_COMMON_STARTUP == CSIDL_COMMON_STARTUP &&
                  SHELL_COMMON_DESKTOPDIRECTORY == CSIDL_COMMON_DESKTOPDIRECTORY &&
                  SHELL_APPDATA == CSIDL_APPDATA && SHELL_LOCAL_APPDATA == CSIDL_LOCAL_APPDATA &&
                  SHELL_COMMON_APPDATA == CSIDL_COMMON_APPDATA && SHELL_PROFILE == CSIDL_PROFILE &&
                  SHELL_COMMON_DOCUMENTS == CSIDL_COMMON_DOCUMENTS,
              "the shell folder ids are the shell's CSIDL values");

const RxChar kQuickLaunch[] = L"Microsoft\\Internet Explorer\\Quick Launch";

// One protected folder as resolved at its first use: the path the platform
// gave (for the comparison of the same spelling) and its canonical form
// (for every other spelling). Each is empty when it could not be had.
struct ProtectedFolder {
  RxChar path[RX_MAX_PATH];
  RxChar canonical[RX_MAX_PATH];
};
// Filled on first use. A block of the process heap that lives as long as
// the process, as a static array would; mingw's -fdata-sections puts even a
// zero-filled static into the program file (26 KB of zeros here). Without
// the block, every test resolves the folders afresh.
ProtectedFolder* protectedFolders = nullptr;

// The directory calls give the length without the terminator, or the size
// they would need when the buffer is too small (then the buffer is not
// written); neither 0 nor a count of 260 or more leaves a usable path.
bool Fits(UINT count) { return count != 0 && count < RX_MAX_PATH; }

bool GetWindowsFolder(RxChar* buffer) {
  if (Fits(sys.GetWindowsDirectoryW(buffer, RX_MAX_PATH))) return true;
  buffer[0] = 0;
  return false;
}

// <Windows folder>\<tail>.
bool WindowsFolderWith(RxChar* buffer, const RxChar* tail) {
  return GetWindowsFolder(buffer) && AddBackslash(buffer) && AppendText(buffer, RX_MAX_PATH, tail);
}

bool ShellFolder(RxChar* buffer, uint32_t csidl) { return folderSources.shellFolderPath(buffer, csidl); }

size_t CountBackslashes(const RxChar* text) {
  size_t count = 0;
  for (; *text != 0; ++text) count += *text == '\\';
  return count;
}

void CutAtLastBackslash(RxChar* path) {
  RxChar* last = FindLastBackslash(path);
  if (last != nullptr) *last = 0;
}

// Reads a folder value straight into the 260-unit buffer. The registry
// keeps a string's terminator only when its writer stored one, so the text
// is terminated here, and a value that fills all 520 bytes without a NUL is
// refused rather than used unterminated. An empty value names no folder.
bool ReadFolderValue(HKEY key, const RxChar* name, RxChar* buffer) {
  DWORD bytes = RX_MAX_PATH * sizeof(RxChar);
  if (sys.RegQueryValueExW(key, name, nullptr, nullptr, (BYTE*)buffer, &bytes) != ERROR_SUCCESS) return false;
  size_t units = bytes / sizeof(RxChar);
  if (units < RX_MAX_PATH) {
    buffer[units] = 0;
  } else {
    size_t at = 0;
    while (at < RX_MAX_PATH && buffer[at] != 0) ++at;
    if (at == RX_MAX_PATH) return false;
  }
  return buffer[0] != 0;
}

bool ResolveRegistryFolder(RxChar* buffer, uint32_t id) {
  // The 64-bit view is asked for explicitly: a 32-bit program reads the
  // 32-bit view's "Program Files (x86)" otherwise.
  REGSAM access = KEY_READ | (id == FOLDER_PROGRAM_FILES_X64 ? KEY_WOW64_64KEY : 0);
  HKEY key;
  if (sys.RegOpenKeyExW(folderSources.registryRoot, folderSources.registryKey, 0, access, &key) != ERROR_SUCCESS)
    return false;
  bool found;
  if (id == FOLDER_COMMON_FILES) {
    found = ReadFolderValue(key, L"CommonFilesDir", buffer) ||
            (ReadFolderValue(key, L"ProgramFilesDir", buffer) && AddBackslash(buffer) &&
             AppendText(buffer, RX_MAX_PATH, L"Common Files"));
  } else {
    found = ReadFolderValue(key, L"ProgramFilesDir", buffer);
  }
  RegCloseKey(key);
  return found;
}

// The parent of the common documents folder; a drive root keeps its
// backslash.
bool ResolveAllUsersFolder(RxChar* buffer) {
  if (ShellFolder(buffer, CSIDL_COMMON_DOCUMENTS)) {
    RxChar* last = FindLastBackslash(buffer);
    if (last == nullptr) return CopyText(buffer, RX_MAX_PATH, L"c:\\");
    if (last != buffer && last[-1] == ':') {
      last[1] = 0;
    } else {
      *last = 0;
    }
    return true;
  }
  if (!run.isNT) return WindowsFolderWith(buffer, L"All Users");
  if (ShellFolder(buffer, CSIDL_APPDATA) && CountBackslashes(buffer) >= 2) {
    CutAtLastBackslash(buffer);  // the user's profile folder
    CutAtLastBackslash(buffer);  // the profiles root
    return AppendText(buffer, RX_MAX_PATH, L"\\All Users");
  }
  return WindowsFolderWith(buffer, L"Profiles\\All Users");
}

// What the shell would have answered for the six folders it may be unable
// to name (old shells, stripped-down systems): the profile layout of the
// platform family.
bool ShellFolderFallback(RxChar* buffer, uint32_t csidl) {
  switch (csidl) {
    case CSIDL_COMMON_DESKTOPDIRECTORY:
      return GetAllUsersSubfolder(buffer, L"All Users\\Desktop");
    case CSIDL_COMMON_APPDATA:
      return GetAllUsersSubfolder(buffer, L"All Users\\Application Data");
    case CSIDL_COMMON_DOCUMENTS:
      return GetAllUsersSubfolder(buffer, L"All Users\\Documents");
    case CSIDL_APPDATA:
      return WindowsFolderWith(buffer, run.isNT ? L"Profiles\\Administrator\\Application Data" : L"Application Data");
    case CSIDL_LOCAL_APPDATA:
      if (run.isNT && ShellFolder(buffer, CSIDL_APPDATA) && FindLastBackslash(buffer) != nullptr) {
        CutAtLastBackslash(buffer);
        return AppendText(buffer, RX_MAX_PATH, L"\\Local Settings\\Application Data");
      }
      return WindowsFolderWith(buffer, run.isNT ? L"Profiles\\Administrator\\Local Settings\\Application Data"
                                                : L"Application Data");
    case CSIDL_PROFILE:
      if (!run.isNT) return GetWindowsFolder(buffer);
      // Without the application data folder there is nothing to derive the
      // profile from: no path, rather than a guess that might be removed.
      if (!ShellFolder(buffer, CSIDL_APPDATA)) return false;
      if (FindLastBackslash(buffer) == nullptr) return CopyText(buffer, RX_MAX_PATH, L"c:\\");
      CutAtLastBackslash(buffer);
      return true;
    default:
      return false;
  }
}

void ResolveProtectedFolder(int index, ProtectedFolder* folder) {
  folder->canonical[0] = 0;
  if (!ResolveFolder(folder->path, kProtectedFolderIds[index])) {
    folder->path[0] = 0;
    return;
  }
  // The platform's spelling is usually canonical already; this catches a
  // folder the platform names by its short name or with a trailing dot.
  CanonicalizePath(folder->path, folder->canonical, RX_MAX_PATH);
}

void ResolveProtectedFolders() {
  if (protectedFolders != nullptr) return;
  protectedFolders = (ProtectedFolder*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY,
                                                 PROTECTED_FOLDER_COUNT * sizeof(ProtectedFolder));
  if (protectedFolders == nullptr) return;
  for (int i = 0; i < PROTECTED_FOLDER_COUNT; ++i) ResolveProtectedFolder(i, &protectedFolders[i]);
}

// Whether the path, in either of its forms, names the protected folder.
bool NamesFolder(const RxChar* path, bool trailing, const RxChar* canonical, const ProtectedFolder& folder) {
  RxChar form[RX_MAX_PATH];
  if (folder.path[0] != 0 && CopyText(form, RX_MAX_PATH, folder.path)) {
    // The platform's own spelling, in the caller's trailing-backslash form.
    if (trailing) {
      AddBackslash(form);
    } else {
      RemoveBackslash(form);
    }
    if (EqualNoCase(form, path)) return true;
  }
  return canonical[0] != 0 && folder.canonical[0] != 0 && EqualNoCase(canonical, folder.canonical);
}

// Appends to the working buffer of an expansion. A piece that does not fit
// is cut so that the buffer ends full: a length of FOLDER_MACRO_WORK_UNITS - 1
// is how callers recognise an expansion that was cut.
struct Expansion {
  RxChar* text;
  size_t used;

  void Append(const RxChar* piece, size_t length) {
    const size_t room = FOLDER_MACRO_WORK_UNITS - 1 - used;
    if (length > room) length = room;
    for (size_t i = 0; i < length; ++i) text[used + i] = piece[i];
    used += length;
    text[used] = 0;
  }
};

const RxChar* FindHash(const RxChar* text) {
  while (*text != 0 && *text != '#') ++text;
  return *text == '#' ? text : nullptr;
}

// Replaces token by path without its trailing backslash, when it fits.
bool ReplaceToken(RxChar* token, size_t capacity, RxChar* path) {
  RemoveBackslash(path);
  if (TextLength(path) >= capacity) return false;
  return CopyText(token, capacity, path);
}

}  // namespace

FolderSources folderSources = {GetShellFolderPath, HKEY_LOCAL_MACHINE,
                               L"Software\\Microsoft\\Windows\\CurrentVersion"};

bool GetShellFolderPath(RxChar* buffer, uint32_t csidl) {
  LPITEMIDLIST list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, (int)csidl, &list)) || list == nullptr) return false;
  // The wide function writes up to 260 units, terminator included.
  bool found = sys.SHGetPathFromIDListW(list, buffer) != FALSE;
  IMalloc* allocator = nullptr;
  if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator != nullptr) {
    allocator->Free(list);
    allocator->Release();
  }
  return found;
}

bool GetAllUsersSubfolder(RxChar* buffer, const RxChar* subPath) {
  if (!run.isNT) return WindowsFolderWith(buffer, subPath);
  if (ShellFolder(buffer, CSIDL_APPDATA) && CountBackslashes(buffer) >= 2) {
    CutAtLastBackslash(buffer);            // the user's profile folder
    FindLastBackslash(buffer)[1] = 0;      // the profiles root, with its backslash
    return AppendText(buffer, RX_MAX_PATH, subPath);
  }
  return WindowsFolderWith(buffer, L"Profiles\\") && AppendText(buffer, RX_MAX_PATH, subPath);
}

bool ResolveFolder(RxChar* buffer, uint32_t id) {
  switch (id) {
    case FOLDER_WINDOWS:
      return GetWindowsFolder(buffer);
    case FOLDER_SYSTEM:
      return Fits(sys.GetSystemDirectoryW(buffer, RX_MAX_PATH));
    case FOLDER_TEMP:
      return Fits(sys.GetTempPathW(RX_MAX_PATH, buffer));
    case FOLDER_COMMON_QUICK_LAUNCH:
    case FOLDER_QUICK_LAUNCH:
      return ShellFolder(buffer, id == FOLDER_QUICK_LAUNCH ? CSIDL_APPDATA : CSIDL_COMMON_APPDATA) &&
             AddBackslash(buffer) && AppendText(buffer, RX_MAX_PATH, kQuickLaunch);
    case FOLDER_PROGRAM_FILES:
    case FOLDER_COMMON_FILES:
    case FOLDER_PROGRAM_FILES_X64:
      return ResolveRegistryFolder(buffer, id);
    case FOLDER_ALL_USERS:
      return ResolveAllUsersFolder(buffer);
    default:
      if (id >= 0x80000000u) return false;
      return ShellFolder(buffer, id) || ShellFolderFallback(buffer, id);
  }
}

bool ExpandMacroToken(RxChar* token, size_t capacity) {
  RxChar path[RX_MAX_PATH];
  for (const FolderMacroRow* row = kFolderMacroTable; row->name != nullptr; ++row) {
    if (!EqualNoCase(token, row->name)) continue;
    return ResolveFolder(path, row->id) && ReplaceToken(token, capacity, path);
  }
  if (!EqualNoCase(token, kInstallDirMacro) || run.installDir == nullptr) return false;
  return CopyText(path, RX_MAX_PATH, run.installDir) && ReplaceToken(token, capacity, path);
}

uint32_t ExpandFolderMacros(RxChar* dst, const RxChar* src, uint32_t count) {
  if (src == nullptr) src = L"";
  Expansion out = {nullptr, 0};
  if (!MemAllocZeroed(FOLDER_MACRO_WORK_UNITS * sizeof(RxChar), &out.text)) {
    // Nothing is expanded: a bounded copy, padded with zeros, terminated
    // only when the text is shorter than count.
    size_t length = TextLength(src);
    if (dst != nullptr) {
      for (uint32_t i = 0; i < count; ++i) dst[i] = i < length ? src[i] : 0;
    }
    return (uint32_t)(length < count ? length : count);
  }
  const RxChar* in = src;
  while (out.used < FOLDER_MACRO_WORK_UNITS - 1) {
    const RxChar* open = FindHash(in);
    if (open == nullptr) {
      out.Append(in, TextLength(in));
      break;
    }
    out.Append(in, open - in);
    const RxChar* close = FindHash(open + 1);
    if (close == nullptr) {
      out.Append(open, TextLength(open));
      break;
    }
    // The replacement goes into the output and is never scanned again, so
    // a "#" inside an expanded folder name stays as it is.
    const size_t tokenLength = close - open + 1;
    RxChar token[RX_MAX_PATH];
    if (tokenLength < RX_MAX_PATH) {
      for (size_t i = 0; i < tokenLength; ++i) token[i] = open[i];
      token[tokenLength] = 0;
      ExpandMacroToken(token, RX_MAX_PATH);
      out.Append(token, TextLength(token));
    } else {
      out.Append(open, tokenLength);  // far longer than any macro's name
    }
    in = close + 1;
  }
  const uint32_t length = (uint32_t)out.used;
  if (dst != nullptr && count > 0) {
    dst[0] = 0;
    if (length > 0) {
      const uint32_t copied = length + 1 < count ? length + 1 : count;
      for (uint32_t i = 0; i < copied; ++i) dst[i] = out.text[i];
    }
  }
  MemRelease(&out.text);
  return length;
}

bool ExpandFolderMacrosInto(RxChar* dest, size_t capacity, const RxChar* src) {
  if (dest == nullptr || capacity == 0) return false;
  if (capacity > FOLDER_MACRO_WORK_UNITS) capacity = FOLDER_MACRO_WORK_UNITS;
  const uint32_t length = ExpandFolderMacros(dest, src, (uint32_t)capacity);
  if (length < capacity && length < FOLDER_MACRO_WORK_UNITS - 1) return true;
  dest[0] = 0;
  return false;
}

bool IsAbsolutePath(const RxChar* path) {
  if (path == nullptr) return false;
  const bool separator0 = path[0] == '\\' || path[0] == '/';
  if (separator0 && (path[1] == '\\' || path[1] == '/')) return true;
  const RxChar letter = FoldAsciiCase(path[0]);
  return letter >= 'a' && letter <= 'z' && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

bool IsProtectedFolder(const RxChar* path) {
  if (TextLength(path) <= 3) return true;
  // A device path without a plain form may be any folder, and a stream
  // colon may name the folder itself ("x::$INDEX_ALLOCATION").
  if (IsUnsafeSpelling(path)) return true;
  // Any other spelling of a folder is compared in its canonical form. A
  // path whose canonical form does not fit is longer than any protected
  // folder, and is compared as it is written; with a device prefix it is
  // not compared at all.
  RxChar canonical[RX_MAX_PATH];
  if (!CanonicalizePath(path, canonical, RX_MAX_PATH)) {
    if (SpellingOf(path) != SPELLING_PLAIN) return true;
    canonical[0] = 0;
  }
  if (canonical[0] != 0 && TextLength(canonical) <= 3) return true;

  const bool trailing = path[TextLength(path) - 1] == '\\';
  ResolveProtectedFolders();
  for (int i = 0; i < PROTECTED_FOLDER_COUNT; ++i) {
    ProtectedFolder scratch;
    const ProtectedFolder* folder = &scratch;
    if (protectedFolders != nullptr) {
      folder = &protectedFolders[i];
    } else {
      ResolveProtectedFolder(i, &scratch);
    }
    if (NamesFolder(path, trailing, canonical, *folder)) return true;
  }
  return false;
}

void ResetProtectedFolders() {
  if (protectedFolders != nullptr) HeapFree(GetProcessHeap(), 0, protectedFolders);
  protectedFolders = nullptr;
}
