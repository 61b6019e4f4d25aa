#include "lint.h"

#include <string.h>

#include "payload/format.h"
#include "paths/path_spelling.h"
#include "paths/protected_keys.h"
#include "text.h"
#include "vocabulary.h"

namespace packtool {

const char kTypicalInstallDir[] = "C:\\Program Files (x86)\\Example Vendor\\Example Application\\";

namespace {

// A path buffer of the uninstaller holds 259 units and the terminator.
const size_t kLongestPath = RX_MAX_PATH - 1;
// Formatted messages are written into 1024-unit buffers; the argument is a
// path of up to a full path buffer.
const size_t kLongestFormatted = MESSAGE_BUFFER_UNITS - 1;
const size_t kArgumentUnits = RX_MAX_PATH;

struct Sink {
  std::vector<Finding>* findings;
  void Error(const std::string& where, const std::string& text) {
    findings->push_back(Finding{true, where, text});
  }
  void Warn(const std::string& where, const std::string& text) {
    findings->push_back(Finding{false, where, text});
  }
};

template <typename T>
std::string Field(const Located<T>& entry, const char* field) {
  return entry.where + "." + field + entry.at;
}

template <typename T>
std::string Record(const Located<T>& entry) {
  return entry.where + entry.at;
}

std::string Units(size_t n) { return std::to_string(n) + (n == 1 ? " unit" : " units"); }

bool IsAsciiLetter(char16_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool HasUnit(const std::u16string& text, char16_t unit) {
  return text.find(unit) != std::u16string::npos;
}

// "C:", "C:\..." and UNC paths. "C:foo" is relative to the drive's current
// folder and counts as relative.
bool IsAbsolute(const std::u16string& path) {
  if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == u':')
    return path.size() == 2 || path[2] == u'\\';
  return path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\';
}

// True for "", "C:", "C:\" and a lone backslash: folders that are a drive.
bool IsDriveRoot(std::u16string folder) {
  while (!folder.empty() && folder.back() == u'\\') folder.pop_back();
  if (folder.empty()) return true;
  return folder.size() == 2 && IsAsciiLetter(folder[0]) && folder[1] == u':';
}

// A ".." segment, with either separator: the uninstaller does not
// normalise paths, so ".." leads wherever it points.
bool HasParentSegment(const std::u16string& path) {
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == u'\\' || path[i] == u'/') {
      if (i - start == 2 && path[start] == u'.' && path[start + 1] == u'.') return true;
      start = i + 1;
    }
  }
  return false;
}

std::u16string WithoutTrailingBackslashes(std::u16string text) {
  while (!text.empty() && text.back() == u'\\') text.pop_back();
  return text;
}

std::u16string FromAscii(const char* text) {
  std::u16string out;
  for (; *text; ++text) out.push_back((char16_t)(unsigned char)*text);
  return out;
}


// The uninstaller's way of adding a separator: none after an empty path or
// after one that already ends with a backslash.
void AppendWithBackslash(std::u16string* path, const std::u16string& name) {
  if (!path->empty() && path->back() != u'\\') path->push_back(u'\\');
  *path += name;
}

// The file's path as the file-removal phase builds it.
std::u16string BuildEntryPath(const pack::FileRecord& file, const std::u16string& installDir) {
  std::u16string path;
  if (!file.folder.empty() && file.folder[0] == u'.') {
    path = installDir;
    if (file.folder.size() > 1 && file.folder[1] == u'\\') path += file.folder.substr(2);
  } else {
    path = file.folder;
  }
  if (!file.name.empty()) AppendWithBackslash(&path, file.name);
  return path;
}

std::basic_string<RxChar> Rx(const std::u16string& text) {
  return std::basic_string<RxChar>(text.begin(), text.end());
}

// The program's own rules for the spellings of a path: a device path whose
// plain form cannot be told is treated as protected, and a path with a
// stream colon is never acted on.
void CheckSpelling(Sink* sink, const std::string& where, const std::u16string& path) {
  std::basic_string<RxChar> text = Rx(path);
  if (StripDevicePrefix(&text[0]) == SPELLING_UNKNOWN_DEVICE)
    sink->Error(where, Quoted(path) + " is a device path that names no plain folder; the "
                                      "uninstaller treats it as protected and leaves it");
  else if (HasStreamColon(path.empty() ? nullptr : Rx(path).c_str()))
    sink->Error(where, Quoted(path) + " holds a colon that is not a drive's (a stream); the "
                                      "uninstaller never acts on such a path");
}

// A name is appended to its folder as it stands: anything in it that makes
// it more than one plain name leads somewhere else or nowhere.
void CheckPlainName(Sink* sink, const std::string& where, const std::u16string& name) {
  if (name == u"." || name == u"..")
    sink->Error(where, Quoted(name) + " names a folder, not a file in it; give the folder in the "
                                      "folder field and the file's own name here");
  else if (HasUnit(name, u'\\') || HasUnit(name, u'/'))
    sink->Error(where, Quoted(name) + " is a path, but the name is appended to the folder; put "
                                      "the folders into the folder field");
  else if (HasUnit(name, u':'))
    sink->Error(where, Quoted(name) + " holds a colon (a drive or a stream), so it names no plain "
                                      "file; the uninstaller never acts on it");
  else if (HasUnit(name, u'*') || HasUnit(name, u'?'))
    sink->Error(where, Quoted(name) + " holds a wildcard, but one file is removed by its exact "
                                      "name; use a folder tree for patterns");
}

void CheckSlashes(Sink* sink, const std::string& where, const std::u16string& path) {
  if (HasUnit(path, u'/'))
    sink->Warn(where, "holds a forward slash; the uninstaller cuts paths at backslashes only");
}

// Folders of shortcut records are used exactly as stored.
void CheckStoredFolder(Sink* sink, const std::string& where, const std::u16string& folder) {
  if (HasUnit(folder, u'#')) {
    sink->Error(where,
                "holds a folder macro, but shortcut folders are used as stored and never "
                "expanded; write the absolute path");
  } else if (!IsAbsolute(folder)) {
    sink->Error(where,
                "is not an absolute path; the uninstaller would take it relative to its "
                "current folder");
  }
  if (folder.size() > kLongestPath)
    sink->Error(where, "is " + Units(folder.size()) + " long; paths hold at most " +
                           std::to_string(kLongestPath));
  CheckSpelling(sink, where, folder);
  CheckSlashes(sink, where, folder);
}

// Splits a macro expression into its #...# tokens; a lone '#' is reported
// as a token of its own (it matches no macro).
std::vector<std::u16string> MacroTokens(const std::u16string& text) {
  std::vector<std::u16string> tokens;
  size_t pos = 0;
  while ((pos = text.find(u'#', pos)) != std::u16string::npos) {
    size_t close = text.find(u'#', pos + 1);
    if (close == std::u16string::npos) {
      tokens.push_back(text.substr(pos));
      break;
    }
    tokens.push_back(text.substr(pos, close - pos + 1));
    pos = close + 1;
  }
  return tokens;
}

void CheckMacroTokens(Sink* sink, const std::string& where, const std::u16string& text,
                      bool asError, const std::string& consequence) {
  for (const std::u16string& token : MacroTokens(text)) {
    if (IsKnownMacro(token)) continue;
    std::string message = "unknown folder macro " + Quoted(token) +
                          ": the uninstaller leaves it "
                          "as it stands, so " +
                          consequence;
    if (asError)
      sink->Error(where, message);
    else
      sink->Warn(where, message);
  }
}

// A folder in the one spelling that two names of it share: '/' as '\',
// no runs of backslashes, no "." segments, names without the trailing dots
// and spaces that the file system drops, no trailing backslash.
std::u16string OneSpelling(const std::u16string& folder) {
  std::u16string out;
  size_t start = 0;
  for (size_t i = 0; i <= folder.size(); ++i) {
    if (i < folder.size() && folder[i] != u'\\' && folder[i] != u'/') continue;
    std::u16string name = folder.substr(start, i - start);
    start = i + 1;
    if (name != u"..")
      while (!name.empty() && (name.back() == u'.' || name.back() == u' ')) name.pop_back();
    if (name.empty()) continue;
    if (!out.empty()) out.push_back(u'\\');
    out += name;
  }
  return out;
}

// Where the protected folders and the places Windows shares lie below
// another macro folder on a standard installation. A tree aimed at one of
// them reaches the protected folder under another name; the uninstaller
// resolves both and refuses it.
struct LayoutRow {
  const char* folder;
  const char* protectedAs;  // null: a shared place, warned about
};
const LayoutRow kDefaultLayout[] = {
    {"#Windows#\\System32", "#System#"},
    {"#Windows#\\SysWOW64", "the system folder"},
    {"#Windows#\\Fonts", "the fonts folder"},
    {"#UserDir#\\Desktop", "#Desktop#"},
    {"#UserDir#\\Documents", "#MyDocuments#"},
    {"#UserDir#\\My Documents", "#MyDocuments#"},
    {"#UserDir#\\AppData", "the folder that holds #AppData# and #LocalAppData#"},
    {"#UserDir#\\AppData\\Roaming", "#AppData#"},
    {"#UserDir#\\AppData\\Local", "#LocalAppData#"},
    {"#UserDir#\\AppData\\Local\\Temp", "#TempDir#"},
    {"#UserDir#\\Application Data", "#AppData#"},
    {"#UserDir#\\Local Settings", "the folder that holds #LocalAppData#"},
    {"#UserDir#\\Local Settings\\Application Data", "#LocalAppData#"},
    {"#UserDir#\\Start Menu", "the Start menu"},
    {"#LocalAppData#\\Temp", "#TempDir#"},
    {"#AppData#\\Microsoft\\Windows\\Start Menu", "the Start menu"},
    {"#AppData#\\Microsoft\\Windows\\Start Menu\\Programs", "the Start menu's Programs folder"},
    {"#AppData#\\Microsoft\\Windows\\Start Menu\\Programs\\Startup", "the Startup folder"},
    {"#AppData#\\Microsoft\\Internet Explorer\\Quick Launch", "the Quick Launch folder"},
    {"#AllUsersAppData#\\Microsoft\\Windows\\Start Menu", "the common Start menu"},
    {"#AllUsersAppData#\\Microsoft\\Windows\\Start Menu\\Programs",
     "the common Start menu's Programs folder"},
    {"#AllUsersAppData#\\Microsoft\\Windows\\Start Menu\\Programs\\Startup",
     "the common Startup folder"},
    {"#AllUsersDir#\\Desktop", "#AllUsersDesktop#"},
    {"#AllUsersDir#\\Documents", "#AllUsersDocuments#"},
    {"#AllUsersDir#\\Start Menu", "the common Start menu"},
    {"#AllUsersDir#\\Application Data", "#AllUsersAppData#"},
    {"#Program Files#\\Common Files", "#CommonFiles#"},
};
const char* const kSharedPlaces[] = {
    "#Windows#", "#System#", "#AppData#\\Microsoft", "#LocalAppData#\\Microsoft",
    "#AllUsersAppData#\\Microsoft", "#CommonFiles#\\Microsoft Shared",
};

const LayoutRow* DefaultLayoutOf(const std::u16string& folder) {
  for (const LayoutRow& row : kDefaultLayout)
    if (EqualsNoCaseAscii(folder, row.folder)) return &row;
  return nullptr;
}

// At or below a place of kSharedPlaces.
bool IsSharedPlace(const std::u16string& folder) {
  for (const char* place : kSharedPlaces) {
    size_t n = strlen(place);
    if (StartsWithNoCaseAscii(folder, place) && (folder.size() == n || folder[n] == u'\\'))
      return true;
  }
  return false;
}

}  // namespace

std::u16string InstallDirOf(const LintModel& model) {
  std::u16string dir = model.installDir.empty() ? FromAscii(kTypicalInstallDir) : model.installDir;
  if (dir.back() != u'\\') dir.push_back(u'\\');
  return dir;
}

Conversions FindConversions(const std::u16string& message) {
  Conversions result;
  const size_t n = message.size();
  for (size_t i = 0; i < n; ++i) {
    if (message[i] != u'%') continue;
    if (i + 1 < n && message[i + 1] == u'%') {
      ++result.percentPairs;
      ++i;
      continue;
    }
    if (i + 1 < n && message[i + 1] == u's') {
      ++result.argumentCount;
      ++i;
      continue;
    }
    // Anything else after a '%' is a conversion to printf, with its flags,
    // width, precision and size letters: "% s" in "100% sure" is one.
    size_t j = i + 1;
    auto skip = [&](const char16_t* set) {
      while (j < n && std::u16string(set).find(message[j]) != std::u16string::npos) ++j;
    };
    skip(u"-+ #0");
    skip(u"0123456789*");
    if (j < n && message[j] == u'.') {
      ++j;
      skip(u"0123456789*");
    }
    skip(u"hlLqjztIw0123456789");
    size_t end = j < n ? j + 1 : n;
    result.others.push_back(Conversion{i, message.substr(i, end - i)});
    i = end - 1;
  }
  return result;
}

void LintFiles(const LintModel& model, std::vector<Finding>* findings) {
  Sink sink{findings};
  const std::u16string installDir = InstallDirOf(model);
  for (const Located<pack::FileRecord>& entry : model.files) {
    const pack::FileRecord& file = entry.value;
    size_t units = file.folder.size() + file.name.size();
    if (units > FILE_RECORD_SCRATCH_UNITS - 2)
      sink.Error(Record(entry), "folder and name together are " + Units(units) +
                                    "; a file record holds at most " +
                                    std::to_string(FILE_RECORD_SCRATCH_UNITS - 2));
    const std::string folderWhere = Field(entry, "folder");
    bool relative = false;
    if (file.folder.empty()) {
      sink.Error(folderWhere,
                 "is empty: the file would be looked for in the uninstaller's current "
                 "folder; write \".\" for the install folder");
    } else if (file.folder[0] == u'.') {
      relative = true;
      if (file.folder.size() > 1 && file.folder[1] != u'\\')
        sink.Error(folderWhere, Quoted(file.folder) +
                                    " begins with \".\" but not \".\\\": the "
                                    "uninstaller takes it as the install folder itself; write "
                                    "\".\\sub\" for a folder inside it");
      else if (HasParentSegment(file.folder))
        sink.Warn(folderWhere, "leaves the install folder through \"..\"; write the absolute path");
    } else if (HasUnit(file.folder, u'#')) {
      sink.Error(folderWhere,
                 "holds a folder macro, but file folders are never expanded (only "
                 "folder trees and the command are); write the absolute path or "
                 "\".\\sub\"");
    } else if (!IsAbsolute(file.folder)) {
      sink.Error(folderWhere, Quoted(file.folder) +
                                  " is neither absolute nor inside the install "
                                  "folder: the uninstaller would take it relative to its current "
                                  "folder; write \".\\" +
                                  pack::ToUtf8(file.folder) + "\"");
    }
    if (!file.name.empty()) CheckPlainName(&sink, Field(entry, "name"), file.name);
    if (!relative) CheckSpelling(&sink, folderWhere, file.folder);
    CheckSlashes(&sink, folderWhere, file.folder);

    std::u16string built = BuildEntryPath(file, installDir);
    if (built.size() > kLongestPath) {
      std::string text = "the built path is " + Units(built.size());
      if (relative)
        sink.Error(Record(entry), text + " with the install folder " + Quoted(installDir) +
                                      "; paths hold at most " + std::to_string(kLongestPath) +
                                      ", and the uninstaller skips it");
      else
        sink.Error(Record(entry), text + "; paths hold at most " + std::to_string(kLongestPath));
    }
    if (file.flags & 0xF0)
      sink.Warn(Field(entry, "flags"), "bits " + Hex(file.flags & 0xF0) + " have no meaning");
  }
}

void LintShortcuts(const LintModel& model, std::vector<Finding>* findings) {
  Sink sink{findings};
  for (const Located<pack::ShortcutRecord>& entry : model.shortcuts) {
    const pack::ShortcutRecord& shortcut = entry.value;
    size_t units = shortcut.folder.size() + shortcut.secondFolder.size() + shortcut.fileName.size();
    if (units > SHORTCUT_RECORD_SCRATCH_UNITS - 3)
      sink.Error(Record(entry), "folder, secondFolder and fileName together are " + Units(units) +
                                    "; a shortcut record holds at most " +
                                    std::to_string(SHORTCUT_RECORD_SCRATCH_UNITS - 3));
    if (shortcut.folder.empty()) {
      if (!shortcut.fileName.empty())
        sink.Error(Field(entry, "folder"),
                   "is empty: the shortcut file would be looked for in the "
                   "uninstaller's current folder");
      else if (!shortcut.secondFolder.empty())
        sink.Warn(Field(entry, "folder"), "is empty, so secondFolder is never pruned either");
    } else {
      CheckStoredFolder(&sink, Field(entry, "folder"), shortcut.folder);
    }
    if (!shortcut.secondFolder.empty())
      CheckStoredFolder(&sink, Field(entry, "secondFolder"), shortcut.secondFolder);
    if (!shortcut.folder.empty() && !shortcut.fileName.empty()) {
      std::u16string built = shortcut.folder;
      AppendWithBackslash(&built, shortcut.fileName);
      if (built.size() > kLongestPath)
        sink.Error(Record(entry), "folder and fileName make a path of " + Units(built.size()) +
                                      "; paths hold at most " + std::to_string(kLongestPath));
    }
    if (!shortcut.fileName.empty()) CheckPlainName(&sink, Field(entry, "fileName"), shortcut.fileName);
  }
}

namespace {

// Whether a name has a word (three letters or more) in common with the
// texts that name the application: its install folder, messages 0-2,
// shortcuts and files.
bool NamesTheApplication(const LintModel& model, const std::u16string& name) {
  std::u16string known = model.installDirAssumed ? u"" : model.installDir;
  for (size_t i = 0; i < model.messages.size() && i < 3; ++i) known += u"|" + model.messages[i].value;
  for (const auto& s : model.shortcuts) known += u"|" + s.value.folder + u"|" + s.value.fileName;
  for (const auto& f : model.files) known += u"|" + f.value.folder + u"|" + f.value.name;
  auto fold = [](std::u16string t) {
    for (char16_t& c : t)
      if (c >= u'A' && c <= u'Z') c = (char16_t)(c + 32);
    return t;
  };
  known = fold(known);
  std::u16string word;
  for (char16_t c : fold(name) + u" ") {
    if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c >= 0x80) {
      word.push_back(c);
      continue;
    }
    if (word.size() >= 3 && known.find(word) != std::u16string::npos) return true;
    word.clear();
  }
  return false;
}

// A key right below Software (or its 32-bit and 64-bit views) removed with
// all its subkeys is a vendor's whole tree: right for the author's own
// vendor or product, a guess worth a word for any other name.
void CheckVendorKey(Sink* sink, const std::string& where, const LintModel& model,
                    const pack::RegistryRecord& key) {
  std::u16string path = WithoutTrailingBackslashes(key.path);
  if (key.root == ROOT_HKLM && StartsWithNoCaseAscii(path, "Software64\\")) path.erase(8, 2);
  if (StartsWithNoCaseAscii(path, "Software\\Wow6432Node\\")) path.erase(8, 12);
  if (!StartsWithNoCaseAscii(path, "Software\\")) return;
  const std::u16string name = path.substr(9);
  if (name.empty() || HasUnit(name, u'\\') || NamesTheApplication(model, name)) return;
  sink->Warn(where, Quoted(key.path) + " is a whole vendor's key, and " + Quoted(name) +
                        " names neither this application's vendor nor the application as the "
                        "manifest shows them; other programs of that vendor lose their "
                        "settings too");
}

}  // namespace

void LintRegistry(const LintModel& model, std::vector<Finding>* findings) {
  Sink sink{findings};
  for (const Located<pack::RegistryRecord>& entry : model.registry) {
    const pack::RegistryRecord& key = entry.value;
    const std::string pathWhere = Field(entry, "path");
    const char* rootName = RootName(key.root);
    if (!*rootName)
      sink.Error(Field(entry, "root"), Hex(key.root) + " is no predefined registry root");
    else if (key.root == ROOT_HKPD || key.root == ROOT_HKDD)
      sink.Warn(Field(entry, "root"),
                std::string(rootName) + " holds no keys an uninstaller removes");
    if (key.path.size() > REGISTRY_RECORD_SCRATCH_UNITS - 1)
      sink.Error(Record(entry), "the path is " + Units(key.path.size()) +
                                    "; a registry record holds at most " +
                                    std::to_string(REGISTRY_RECORD_SCRATCH_UNITS - 1));
    if (key.path.empty()) {
      sink.Error(pathWhere, "is empty: it names the root itself (the uninstaller skips it)");
      continue;
    }
    // The uninstaller skips "Software", "System" and "Software\Wow6432Node"
    // under every root, after resolving HKLM's "Software64" alias and with
    // any trailing backslashes: entries that would take every program's
    // settings with them. A manifest that names one is wrong either way.
    std::u16string resolved = key.path;
    if (key.root == ROOT_HKLM && StartsWithNoCaseAscii(resolved, "Software64"))
      resolved.erase(8, 2);
    std::u16string bare = WithoutTrailingBackslashes(resolved);
    bool topLevel = EqualsNoCaseAscii(bare, "Software") || EqualsNoCaseAscii(bare, "System") ||
                    EqualsNoCaseAscii(bare, "Software\\Wow6432Node");
    if (topLevel) {
      if (bare.size() == resolved.size())
        sink.Error(pathWhere, Quoted(key.path) + " is a top-level key; the uninstaller refuses it");
      else
        sink.Error(pathWhere, Quoted(key.path) +
                                  " is a top-level key; with its trailing backslash it names "
                                  "the same key, and the uninstaller refuses it");
      continue;
    }
    if (key.path[0] == u'\\')
      sink.Error(pathWhere, "begins with a backslash; key paths are relative to the root");
    // The value syntax: the last backslash doubled. A doubled backslash
    // anywhere else makes an empty key name.
    size_t last = key.path.rfind(u'\\');
    bool isValue = last != std::u16string::npos && last > 0 && key.path[last - 1] == u'\\';
    std::u16string keyPart = isValue ? key.path.substr(0, last - 1) : key.path;
    // The program's own table of keys that hold other programs' data; a
    // value below one of them is the application's own.
    if (!isValue && IsProtectedRegistryKey(key.root, Rx(key.path).c_str())) {
      sink.Error(pathWhere, Quoted(key.path) +
                                " holds other programs' data (their settings, registrations or "
                                "uninstall entries); the uninstaller refuses it. Name your "
                                "application's own key below it");
      continue;
    }
    if (!isValue) CheckVendorKey(&sink, pathWhere, model, key);
    if (keyPart.find(u"\\\\") != std::u16string::npos || (isValue && keyPart.empty()) ||
        (isValue && keyPart.back() == u'\\'))
      sink.Warn(pathWhere,
                "holds an empty key name (a doubled backslash that is not the value "
                "separator)");
    if (key.root == ROOT_HKLM && StartsWithNoCaseAscii(key.path, "Software64") &&
        key.path.size() > 10 && key.path[10] != u'\\')
      sink.Warn(pathWhere,
                "begins with \"Software64\" without a backslash after it: the "
                "uninstaller still removes the \"64\" and reads \"Software" +
                    pack::ToUtf8(key.path.substr(10)) + "\"");
    if (key.root != ROOT_HKLM && StartsWithNoCaseAscii(key.path, "Software64\\"))
      sink.Warn(pathWhere,
                "\"Software64\" is an alias only under HKLM; here it names a key "
                "called Software64");
  }
}

void LintFolderTrees(const LintModel& model, std::vector<Finding>* findings) {
  Sink sink{findings};
  const std::u16string installDir = InstallDirOf(model);
  for (const Located<std::u16string>& entry : model.folderTrees) {
    const std::u16string& tree = entry.value;
    const std::string where = Record(entry);
    if (tree.empty()) {
      sink.Error(where, "is empty; it would end the list and drop the trees behind it");
      continue;
    }
    size_t cut = tree.rfind(u'\\');
    std::u16string folder = cut == std::u16string::npos ? std::u16string() : tree.substr(0, cut);
    std::u16string pattern = cut == std::u16string::npos ? tree : tree.substr(cut + 1);
    if (HasStreamColon(Rx(tree).c_str()))
      sink.Error(where, Quoted(tree) + " holds a colon that is not a drive's (a stream); the "
                                       "uninstaller never acts on such a path");
    if (HasParentSegment(tree))
      sink.Error(where, Quoted(tree) +
                            " holds a \"..\" segment; the tree walk would leave the "
                            "folder it names");
    if (HasUnit(tree, u'#')) {
      CheckMacroTokens(&sink, where, tree, true,
                       "the tree would be taken relative to the uninstaller's current folder");
      size_t lastMacroEnd = tree.rfind(u'#');
      if (cut == std::u16string::npos || cut < lastMacroEnd) {
        sink.Error(where, Quoted(tree) +
                              " has no backslash and pattern after its last macro: "
                              "the folder's own name would be taken as the pattern");
      } else {
        std::u16string bare = OneSpelling(folder);
        const LayoutRow* layout = DefaultLayoutOf(bare);
        if (IsProtectedMacro(bare))
          sink.Error(where, Quoted(tree) + " is aimed at the protected folder " + Quoted(bare) +
                                "; the uninstaller refuses it");
        else if (layout && layout->protectedAs)
          sink.Error(where, Quoted(tree) + " is aimed at " + Quoted(bare) + ", which is " +
                                layout->protectedAs +
                                " on a standard Windows; the uninstaller refuses it");
        else if (IsDriveRoot(bare))
          sink.Error(where, Quoted(tree) + " is aimed at a drive root");
        else if (IsSharedPlace(bare))
          sink.Warn(where, Quoted(tree) + " clears a folder that Windows or other programs share; "
                                          "make sure only your application's files match");
      }
    } else {
      if (IsAbsolute(tree) || tree[0] == u'\\') {
        sink.Error(where,
                   Quoted(tree) +
                       " is an absolute path, but trees without a macro are "
                       "taken relative to the install folder; use a macro or a relative path");
      } else if (installDir.size() + tree.size() > kLongestPath) {
        sink.Error(where, "the built path is " + Units(installDir.size() + tree.size()) +
                              " with the install folder " + Quoted(installDir) +
                              "; paths hold at most " + std::to_string(kLongestPath) +
                              ", and the uninstaller skips the tree");
      }
    }
    if (cut != std::u16string::npos && pattern.empty())
      sink.Warn(where, Quoted(tree) +
                           " ends with a backslash: the pattern is empty and matches no "
                           "file; write \"" +
                           pack::ToUtf8(tree) + "*.*\"");
    CheckSlashes(&sink, where, tree);
  }
}

void LintHeader(const LintModel& model, std::vector<Finding>* findings) {
  Sink sink{findings};
  if (!model.hasHeader) {
    sink.Warn(model.headerWhere,
              "missing: the uninstaller runs without a command and a final "
              "page, with visual styles restricted");
    return;
  }
  const std::u16string& command = model.header.command;
  const std::string where = model.headerWhere + ".command";
  if (!command.empty()) {
    // The uninstaller skips one leading quote and the spaces after it; a
    // macro there is expanded, anything else is put behind the install
    // folder.
    size_t start = 0;
    bool quoted = command[0] == u'"';
    if (quoted) ++start;
    while (start < command.size() && command[start] == u' ') ++start;
    if (start < command.size() && command[start] == u'#') {
      CheckMacroTokens(&sink, where, command, false,
                       "the command would be taken relative to the install folder");
    } else {
      std::u16string program = command.substr(start);
      if (IsAbsolute(program) || (!program.empty() && program[0] == u'\\'))
        sink.Error(where,
                   "is an absolute path, but a command without a leading macro is taken "
                   "relative to the install folder; write \"#InstallDir#\\...\" or a "
                   "relative path");
      std::u16string built = InstallDirOf(model) + program + (quoted ? u"\"" : u"");
      if (built.size() > kLongestPath)
        sink.Warn(where, "the built command is " + Units(built.size()) +
                             " with the install folder " + Quoted(InstallDirOf(model)) +
                             "; it must fit " + std::to_string(kLongestPath));
    }
    if (quoted) {
      size_t close = command.find(u'"', 1);
      if (close == std::u16string::npos)
        sink.Warn(where,
                  "opens a quote that it never closes; the whole text would be taken as "
                  "the program's name");
    }
  } else if (model.header.flags & HEADER_WAIT_FOR_COMMAND) {
    sink.Warn(model.headerWhere + ".waitForCommand", "is set, but there is no command");
  }
  if (HasUnit(model.header.finalPage, u'#'))
    sink.Warn(model.headerWhere + ".finalPage",
              "holds a '#': the final page is opened as stored, "
              "folder macros are not expanded there");
}

void LintMessages(const LintModel& model, std::vector<Finding>* findings) {
  Sink sink{findings};
  if (!model.hasMessages) {
    sink.Warn("messages",
              "missing: every box and dialog of the uninstaller would be empty, the "
              "confirmation question included");
    return;
  }
  for (size_t index = 0; index < MSG_COUNT_USED; ++index) {
    const MessageUse& use = MessageUseOf(index);
    bool empty = index >= model.messages.size() || model.messages[index].value.empty();
    if (empty && use.whenEmpty) {
      std::string where = index < model.messages.size() ? Record(model.messages[index])
                                                        : "messages[" + std::to_string(index) + "]";
      sink.Warn(where, "is empty or missing: " + std::string(use.whenEmpty));
    }
  }
  for (size_t index = 0; index < model.messages.size() && index < MSG_COUNT_USED; ++index) {
    const Located<std::u16string>& entry = model.messages[index];
    const std::u16string& text = entry.value;
    if (text.empty()) continue;
    const MessageUse& use = MessageUseOf(index);
    const std::string where = Record(entry);
    Conversions found = FindConversions(text);
    if (use.takesArgument) {
      for (const Conversion& other : found.others)
        sink.Error(where, "conversion " + Quoted(other.text) + " at unit " +
                              std::to_string(other.at) +
                              ": this message is formatted and takes exactly one \"%s\" (write "
                              "\"%%\" for a percent sign)");
      if (found.argumentCount != 1)
        sink.Error(where, "holds " + std::to_string(found.argumentCount) +
                              " \"%s\"; it takes exactly one (" + use.meaning + ")");
      size_t formatted = text.size();
      if (found.argumentCount == 1) formatted = formatted - 2 - found.percentPairs + kArgumentUnits;
      if (formatted > kLongestFormatted)
        sink.Error(where, "formatted with a path of " + std::to_string(kArgumentUnits) +
                              " units it needs " + Units(formatted) +
                              "; the message buffer holds " + std::to_string(kLongestFormatted));
    } else {
      // Shown exactly as stored, so a '%' is a percent sign (an
      // application may well be called "Save50%Now"); only the forms that
      // look meant for formatting are worth a word.
      if (found.argumentCount)
        sink.Warn(where,
                  "holds \"%s\", but this message takes no argument and shows it as written");
      if (found.percentPairs)
        sink.Warn(where,
                  "holds \"%%\", which this message shows as two percent signs (it is not "
                  "formatted)");
    }
  }
}

namespace {

uint16_t U16At(const pack::Bytes& b, size_t at) { return (uint16_t)(b[at] | (b[at + 1] << 8)); }

}  // namespace

void LintExtension(const LintModel& model, std::vector<Finding>* findings) {
  Sink sink{findings};
  if (!model.hasExtension) return;
  const pack::Bytes& content = model.extensionContent;
  const std::string& where = model.extensionWhere;
  if (content.size() > EXT_PATH_MAX_BYTES) {
    // A library image: the uninstaller is a 32-bit x86 program, so only a
    // 32-bit x86 DLL can ever load.
    if (content.size() < 0x40 || content[0] != 'M' || content[1] != 'Z') {
      sink.Error(where, "is not a Windows library image (no \"MZ\" header)");
      return;
    }
    uint32_t pe = pack::ReadU32(&content[0x3C]);
    if ((uint64_t)pe + 24 > content.size() || content[pe] != 'P' || content[pe + 1] != 'E' ||
        content[pe + 2] != 0 || content[pe + 3] != 0) {
      sink.Error(where, "is not a Windows library image (no PE header)");
      return;
    }
    uint16_t machine = U16At(content, pe + 4);
    uint16_t characteristics = U16At(content, pe + 22);
    if (machine != 0x014C)
      sink.Error(where, "is built for machine " + Hex(machine) +
                            "; the 32-bit uninstaller loads "
                            "only x86 (0x14C) libraries");
    if (!(characteristics & 0x2000)) sink.Warn(where, "is a program image, not a DLL");
    return;
  }
  // A path blob: a NUL-terminated UTF-16 string.
  std::u16string path;
  bool terminated = false;
  for (size_t i = 0; i + 1 < content.size(); i += 2) {
    char16_t unit = U16At(content, i);
    if (unit == 0) {
      terminated = true;
      break;
    }
    path.push_back(unit);
  }
  if (!terminated) {
    sink.Error(where, "the path is not NUL-terminated within its " +
                          std::to_string(content.size()) + " bytes");
  } else if (path.empty()) {
    sink.Error(where, "the library path is empty");
  } else {
    if (HasUnit(path, u'#'))
      sink.Warn(where, "the library path holds a '#': folder macros are not expanded there");
    else if (!IsAbsolute(path))
      sink.Warn(where, "the library path " + Quoted(path) +
                           " is not absolute; the system's "
                           "library search decides which file loads");
  }
}

namespace {

// Where the machine's and the users' folders lie when written out, below a
// drive: "C:\\Program Files\\App" is the machine's, "C:\\Users\\Ann\\..." a
// user's (but Public and Default, shared by all).
struct PlaceRow {
  const char* below;  // after "X:\\"
  FolderOwner owner;
  bool anyChild;      // a user's folder is every child of it
};
const PlaceRow kPlaces[] = {
    {"Windows", OWNER_MACHINE, false},
    {"Program Files", OWNER_MACHINE, false},
    {"Program Files (x86)", OWNER_MACHINE, false},
    {"ProgramData", OWNER_MACHINE, false},
    {"Users\\Public", OWNER_MACHINE, false},
    {"Users\\Default", OWNER_MACHINE, false},
    {"Documents and Settings\\All Users", OWNER_MACHINE, false},
    {"Documents and Settings\\Default User", OWNER_MACHINE, false},
    {"Users", OWNER_USER, true},
    {"Documents and Settings", OWNER_USER, true},
};

// Whose folder a path (absolute, or beginning with a macro) lies in.
FolderOwner OwnerOf(const std::u16string& path) {
  if (!path.empty() && path[0] == u'#') {
    size_t end = path.find(u'#', 1);
    return end == std::u16string::npos ? OWNER_NONE : MacroOwner(path.substr(0, end + 1));
  }
  if (path.size() < 3 || !IsAsciiLetter(path[0]) || path[1] != u':' || path[2] != u'\\')
    return OWNER_NONE;
  const std::u16string rest = OneSpelling(path.substr(3));
  for (const PlaceRow& row : kPlaces) {
    size_t n = strlen(row.below);
    if (!StartsWithNoCaseAscii(rest, row.below)) continue;
    if (rest.size() == n ? !row.anyChild : rest[n] == u'\\') return row.owner;
  }
  return OWNER_NONE;
}

const char kAdminOnly[] = "; only an administrator can remove it, and a per-user uninstaller runs without elevation";
const char kOtherProfile[] = "a per-user place in a machine-wide manifest: an elevated uninstaller may see another profile than the user's";

}  // namespace

const char* LevelForScope(Scope scope) {
  return scope == SCOPE_USER ? "asInvoker" : "requireAdministrator";
}

std::string StubLevelProblem(Scope scope, bool hasManifest, const std::string& level, bool* error) {
  const std::string needs = std::string("\"scope\": \"") + (scope == SCOPE_USER ? "user" : "machine") +
                            "\" needs " + LevelForScope(scope) + " (use " +
                            (scope == SCOPE_USER ? "retrax-user.exe" : "retrax.exe") + ")";
  *error = false;
  if (!hasManifest) return "carries no manifest, so its execution level is not known; " + needs;
  if (level.empty()) return "its manifest requests no execution level; " + needs;
  if (level == LevelForScope(scope)) return "";
  *error = true;
  return "requests " + level + ", but " + needs;
}

void LintScope(const LintModel& model, std::vector<Finding>* findings) {
  if (model.scope == SCOPE_UNKNOWN) return;
  Sink sink{findings};
  const bool user = model.scope == SCOPE_USER;
  // A place: an error for a user-scope manifest when it is the machine's, a
  // warning for a machine-scope one when it is a user's.
  auto place = [&](const std::string& where, const std::u16string& path, const char* what) {
    FolderOwner owner = OwnerOf(path);
    if (user && owner == OWNER_MACHINE)
      sink.Error(where, std::string(what) + " lies in a folder of the machine" + kAdminOnly);
    else if (!user && owner == OWNER_USER)
      sink.Warn(where, std::string(what) + " lies in " + kOtherProfile);
  };
  bool relativeSeen = false;
  for (const Located<pack::FileRecord>& entry : model.files) {
    const pack::FileRecord& file = entry.value;
    if (!file.folder.empty() && file.folder[0] == u'.')
      relativeSeen = true;
    else
      place(Field(entry, "folder"), file.folder, "the folder");
    if (!user) continue;
    if (file.flags & FileShared)
      sink.Error(Field(entry, "flags"), std::string("\"shared\": the SharedDLLs counts live under HKLM") + kAdminOnly);
    if (file.flags & FileFont)
      sink.Error(Field(entry, "flags"), std::string("\"font\": fonts are registered for the whole machine") + kAdminOnly);
    if (file.flags & FileComponent)
      sink.Error(Field(entry, "flags"), std::string("\"component\": regsvr32 registers machine-wide classes") + kAdminOnly);
  }
  for (const Located<std::u16string>& entry : model.folderTrees) {
    const std::u16string& tree = entry.value;
    if (StartsWithNoCaseAscii(tree, "#InstallDir#"))
      relativeSeen = true;
    else
      place(Record(entry), tree, "the tree");
  }
  for (const Located<pack::ShortcutRecord>& entry : model.shortcuts) {
    place(Field(entry, "folder"), entry.value.folder, "the folder");
    if (!entry.value.secondFolder.empty())
      place(Field(entry, "secondFolder"), entry.value.secondFolder, "the folder");
  }
  // The typical folder that stands in when none is named says nothing.
  if (relativeSeen && !model.installDir.empty())
    place("installDir", model.installDir, "the install folder, which entries are relative to,");
  for (const Located<pack::RegistryRecord>& entry : model.registry) {
    const uint32_t root = entry.value.root;
    if (user && (root == ROOT_HKLM || root == ROOT_HKU))
      sink.Error(Field(entry, "root"), std::string(RootName(root)) +
                                           (root == ROOT_HKLM ? " belongs to the machine" : " holds every user's keys") +
                                           kAdminOnly);
    else if (!user && root == ROOT_HKCU)
      sink.Warn(Field(entry, "root"), std::string("HKCU is ") + kOtherProfile);
  }
}

void LintPayload(const LintModel& model, std::vector<Finding>* findings) {
  if (InstallDirOf(model).size() > kLongestPath)
    findings->push_back(Finding{true, "installDir",
                                "is " + Units(InstallDirOf(model).size()) +
                                    " long with its backslash; paths hold at most " +
                                    std::to_string(kLongestPath) +
                                    ", so the uninstaller could not reach its own folder"});
  LintHeader(model, findings);
  LintMessages(model, findings);
  LintFiles(model, findings);
  LintShortcuts(model, findings);
  LintRegistry(model, findings);
  LintFolderTrees(model, findings);
  LintExtension(model, findings);
  LintScope(model, findings);
}

size_t CountErrors(const std::vector<Finding>& findings) {
  size_t errors = 0;
  for (const Finding& finding : findings)
    if (finding.error) ++errors;
  return errors;
}

}  // namespace packtool
