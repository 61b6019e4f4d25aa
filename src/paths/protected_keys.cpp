#include "paths/protected_keys.h"

#include <stddef.h>

namespace {

// What belongs in these tables: keys that no single application owns and
// below which many programs (and the system) keep their data, so that
// deleting the key itself takes other programs' settings, registrations or
// uninstall entries with it: each key on the way to a well-known location
// that installers write below, and that location itself. An application's
// own key (Software\Vendor, Uninstall\MyApp, CLSID\{...}) never belongs
// here, and neither does anything only one program writes. Rows name the
// key below the point where the table applies, "\" between names.

// Below the root of a machine's or a user's hive (HKLM, HKCU, each hive of
// HKEY_USERS, and any other root).
const char* const kHiveKeys[] = {
    "Software", "System", "Environment", "Control Panel", "AppEvents", "Console", "Keyboard Layout",
    "Network", "Printers", "Hardware", "SAM", "Security", nullptr,
};

// Below Software and Software\Wow6432Node (Classes has its own table).
const char* const kSoftwareKeys[] = {
    "Microsoft",
    "Microsoft\\Windows",
    "Microsoft\\Windows\\CurrentVersion",
    "Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "Microsoft\\Windows\\CurrentVersion\\Run",
    "Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "Microsoft\\Windows\\CurrentVersion\\RunOnceEx",
    "Microsoft\\Windows\\CurrentVersion\\RunServices",
    "Microsoft\\Windows\\CurrentVersion\\RunServicesOnce",
    "Microsoft\\Windows\\CurrentVersion\\App Paths",
    "Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
    "Microsoft\\Windows\\CurrentVersion\\Fonts",
    "Microsoft\\Windows\\CurrentVersion\\Explorer",
    "Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
    "Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
    "Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects",
    "Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers",
    "Microsoft\\Windows\\CurrentVersion\\Shell Extensions",
    "Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved",
    "Microsoft\\Windows\\CurrentVersion\\Installer",
    "Microsoft\\Windows\\CurrentVersion\\Policies",
    "Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
    "Microsoft\\Windows\\CurrentVersion\\Policies\\System",
    "Microsoft\\Windows NT",
    "Microsoft\\Windows NT\\CurrentVersion",
    "Microsoft\\Windows NT\\CurrentVersion\\Fonts",
    "Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes",
    "Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
    "Microsoft\\Windows NT\\CurrentVersion\\Windows",
    "Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options",
    "Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
    "Microsoft\\Active Setup",
    "Microsoft\\Active Setup\\Installed Components",
    "Policies",
    "Policies\\Microsoft",
    "Policies\\Microsoft\\Windows",
    "Clients",
    "RegisteredApplications",
    "ODBC",
    "ODBC\\ODBC.INI",
    "ODBC\\ODBCINST.INI",
    nullptr,
};

// Below HKEY_CLASSES_ROOT, Software\Classes and their Wow6432Node.
const char* const kClassesKeys[] = {
    "CLSID",
    "Interface",
    "TypeLib",
    "AppID",
    "*",
    "*\\shellex",
    "*\\shellex\\ContextMenuHandlers",
    "*\\shellex\\PropertySheetHandlers",
    "AllFilesystemObjects",
    "AllFilesystemObjects\\shellex",
    "AllFilesystemObjects\\shellex\\ContextMenuHandlers",
    "Directory",
    "Directory\\shell",
    "Directory\\shellex",
    "Directory\\shellex\\ContextMenuHandlers",
    "Directory\\Background",
    "Directory\\Background\\shell",
    "Directory\\Background\\shellex",
    "Directory\\Background\\shellex\\ContextMenuHandlers",
    "Folder",
    "Folder\\shell",
    "Folder\\shellex",
    "Folder\\shellex\\ContextMenuHandlers",
    "Drive",
    "Drive\\shell",
    "Drive\\shellex",
    "Drive\\shellex\\ContextMenuHandlers",
    "Applications",
    "SystemFileAssociations",
    "MIME",
    "MIME\\Database",
    "MIME\\Database\\Content Type",
    "Installer",
    "Installer\\Products",
    "Installer\\Features",
    "Installer\\Components",
    nullptr,
};

// Below System (a control set has its own table).
const char* const kSystemKeys[] = {"Select", "Setup", "MountedDevices", nullptr};

// Below CurrentControlSet and each ControlSetNNN.
const char* const kControlSetKeys[] = {
    "Control",
    "Control\\Class",
    "Control\\Session Manager",
    "Control\\Session Manager\\Environment",
    "Control\\Print",
    "Control\\Print\\Monitors",
    "Services",
    "Services\\EventLog",
    "Services\\EventLog\\Application",
    "Enum",
    "Hardware Profiles",
    nullptr,
};

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

// Compares ASCII text with up to length units of name; *matched is how many
// units of text matched the whole stretch.
bool NameStartsWith(const Name& name, const char* text, size_t* matched) {
  size_t i = 0;
  for (; text[i] != 0 && text[i] != '\\'; ++i) {
    if (i == name.length || Fold(name.text[i]) != Fold((RxChar)(unsigned char)text[i])) return false;
  }
  *matched = i;
  return true;
}

bool NameIs(const Name& name, const char* text) {
  size_t matched = 0;
  return NameStartsWith(name, text, &matched) && matched == name.length && text[matched] == 0;
}

// Whether names[from..] is exactly the row.
bool MatchesRow(const KeyPath& key, size_t from, const char* row) {
  for (size_t i = from; i < key.count; ++i) {
    size_t matched = 0;
    if (!NameStartsWith(key.names[i], row, &matched) || matched != key.names[i].length) return false;
    row += matched;
    if (*row == 0) return i + 1 == key.count;
    ++row;  // the row's backslash
  }
  return false;
}

bool InTable(const KeyPath& key, size_t from, const char* const* table) {
  for (; *table != nullptr; ++table) {
    if (MatchesRow(key, from, *table)) return true;
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
