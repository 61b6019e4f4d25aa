// The questions of the file phase as a person meets them: the read-only
// question with its four answers, and the running-program warning before
// anything is removed.
#include "files_scenario.h"
#include "../unit/removal_files_sfnt.h"

namespace {

using files::FileScenario;
using harness::ExitedWith;
using harness::ExpectNoWindow;

const int kYesToAll = 1001, kNoToAll = 1002;

class ReadOnlyFiles : public FileScenario {
 protected:
  // a, b and c, read-only, listed in that order and so asked about c first.
  void InstallThree() {
    for (const wchar_t* name : {L"App\\a.txt", L"App\\b.txt", L"App\\c.txt"})
      Install(name, 0, FILE_ATTRIBUTE_READONLY);
  }
  std::string Left() {
    std::string left;
    for (const char* name : {"a", "b", "c"}) {
      if (Exists(L"App\\" + std::wstring(1, name[0]) + L".txt")) left += name;
    }
    return left;
  }
};

TEST_F(ReadOnlyFiles, QuestionNamesTheFileAndOffersFourAnswersYesFirst) {
  Install(L"App\\notes.txt", 0, FILE_ATTRIBUTE_READONLY);
  Start();
  harness::Dialog question = harness::WaitForDialog(process);
  ASSERT_TRUE(question);
  EXPECT_EQ(question.Caption(), L"Sample App Uninstall");
  EXPECT_EQ(question.Text(), Message(9, L"App\\notes.txt"));
  std::vector<std::pair<int, std::wstring>> buttons;
  for (const harness::Button& button : question.Buttons()) buttons.push_back({button.id, button.label});
  EXPECT_EQ(buttons, (std::vector<std::pair<int, std::wstring>>{
                         {IDYES, L"&Yes"}, {kYesToAll, L"Yes to &All"}, {IDNO, L"&No"}, {kNoToAll, L"N&o to All"}}));
  EXPECT_EQ(LOWORD(SendMessageW(question.window(), DM_GETDEFID, 0, 0)), IDYES);
  question.PressEnter();
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_FALSE(Exists(L"App\\notes.txt"));
}

TEST_F(ReadOnlyFiles, YesToAllRemovesTheRestWithoutAsking) {
  InstallThree();
  Start();
  Answer(IDNO, Message(9, L"App\\c.txt"));
  Answer(kYesToAll, Message(9, L"App\\b.txt"));
  EXPECT_TRUE(ExpectNoWindow(process));
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_EQ(Left(), "c");
}

TEST_F(ReadOnlyFiles, NoToAllKeepsTheRestWithoutAsking) {
  InstallThree();
  Start();
  Answer(IDYES, Message(9, L"App\\c.txt"));
  Answer(kNoToAll, Message(9, L"App\\b.txt"));
  EXPECT_TRUE(ExpectNoWindow(process));
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_EQ(Left(), "ab");
  EXPECT_NE(sandbox.Attributes(L"App\\a.txt") & FILE_ATTRIBUTE_READONLY, 0u) << "kept as it was";
}

TEST_F(ReadOnlyFiles, EscapeAndNoKeepOnlyThatFile) {
  InstallThree();
  Start();
  harness::Dialog first = harness::WaitForDialog(process);
  ASSERT_TRUE(first);
  first.PressEsc();
  ASSERT_TRUE(first.WaitClosed());
  Answer(IDNO, Message(9, L"App\\b.txt"));
  Answer(IDYES, Message(9, L"App\\a.txt"));
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_EQ(Left(), "bc");
}

// No question to ask: the installer meant read-only files to go.
TEST_F(ReadOnlyFiles, WithoutAQuestionAllGo) {
  payload.messages[9] = u"";
  InstallThree();
  Start();
  EXPECT_TRUE(ExpectNoWindow(process));
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_EQ(Left(), "");
}

// Fonts and components were registered by the installer and go with their
// registration.
TEST_F(ReadOnlyFiles, FontsAndComponentsGoWithoutAQuestion) {
  harness::Bytes component;
  ASSERT_TRUE(harness::LoadEmbeddedFile(L"RETRAX_TEST_COMPONENT_DLL", &component));
  ASSERT_TRUE(sandbox.WriteFile(L"App\\component.dll", component));
  ASSERT_TRUE(sandbox.WriteFile(L"App\\face.ttf", sfnt::Build(sfnt::FontNames("Rx Read Only"))));
  for (const wchar_t* name : {L"App\\component.dll", L"App\\face.ttf"})
    SetFileAttributesW(Path(name).c_str(), FILE_ATTRIBUTE_READONLY);
  List(L"App\\component.dll", FileComponent);
  List(L"App\\face.ttf", FileFont);
  Start();
  EXPECT_TRUE(ExpectNoWindow(process));
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_FALSE(Exists(L"App\\component.dll"));
  EXPECT_FALSE(Exists(L"App\\face.ttf"));
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
  harness::Dialog third = Next(Message(15));
  ASSERT_TRUE(third);
  CloseHandle(held);  // while the warning is open, as a person closes the program
  held = INVALID_HANDLE_VALUE;
  third.Press(IDRETRY);
  Answer(IDOK, Message(2));
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_FALSE(Exists(L"App\\app.exe"));
  EXPECT_FALSE(Exists(L"App\\readme.txt"));
}

TEST_F(RunningProgram, CancelRemovesNothing) {
  Start(L"");
  Answer(IDOK, Message(1));
  Answer(IDCANCEL, Message(15));
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_TRUE(Exists(L"App\\readme.txt"));
  EXPECT_TRUE(Exists(L"App\\uninstall.exe"));
}

// Without the flag nobody is warned, and the phase leaves the held file.
TEST_F(RunningProgram, HeldFileWithoutTheFlagStaysSilently) {
  Install(L"App\\helper.dll");
  HANDLE helper = CreateFileW(Path(L"App\\helper.dll").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  payload.files[0].flags = 0;
  Start();
  EXPECT_TRUE(ExpectNoWindow(process));
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  CloseHandle(helper);
  EXPECT_TRUE(Exists(L"App\\app.exe"));
  EXPECT_TRUE(Exists(L"App\\helper.dll"));
  EXPECT_FALSE(Exists(L"App\\readme.txt"));
}

}  // namespace
