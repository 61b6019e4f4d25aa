// Folder trees, shortcut files and folders, and the folders the file phase
// emptied. No folder is removed while IsProtectedFolder holds for it, and
// none is entered or removed that is a link.
//
// The tree walk moves the process's working folder down the tree and names
// every file and subfolder by its bare name. What the platform does with a
// bare name is not always what the name says, so the walk checks where it
// landed before it recurses, and checks every found name against the
// pattern before it deletes the file:
//   SetCurrentDirectory("...")  succeeds and stays where it was: trailing
//                               dots are dropped, "..." names "." (a folder
//                               named "..." exists on NTFS and under Wine);
//   SetCurrentDirectory("x.")   enters "x", another folder, or fails;
//   FindFirstFile("*.doc")      also finds "Report.docx" by its short name.
//
// Between the listing of a folder and its entering, another program of the
// user may swap it for a junction, and the elevated walk would delete
// matching files wherever that points: every folder, the tree's root
// included, is entered through EnterFolder, which checks the folder it
// landed in through handles.
#include <windows.h>

#include "driver/run_log.h"
#include "driver/run_state.h"
#include "paths/folder_macros.h"
#include "paths/path_ops.h"
#include "paths/path_spelling.h"
#include "payload/memory.h"
#include "platform/system_calls.h"
#include "removal/removal.h"
#include "removal/wildcard.h"
#include "ui/ui.h"

namespace {

const RxChar kAllEntries[] = L"*.*";
const RxChar kParent[] = L"..";

// One level of the walk, on the heap: the recursion is as deep as the tree.
struct TreeLevel {
  WIN32_FIND_DATAW found;
  RxChar here[RX_MAX_PATH];     // W, as read on arrival
  RxChar child[RX_MAX_PATH];    // W\name, where entering name must lead
  RxChar current[RX_MAX_PATH];  // the working folder as read back
};

bool IsDotOrDotDot(const RxChar* name) {
  return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

bool InFolder(const RxChar* expected, RxChar* scratch) {
  GetCurrentFolder(scratch);
  return EqualNoCase(scratch, expected);
}

bool KeepFolder(const RxChar* path) { return IsProtectedFolder(path) || IsReparsePoint(path); }

// Folder handles for the checks of EnterFolder: to read a folder's
// identity and path, never to change anything.
HANDLE OpenFolder(const RxChar* path, DWORD access, DWORD share, DWORD flags) {
  return sys.CreateFileW(path, access, share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
}

bool SameFile(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION one, two;
  return GetFileInformationByHandle(a, &one) && GetFileInformationByHandle(b, &two) &&
         one.dwVolumeSerialNumber == two.dwVolumeSerialNumber && one.nFileIndexHigh == two.nFileIndexHigh &&
         one.nFileIndexLow == two.nFileIndexLow;
}

// Enters the folder that path names (a bare name in the working folder, or
// a tree's root), and checks that the folder now current is the one the
// name held, before anything in it is deleted. On the NT family the name is
// first opened without following a link, and held without delete sharing:
// until the comparison nobody can rename, replace or remove it. The folder
// entered must be that very folder (same volume, same file index): a
// junction or link leads elsewhere, whenever it was put in place. Where the
// system can tell, the folder's real path (no link or short name on the
// way) must not be a protected folder either. Once entered, the working
// folder is held open by the system, which looks its bare names up in it,
// and cannot be renamed. The ANSI family has no links. False when the
// folder cannot be entered, or, with the working folder back at back, when
// the check fails.
bool EnterFolder(const RxChar* path, const RxChar* back) {
  if (!run.isNT) return SetCurrentFolder(path);
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  HANDLE named = OpenFolder(path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, share, FILE_FLAG_OPEN_REPARSE_POINT);
  if (named == INVALID_HANDLE_VALUE) return false;
  bool same = false;
  if (SetCurrentFolder(path)) {
    HANDLE current = OpenFolder(L".", FILE_READ_ATTRIBUTES, share | FILE_SHARE_DELETE, 0);
    RxChar real[RX_MAX_PATH];
    same = current != INVALID_HANDLE_VALUE && SameFile(named, current) &&
           !(GetFinalPath(current, real) && IsProtectedFolder(real));
    if (current != INVALID_HANDLE_VALUE) CloseHandle(current);
    if (!same) SetCurrentFolder(back);
  }
  CloseHandle(named);
  return same;
}

bool CutAtLastBackslash(RxChar* path) {
  RxChar* last = FindLastBackslash(path);
  if (last == nullptr) return false;
  *last = 0;
  return true;
}

// A name of dots alone ("..", "...") climbs out of the folder the text
// seems to name; "/" separates names as "\" does.
bool HasDotsName(const RxChar* path) {
  size_t dots = 0, length = 0;
  for (;; ++path) {
    if (*path == 0 || *path == '\\' || *path == '/') {
      if (length >= 2 && dots == length) return true;
      if (*path == 0) return false;
      dots = length = 0;
    } else {
      ++length;
      dots += *path == '.';
    }
  }
}

// The path of a folder-tree text in path (260 units). A text with "#" that
// expands to an absolute path is that path; any other text is taken from
// installDir. False when the result does not fit, or is not absolute (it
// would be taken from whatever the working folder is).
bool BuildTreePath(RxChar* path, const RxChar* text) {
  for (const RxChar* p = text; *p != 0; ++p) {
    if (*p != '#') continue;
    if (!ExpandFolderMacrosInto(path, RX_MAX_PATH, text)) return false;
    if (IsAbsolutePath(path)) return true;
    break;
  }
  return CopyText(path, RX_MAX_PATH, run.installDir) && AddBackslash(path) &&
         AppendText(path, RX_MAX_PATH, text) && IsAbsolutePath(path);
}

// home: installDir without its trailing backslash.
void RemoveFolderTree(const RxChar* text, const RxChar* home) {
  RxChar path[RX_MAX_PATH];
  if (!BuildTreePath(path, text) || HasDotsName(path)) return;
  RxChar* last = FindLastBackslash(path);
  if (last == nullptr) return;
  *last = 0;
  const RxChar* pattern = last + 1;
  // A pattern is a name: with ":" or "/" in it the search would list
  // another folder, or a file's data streams.
  for (const RxChar* p = pattern; *p != 0; ++p) {
    if (*p == ':' || *p == '/') return;
  }
  // A payload may name many folders that were never made. One attribute
  // query passes over those before the protected-folder check, which
  // resolves long names and the well-known folders; entering them would
  // fail anyway.
  const DWORD attributes = sys.GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES ? MapLastError() == NotFound : !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    return;
  if (IsProtectedFolder(path)) return LogAction(LOG_PROTECTED_FOLDER, path);
  if (KeepFolder(path) || !EnterFolder(path, home)) return;
  DeleteTreeHere(pattern);
  SetCurrentFolder(home);
  LogFolder(path, RemoveFolder(path));
}

}  // namespace

void ShowPhaseProgress(uint32_t done) {
  if (run.progressTotal != 0) SetProgress(100 * done / run.progressTotal);
}

bool IsReparsePoint(const RxChar* path) {
  const DWORD attributes = sys.GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

void RemoveWorkingFolder() {
  RxChar folder[RX_MAX_PATH];
  GetCurrentFolder(folder);
  SetCurrentFolder(kParent);
  if (folder[0] != 0 && !KeepFolder(folder)) RemoveFolder(folder);
}

void DeleteTreeHere(const RxChar* pattern) {
  // The tree phase moves no bar, so nothing else would service the progress
  // window while a large tree goes: answer its messages once per folder.
  if (run.progressDialog != nullptr) PumpMessages();
  TreeLevel* level;
  if (!MemAlloc(sizeof(TreeLevel), &level)) {
    SetCurrentFolder(kParent);
    return;
  }
  WIN32_FIND_DATAW& found = level->found;
  // A folder too deep to be read back cannot be checked: leave it.
  bool known = GetCurrentFolder(level->here) != 0 && level->here[0] != 0;
  // The way back from a subfolder that failed EnterFolder's check goes by
  // W's path, from wherever that subfolder led: on the NT family W is held
  // without delete sharing until then, so that nobody can rename it and put
  // a junction in its place for that path to follow.
  HANDLE held = INVALID_HANDLE_VALUE;
  if (known && run.isNT) {
    // FILE_LIST_DIRECTORY, a data access: a handle with attribute access
    // alone takes no part in the system's sharing checks.
    held = OpenFolder(L".", FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
    known = held != INVALID_HANDLE_VALUE;
  }

  HANDLE search = known ? sys.FindFirstFileW(kAllEntries, &found) : INVALID_HANDLE_VALUE;
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const DWORD attributes = found.dwFileAttributes;
      if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
          IsDotOrDotDot(found.cFileName) || !EnterFolder(found.cFileName, level->here))
        continue;
      RxChar* child = level->child;
      if (!CopyText(child, RX_MAX_PATH, level->here) || !AddBackslash(child) ||
          !AppendText(child, RX_MAX_PATH, found.cFileName) || !InFolder(child, level->current)) {
        SetCurrentFolder(level->here);  // the name led elsewhere
      } else if (IsProtectedFolder(child)) {
        SetCurrentFolder(kParent);
      } else {
        DeleteTreeHere(pattern);
      }
    } while (sys.FindNextFileW(search, &found));
    FindClose(search);
  }
  // Only where W is known and the working folder is back in it are bare
  // names taken to be W's.
  known = known && (InFolder(level->here, level->current) || SetCurrentFolder(level->here));
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  bool empty = true;
  if (known) {
    search = sys.FindFirstFileW(pattern, &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && MatchesWildcard(found.cFileName, pattern))
          RemoveFile(found.cFileName);  // a read-only or held file stays, and keeps W
      } while (sys.FindNextFileW(search, &found));
      FindClose(search);
    }
    search = sys.FindFirstFileW(kAllEntries, &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        empty = IsDotOrDotDot(found.cFileName);
      } while (empty && sys.FindNextFileW(search, &found));
      FindClose(search);
    }
  }
  MemRelease(&level);
  if (known && empty) {
    RemoveWorkingFolder();
  } else {
    SetCurrentFolder(kParent);
  }
}

void RemoveFolderTrees() {
  const RxChar* text = (const RxChar*)uninstallData.folderTrees;
  if (text == nullptr) return;
  const size_t units = uninstallData.folderTreesLength / sizeof(RxChar);
  RxChar home[RX_MAX_PATH];
  if (!CopyText(home, RX_MAX_PATH, run.installDir)) return;
  RemoveBackslash(home);
  // Only texts ended inside the block are read.
  for (size_t at = 0, end = 0; at < units && text[at] != 0; at = end + 1) {
    for (end = at; end < units && text[end] != 0;) ++end;
    if (end == units) break;
    RemoveFolderTree(text + at, home);
  }
}

void RemoveShortcutFiles() {
  const uint32_t start = uninstallData.files.count;
  RxChar* path = run.workPath;
  for (uint32_t i = 0; i < uninstallData.shortcuts.count; ++i) {
    const ShortcutEntry* entry = uninstallData.shortcuts.items[i];
    // A relative folder would be taken from whatever the working folder is.
    if (entry->fileName[0] != 0 && IsAbsolutePath(entry->folder) && CopyText(path, RX_MAX_PATH, entry->folder) &&
        AddBackslash(path) && AppendText(path, RX_MAX_PATH, entry->fileName) && !IsUnsafeSpelling(path))
      LogFileStatus(path, RemoveFile(path));
    ShowPhaseProgress(start + i);
  }
}

// Both folders climb in step, one level per round, whether or not the
// removal of the level below worked: a folder that holds something of the
// user's stops nothing but itself.
void RemoveShortcutFolders() {
  const uint32_t start = uninstallData.files.count + uninstallData.shortcuts.count;
  RxChar current[RX_MAX_PATH];
  // The folders and levels of the entry before, as they were listed. The
  // shortcuts of one group share them, and an entry that repeats them would
  // try the same folders right after they were tried, with nothing changed
  // since: it is passed over. Each try costs protected-folder checks and
  // removals.
  RxChar lastFirst[RX_MAX_PATH], lastSecond[RX_MAX_PATH];
  uint32_t lastLevels = 0;
  bool haveLast = false;
  for (uint32_t i = 0; i < uninstallData.shortcuts.count; ++i) {
    ShortcutEntry* entry = uninstallData.shortcuts.items[i];
    RxChar* first = entry->folder;
    RxChar* second = entry->secondFolder;
    const bool two = second[0] != 0;
    const bool repeated = haveLast && entry->levels == lastLevels && EqualNoCase(first, lastFirst) &&
                          EqualNoCase(second, lastSecond);
    if (!repeated) {
      haveLast = CopyText(lastFirst, RX_MAX_PATH, first) && CopyText(lastSecond, RX_MAX_PATH, second);
      lastLevels = entry->levels;
    }
    if (!repeated && IsAbsolutePath(first) && (!two || IsAbsolutePath(second))) {
      while (!KeepFolder(first) && !(two && KeepFolder(second))) {
        GetCurrentFolder(current);
        RemoveBackslash(current);
        // The working folder cannot be removed: step out of it first.
        if (EqualNoCase(first, current)) SetCurrentFolder(kParent);
        LogFolder(first, RemoveFolder(first));
        if (two) {
          if (EqualNoCase(second, current)) SetCurrentFolder(kParent);
          LogFolder(second, RemoveFolder(second));
        }
        if (entry->levels == 0) break;
        --entry->levels;
        if (!CutAtLastBackslash(first) || (two && !CutAtLastBackslash(second))) break;
      }
    }
    ShowPhaseProgress(start + i);
  }
}

void PruneInstallFolders() {
  RxChar* path = run.workPath;
  // Out of installDir, so that it can go too.
  if (CopyText(path, RX_MAX_PATH, run.installDir)) {
    RemoveBackslash(path);
    SetCurrentFolder(path);
    SetCurrentFolder(kParent);
  }
  RxChar lastPruned[RX_MAX_PATH];
  lastPruned[0] = 0;
  // The folder the previous entry started from, whether or not it went.
  // The entries of one folder follow each other and nothing changes between
  // them: a folder that could not go for one cannot go for the next, and
  // each try costs a protected-folder check and a removal.
  RxChar lastTried[RX_MAX_PATH];
  lastTried[0] = 0;
  const uint32_t start = uninstallData.files.count + 2 * uninstallData.shortcuts.count;
  for (uint32_t i = 0; i < uninstallData.files.count; ++i) {
    const FileEntry* entry = uninstallData.files.items[i];
    // A font's folder is the Fonts folder, and its bar span was the file
    // phase's.
    if (entry->flags & FileFont) continue;
    if (BuildEntryPath(entry)) {
      if (entry->name[0] != 0) CutAtLastBackslash(path);
      RemoveBackslash(path);
      if (!EqualNoCase(path, lastPruned) && !EqualNoCase(path, lastTried)) {
        CopyText(lastTried, RX_MAX_PATH, path);
        for (bool first = true; !KeepFolder(path) && LogFolder(path, RemoveFolder(path)); first = false) {
          if (first) CopyText(lastPruned, RX_MAX_PATH, path);
          if (!CutAtLastBackslash(path)) break;
        }
      }
    }
    ShowPhaseProgress(start + i);
  }
}
