#include "paths/protected_keys.h"

#include <stddef.h>

namespace {

// What belongs in these tables: keys that no single application owns and
// below which many programs (and the system) keep their data, so that
// deleting the key itself takes other programs' settings, registrations or
// uninstall entries with it: each key on the way to a well-known location
// that installers write below, and that location itself. An application's
// own key (Software\Vendor, Uninstall\MyApp, CLSID\{...}) never belongs
// here, and neither does anything only one program writes.
//
// Each table is a tree of names below the point where it applies, one row
// per key: a depth byte (1 for a name right below that point), the name,
// a NUL; a row's parent is the nearest row above it one level up. A depth
// of 0 ends the table.

// Below the root of a machine's or a user's hive (HKLM, HKCU, each hive of
// HKEY_USERS, and any other root).
const char kHiveKeys[] =
    "\1Software\0\1System\0\1Environment\0\1Control Panel\0\1AppEvents\0\1Console\0\1Keyboard Layout\0"
    "\1Network\0\1Printers\0\1Hardware\0\1SAM\0\1Security\0";

// Below Software and Software\Wow6432Node (Classes has its own table).
const char kSoftwareKeys[] =
    "\1Microsoft\0"
    "\2Windows\0"
    "\3CurrentVersion\0"
    "\4Uninstall\0\4Run\0\4RunOnce\0\4RunOnceEx\0\4RunServices\0\4RunServicesOnce\0\4App Paths\0"
    "\4SharedDLLs\0\4Fonts\0\4Installer\0"
    "\4Explorer\0"
    "\5Shell Folders\0\5User Shell Folders\0\5Browser Helper Objects\0\5ShellIconOverlayIdentifiers\0"
    "\4Shell Extensions\0"
    "\5Approved\0"
    "\4Policies\0"
    "\5Explorer\0\5System\0"
    "\2Windows NT\0"
    "\3CurrentVersion\0"
    "\4Fonts\0\4FontSubstitutes\0\4Winlogon\0\4Windows\0\4Image File Execution Options\0\4ProfileList\0"
    "\2Active Setup\0"
    "\3Installed Components\0"
    "\1Policies\0"
    "\2Microsoft\0"
    "\3Windows\0"
    "\1Clients\0\1RegisteredApplications\0"
    "\1ODBC\0"
    "\2ODBC.INI\0\2ODBCINST.INI\0";

// Below HKEY_CLASSES_ROOT, Software\Classes and their Wow6432Node.
const char kClassesKeys[] =
    "\1CLSID\0\1Interface\0\1TypeLib\0\1AppID\0"
    "\1*\0"
    "\2shellex\0"
    "\3ContextMenuHandlers\0\3PropertySheetHandlers\0"
    "\1AllFilesystemObjects\0"
    "\2shellex\0"
    "\3ContextMenuHandlers\0"
    "\1Directory\0"
    "\2shell\0"
    "\2shellex\0"
    "\3ContextMenuHandlers\0"
    "\2Background\0"
    "\3shell\0"
    "\3shellex\0"
    "\4ContextMenuHandlers\0"
    "\1Folder\0"
    "\2shell\0"
    "\2shellex\0"
    "\3ContextMenuHandlers\0"
    "\1Drive\0"
    "\2shell\0"
    "\2shellex\0"
    "\3ContextMenuHandlers\0"
    "\1Applications\0\1SystemFileAssociations\0"
    "\1MIME\0"
    "\2Database\0"
    "\3Content Type\0"
    "\1Installer\0"
    "\2Products\0\2Features\0\2Components\0";

// Below System (a control set has its own table).
const char kSystemKeys[] = "\1Select\0\1Setup\0\1MountedDevices\0";

// Below CurrentControlSet and each ControlSetNNN.
const char kControlSetKeys[] =
    "\1Control\0"
    "\2Class\0"
    "\2Session Manager\0"
    "\3Environment\0"
    "\2Print\0"
    "\3Monitors\0"
    "\1Services\0"
    "\2EventLog\0"
    "\3Application\0"
    "\1Enum\0\1Hardware Profiles\0";

const RxChar kSoftware[] = RX_TEXT("Software");

// One name of the key path, without its backslashes.
struct Name {
  const RxChar* text;
  size_t length;
};

// Deeper than any row of the tables together with the names before it.
enum { MAX_NAMES = 12 };

struct KeyPath {
  Name names[MAX_NAMES];
  size_t count;
};

RxChar Fold(RxChar c) { return c >= 'A' && c <= 'Z' ? (RxChar)(c - 'A' + 'a') : c; }

// Runs of backslashes part two names; leading and trailing ones part none.
// False when the path has more names than any protected key.
bool Split(const RxChar* path, KeyPath* key) {
  key->count = 0;
  if (path == nullptr) return true;
  for (;;) {
    while (*path == '\\') ++path;
    if (*path == 0) return true;
    if (key->count == MAX_NAMES) return false;
    const RxChar* start = path;
    while (*path != 0 && *path != '\\') ++path;
    key->names[key->count++] = {start, (size_t)(path - start)};
  }
}

// Compares ASCII text with the start of name; *matched is how many units of
// text matched, all of it.
bool NameStartsWith(const Name& name, const char* text, size_t* matched) {
  size_t i = 0;
  for (; text[i] != 0; ++i) {
    if (i == name.length || Fold(name.text[i]) != Fold((RxChar)(unsigned char)text[i])) return false;
  }
  *matched = i;
  return true;
}

bool NameIs(const Name& name, const char* text) {
  size_t matched = 0;
  return NameStartsWith(name, text, &matched) && matched == name.length;
}

// Whether names[from..] (at least one name) is a key of the tree.
bool InTable(const KeyPath& key, size_t from, const char* tree) {
  const size_t wanted = key.count - from;
  size_t matched = 0;  // names matched by the rows of the branch walked
  while (*tree != 0) {
    const size_t depth = (unsigned char)*tree++;
    const char* name = tree;
    while (*tree++ != 0) {
    }
    // A row below one whose name differed, or deeper than the path, is
    // passed over; any other row replaces the branch from its depth on.
    if (depth > matched + 1 || depth > wanted) continue;
    matched = depth - 1;
    if (NameIs(key.names[from + matched], name)) {
      matched = depth;
      if (depth == wanted) return true;
    }
  }
  return false;
}

bool IsControlSet(const Name& name) {
  if (NameIs(name, "CurrentControlSet")) return true;
  size_t matched = 0;
  if (!NameStartsWith(name, "ControlSet", &matched) || matched != 10 || name.length == 10) return false;
  for (size_t i = 10; i < name.length; ++i) {
    if (name.text[i] < '0' || name.text[i] > '9') return false;
  }
  return true;
}

bool ProtectedClasses(const KeyPath& key, size_t from) {
  if (from < key.count && NameIs(key.names[from], "Wow6432Node")) ++from;
  return from == key.count || InTable(key, from, kClassesKeys);
}

bool ProtectedSoftware(const KeyPath& key, size_t from) {
  if (from < key.count && NameIs(key.names[from], "Wow6432Node")) ++from;
  if (from == key.count) return true;
  if (NameIs(key.names[from], "Classes")) return ProtectedClasses(key, from + 1);
  return InTable(key, from, kSoftwareKeys);
}

bool ProtectedSystem(const KeyPath& key, size_t from) {
  if (IsControlSet(key.names[from])) return from + 1 == key.count || InTable(key, from + 1, kControlSetKeys);
  return InTable(key, from, kSystemKeys);
}

bool ProtectedHive(const KeyPath& key, size_t from) {
  if (from == key.count || InTable(key, from, kHiveKeys)) return true;
  if (from + 1 == key.count) return false;
  if (NameIs(key.names[from], "Software")) return ProtectedSoftware(key, from + 1);
  if (NameIs(key.names[from], "System")) return ProtectedSystem(key, from + 1);
  return false;
}

bool EndsWithClasses(const Name& name) {
  static const char kSuffix[] = "_Classes";
  const size_t suffix = sizeof kSuffix - 1;
  if (name.length < suffix) return false;
  const Name tail = {name.text + name.length - suffix, suffix};
  return NameIs(tail, kSuffix);
}

}  // namespace

bool IsProtectedRegistryKey(uint32_t root, const RxChar* path) {
  KeyPath key;
  if (!Split(path, &key)) return false;
  if (root == REGISTRY_LOCAL_MACHINE && key.count > 0 && NameIs(key.names[0], "Software64"))
    key.names[0] = {kSoftware, sizeof kSoftware / sizeof kSoftware[0] - 1};
  switch (root) {
    case REGISTRY_CLASSES_ROOT:
      return ProtectedClasses(key, 0);
    case REGISTRY_USERS:
      // Each key of HKEY_USERS is a user's hive (".DEFAULT", a SID) or its
      // classes ("<SID>_Classes").
      if (key.count <= 1) return true;
      return EndsWithClasses(key.names[0]) ? ProtectedClasses(key, 1) : ProtectedHive(key, 1);
    default:
      return ProtectedHive(key, 0);
  }
}
