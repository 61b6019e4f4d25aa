// Shared libraries: each uninstall counts one user off the file's SharedDLLs
// value, and the file goes only with its last user, when nothing holds it,
// and when the user agrees. A held file stays, silently.
#include "files_scenario.h"

namespace {

using harness::ExitedWith;
using harness::ExpectNoWindow;

class SharedLibraries : public files::FileScenario {
 protected:
  HANDLE Hold(const std::wstring& relative) {
    HANDLE held = CreateFileW(Path(relative).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(held, INVALID_HANDLE_VALUE);
    return held;
  }
};

// Listed held, other, a, b, c and asked about last first: c (no value at
// all) and a are answered Yes, b No; other has users left and held is in
// use: neither is asked about, and held keeps its count for the uninstall
// that finds it free.
TEST_F(SharedLibraries, LastUserIsAskedAndTheAnswerDecides) {
  for (const wchar_t* name : {L"App\\held.dll", L"App\\other.dll", L"App\\a.dll", L"App\\b.dll", L"App\\c.dll"})
    Install(name, FileShared);
  SetCount(L"App\\held.dll", 1);
  SetCount(L"App\\other.dll", 3);
  SetCount(L"App\\a.dll", 1);
  SetCount(L"App\\b.dll", 1);
  HANDLE held = Hold(L"App\\held.dll");
  Start();
  Answer(IDYES, Message(10, L"App\\c.dll"));
  Answer(IDNO, Message(10, L"App\\b.dll"));
  Answer(IDYES, Message(10, L"App\\a.dll"));
  EXPECT_TRUE(ExpectNoWindow(process));
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  CloseHandle(held);
  EXPECT_EQ(Left({L"held.dll", L"other.dll", L"a.dll", L"b.dll", L"c.dll"}), "held.dll other.dll b.dll");
  EXPECT_EQ(Count(L"App\\held.dll"), 1);
  EXPECT_EQ(Count(L"App\\other.dll"), 2);
  EXPECT_EQ(Count(L"App\\a.dll"), -1);
  EXPECT_EQ(Count(L"App\\b.dll"), 0);
}

// Without message 10 the last user removes the file; a held file without
// any flag stays too.
TEST_F(SharedLibraries, WithoutAQuestionTheLastUserRemovesTheFile) {
  payload.messages[10] = u"";
  Install(L"App\\common.dll", FileShared);
  SetCount(L"App\\common.dll", 1);
  Install(L"App\\helper.dll");
  Install(L"App\\readme.txt");
  HANDLE held = Hold(L"App\\helper.dll");
  Start();
  EXPECT_TRUE(ExpectNoWindow(process));
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  CloseHandle(held);
  EXPECT_EQ(Left({L"common.dll", L"helper.dll", L"readme.txt"}), "helper.dll");
  EXPECT_EQ(Count(L"App\\common.dll"), -1);
}

}  // namespace
