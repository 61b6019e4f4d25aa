// Shared libraries: each uninstall counts one user off the file's SharedDLLs
// value, and the file goes only with its last user, when nothing holds it,
// and when the user agrees.
#include "files_scenario.h"

namespace {

using files::FileScenario;
using harness::ExitedWith;
using harness::ExpectNoWindow;

typedef FileScenario SharedLibraries;

TEST_F(SharedLibraries, OtherUsersKeepTheFileWithoutAQuestion) {
  Install(L"App\\common.dll", FileShared);
  SetCount(L"App\\common.dll", 3);
  Start();
  EXPECT_TRUE(ExpectNoWindow(process));
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_EQ(Count(L"App\\common.dll"), 2);
  EXPECT_TRUE(Exists(L"App\\common.dll"));
}

// Listed a, b, c and asked about last first: c (no value at all) and a are
// answered Yes, b No.
TEST_F(SharedLibraries, LastUserIsAskedAndTheAnswerDecides) {
  for (const wchar_t* name : {L"App\\a.dll", L"App\\b.dll", L"App\\c.dll"}) Install(name, FileShared);
  SetCount(L"App\\a.dll", 1);
  SetCount(L"App\\b.dll", 1);
  Start();
  EXPECT_EQ(Answer(IDYES), Message(10, L"App\\c.dll"));
  EXPECT_EQ(Answer(IDNO), Message(10, L"App\\b.dll"));
  EXPECT_EQ(Answer(IDYES), Message(10, L"App\\a.dll"));
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_FALSE(Exists(L"App\\a.dll"));
  EXPECT_EQ(Count(L"App\\a.dll"), -1);
  EXPECT_TRUE(Exists(L"App\\b.dll"));
  EXPECT_EQ(Count(L"App\\b.dll"), 0);
  EXPECT_FALSE(Exists(L"App\\c.dll"));
}

// The last user's count stays while the file is held, so that it is still
// counted when another uninstall finds it free.
TEST_F(SharedLibraries, FileInUseKeepsItsCountAndIsNotAskedAbout) {
  Install(L"App\\held.dll", FileShared);
  SetCount(L"App\\held.dll", 1);
  HANDLE held = CreateFileW(Path(L"App\\held.dll").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Start();
  EXPECT_TRUE(ExpectNoWindow(process));
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  CloseHandle(held);
  EXPECT_EQ(Count(L"App\\held.dll"), 1);
  EXPECT_TRUE(Exists(L"App\\held.dll"));
}

TEST_F(SharedLibraries, WithoutAQuestionTheLastUserRemovesTheFile) {
  payload.messages[10] = u"";
  Install(L"App\\common.dll", FileShared);
  SetCount(L"App\\common.dll", 1);
  Start();
  EXPECT_TRUE(ExpectNoWindow(process));
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_FALSE(Exists(L"App\\common.dll"));
  EXPECT_EQ(Count(L"App\\common.dll"), -1);
}

}  // namespace
