// The questions of the file phase as a person meets them: the read-only
// question with its four answers, the last user of a shared library, and
// the running-program warning before anything is removed.
#include "files_scenario.h"

namespace {

using files::FileScenario;
using harness::ExitedWith;
using harness::ExpectNoWindow;

const int kEsc = 0, kEnter = -1, kYesToAll = 1001, kNoToAll = 1002;

// The answers given about c, b and a (asked last listed first), and the
// files left. No answers: message 9 is empty, and without a question the
// installer meant read-only files to go.
struct ReadOnlyCase {
  const char* name;
  std::vector<int> answers;
  const char* left;
};
void PrintTo(const ReadOnlyCase& c, std::ostream* out) { *out << c.name; }
class ReadOnlyFiles : public FileScenario, public ::testing::WithParamInterface<ReadOnlyCase> {};

TEST_P(ReadOnlyFiles, AnswersDecideForTheFileOrForAllThatFollow) {
  const ReadOnlyCase& c = GetParam();
  if (c.answers.empty()) payload.messages[9] = u"";
  for (const wchar_t* name : {L"App\\a.txt", L"App\\b.txt", L"App\\c.txt"}) Install(name, 0, FILE_ATTRIBUTE_READONLY);
  Start();
  for (size_t i = 0; i < c.answers.size(); ++i) {
    const harness::Dialog question = dialogs.Next();
    ASSERT_TRUE(question) << i;
    EXPECT_EQ(question.Text(), harness::Message(9, Path(std::wstring(L"App\\") + L"cba"[i] + L".txt")));
    EXPECT_TRUE(question.HasButton(kYesToAll) && question.HasButton(kNoToAll));
    Press(question, c.answers[i]);
  }
  EXPECT_TRUE(ExpectNoWindow(process));
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_EQ(Left({L"a.txt", L"b.txt", L"c.txt"}), c.left);
  for (const wchar_t* name : {L"App\\a.txt", L"App\\b.txt", L"App\\c.txt"})
    if (Exists(name)) EXPECT_NE(sandbox.Attributes(name) & FILE_ATTRIBUTE_READONLY, 0u) << "kept as it was";
}

INSTANTIATE_TEST_SUITE_P(Answers, ReadOnlyFiles,
                         ::testing::Values(ReadOnlyCase{"NoThenYesToAll", {IDNO, kYesToAll}, "c.txt"},
                                           ReadOnlyCase{"EnterIsYesThenNoToAll", {kEnter, kNoToAll}, "a.txt b.txt"},
                                           ReadOnlyCase{"EscapeNoYes", {kEsc, IDNO, IDYES}, "b.txt c.txt"},
                                           ReadOnlyCase{"NoQuestion", {}, ""}),
                         [](const ::testing::TestParamInfo<ReadOnlyCase>& info) { return info.param.name; });

// Each uninstall counts one user off a file's SharedDLLs value (the view the
// 32-bit uninstaller sees). Listed held, other, a, b, c and asked about last
// first: c (no value at all) and a are answered Yes, b No; other has users
// left and held is in use: neither is asked about, and held keeps its count
// for the uninstall that finds it free.
TEST_F(FileScenario, TheLastUserOfASharedLibraryIsAskedAndTheAnswerDecides) {
  const wchar_t key[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
  const std::pair<const wchar_t*, DWORD> counts[] = {{L"held", 1}, {L"other", 3}, {L"a", 1}, {L"b", 1}, {L"c", 0}};
  auto dll = [](const wchar_t* name) { return L"App\\" + std::wstring(name) + L".dll"; };
  for (const auto& count : counts) {
    Install(dll(count.first), FileShared);
    if (count.second != 0)
      RegSetKeyValueW(HKEY_LOCAL_MACHINE, key, Path(dll(count.first)).c_str(), REG_DWORD, &count.second, 4);
  }
  HANDLE held = CreateFileW(Path(L"App\\held.dll").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  Start();
  Answer(IDYES, 10, L"App\\c.dll");
  Answer(IDNO, 10, L"App\\b.dll");
  Answer(IDYES, 10, L"App\\a.dll");
  EXPECT_TRUE(ExpectNoWindow(process));
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  CloseHandle(held);
  EXPECT_EQ(Left({L"held.dll", L"other.dll", L"a.dll", L"b.dll", L"c.dll"}), "held.dll other.dll b.dll");
  std::vector<long> left;
  for (const auto& count : counts) {
    const std::wstring value = Path(dll(count.first));
    DWORD users = 0, size = 4;
    const bool has =
        RegGetValueW(HKEY_LOCAL_MACHINE, key, value.c_str(), RRF_RT_REG_DWORD, nullptr, &users, &size) == 0;
    left.push_back(has ? long(users) : -1);
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, key, value.c_str());
  }
  EXPECT_EQ(left, std::vector<long>({1, 2, -1, 0, -1}));
}

class RunningProgram : public FileScenario {
 protected:
  void SetUp() override {
    FileScenario::SetUp();
    Install(L"App\\app.exe", FileCheckInUse);
    Install(L"App\\readme.txt");
    held = CreateFileW(Path(L"App\\app.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Start(L"");
    Answer(IDOK, 1);
  }
  void TearDown() override {
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  }
  HANDLE held = INVALID_HANDLE_VALUE;
};

TEST_F(RunningProgram, WarnedUntilTheProgramIsClosed) {
  Answer(IDRETRY, 15);
  const harness::Dialog again = dialogs.Next(harness::Message(15));
  ASSERT_TRUE(again);
  CloseHandle(held);  // while the warning is open, as a person closes the program
  held = INVALID_HANDLE_VALUE;
  again.Press(IDRETRY);
  Answer(IDOK, 2);
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_EQ(Left({L"app.exe", L"readme.txt"}), "");
}

TEST_F(RunningProgram, CancelRemovesNothing) {
  Answer(IDCANCEL, 15);
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_EQ(Left({L"readme.txt", L"uninstall.exe"}), "readme.txt uninstall.exe");
}

}  // namespace
