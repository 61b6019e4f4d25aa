// The folder-tree walk in this process: what a pattern takes, where the
// working folder ends, and the names and folders it must not follow.
#include "removal_folders_test_support.h"

namespace {

class FolderWalk : public PhaseTest {
 protected:
  void Trees(std::vector<std::u16string> trees) {
    pack::Payload payload;
    payload.folderTrees = trees;
    Load(payload);
  }
  bool Exists(const std::wstring& relative) { return sandbox.Exists(L"app\\" + relative); }
  void Files(std::initializer_list<const wchar_t*> names) {
    for (const wchar_t* name : names) ASSERT_TRUE(sandbox.WriteFile(L"app\\" + std::wstring(name), {'x'}));
  }
};

// A text without a backslash is a pattern over installDir. What resists
// (a held file, the protected temporary folder) keeps its folder and every
// folder above. An installDir that is not absolute names no tree.
TEST_F(FolderWalk, PatternsTakeTheirFilesAndEveryFolderLeftEmptyButNothingThatResists) {
  Files({L"cache\\a\\1.tmp", L"cache\\b\\c\\2.tmp", L"cache\\tmp\\nested\\n.tmp", L"logs\\today.log",
         L"logs\\notes.txt", L"logs\\old\\1.log", L"held\\in-use.dat", L"held\\other\\x.dat", L"x.bak",
         L"sub\\deep\\y.bak", L"keep.txt"});
  ProtectAsTemp(L"app\\cache\\tmp");
  HANDLE held =
      CreateFileW(sandbox.Path(L"app\\held\\in-use.dat").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  Trees({u"#InstallDir#\\cache\\*.*", u"logs\\*.log", u"held\\*.*", u"*.bak"});
  RemoveFolderTrees();
  CloseHandle(held);
  EXPECT_EQ(CurrentFolder(), sandbox.Path(L"app"));
  for (const wchar_t* gone :
       {L"cache\\a", L"cache\\b", L"logs\\today.log", L"logs\\old", L"held\\other", L"x.bak", L"sub"})
    EXPECT_FALSE(Exists(gone)) << harness::Narrow(gone);
  for (const wchar_t* kept : {L"logs\\notes.txt", L"held\\in-use.dat", L"keep.txt", L"cache\\tmp\\nested\\n.tmp"})
    EXPECT_TRUE(Exists(kept)) << harness::Narrow(kept);

  ASSERT_TRUE(SetCurrentDirectoryW(sandbox.root().c_str()));
  wcscpy(installDir_, L"app\\");
  Trees({u"logs\\*.*"});
  RemoveFolderTrees();
  EXPECT_TRUE(Exists(L"logs\\notes.txt"));
}

// A search for "*.doc" finds Report.docx by its short name REPO~xxx.DOC; a
// folder named "..." is entered as "." (the folder itself, without end);
// "x." is entered as its neighbour "x".
TEST_F(FolderWalk, ShortNameHitsAndNamesThePlatformRewritesAreLeft) {
  Files({L"docs\\Report.docx", L"docs\\Memo.doc", L"odd\\x\\in-x.txt", L"odd\\plain.txt"});
  const std::wstring odd = L"\\\\?\\" + sandbox.Path(L"app\\odd\\");
  ASSERT_TRUE(CreateDirectoryW((odd + L"...").c_str(), nullptr) && CreateDirectoryW((odd + L"x.").c_str(), nullptr));
  ASSERT_TRUE(harness::WriteWholeFile(odd + L"...\\inner.txt", {'x'}));
  Trees({u"docs\\*.doc", u"odd\\*.*"});
  RemoveFolderTrees();
  EXPECT_FALSE(Exists(L"docs\\Memo.doc"));
  EXPECT_TRUE(Exists(L"docs\\Report.docx"));
  EXPECT_FALSE(Exists(L"odd\\x")) << "the real x is walked by its own entry";
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
  MarkLink(search != INVALID_HANDLE_VALUE, data);
  return search;
}
BOOL WINAPI FindNextMarkingLinks(HANDLE search, LPWIN32_FIND_DATAW data) {
  const BOOL more = realCalls.FindNextFileW(search, data);
  MarkLink(more, data);
  return more;
}
DWORD WINAPI AttributesMarkingLinks(LPCWSTR path) {
  const DWORD attributes = realCalls.GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && IsLink(path) ? attributes | FILE_ATTRIBUTE_REPARSE_POINT : attributes;
}

TEST_F(FolderWalk, LinksAreNeitherEnteredNorRemovedByAnyPhase) {
  realCalls = sys;
  sys.FindFirstFileW = FindFirstMarkingLinks;
  sys.FindNextFileW = FindNextMarkingLinks;
  sys.GetFileAttributesW = AttributesMarkingLinks;
  Files({L"tree\\a.txt", L"tree\\link\\keep.txt", L"only\\link\\keep.txt"});
  for (const wchar_t* folder : {L"app\\empty\\link\\sub", L"app\\menu\\link\\App", L"app\\entry\\link"})
    ASSERT_TRUE(sandbox.MakeFolder(folder));
  pack::Payload payload;
  payload.folderTrees = {u"tree\\*.*", u"only\\link\\*.*"};
  payload.files = {{At(L"app\\entry\\link"), u"", 0}, {At(L"app\\empty\\link\\sub"), u"gone.txt", 0}};
  payload.shortcuts = {{3, At(L"app\\menu\\link\\App"), u"", u""}};
  Load(payload);
  RemoveFiles();
  RemoveFolderTrees();
  RemoveShortcutFolders();
  PruneInstallFolders();
  for (const wchar_t* gone : {L"tree\\a.txt", L"menu\\link\\App", L"empty\\link\\sub"})
    EXPECT_FALSE(Exists(gone)) << harness::Narrow(gone);
  for (const wchar_t* kept :
       {L"entry\\link", L"tree\\link\\keep.txt", L"only\\link\\keep.txt", L"menu\\link", L"empty\\link"})
    EXPECT_TRUE(Exists(kept)) << harness::Narrow(kept);
}

}  // namespace
