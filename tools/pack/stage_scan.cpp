#include "stage_scan.h"

#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "fileio.h"
#include "manifest.h"
#include "pe_exports.h"
#include "text.h"
#include "vocabulary.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <errno.h>
#endif

namespace packtool {

namespace {

// Every level adds at least two units (".\a") to a path that holds 259; a
// tree deeper than this cannot be reached by the uninstaller anyway, and
// the walk's recursion stays small.
const int kMaxDepth = 128;

struct HostEntry {
  enum Kind { FILE, FOLDER, LINK, OTHER };
  std::string name;  // UTF-8 on Windows; the bytes as stored elsewhere
  Kind kind = OTHER;
};

#ifdef _WIN32
std::wstring Wide(const std::string& utf8) {
  std::u16string units;
  if (!pack::FromUtf8(utf8, &units)) units.clear();
  return std::wstring(units.begin(), units.end());
}

bool ListHostFolder(const std::string& path, std::vector<HostEntry>* entries,
                    std::string* error) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(Wide(path + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    *error = "cannot read the folder (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  do {
    std::u16string name;
    for (const wchar_t* c = data.cFileName; *c; ++c) name.push_back((char16_t)*c);
    if (name == u"." || name == u"..") continue;
    HostEntry entry;
    entry.name = pack::ToUtf8(name);
    // Junctions and symbolic links are reparse points, of folders or files.
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
      entry.kind = HostEntry::LINK;
    else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      entry.kind = HostEntry::FOLDER;
    else
      entry.kind = HostEntry::FILE;
    entries->push_back(entry);
  } while (FindNextFileW(find, &data));
  DWORD last = GetLastError();
  FindClose(find);
  if (last != ERROR_NO_MORE_FILES) {
    *error = "cannot read the folder to its end (error " + std::to_string(last) + ")";
    return false;
  }
  return true;
}

bool IsHostFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
#else
bool ListHostFolder(const std::string& path, std::vector<HostEntry>* entries,
                    std::string* error) {
  DIR* folder = opendir(path.c_str());
  if (!folder) {
    *error = std::string("cannot read the folder: ") + strerror(errno);
    return false;
  }
  bool ok = true;
  for (;;) {
    errno = 0;
    dirent* e = readdir(folder);
    if (!e) {
      if (errno != 0) {
        *error = std::string("cannot read the folder to its end: ") + strerror(errno);
        ok = false;
      }
      break;
    }
    if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
    HostEntry entry;
    entry.name = e->d_name;
    struct stat info;
    // lstat: a link is seen as the link, never as what it points to.
    if (lstat((path + "/" + entry.name).c_str(), &info) != 0) {
      *error = entry.name + ": cannot read: " + strerror(errno);
      ok = false;
      break;
    }
    if (S_ISLNK(info.st_mode))
      entry.kind = HostEntry::LINK;
    else if (S_ISDIR(info.st_mode))
      entry.kind = HostEntry::FOLDER;
    else if (S_ISREG(info.st_mode))
      entry.kind = HostEntry::FILE;
    entries->push_back(entry);
  }
  closedir(folder);
  return ok;
}

bool IsHostFolder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
#endif

char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? (char16_t)(c + 32) : c; }

std::u16string Folded(const std::u16string& text) {
  std::u16string out = text;
  for (char16_t& c : out) c = FoldAscii(c);
  return out;
}

bool EndsWithNoCase(const std::u16string& name, const char* suffix) {
  size_t n = strlen(suffix);
  if (name.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (FoldAscii(name[name.size() - n + i]) != (char16_t)suffix[i]) return false;
  return true;
}

bool IsFontName(const std::u16string& name) {
  return EndsWithNoCase(name, ".ttf") || EndsWithNoCase(name, ".ttc") ||
         EndsWithNoCase(name, ".otf") || EndsWithNoCase(name, ".fon");
}

// Why Windows cannot hold a file of this name, or "" when it can.
std::string WindowsNameProblem(const std::u16string& name) {
  for (char16_t c : name) {
    if (c < 0x20) return "holds a control character, which Windows does not allow in names";
    if (c < 0x80 && strchr("<>:\"/\\|?*", (char)c))
      return std::string("holds '") + (char)c + "', which Windows does not allow in names";
  }
  if (name.back() == u'.' || name.back() == u' ')
    return "ends with a dot or a space, which Windows drops from names: the installed file "
           "would have another name";
  // Device names, with or without an extension, open the device instead.
  std::u16string stem = Folded(name.substr(0, name.find(u'.')));
  while (!stem.empty() && stem.back() == u' ') stem.pop_back();
  static const char* const kDevices[] = {"con", "prn", "aux", "nul"};
  for (const char* device : kDevices)
    if (EqualsNoCaseAscii(stem, device)) return "is a device name on Windows";
  if (stem.size() == 4 && (stem.compare(0, 3, u"com") == 0 || stem.compare(0, 3, u"lpt") == 0) &&
      stem[3] >= u'1' && stem[3] <= u'9')
    return "is a device name on Windows";
  return "";
}

struct Walker {
  StageScan* scan;

  void Warn(const std::string& where, const std::string& text) {
    scan->findings.push_back(Finding{false, where, text});
  }
  void Error(const std::string& where, const std::string& text) {
    scan->findings.push_back(Finding{true, where, text});
  }

  uint8_t FileFlags(const std::string& path, const std::string& where,
                    const std::u16string& name) {
    if (IsFontName(name)) {
      ++scan->fonts;
      return FileFont;
    }
    FilePieces file;
    std::string error;
    if (!file.Open(path, &error)) {
      Warn(where, "cannot be read, so it was not checked for DllRegisterServer");
      return 0;
    }
    ReadAt read = [&file](uint64_t offset, void* out, size_t size) {
      return file.ReadAt(offset, out, size);
    };
    PeExportCheck check = FindPeExport(read, file.Size(), "DllRegisterServer");
    if (check.verdict == PeExportCheck::DAMAGED) {
      Warn(where, "looks like a Windows program or library, but " + check.problem +
                      "; not checked for DllRegisterServer");
      return 0;
    }
    if (!IsSelfRegistering(check)) return 0;
    ++scan->components;
    return FileComponent;
  }

  // host: the folder on this machine; where: the same relative to the
  // staged folder ("" for the staged folder itself); folder: the manifest's
  // folder for it ("." or ".\sub").
  void Walk(const std::string& host, const std::string& where, const std::u16string& folder,
            int depth) {
    const std::string place = where.empty() ? "." : where;
    if (depth > kMaxDepth) {
      Error(place, "lies more than " + std::to_string(kMaxDepth) +
                       " folders deep; the uninstaller's paths cannot reach it");
      return;
    }
    std::vector<HostEntry> entries;
    std::string error;
    if (!ListHostFolder(host, &entries, &error)) {
      Error(place, error + "; what it holds is not listed");
      return;
    }
    struct Named {
      HostEntry entry;
      std::u16string name;
      std::string where;
    };
    std::vector<Named> named;
    for (const HostEntry& entry : entries) {
      Named n{entry, u"", where.empty() ? entry.name : where + "/" + entry.name};
      if (!pack::FromUtf8(entry.name, &n.name)) {
        Error(n.where, "the name is not valid UTF-8, so it has no Windows spelling");
        continue;
      }
      std::string problem = WindowsNameProblem(n.name);
      if (!problem.empty()) {
        Error(n.where, "the name " + problem);
        continue;
      }
      named.push_back(n);
    }
    // A stable order that does not depend on the file system's.
    std::sort(named.begin(), named.end(), [](const Named& a, const Named& b) {
      std::u16string fa = Folded(a.name), fb = Folded(b.name);
      return fa != fb ? fa < fb : a.name < b.name;
    });
    for (size_t i = 1; i < named.size(); ++i)
      if (Folded(named[i - 1].name) == Folded(named[i].name))
        Warn(named[i].where, "differs from " + named[i - 1].where +
                                 " only in case; on Windows the two are one file");

    // The files of this folder first, behind the folder's own entry.
    for (const Named& n : named) {
      if (n.entry.kind == HostEntry::FOLDER) continue;
      if (n.entry.kind == HostEntry::OTHER) {
        Warn(n.where, "is neither a file nor a folder (a device, pipe or socket); not listed");
        continue;
      }
      StagedItem item;
      item.record.folder = folder;
      item.record.name = n.name;
      item.hostPath = n.where;
      if (n.entry.kind == HostEntry::LINK)
        Warn(n.where,
             "is a symbolic link and was not followed: it is listed by its own name as a "
             "file, and whatever it points to is not listed");
      else
        item.record.flags = FileFlags(host + "/" + n.entry.name, n.where, n.name);
      scan->items.push_back(item);
      ++scan->files;
    }
    // Then each subfolder: its entry, and everything in it.
    for (const Named& n : named) {
      if (n.entry.kind != HostEntry::FOLDER) continue;
      StagedItem item;
      item.record.folder = (folder == u"." ? u".\\" : folder + u"\\") + n.name;
      item.hostPath = n.where;
      scan->items.push_back(item);
      ++scan->folders;
      Walk(host + "/" + n.entry.name, n.where, item.record.folder, depth + 1);
    }
  }
};

std::string JsonString(const std::u16string& text) {
  return nlohmann::json(pack::ToUtf8(text))
      .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string JsonString(const std::string& utf8) {
  return nlohmann::json(utf8).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

StageScan ScanStagedFolder(const std::string& root) {
  StageScan scan;
  Walker walker{&scan};
  if (!IsHostFolder(root)) {
    walker.Error(".", "is not a folder");
    return scan;
  }
  walker.Walk(root, "", u".", 0);
  // A flagged font is deregistered before it is deleted, and its folder is
  // never pruned: right for fonts the installer registers with Windows,
  // wrong for fonts the application only reads from its own folder.
  if (scan.fonts)
    walker.Warn(".", std::to_string(scan.fonts) +
                         (scan.fonts == 1 ? " font is" : " fonts are") +
                         " flagged \"font\": the uninstaller deregisters them and never prunes "
                         "their folders; remove the flag from fonts that the installer does not "
                         "register with Windows");
  if (scan.items.empty() && CountErrors(scan.findings) == 0)
    walker.Warn(".", "the folder is empty; the manifest lists no files");
  return scan;
}

std::string DefaultApplicationName(const std::string& root) {
  std::string name = root;
  while (name.size() > 1 && (name.back() == '/' || name.back() == '\\')) name.pop_back();
  size_t cut = name.find_last_of("/\\");
  if (cut != std::string::npos) name.erase(0, cut + 1);
  if (name.empty() || name == "." || name == ".." || name == "/" ||
      (name.size() == 2 && name[1] == ':'))
    return "The application";
  return name;
}

namespace {

// The messages that name the application, per shipped language; "{}"
// stands for the name, which is put in exactly as given. The others come
// from the manifest's "language".
struct NamedMessages {
  const char* language;
  const char* texts[4];  // messages 0, 1, 2 and 15
};
const NamedMessages kNamedMessages[] = {
    {"en",
     {"{} Uninstall", "Do you want to remove {} and all of its components from this computer?",
      "{} has been removed from your computer.", "{} is still running. Close it, then choose Retry."}},
    {"de",
     {"{} deinstallieren",
      "M\u00f6chten Sie {} und alle zugeh\u00f6rigen Komponenten von diesem Computer entfernen?",
      "{} wurde von Ihrem Computer entfernt.",
      "{} wird noch ausgef\u00fchrt. Schlie\u00dfen Sie das Programm, und versuchen Sie es dann "
      "erneut."}},
    {"fr",
     {"D\u00e9sinstallation de {}",
      "Voulez-vous supprimer {} et tous ses composants de cet ordinateur\u00a0?",
      "{} a \u00e9t\u00e9 supprim\u00e9 de votre ordinateur.",
      "{} est encore en cours d'ex\u00e9cution. Fermez-le, puis r\u00e9essayez."}},
    {"es",
     {"Desinstalar {}", "\u00bfDesea quitar {} y todos sus componentes de este equipo?",
      "{} se ha quitado del equipo.",
      "{} todav\u00eda se est\u00e1 ejecutando. Ci\u00e9rrelo y vuelva a intentarlo."}},
};
const size_t kNamedIndices[4] = {MSG_TITLE, MSG_CONFIRM, MSG_DONE, MSG_PROGRAM_RUNNING};

std::string FileEntryText(const pack::FileRecord& record) {
  std::string text = "{ \"folder\": " + JsonString(record.folder);
  if (!record.name.empty()) text += ", \"name\": " + JsonString(record.name);
  if (record.flags) {
    std::string names = FileFlagNames(record.flags), list;
    for (size_t start = 0; start < names.size();) {
      size_t cut = names.find(", ", start);
      if (cut == std::string::npos) cut = names.size();
      list += (list.empty() ? "" : ", ") + JsonString(names.substr(start, cut - start));
      start = cut + 2;
    }
    text += ", \"flags\": [" + list + "]";
  }
  return text + " }";
}

std::string FileListText(const std::vector<pack::FileRecord>& records) {
  std::string text = "[";
  for (size_t i = 0; i < records.size(); ++i)
    text += std::string(i ? ",\n" : "\n") + "    " + FileEntryText(records[i]);
  return text + (records.empty() ? "]" : "\n  ]");
}

// Relative entries are matched by folder and name, ASCII case ignored as
// the file system does.
std::u16string EntryKey(const pack::FileRecord& record) {
  return Folded(record.folder) + u'\0' + Folded(record.name);
}

std::string EntryName(const pack::FileRecord& record) {
  return pack::ToUtf8(record.name.empty() ? record.folder + u"\\" : record.folder + u"\\" + record.name);
}

}  // namespace

bool IsShippedScanLanguage(const std::string& language) {
  for (const NamedMessages& row : kNamedMessages)
    if (EqualsNoCaseAscii(language, row.language)) return true;
  return false;
}

std::string StageManifestText(const StageScan& scan, const std::string& applicationName,
                              const std::u16string& installDir, const std::string& language,
                              bool userScope) {
  const NamedMessages* named = &kNamedMessages[0];
  for (const NamedMessages& row : kNamedMessages)
    if (EqualsNoCaseAscii(language, row.language)) named = &row;
  std::string text = "{\n  \"installDir\": " + JsonString(installDir) + ",\n";
  if (userScope) text += "  \"scope\": \"user\",\n";
  text +=
      "  \"header\": {\n"
      "    \"waitForCommand\": false,\n"
      "    \"keepVisualStyles\": true,\n"
      "    \"command\": \"\",\n"
      "    \"finalPage\": \"\"\n"
      "  },\n"
      "  \"language\": " + JsonString(std::string(named->language)) + ",\n"
      "  \"messages\": {\n";
  for (size_t i = 0; i < 4; ++i) {
    std::string message = named->texts[i];
    message.replace(message.find("{}"), 2, applicationName);
    text += "    " + JsonString(std::to_string(kNamedIndices[i])) + ": " + JsonString(message) +
            (i + 1 < 4 ? ",\n" : "\n");
  }
  std::vector<pack::FileRecord> records;
  for (const StagedItem& item : scan.items) records.push_back(item.record);
  text += "  },\n  \"files\": " + FileListText(records) + ",\n";
  text +=
      "  \"shortcuts\": [],\n"
      "  \"registry\": [],\n"
      "  \"folderTrees\": []\n"
      "}\n";
  return text;
}

bool UpdateManifestText(const std::string& oldText, const std::string& baseFolder,
                        const StageScan& scan, std::string* newText,
                        std::vector<std::string>* added, std::vector<std::string>* gone,
                        std::string* error) {
  Manifest old;
  if (!ParseManifest(oldText, baseFolder, &old, error)) return false;
  using Ordered = nlohmann::ordered_json;
  Ordered root = Ordered::parse(oldText, nullptr, false);
  // The author's flags on every relative entry that is still there; the
  // entries outside the install folder are the author's own and stay.
  std::vector<pack::FileRecord> kept;
  std::vector<pack::FileRecord> records;
  std::vector<std::u16string> oldKeys;
  for (const pack::FileRecord& record : old.payload.files) {
    if (!record.folder.empty() && record.folder[0] == u'.')
      oldKeys.push_back(EntryKey(record));
    else
      kept.push_back(record);
  }
  std::vector<std::u16string> newKeys;
  for (const StagedItem& item : scan.items) {
    pack::FileRecord record = item.record;
    std::u16string key = EntryKey(record);
    newKeys.push_back(key);
    bool found = false;
    for (const pack::FileRecord& before : old.payload.files)
      if (!found && !before.folder.empty() && before.folder[0] == u'.' && EntryKey(before) == key) {
        record.flags = before.flags;
        found = true;
      }
    if (!found) added->push_back(EntryName(record));
    records.push_back(record);
  }
  for (const pack::FileRecord& before : old.payload.files)
    if (!before.folder.empty() && before.folder[0] == u'.' &&
        std::find(newKeys.begin(), newKeys.end(), EntryKey(before)) == newKeys.end())
      gone->push_back(EntryName(before));
  records.insert(records.end(), kept.begin(), kept.end());

  if (!root.contains("files")) root["files"] = Ordered::array();
  std::string text = "{";
  bool first = true;
  for (const auto& item : root.items()) {
    text += std::string(first ? "\n" : ",\n") + "  " + JsonString(item.key()) + ": ";
    first = false;
    if (item.key() == "files") {
      text += FileListText(records);
      continue;
    }
    std::string value = item.value().dump(2, ' ', false, Ordered::error_handler_t::replace);
    for (size_t at = value.find('\n'); at != std::string::npos; at = value.find('\n', at + 3))
      value.replace(at, 1, "\n  ");
    text += value;
  }
  *newText = text + "\n}\n";
  return true;
}

}  // namespace packtool
