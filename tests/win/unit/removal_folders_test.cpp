// The folder phases in this process, on a run whose installDir is the
// sandbox's "app" folder: the tree walk, the shortcut folders and links in
// every phase.
#include "paths/folder_macros.h"
#include "removal/removal.h"
#include "unit_test_support.h"

namespace {

class Folders : public RunTest {
 protected:
  void SetUp() override {
    RunTest::SetUp();
    ASSERT_TRUE(sandbox.ok() && sandbox.MakeFolder(L"app"));
    run.isNT = true;
    wcscpy(run.installDir, (sandbox.Path(L"app") + L"\\").c_str());
  }
  void TearDown() override {
    SetCurrentDirectoryW(savedFolder_.c_str());  // out of the sandbox, so it can go
    ResetProtectedFolders();
    RunTest::TearDown();
  }
  void Trees(std::vector<std::u16string> trees) {
    pack::Payload payload;
    payload.folderTrees = trees;
    Load(payload);
  }
  // Makes sandbox\relative the temporary folder, one of the protected ones.
  void ProtectAsTemp(const std::wstring& relative) {
    ASSERT_TRUE(sandbox.MakeFolder(relative));
    environment.Set(L"TMP", sandbox.Path(relative));
    ResetProtectedFolders();
  }
  std::u16string At(const std::wstring& relative) { return harness::U16(sandbox.Path(relative)); }
  // Files and checks under app.
  void Files(std::initializer_list<const wchar_t*> names) {
    for (const wchar_t* name : names) ASSERT_TRUE(sandbox.WriteFile(L"app\\" + std::wstring(name), {'x'}));
  }
  bool Exists(const std::wstring& relative) { return sandbox.Exists(L"app\\" + relative); }

  harness::Sandbox sandbox;

 private:
  harness::ScopedEnvironment environment;
  const std::wstring savedFolder_ = harness::CurrentFolder();
};

// A text without a backslash is a pattern over installDir. What resists
// (a held file, the protected temporary folder) keeps its folder and every
// folder above. A search for "*.doc" finds Report.docx by its short name
// REPO~xxx.DOC; a folder named "..." is entered as "." (the folder itself,
// without end); "x." is entered as its neighbour "x".
TEST_F(Folders, TreePatternsTakeTheirFilesAndEveryFolderLeftEmptyButNothingThatResists) {
  Files({L"cache\\a\\1.tmp", L"cache\\b\\c\\2.tmp", L"cache\\tmp\\nested\\n.tmp", L"logs\\today.log",
         L"logs\\notes.txt", L"logs\\old\\1.log", L"held\\in-use.dat", L"held\\other\\x.dat", L"x.bak",
         L"sub\\deep\\y.bak", L"keep.txt", L"docs\\Report.docx", L"docs\\Memo.doc", L"odd\\x\\in-x.txt",
         L"odd\\plain.txt"});
  const std::wstring odd = L"\\\\?\\" + sandbox.Path(L"app\\odd\\");
  ASSERT_TRUE(CreateDirectoryW((odd + L"...").c_str(), nullptr) && CreateDirectoryW((odd + L"x.").c_str(), nullptr));
  ASSERT_TRUE(harness::WriteWholeFile(odd + L"...\\inner.txt", {'x'}));
  ProtectAsTemp(L"app\\cache\\tmp");
  HANDLE held =
      CreateFileW(sandbox.Path(L"app\\held\\in-use.dat").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  Trees({u"#InstallDir#\\cache\\*.*", u"logs\\*.log", u"held\\*.*", u"*.bak", u"docs\\*.doc", u"odd\\*.*"});
  RemoveFolderTrees();
  CloseHandle(held);
  EXPECT_EQ(harness::CurrentFolder(), sandbox.Path(L"app"));
  for (const wchar_t* gone : {L"cache\\a", L"cache\\b", L"logs\\today.log", L"logs\\old", L"held\\other", L"x.bak",
                              L"sub", L"docs\\Memo.doc", L"odd\\x"})
    EXPECT_FALSE(Exists(gone)) << harness::Narrow(gone);
  for (const wchar_t* kept : {L"logs\\notes.txt", L"held\\in-use.dat", L"keep.txt", L"cache\\tmp\\nested\\n.tmp",
                              L"docs\\Report.docx"})
    EXPECT_TRUE(Exists(kept)) << harness::Narrow(kept);
  EXPECT_TRUE(harness::FileExists(odd + L"...\\inner.txt"));
  EXPECT_TRUE(harness::FileExists(odd + L"x."));
  RemoveDirectoryW((odd + L"x.").c_str());
  DeleteFileW((odd + L"...\\inner.txt").c_str());
  RemoveDirectoryW((odd + L"...").c_str());
}

// Wine 8 cannot make junctions or symbolic links, so the platform's answers
// are changed instead: every folder named "link" is one.
SystemCallTable realCalls;
bool IsLink(const wchar_t* path) {
  std::wstring name = path;
  while (name.size() > 3 && name.back() == L'\\') name.pop_back();
  return _wcsicmp(name.substr(name.find_last_of(L'\\') + 1).c_str(), L"link") == 0;
}
void MarkLink(BOOL found, WIN32_FIND_DATAW* data) {
  if (found && IsLink(data->cFileName)) data->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
}
HANDLE WINAPI FindFirstMarkingLinks(LPCWSTR pattern, LPWIN32_FIND_DATAW data) {
  HANDLE search = realCalls.FindFirstFileW(pattern, data);
  return MarkLink(search != INVALID_HANDLE_VALUE, data), search;
}
BOOL WINAPI FindNextMarkingLinks(HANDLE search, LPWIN32_FIND_DATAW data) {
  const BOOL more = realCalls.FindNextFileW(search, data);
  return MarkLink(more, data), more;
}
DWORD WINAPI AttributesMarkingLinks(LPCWSTR path) {
  const DWORD attributes = realCalls.GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && IsLink(path) ? attributes | FILE_ATTRIBUTE_REPARSE_POINT : attributes;
}

// Every path a phase hands to DeleteFileW or RemoveDirectoryW.
std::vector<std::wstring> actedOn;
BOOL WINAPI DeleteRecorded(LPCWSTR path) { return actedOn.push_back(path), realCalls.DeleteFileW(path); }
BOOL WINAPI RemoveRecorded(LPCWSTR path) { return actedOn.push_back(path), realCalls.RemoveDirectoryW(path); }

// "x::$INDEX_ALLOCATION" names the folder x itself on NTFS and "f:s" a
// part of f; a GLOBALROOT path may be any folder of any volume. Wine knows
// neither, so the proof is that no such path reaches the platform from any
// record kind. Links are neither entered nor removed by any phase.
TEST_F(Folders, StreamsAndDevicePathsWithoutAPlainFormReachNoCallAndLinksStay) {
  realCalls = sys;
  sys.DeleteFileW = DeleteRecorded;
  sys.RemoveDirectoryW = RemoveRecorded;
  sys.FindFirstFileW = FindFirstMarkingLinks;
  sys.FindNextFileW = FindNextMarkingLinks;
  sys.GetFileAttributesW = AttributesMarkingLinks;
  actedOn.clear();
  Files({L"s\\f.txt", L"tree\\a.txt", L"tree\\link\\keep.txt", L"only\\link\\keep.txt"});
  for (const wchar_t* folder : {L"app\\empty\\link\\sub", L"app\\menu\\link\\App", L"app\\entry\\link"})
    ASSERT_TRUE(sandbox.MakeFolder(folder));
  const std::u16string s = At(L"app\\s"), device = u"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1" + s.substr(2);
  pack::Payload payload;
  payload.files = {{s + u"::$INDEX_ALLOCATION", u"", 0}, {s, u"f.txt:hidden", 0}, {device, u"f.txt", 0},
                   {device, u"", 0}, {At(L"app\\entry\\link"), u"", 0}, {At(L"app\\empty\\link\\sub"), u"gone.txt", 0}};
  payload.shortcuts = {{1, s + u"\\x:y", u"", u"a.lnk"}, {1, device, u"", u"f.txt"},
                       {3, At(L"app\\menu\\link\\App"), u"", u""}};
  payload.folderTrees = {u"#InstallDir#\\s::$INDEX_ALLOCATION\\*.*", u"\\\\?\\GLOBALROOT#InstallDir#\\s\\*.*",
                         u"tree\\*.*", u"only\\link\\*.*"};
  Load(payload);
  RemoveFiles();
  RemoveFolderTrees();
  RemoveShortcutFiles();
  RemoveShortcutFolders();
  PruneInstallFolders();
  for (const std::wstring& path : actedOn)
    EXPECT_TRUE(path.find(L':', 2) == std::wstring::npos && path.find(L"GLOBALROOT") == std::wstring::npos)
        << harness::Narrow(path);
  for (const wchar_t* gone : {L"tree\\a.txt", L"menu\\link\\App", L"empty\\link\\sub"})
    EXPECT_FALSE(Exists(gone)) << harness::Narrow(gone);
  for (const wchar_t* kept : {L"s\\f.txt", L"entry\\link", L"tree\\link\\keep.txt", L"only\\link\\keep.txt",
                              L"menu\\link", L"empty\\link"})
    EXPECT_TRUE(Exists(kept)) << harness::Narrow(kept);
}

// A folder named "junction" stands for one that another program re-points
// after the walk has listed it and read its attributes (both still show the
// plain folder): entering it, or opening a path that runs through it, leads
// into "outside" instead, and the working folder reads back as entered, as
// Windows shows a junction's path. Opening the folder itself without
// following links opens the plain folder.
std::wstring outside, enteredAs;
std::wstring Through(LPCWSTR path, bool followLast) {
  wchar_t full[MAX_PATH];
  GetFullPathNameW(path, MAX_PATH, full, nullptr);
  const std::wstring text = full;
  const size_t at = text.find(L"\\junction"), end = at + 9;
  if (at == std::wstring::npos || (end < text.size() && text[end] != L'\\') || (end == text.size() && !followLast))
    return text;
  enteredAs = text.substr(0, end);
  return outside + text.substr(end);
}
BOOL WINAPI EnterThroughJunction(LPCWSTR path) { return realCalls.SetCurrentDirectoryW(Through(path, true).c_str()); }
DWORD WINAPI ShowJunctionPath(DWORD size, LPWSTR buffer) {
  wchar_t real[MAX_PATH];
  std::wstring shown(real, realCalls.GetCurrentDirectoryW(MAX_PATH, real));
  if (!enteredAs.empty() && _wcsnicmp(shown.c_str(), outside.c_str(), outside.size()) == 0)
    shown = enteredAs + shown.substr(outside.size());
  if (shown.size() >= size) return DWORD(shown.size() + 1);
  return wcscpy(buffer, shown.c_str()), DWORD(shown.size());
}
HANDLE WINAPI OpenThroughJunction(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                  DWORD disposition, DWORD flags, HANDLE model) {
  const bool follow = !(flags & FILE_FLAG_OPEN_REPARSE_POINT);
  return realCalls.CreateFileW(Through(path, follow).c_str(), access, share, security, disposition, flags, model);
}

// Whatever the walk meets once inside a folder it entered stays, when that
// is not the folder it listed (a tree's root or a subfolder), or when its
// real path, with the junction resolved, is a protected folder.
TEST_F(Folders, AFolderSwappedForAJunctionAfterItsListingIsNotWalked) {
  Files({L"swap\\a.txt", L"junction\\tmp\\decoy.txt", L"swap\\junction\\decoy.txt"});
  ASSERT_TRUE(sandbox.WriteFile(L"outside\\keep.txt", {'x'}) && sandbox.WriteFile(L"outside\\tmp\\keep.txt", {'x'}));
  ProtectAsTemp(L"outside\\tmp");
  outside = sandbox.Path(L"outside");
  realCalls = sys;
  sys.SetCurrentDirectoryW = EnterThroughJunction;
  sys.GetCurrentDirectoryW = ShowJunctionPath;
  sys.CreateFileW = OpenThroughJunction;
  Trees({u"junction\\*.txt", u"swap\\*.txt", u"junction\\tmp\\*.txt"});
  RemoveFolderTrees();
  EXPECT_FALSE(Exists(L"swap\\a.txt"));
  for (const wchar_t* kept : {L"outside\\keep.txt", L"outside\\tmp\\keep.txt"})
    EXPECT_TRUE(sandbox.Exists(kept)) << harness::Narrow(kept);
}

// Both paths of an entry climb in step, levels + 1 folders each, whether
// or not the folder below went, and stop at the first protected folder of
// either path (Programs); a relative folder is taken from nowhere.
TEST_F(Folders, ShortcutEntriesClimbTheirLevelsOnBothPathsUntilAProtectedFolder) {
  for (const wchar_t* file : {L"Menu0\\App\\App.lnk", L"Menu2\\A\\B\\C\\C.lnk", L"Rel\\Menu\\App.lnk"})
    ASSERT_TRUE(sandbox.InstallFile(file));
  for (const wchar_t* folder :
       {L"Menu4\\Vendor", L"Desk2\\X\\Y\\Z", L"Programs\\Mine\\A", L"Programs\\Mine\\B", L"E\\F\\G", L"H\\I\\J"})
    ASSERT_TRUE(sandbox.MakeFolder(folder));
  ProtectAsTemp(L"Programs");
  pack::Payload payload;
  payload.shortcuts = {
      {0, At(L"Menu0\\App"), u"", u"App.lnk"},
      {2, At(L"Menu2\\A\\B\\C"), At(L"Desk2\\X\\Y\\Z"), u"C.lnk"},
      {1, At(L"Menu4\\Vendor\\Gone"), u"", u"App.lnk"},
      {1, u"Rel\\Menu", u"", u"App.lnk"},
      {255, At(L"Programs\\Mine\\A"), At(L"E\\F\\G"), u""},
      {255, At(L"H\\I\\J"), At(L"Programs\\Mine\\B"), u""},
  };
  Load(payload);
  ASSERT_TRUE(SetCurrentDirectoryW(sandbox.root().c_str()));
  RemoveShortcutFiles();
  RemoveShortcutFolders();
  for (const wchar_t* gone :
       {L"Menu0\\App", L"Menu2\\A", L"Desk2\\X", L"Menu4\\Vendor", L"Programs\\Mine", L"E\\F", L"H\\I"})
    EXPECT_FALSE(sandbox.Exists(gone)) << harness::Narrow(gone);
  for (const wchar_t* kept : {L"Menu0", L"Menu2", L"Desk2", L"Menu4", L"Rel\\Menu\\App.lnk", L"Programs", L"E", L"H"})
    EXPECT_TRUE(sandbox.Exists(kept)) << harness::Narrow(kept);
}

}  // namespace
