// `retrax-pack scan`: a manifest that lists everything under a staged
// installation folder (the application's files laid out as the installer
// will put them into the install folder), so that no file is forgotten.
//
// The list order is what makes the uninstaller remove it all: the file
// phase works through the list from the last entry to the first, and a
// folder entry removes its folder only when it is empty by then. So every
// folder entry stands before the files in it and before its own subfolders,
// the way an installer creates them; walked backwards, files go before
// their folder and subfolders before their parents. The pruning phase that
// follows climbs from each entry's folder and needs no particular order.
#pragma once
#include <stddef.h>

#include <string>
#include <vector>

#include "lint.h"
#include "payload/writer.h"

namespace packtool {

struct StagedItem {
  pack::FileRecord record;  // folder "." or ".\sub\dir"; empty name for a folder
  std::string hostPath;     // relative to the staged folder, "/"-separated
};

struct StageScan {
  std::vector<StagedItem> items;  // in list order
  // Places are paths relative to the staged folder ("docs/x.dll"). An
  // error means the list is incomplete or would name something that
  // Windows cannot hold.
  std::vector<Finding> findings;
  size_t files = 0, folders = 0, fonts = 0, components = 0;
};

// Walks root (not listed itself: the uninstaller's own folder goes with its
// self-removal). Symbolic links are never followed: a link is listed under
// its own name as a file, with a warning. Fonts (.ttf, .ttc, .otf, .fon)
// get the flag "font", DLLs that export DllRegisterServer "component".
StageScan ScanStagedFolder(const std::string& root);

// The application's name for the messages when the author gives none: the
// staged folder's own name.
std::string DefaultApplicationName(const std::string& root);

// The manifest: installDir, an empty header, "language" (en, de, fr, es)
// with the messages that name the application (0, 1, 2 and 15, the name
// exactly as given), the files, and empty shortcuts, registry and
// folderTrees for the author to fill in.
std::string StageManifestText(const StageScan& scan, const std::string& applicationName,
                              const std::u16string& installDir, const std::string& language,
                              bool userScope = false);
bool IsShippedScanLanguage(const std::string& language);

// `scan --update`: the manifest oldText with its file list made afresh from
// scan, and everything else the author wrote kept: header, language,
// messages, shortcuts, registry, folder trees, the flags of files that are
// still there, and entries outside the install folder. added and gone list
// the entries (".\sub\x.dll") that came and went. False with an error
// when oldText is no valid manifest.
bool UpdateManifestText(const std::string& oldText, const std::string& baseFolder,
                        const StageScan& scan, std::string* newText,
                        std::vector<std::string>* added, std::vector<std::string>* gone,
                        std::string* error);

}  // namespace packtool
