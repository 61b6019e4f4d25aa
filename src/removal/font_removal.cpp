// Font files: the full name read from the TrueType 'name' table, and the
// deregistration of a font before the file phase deletes it.
#include <windows.h>

#include "driver/run_state.h"
#include "paths/folder_macros.h"
#include "paths/path_ops.h"
#include "payload/file_io.h"
#include "payload/memory.h"
#include "platform/ansi_adapters.h"
#include "platform/system_calls.h"
#include "removal/removal.h"

namespace {

// Only the first 40 table records are searched for the 'name' table.
const uint32_t kTableRecordLimit = 40;
const uint16_t kPlatformMacintosh = 1;
const uint16_t kNameIdFullName = 4;
const uint32_t kFontsFolder = 0x14;  // CSIDL_FONTS

const wchar_t kTrueTypeSuffix[] = L" (TrueType)";
enum { FACE_NAME_UNITS = 520, SUFFIX_UNITS = sizeof kTrueTypeSuffix / sizeof(wchar_t) - 1 };
const wchar_t kFontsKeyNT[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const wchar_t kFontsKeyAnsiFamily[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Fonts";

// sfnt fields are big-endian.
uint32_t Read16(const uint8_t* p) { return (uint32_t)p[0] << 8 | p[1]; }
uint32_t Read32(const uint8_t* p) { return Read16(p) << 16 | Read16(p + 2); }

// Every read must deliver what was asked: a font cut short gives no name,
// rather than one assembled from a previous record's bytes.
bool ReadNameFromFont(HANDLE file, wchar_t* name, size_t capacity) {
  uint8_t record[16];
  if (ReadBlock(file, record, 12) != 0) return false;
  uint32_t tables = Read16(record + 4);
  if (tables > kTableRecordLimit) tables = kTableRecordLimit;
  uint32_t table = 0;
  bool found = false;
  for (uint32_t i = 0; i < tables && !found; ++i) {
    if (ReadBlock(file, record, 16) != 0) return false;
    found = record[0] == 'n' && record[1] == 'a' && record[2] == 'm' && record[3] == 'e';
    table = Read32(record + 8);
  }
  if (!found) return false;
  SetFilePos(file, table);
  if (ReadBlock(file, record, 6) != 0) return false;
  const uint32_t count = Read16(record + 2);
  const uint32_t storage = table + Read16(record + 4);
  for (uint32_t i = 0; i < count; ++i) {
    if (ReadBlock(file, record, 12) != 0) return false;
    if (Read16(record) != kPlatformMacintosh || Read16(record + 6) != kNameIdFullName) continue;
    const uint64_t next = GetFilePos(file);
    const uint32_t length = Read16(record + 8);
    char* bytes = nullptr;
    if (!MemAllocZeroed(length + 1, &bytes)) continue;
    SetFilePos(file, (uint64_t)storage + Read16(record + 10));
    DWORD units = 0;
    // A name that does not fit is refused, not cut: a cut name could be the
    // registration of another font.
    const bool read = ReadBlock(file, bytes, length) == 0 && AnsiToWideBounded(name, (DWORD)capacity, bytes, &units);
    MemRelease(&bytes);
    if (!read) return false;
    SetFilePos(file, next);
  }
  return true;
}

// Fonts registered by the installer in the Fonts folder are named by their
// file name, others by their full path. A value with the same font name
// that names any other file is another installation's (the user's own copy
// of the font, say) and stays.
bool RegistrationNamesFile(HKEY key, const wchar_t* valueName, const wchar_t* path) {
  wchar_t data[RX_MAX_PATH + 1] = {};
  DWORD size = RX_MAX_PATH * sizeof(wchar_t);
  if (sys.RegQueryValueExW(key, valueName, nullptr, nullptr, (BYTE*)data, &size) != ERROR_SUCCESS) return false;
  if (EqualNoCase(data, path)) return true;
  wchar_t folder[RX_MAX_PATH];
  wchar_t fonts[RX_MAX_PATH];
  if (!CopyText(folder, RX_MAX_PATH, path)) return false;
  wchar_t* slash = FindLastBackslash(folder);
  if (slash == nullptr || !ResolveFolder(fonts, kFontsFolder)) return false;
  *slash = 0;
  RemoveBackslash(fonts);
  return EqualNoCase(folder, fonts) && EqualNoCase(data, slash + 1);
}

}  // namespace

void ReadFontFaceName(const wchar_t* path, wchar_t* name, size_t capacity) {
  name[0] = 0;
  HANDLE file = OpenExistingFile(path, GENERIC_READ);
  if (file == INVALID_HANDLE_VALUE) return;
  if (!ReadNameFromFont(file, name, capacity)) name[0] = 0;
  CloseFileHandle(file);
}

void RemoveFontFile(const wchar_t* path) {
  wchar_t name[FACE_NAME_UNITS];
  ReadFontFaceName(path, name, FACE_NAME_UNITS - SUFFIX_UNITS);
  const bool removed = sys.RemoveFontResourceW(path) != FALSE;
  HKEY key;
  if (name[0] != 0 && AppendText(name, FACE_NAME_UNITS, kTrueTypeSuffix) &&
      sys.RegOpenKeyExW(HKEY_LOCAL_MACHINE, run.isNT ? kFontsKeyNT : kFontsKeyAnsiFamily, 0, KEY_ALL_ACCESS,
                        &key) == ERROR_SUCCESS) {
    if (RegistrationNamesFile(key, name, path)) sys.RegDeleteValueW(key, name);
    RegCloseKey(key);
  }
  // Each top-level window that does not answer holds the run for at most
  // three seconds.
  if (removed) SendMessageTimeoutA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_NORMAL, 3000, nullptr);
}
