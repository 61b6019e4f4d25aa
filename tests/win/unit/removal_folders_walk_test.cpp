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
  void File(const std::wstring& relative) { ASSERT_TRUE(sandbox.WriteFile(L"app\\" + relative, {'x'})); }
  std::wstring Home() { return sandbox.Path(L"app"); }
};

// A pattern takes its files at every level of the tree and every folder it
// leaves empty, from the top down to the tree's folder; what resists keeps
// its folder and every folder above. A text without a backslash is a
// pattern over installDir; trees of folders that are not there, or that
// are files, are skipped. The temporary folder, inside the cache tree here,
// is protected and keeps all it holds.
TEST_F(FolderWalk, PatternsTakeTheirFilesAndEveryFolderLeftEmptyButNothingThatResists) {
  for (const wchar_t* name : {L"cache\\a\\1.tmp", L"cache\\b\\c\\2.tmp", L"logs\\today.log", L"logs\\notes.txt",
                              L"logs\\old\\1.log", L"data\\plain.txt", L"held\\in-use.dat", L"held\\other\\x.dat",
                              L"x.bak", L"sub\\deep\\y.bak", L"keep.txt", L"file.txt", L"cache\\tmp\\nested\\n.tmp"})
    File(name);
  ASSERT_TRUE(sandbox.InstallFile(L"app\\data\\locked\\readonly.txt", FILE_ATTRIBUTE_READONLY));
  ProtectAsTemp(L"app\\cache\\tmp");
  HANDLE held = CreateFileW(sandbox.Path(L"app\\held\\in-use.dat").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Trees({u"absent\\*.*", u"#InstallDir#\\cache\\*.*", u"logs\\*.log", u"data\\*.*", u"held\\*.*", u"*.bak",
         u"#InstallDir#\\nowhere\\deeper\\*.*", u"file.txt\\*.*"});
  RemoveFolderTrees();
  CloseHandle(held);
  EXPECT_EQ(CurrentFolder(), Home());
  for (const wchar_t* gone : {L"cache\\a", L"cache\\b", L"logs\\today.log", L"logs\\old", L"data\\plain.txt",
                              L"held\\other", L"x.bak", L"sub"})
    EXPECT_FALSE(Exists(gone)) << harness::Narrow(gone);
  for (const wchar_t* kept : {L"logs\\notes.txt", L"data\\locked\\readonly.txt", L"held\\in-use.dat", L"keep.txt",
                              L"file.txt", L"cache\\tmp\\nested\\n.tmp"})
    EXPECT_TRUE(Exists(kept)) << harness::Narrow(kept);
}

// The walk ends one level up, also when it has no memory for its level.
TEST_F(FolderWalk, TheWalkEndsOneLevelUp) {
  File(L"data\\deep\\x.dat");
  File(L"data\\y.dat");
  ASSERT_TRUE(SetCurrentDirectoryW(sandbox.Path(L"app\\data\\deep").c_str()));
  DeleteTreeHere(L"*.*");
  EXPECT_EQ(CurrentFolder(), sandbox.Path(L"app\\data"));
  EXPECT_FALSE(Exists(L"data\\deep"));
  MemFailAfter(1);
  DeleteTreeHere(L"*.*");
  MemFailAfter(0);
  EXPECT_EQ(CurrentFolder(), Home());
  EXPECT_TRUE(Exists(L"data\\y.dat"));
}

// A search for "*.doc" finds Report.docx by its short name REPO~xxx.DOC; a
// folder named "..." is entered as "." (the folder itself, without end);
// "x." is entered as its neighbour "x".
TEST_F(FolderWalk, ShortNameHitsAndNamesThePlatformRewritesAreLeft) {
  File(L"docs\\Report.docx");
  File(L"docs\\Memo.doc");
  File(L"odd\\x\\in-x.txt");
  File(L"odd\\plain.txt");
  const std::wstring odd = L"\\\\?\\" + sandbox.Path(L"app\\odd\\");
  ASSERT_TRUE(CreateDirectoryW((odd + L"...").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((odd + L"x.").c_str(), nullptr));
  HANDLE inside = CreateFileW((odd + L"...\\inner.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(inside, INVALID_HANDLE_VALUE);
  CloseHandle(inside);

  Trees({u"docs\\*.doc", u"odd\\*.*"});
  RemoveFolderTrees();
  EXPECT_FALSE(Exists(L"docs\\Memo.doc"));
  EXPECT_TRUE(Exists(L"docs\\Report.docx"));
  EXPECT_FALSE(Exists(L"odd\\plain.txt"));
  EXPECT_FALSE(Exists(L"odd\\x")) << "the real x is walked by its own entry";
  EXPECT_NE(GetFileAttributesW((odd + L"...\\inner.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesW((odd + L"x.").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(CurrentFolder(), Home());
  RemoveDirectoryW((odd + L"x.").c_str());
  DeleteFileW((odd + L"...\\inner.txt").c_str());
  RemoveDirectoryW((odd + L"...").c_str());
}

// A text whose path would not fit in 260 characters is skipped; cut at
// 259, its pattern of stars would match every file of data.
TEST_F(FolderWalk, TreesLongerThanAPathAreSkippedAndAHashNeedNotBeAMacro) {
  File(L"data\\keep.txt");
  File(L"Samples\\C#\\demo.cs");
  const std::u16string stars(300, u'*');
  Trees({u"data\\" + stars, u"#InstallDir#\\data\\" + stars, u"Samples\\C#\\*.*"});
  RemoveFolderTrees();
  EXPECT_TRUE(Exists(L"data\\keep.txt"));
  EXPECT_FALSE(Exists(L"Samples\\C#"));
}

// Wine 8 cannot make junctions or symbolic links (FSCTL_SET_REPARSE_POINT
// gives ERROR_NOT_SUPPORTED, CreateSymbolicLinkW makes nothing), so the
// platform's answers are changed instead: every folder named "link" is one.
bool IsLinkName(const wchar_t* path) {
  const wchar_t* name = wcsrchr(path, L'\\');
  name = name != nullptr ? name + 1 : path;
  return _wcsicmp(name, L"link") == 0;
}
SystemCallTable realCalls;
void MarkLink(WIN32_FIND_DATAW* found) {
  if (IsLinkName(found->cFileName)) found->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
}
HANDLE WINAPI FindFirstMarkingLinks(LPCWSTR pattern, LPWIN32_FIND_DATAW found) {
  HANDLE search = realCalls.FindFirstFileW(pattern, found);
  if (search != INVALID_HANDLE_VALUE) MarkLink(found);
  return search;
}
BOOL WINAPI FindNextMarkingLinks(HANDLE search, LPWIN32_FIND_DATAW found) {
  BOOL more = realCalls.FindNextFileW(search, found);
  if (more) MarkLink(found);
  return more;
}
DWORD WINAPI AttributesMarkingLinks(LPCWSTR path) {
  DWORD attributes = realCalls.GetFileAttributesW(path);
  std::wstring trimmed = path;
  while (trimmed.size() > 3 && trimmed.back() == L'\\') trimmed.pop_back();
  if (attributes != INVALID_FILE_ATTRIBUTES && IsLinkName(trimmed.c_str()))
    attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  return attributes;
}

TEST_F(FolderWalk, LinksAreNeitherEnteredNorRemovedByAnyPhase) {
  realCalls = sys;
  sys.FindFirstFileW = FindFirstMarkingLinks;
  sys.FindNextFileW = FindNextMarkingLinks;
  sys.GetFileAttributesW = AttributesMarkingLinks;
  File(L"tree\\a.txt");
  File(L"tree\\link\\keep.txt");
  File(L"only\\link\\keep.txt");
  ASSERT_TRUE(sandbox.MakeFolder(L"app\\empty\\link\\sub"));
  ASSERT_TRUE(sandbox.MakeFolder(L"app\\menu\\link\\App"));
  pack::Payload payload;
  payload.folderTrees = {u"tree\\*.*", u"only\\link\\*.*"};
  payload.files = {{U16(sandbox.Path(L"app\\empty\\link\\sub")), u"gone.txt", 0}};
  payload.shortcuts = {{3, U16(sandbox.Path(L"app\\menu\\link\\App")), u"", u""}};
  Load(payload);

  RemoveFolderTrees();
  EXPECT_FALSE(Exists(L"tree\\a.txt"));
  EXPECT_TRUE(Exists(L"tree\\link\\keep.txt"));
  EXPECT_TRUE(Exists(L"only\\link\\keep.txt")) << "a tree whose folder is a link";
  RemoveShortcutFolders();
  EXPECT_FALSE(Exists(L"menu\\link\\App"));
  EXPECT_TRUE(Exists(L"menu\\link"));
  PruneInstallFolders();
  EXPECT_FALSE(Exists(L"empty\\link\\sub"));
  EXPECT_TRUE(Exists(L"empty\\link"));
  EXPECT_TRUE(IsReparsePoint(sandbox.Path(L"app\\empty\\link").c_str()));
  EXPECT_FALSE(IsReparsePoint(sandbox.Path(L"app\\empty").c_str()));
}

}  // namespace
