// Registry phase: the keys (with all their subkeys) and values of the
// payload's list, never a key that holds other programs' data (a top-level
// key, Uninstall, Run, CLSID...: paths/protected_keys.h), each after the
// extension library had its say.
//
// What the registry makes of key paths (checked under Wine 8, as on
// Windows): RegOpenKeyExW(root, "Software\") and (root, "Software\\") open
// Software itself; "\Software" and "\" fail with ERROR_BAD_PATHNAME; "."
// and ".." are names like any other. A 32-bit program sees HKLM\Software
// through WOW64 as HKLM\Software\Wow6432Node unless it asks for
// KEY_WOW64_64KEY, and in that view "Software\Wow6432Node" names the
// 32-bit Software key itself.
#include <windows.h>

#include "driver/run_log.h"
#include "driver/run_state.h"
#include "paths/protected_keys.h"
#include "paths/text_ops.h"
#include "payload/extension_host.h"
#include "platform/system_calls.h"
#include "removal/removal.h"

namespace {

// Under HKEY_LOCAL_MACHINE, "Software64" stands for "Software" in the
// 64-bit view.
const RxChar kSoftware64[] = L"Software64";
enum { SOFTWARE64_LENGTH = 10, SOFTWARE_LENGTH = 8 };

// The reader's bound of a RegistryEntry path, with its terminator.
enum { REGISTRY_PATH_UNITS = 520 };
// A key name has at most 255 characters; a longer one (which the registry
// cannot hold) ends the enumeration with ERROR_MORE_DATA, and with it the
// tree. Kept small: the recursion holds one per level.
enum { KEY_NAME_UNITS = 256 };

// False for an entry that names a value: it moves no bar.
bool RemoveRegistryEntry(const RegistryEntry* entry) {
  RxChar path[REGISTRY_PATH_UNITS];
  if (entry->path[0] == 0 || !CopyText(path, REGISTRY_PATH_UNITS, entry->path)) return true;
  const HKEY root = (HKEY)(ULONG_PTR)entry->root;
  // The alias is resolved before the protected-key test: "Software64\" is
  // "Software\" in the other view.
  REGSAM view = 0;
  if (entry->root == REGISTRY_LOCAL_MACHINE && EqualNoCaseN(path, kSoftware64, SOFTWARE64_LENGTH)) {
    RxChar* tail = path + SOFTWARE_LENGTH;
    do {
      tail[0] = tail[2];
    } while (*tail++ != 0);
    if (run.isNT) view = KEY_WOW64_64KEY;
  }
  // A named value ("Key\\Value") is the payload's own whatever its key;
  // anything else names a key ("Key\\", its default value, counts as the
  // key itself).
  RxChar* last = FindLastBackslash(path);
  const bool value = last != nullptr && last != path && last[-1] == '\\' && last[1] != 0;
  if (!value && IsProtectedRegistryKey(entry->root, path)) return LogAction(LOG_PROTECTED_KEY, entry->path), true;
  // The library sees the path as the payload holds it.
  ExtensionRegistryInfo info = {entry->root, entry->path};
  if (CallExtension(EXT_REGISTRY_ENTRY, &info, 1) == 0) return LogAction(LOG_VETOED, entry->path), true;

  if (last != nullptr && last != path && last[-1] == '\\') {
    last[-1] = 0;
    HKEY key;
    if (sys.RegOpenKeyExW(root, path, 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
      LogRegistryResult(entry->root, entry->path, sys.RegDeleteValueW(key, last + 1));
      RegCloseKey(key);
    }
    return false;
  }
  if (run.isNT) {
    LogRegistryResult(entry->root, entry->path, DeleteKeyTree(root, path, view != 0));
  } else {
    LogRegistryResult(entry->root, entry->path, sys.RegDeleteKeyW(root, path));  // the 9x family deletes the subkeys with it
  }
  return true;
}

}  // namespace

void RemoveRegistryEntries() {
  const uint32_t start = 2 * (uninstallData.files.count + uninstallData.shortcuts.count);
  for (uint32_t i = 0; i < uninstallData.registry.count; ++i) {
    if (RemoveRegistryEntry(uninstallData.registry.items[i])) ShowPhaseProgress(start + i);
  }
}

LONG DeleteKeyTree(HKEY root, const RxChar* path, bool want64) {
  REGSAM extra = 0;
  RegDeleteKeyExFunction deleteEx = nullptr;
  if (want64) {
    extra = KEY_WOW64_64KEY;
    // The program imports advapi32, so it is loaded for the whole run.
    // Without the export (32-bit XP) the open still selects the view.
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    if (advapi != nullptr) deleteEx = (RegDeleteKeyExFunction)(void*)GetProcAddress(advapi, "RegDeleteKeyExW");
  }
  return DeleteKeyRecursive(root, path, extra, deleteEx);
}

LONG DeleteKeyRecursive(HKEY parent, const RxChar* subkey, REGSAM extra, RegDeleteKeyExFunction deleteEx) {
  if (subkey == nullptr || subkey[0] == 0) return ERROR_BADKEY;
  HKEY key;
  LONG result = RegOpenKeyExW(parent, subkey, 0, DELETE | KEY_ENUMERATE_SUB_KEYS | extra, &key);
  if (result != ERROR_SUCCESS) return result;
  RxChar name[KEY_NAME_UNITS];
  for (;;) {
    DWORD size = KEY_NAME_UNITS;
    // Always index 0: each subkey deleted moves the next one there.
    result = RegEnumKeyExW(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) {
      result = deleteEx != nullptr ? deleteEx(parent, subkey, extra, 0) : RegDeleteKeyW(parent, subkey);
      break;
    }
    if (result == ERROR_SUCCESS) result = DeleteKeyRecursive(key, name, extra, deleteEx);
    if (result != ERROR_SUCCESS) break;
  }
  RegCloseKey(key);
  return result;
}
