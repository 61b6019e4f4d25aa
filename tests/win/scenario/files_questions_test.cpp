// The questions of the file phase as a person meets them: the read-only
// question with its four answers, and the running-program warning before
// anything is removed.
#include "files_scenario.h"
#include "../unit/removal_files_sfnt.h"

namespace {

using files::FileScenario;
using harness::ExitedWith;
using harness::ExpectNoWindow;

const int kEsc = 0, kEnter = -1, kYesToAll = 1001, kNoToAll = 1002;

// The answers given to the questions about c, b and a (asked last listed
// first), and the files left. No answers: message 9 is empty, and without
// a question the installer meant read-only files to go.
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
  const wchar_t* asked[] = {L"App\\c.txt", L"App\\b.txt", L"App\\a.txt"};
  const std::vector<std::pair<int, std::wstring>> buttons = {
      {IDYES, L"&Yes"}, {kYesToAll, L"Yes to &All"}, {IDNO, L"&No"}, {kNoToAll, L"N&o to All"}};
  for (size_t i = 0; i < c.answers.size(); ++i) {
    const harness::Dialog question = dialogs.Next();
    ASSERT_TRUE(question) << i;
    EXPECT_EQ(question.Caption(), L"Sample App Uninstall");
    EXPECT_EQ(question.Text(), Message(9, asked[i]));
    std::vector<std::pair<int, std::wstring>> shown;
    for (const harness::Button& button : question.Buttons()) shown.push_back({button.id, button.label});
    EXPECT_EQ(shown, buttons);
    Press(question, c.answers[i]);
  }
  EXPECT_TRUE(ExpectNoWindow(process));
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_EQ(Left({L"a.txt", L"b.txt", L"c.txt"}), c.left);
  for (const wchar_t* name : {L"App\\a.txt", L"App\\b.txt", L"App\\c.txt"}) {
    if (Exists(name)) EXPECT_NE(sandbox.Attributes(name) & FILE_ATTRIBUTE_READONLY, 0u) << "kept as it was";
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, ReadOnlyFiles,
                         ::testing::Values(ReadOnlyCase{"NoThenYesToAll", {IDNO, kYesToAll}, "c.txt"},
                                           ReadOnlyCase{"EnterIsYesThenNoToAll", {kEnter, kNoToAll}, "a.txt b.txt"},
                                           ReadOnlyCase{"EscapeNoYes", {kEsc, IDNO, IDYES}, "b.txt c.txt"},
                                           ReadOnlyCase{"NoQuestion", {}, ""}),
                         [](const ::testing::TestParamInfo<ReadOnlyCase>& info) { return info.param.name; });

// Fonts and components were registered by the installer and go with their
// registration.
TEST_F(FileScenario, ReadOnlyFontsAndComponentsGoWithoutAQuestion) {
  harness::Bytes component;
  ASSERT_TRUE(harness::LoadEmbeddedFile(L"RETRAX_TEST_COMPONENT_DLL", &component));
  ASSERT_TRUE(sandbox.WriteFile(L"App\\component.dll", component));
  ASSERT_TRUE(sandbox.WriteFile(L"App\\face.ttf", sfnt::Build(sfnt::FontNames("Rx Read Only"))));
  for (const wchar_t* name : {L"App\\component.dll", L"App\\face.ttf"})
    SetFileAttributesW(Path(name).c_str(), FILE_ATTRIBUTE_READONLY);
  payload.files = {{harness::U16(Path(L"App")), u"component.dll", FileComponent},
                   {harness::U16(Path(L"App")), u"face.ttf", FileFont}};
  Start();
  EXPECT_TRUE(ExpectNoWindow(process));
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_EQ(Left({L"component.dll", L"face.ttf"}), "");
}

class RunningProgram : public FileScenario {
 protected:
  void SetUp() override {
    FileScenario::SetUp();
    Install(L"App\\app.exe", FileCheckInUse);
    Install(L"App\\readme.txt");
    held = CreateFileW(Path(L"App\\app.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
  }
  void TearDown() override {
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    FileScenario::TearDown();
  }
  HANDLE held = INVALID_HANDLE_VALUE;
};

TEST_F(RunningProgram, WarnedUntilTheProgramIsClosed) {
  Start(L"");
  Answer(IDOK, Message(1));
  Answer(IDRETRY, Message(15));
  Answer(IDRETRY, Message(15));
  const harness::Dialog third = dialogs.Next();
  ASSERT_TRUE(third);
  EXPECT_EQ(third.Text(), Message(15));
  CloseHandle(held);  // while the warning is open, as a person closes the program
  held = INVALID_HANDLE_VALUE;
  third.Press(IDRETRY);
  Answer(IDOK, Message(2));
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_EQ(Left({L"app.exe", L"readme.txt"}), "");
}

TEST_F(RunningProgram, CancelRemovesNothing) {
  Start(L"");
  Answer(IDOK, Message(1));
  Answer(IDCANCEL, Message(15));
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_EQ(Left({L"readme.txt", L"uninstall.exe"}), "readme.txt uninstall.exe");
}

}  // namespace
