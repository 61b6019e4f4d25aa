#include "vocabulary.h"

#include "paths/folder_macro_names.h"
#include "payload/format.h"
#include "text.h"

namespace packtool {

const char* ChunkTagName(uint16_t tag) {
  switch (tag) {
    case CHUNK_MESSAGES:
      return "CHUNK_MESSAGES";
    case CHUNK_FILES:
      return "CHUNK_FILES";
    case CHUNK_SHORTCUTS:
      return "CHUNK_SHORTCUTS";
    case CHUNK_REGISTRY:
      return "CHUNK_REGISTRY";
    case CHUNK_FOLDER_TREES:
      return "CHUNK_FOLDER_TREES";
    case CHUNK_HEADER:
      return "CHUNK_HEADER";
    case CHUNK_EXTENSION:
      return "CHUNK_EXTENSION";
    case CHUNK_OPAQUE:
      return "CHUNK_OPAQUE";
    case CHUNK_END:
      return "CHUNK_END";
    default:
      return "";
  }
}

namespace {

struct RootRow {
  const char* shortName;
  const char* longName;
  uint32_t value;
};

const RootRow kRoots[] = {
    {"HKCR", "HKEY_CLASSES_ROOT", ROOT_HKCR},     {"HKCU", "HKEY_CURRENT_USER", ROOT_HKCU},
    {"HKLM", "HKEY_LOCAL_MACHINE", ROOT_HKLM},    {"HKU", "HKEY_USERS", ROOT_HKU},
    {"HKPD", "HKEY_PERFORMANCE_DATA", ROOT_HKPD}, {"HKCC", "HKEY_CURRENT_CONFIG", ROOT_HKCC},
    {"HKDD", "HKEY_DYN_DATA", ROOT_HKDD},
};

struct FlagRow {
  const char* name;
  uint8_t bit;
};

const FlagRow kFileFlags[] = {
    {"shared", FileShared},
    {"font", FileFont},
    {"component", FileComponent},
    {"checkInUse", FileCheckInUse},
};

void AddName(std::string* list, const std::string& name) {
  if (!list->empty()) *list += ", ";
  *list += name;
}

const MessageUse kMessageUses[MSG_COUNT_USED] = {
    {"program title: caption of every box and dialog", false,
     "boxes and dialogs have empty captions"},
    {"confirmation question before anything is removed (OK/Cancel)", false,
     "the confirmation box is asked with no text"},
    {"closing message after the removal", false, nullptr},
    {"read-only question: caption of the button Yes", false,
     "the read-only question has an empty button"},
    {"read-only question: caption of the button Yes to all", false,
     "the read-only question has an empty button"},
    {"read-only question: caption of the button No", false,
     "the read-only question has an empty button"},
    {"read-only question: caption of the button No to all", false,
     "the read-only question has an empty button"},
    {"report: out of memory while reading the payload; %s = the uninstaller's path", true,
     "a payload read failure shows an empty box"},
    {"report: read error in the payload; %s = the uninstaller's path", true,
     "a payload read failure shows an empty box"},
    {"question before removing a read-only file; %s = the file's path", true,
     "read-only files are removed without asking, as if Yes to all were answered"},
    {"question before removing a shared library that no program uses any more; %s = the file's "
     "path",
     true, "shared libraries whose count drops to zero are removed without asking"},
    {"progress text while files and folder trees are removed", false,
     "the progress dialog shows no text"},
    {"progress text while shortcuts and their folders are removed", false,
     "the progress dialog shows no text"},
    {"progress text while emptied installation folders are removed", false,
     "the progress dialog shows no text"},
    {"progress text while registry entries are removed", false,
     "the progress dialog shows no text"},
    {"warning that a listed program is still running (Retry/Cancel)", false,
     "the running-program warning is an empty box"},
};

const MessageUse kUnusedMessage = {
    "not used by the uninstaller (readable by the extension library)", false, nullptr};

// The macro names are ASCII.
std::string Narrow(const RxChar* text) {
  std::string narrow;
  for (; *text; ++text) narrow += (char)*text;
  return narrow;
}

const FolderMacroRow* MacroRowOf(const std::u16string& token) {
  for (const FolderMacroRow* row = kFolderMacroTable; row->name != nullptr; ++row)
    if (EqualsNoCaseAscii(token, Narrow(row->name).c_str())) return row;
  return nullptr;
}

}  // namespace

bool ParseRootName(const std::string& name, uint32_t* root) {
  for (const RootRow& row : kRoots) {
    if (EqualsNoCaseAscii(name, row.shortName) || EqualsNoCaseAscii(name, row.longName)) {
      *root = row.value;
      return true;
    }
  }
  return false;
}

const char* RootName(uint32_t root) {
  for (const RootRow& row : kRoots)
    if (row.value == root) return row.shortName;
  return "";
}

bool ParseFileFlag(const std::string& name, uint8_t* bit) {
  for (const FlagRow& row : kFileFlags) {
    if (name == row.name) {
      *bit = row.bit;
      return true;
    }
  }
  return false;
}

std::string FileFlagNames(uint8_t flags) {
  std::string names;
  uint8_t named = 0;
  for (const FlagRow& row : kFileFlags) {
    if (flags & row.bit) AddName(&names, row.name);
    named |= row.bit;
  }
  if (flags & ~named) AddName(&names, Hex(flags & ~named));
  return names;
}

std::string HeaderFlagNames(uint32_t flags) {
  std::string names;
  if (flags & HEADER_WAIT_FOR_COMMAND) AddName(&names, "waitForCommand");
  if (flags & HEADER_KEEP_VISUAL_STYLES) AddName(&names, "keepVisualStyles");
  uint32_t rest = flags & ~(uint32_t)(HEADER_WAIT_FOR_COMMAND | HEADER_KEEP_VISUAL_STYLES);
  if (rest) AddName(&names, Hex(rest));
  return names;
}

const MessageUse& MessageUseOf(size_t index) {
  return index < MSG_COUNT_USED ? kMessageUses[index] : kUnusedMessage;
}

bool IsProtectedMacro(const std::u16string& token) {
  const FolderMacroRow* row = MacroRowOf(token);
  return row != nullptr && IsProtectedFolderId(row->id);
}

FolderOwner MacroOwner(const std::u16string& token) {
  const FolderMacroRow* row = MacroRowOf(token);
  switch (row ? row->id : 0xFFFFFFFFu) {
    case FOLDER_WINDOWS: case FOLDER_SYSTEM: case FOLDER_PROGRAM_FILES:
    case FOLDER_PROGRAM_FILES_X64: case FOLDER_COMMON_FILES: case FOLDER_ALL_USERS:
    case SHELL_COMMON_APPDATA: case SHELL_COMMON_DOCUMENTS: case SHELL_COMMON_DESKTOPDIRECTORY:
      return OWNER_MACHINE;
    case SHELL_PERSONAL: case SHELL_DESKTOPDIRECTORY: case SHELL_APPDATA:
    case SHELL_LOCAL_APPDATA: case SHELL_PROFILE:
      return OWNER_USER;
    default:
      return OWNER_NONE;
  }
}

bool IsKnownMacro(const std::u16string& token) {
  return MacroRowOf(token) != nullptr || EqualsNoCaseAscii(token, Narrow(kInstallDirMacro).c_str());
}

}  // namespace packtool
