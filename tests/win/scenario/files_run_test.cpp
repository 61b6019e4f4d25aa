// The file phase in whole runs: which files and folders it touches, what
// the installer's extension library vetoes or renames, and its questions as
// a person meets them (read-only files, the last user of a shared library,
// the running-program warning). Files are installed in the sandbox's "App"
// folder and listed in the payload; the uninstaller is written beside them.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "harness/harness.h"

namespace {

using harness::ExitedWith;
using harness::ExpectNoWindow;

const wchar_t kSharedDlls[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

class FileScenario : public harness::ScenarioTest {
 protected:
  std::wstring Path(const std::wstring& relative) const { return sandbox.Path(relative); }
  bool Exists(const std::wstring& relative) const { return sandbox.Exists(relative); }

  // Installs sandbox\relative (unless it is a folder, ending in "\") and
  // lists it in the payload as its folder and name.
  void Install(const std::wstring& relative, uint8_t flags = 0, DWORD attributes = 0) {
    if (relative.back() != L'\\') EXPECT_TRUE(sandbox.InstallFile(relative, attributes));
    const std::wstring path = Path(relative);
    const size_t cut = path.find_last_of(L'\\');
    payload.files.push_back({harness::U16(path.substr(0, cut)), harness::U16(path.substr(cut + 1)), flags});
  }
  // Opens sandbox\relative as a program that uses it would.
  HANDLE Hold(const std::wstring& relative, DWORD share = 0) const {
    return CreateFileW(Path(relative).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  // The SharedDLLs count of sandbox\relative: set (none for 0), or read and
  // removed (-1 when there is none).
  void SetUsers(const std::wstring& relative, DWORD users) const {
    if (users != 0) RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSharedDlls, Path(relative).c_str(), REG_DWORD, &users, 4);
  }
  long TakeUsers(const std::wstring& relative) const {
    const std::wstring value = Path(relative);
    DWORD users = 0, size = 4;
    const bool has =
        RegGetValueW(HKEY_LOCAL_MACHINE, kSharedDlls, value.c_str(), RRF_RT_REG_DWORD, nullptr, &users, &size) == 0;
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSharedDlls, value.c_str());
    return has ? long(users) : -1;
  }
  // Which of the files App\<name> are still there, joined by spaces.
  std::string Left(std::initializer_list<const wchar_t*> names) const {
    std::string left;
    for (const wchar_t* name : names)
      if (Exists(std::wstring(L"App\\") + name)) left += (left.empty() ? "" : " ") + harness::Narrow(name);
    return left;
  }
  // Writes App\uninstall.exe and starts it with the arguments, from folder
  // (its own when empty); a new run after one that started.
  void Start(const std::wstring& arguments = L"/S", const std::wstring& folder = L"") {
    const std::wstring program = sandbox.WriteUninstaller(L"App\\uninstall.exe", payload);
    ASSERT_FALSE(program.empty());
    if (process().started()) run.reset(new Run);
    sandbox.PrepareProcess(&process());
    ASSERT_TRUE(process().Start(program, arguments, folder));
  }
  harness::Process& process() { return run->process; }
  // Waits for the next box of the run, expects message index in it (with
  // the path of relative for its "%s") and presses the button, which it
  // must have: Escape for 0, Enter for -1.
  void Answer(int button, int index, const std::wstring& relative = L"") {
    const std::wstring text = harness::Message(index, relative.empty() ? L"" : Path(relative));
    const harness::Dialog dialog = run->dialogs.Next();
    ASSERT_TRUE(dialog) << harness::Narrow(text);
    EXPECT_EQ(harness::Narrow(dialog.Text()), harness::Narrow(text));
    EXPECT_TRUE(button <= 0 || dialog.HasButton(button)) << "no button " << button;
    if (button == 0) dialog.PressEsc();
    if (button < 0) dialog.PressEnter();
    if (button > 0) dialog.Press(button);
    EXPECT_TRUE(dialog.WaitClosed());
  }

  struct Run {
    harness::Process process;
    harness::DialogSequence dialogs{process};
  };
  pack::Payload payload = harness::StandardPayload();
  std::unique_ptr<Run> run{new Run};
};

typedef FileScenario FileEntries;

// The current folder may be any folder, the system folder included: a
// relative path, listed or made by the extension, names nothing of ours.
TEST_F(FileEntries, RelativePathsAreNeverUsed) {
  Install(L"cwd\\victim.txt");
  Install(L"App\\renamed.txt");
  payload.files.front().folder = u"";
  ASSERT_TRUE(harness::AddTestExtension(&payload));
  process().SetEnvironment(L"RXTEST_EXT_REWRITE", Path(L"App\\renamed.txt") + L"|victim.txt");
  Start(L"/S", Path(L"cwd"));
  EXPECT_TRUE(ExitedWith(process().Finish(), 0));
  EXPECT_TRUE(Exists(L"cwd\\victim.txt") && Exists(L"App\\renamed.txt"));
}

// A silent run: folder entries take only empty, unprotected folders; the
// extension library keeps a and turns c into d; without message 10 a
// used-up shared file goes unasked. The library is named by its path: an
// image would be written to the temporary folder, which must stay empty.
TEST_F(FileEntries, EmptyFoldersGoAndTheExtensionVetoesAndRenamesUnasked) {
  harness::Bytes extension;
  ASSERT_TRUE(harness::LoadEmbeddedFile(L"RETRAX_TEST_EXTENSION_DLL", &extension) &&
              sandbox.WriteFile(L"lib\\extension.dll", extension));
  payload.hasExtension = true;
  payload.extensionContent = pack::ExtensionPathContent(harness::U16(Path(L"lib\\extension.dll")));
  ASSERT_TRUE(sandbox.MakeFolder(L"App\\empty") && sandbox.InstallFile(L"App\\full\\kept.txt"));
  ASSERT_TRUE(sandbox.InstallFile(L"App\\d.txt"));
  for (const wchar_t* folder : {L"App\\empty\\", L"App\\full\\", L"temp\\"}) Install(folder);  // temp: protected
  payload.files.push_back({u".", u"", 0});  // the folder the uninstaller is in
  for (const wchar_t* name : {L"App\\a.txt", L"App\\b.txt", L"App\\c.txt"}) Install(name);
  Install(L"App\\last.dll", FileShared);
  payload.messages[10].clear();
  process().SetEnvironment(L"RXTEST_EXT_VETO_FILE", Path(L"App\\a.txt"));
  process().SetEnvironment(L"RXTEST_EXT_REWRITE", Path(L"App\\c.txt") + L"|" + Path(L"App\\d.txt"));
  Start();
  EXPECT_TRUE(ExpectNoWindow(process()));
  EXPECT_TRUE(ExitedWith(process().Finish(), 0));
  EXPECT_FALSE(Exists(L"App\\empty"));
  EXPECT_TRUE(Exists(L"App\\full\\kept.txt") && Exists(L"temp") && Exists(L"App\\uninstall.exe"));
  EXPECT_EQ(Left({L"a.txt", L"b.txt", L"c.txt", L"d.txt", L"last.dll"}), "a.txt c.txt");
}

const int kEsc = 0, kEnter = -1, kYesToAll = 1001, kNoToAll = 1002;

// The answers given about c, b and a (asked last listed first), and the
// files left. No answers: message 9 is empty, and without a question the
// installer meant read-only files to go.
TEST_F(FileScenario, ReadOnlyFilesGoByTheAnswerForTheFileOrForAllThatFollow) {
  const struct { std::vector<int> answers; const char* left; } rows[] = {
      {{IDNO, kYesToAll}, "c.txt"}, {{kEnter, kNoToAll}, "a.txt b.txt"}, {{kEsc, IDNO, IDYES}, "b.txt c.txt"},
      {{}, ""}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.left);
    if (row.answers.empty()) payload.messages[9] = u"";
    payload.files.clear();
    for (const wchar_t* name : {L"App\\a.txt", L"App\\b.txt", L"App\\c.txt"}) {
      SetFileAttributesW(Path(name).c_str(), FILE_ATTRIBUTE_NORMAL);  // left by the row before
      Install(name, 0, FILE_ATTRIBUTE_READONLY);
    }
    Start();
    for (size_t i = 0; i < row.answers.size(); ++i)
      Answer(row.answers[i], 9, std::wstring(L"App\\") + L"cba"[i] + L".txt");
    EXPECT_TRUE(ExpectNoWindow(process()));
    EXPECT_TRUE(ExitedWith(process().Finish(), 0));
    EXPECT_EQ(Left({L"a.txt", L"b.txt", L"c.txt"}), row.left);
  }
}

// Each uninstall counts one user off a file's SharedDLLs value. Asked last
// listed first: c (no value at all) and a are answered Yes, b No; other has
// users left and held is in use: neither is asked about, and held keeps its
// count for the uninstall that finds it free.
TEST_F(FileScenario, TheLastUserOfASharedLibraryIsAskedAndTheAnswerDecides) {
  const std::pair<const wchar_t*, DWORD> counts[] = {
      {L"App\\held.dll", 1}, {L"App\\other.dll", 3}, {L"App\\a.dll", 1}, {L"App\\b.dll", 1}, {L"App\\c.dll", 0}};
  for (const auto& count : counts) {
    Install(count.first, FileShared);
    SetUsers(count.first, count.second);
  }
  HANDLE held = Hold(L"App\\held.dll");
  Start();
  Answer(IDYES, 10, L"App\\c.dll");
  Answer(IDNO, 10, L"App\\b.dll");
  Answer(IDYES, 10, L"App\\a.dll");
  EXPECT_TRUE(ExpectNoWindow(process()));
  EXPECT_TRUE(ExitedWith(process().Finish(), 0));
  CloseHandle(held);
  EXPECT_EQ(Left({L"held.dll", L"other.dll", L"a.dll", L"b.dll", L"c.dll"}), "held.dll other.dll b.dll");
  std::vector<long> left;
  for (const auto& count : counts) left.push_back(TakeUsers(count.first));
  EXPECT_EQ(left, std::vector<long>({1, 2, -1, 0, -1}));
}

// /N asks nothing and loses nothing that was not the application's: the
// last user of a shared library is answered No (the file stays, its count
// at 0), read-only files Yes to all, a file held open goes at the restart
// (3010), and the program removes itself. The log, asked for in the
// install folder and listed there, is kept.
TEST_F(FileScenario, AnUnattendedRunAnswersByRuleAndSchedulesWhatIsInUse) {
  Install(L"App\\run.log");
  Install(L"App\\last.dll", FileShared);
  SetUsers(L"App\\last.dll", 1);
  Install(L"App\\held.txt");
  for (const wchar_t* name : {L"App\\ro.txt", L"App\\ro2.txt"}) Install(name, 0, FILE_ATTRIBUTE_READONLY);
  const std::wstring log = Path(L"App\\run.log");
  // Held by a program that shares everything, deletion included: still in use.
  HANDLE held = Hold(L"App\\held.txt", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  Start(L"/N /L \"" + log + L"\"");
  EXPECT_TRUE(ExpectNoWindow(process()));
  EXPECT_TRUE(ExitedWith(process().Finish(), 3010));
  EXPECT_TRUE(process().WaitForDescendants(20000));
  CloseHandle(held);
  for (DWORD waited = 0; Exists(L"App\\uninstall.exe") && waited < 5000; waited += 50) Sleep(50);
  EXPECT_EQ(Left({L"run.log", L"last.dll", L"held.txt", L"ro.txt", L"ro2.txt", L"uninstall.exe"}),
            "run.log last.dll held.txt");
  EXPECT_EQ(TakeUsers(L"App\\last.dll"), 0);
  std::vector<wchar_t> pending(65536);
  DWORD size = (DWORD)pending.size() * 2;
  RegGetValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
               L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, pending.data(), &size);
  const std::wstring renames(pending.data(), size / 2);
  const std::wstring two(2, L'\0');  // a path's end, then its empty target: removal
  EXPECT_NE(renames.find(Path(L"App\\held.txt") + two + L"\\??\\" + Path(L"App") + two), std::wstring::npos)
      << "the file, then its folder";
  std::vector<std::string> lines = harness::ReadLines(log);
  ASSERT_GT(lines.size(), 6u);
  EXPECT_EQ(lines[0].rfind("Retrax uninstall log", 0), 0u);
  EXPECT_EQ(lines[2], "Command line: \"" + harness::Narrow(Path(L"App\\uninstall.exe")) + "\" /N /L \"" +
                          harness::Narrow(log) + "\"");
  const std::string app = harness::Narrow(Path(L"App\\"));
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 6, lines.end()),
            std::vector<std::string>({
                "files: question 9, Yes to all by /N: " + app + "ro2.txt",
                "files: removed " + app + "ro2.txt",
                "files: question 9, Yes to all by answer to all: " + app + "ro.txt",
                "files: removed " + app + "ro.txt",
                "files: scheduled for restart " + app + "held.txt",
                "files: question 10, No by /N: " + app + "last.dll",
                "files: kept (shared count) " + app + "last.dll",
                "files: kept (the log itself) " + app + "run.log",
                "Removed 2, scheduled 1, not found 0, kept 2",
                "Exit code: 3010",
            }));
}

// A listed program held open, as while it runs: an unattended run stops
// before removing anything, and the deployment tool reads 1602; Cancel at
// the warning removes nothing; a person is warned until it is closed.
TEST_F(FileScenario, AListedProgramThatRunsStopsTheRunOrIsWarnedAbout) {
  Install(L"App\\app.exe", FileCheckInUse);
  Install(L"App\\readme.txt");
  HANDLE held = Hold(L"App\\app.exe");
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Start(L"/N");
  EXPECT_TRUE(ExpectNoWindow(process()));
  EXPECT_TRUE(ExitedWith(process().Finish(), 1602));
  EXPECT_EQ(Left({L"app.exe", L"readme.txt", L"uninstall.exe"}), "app.exe readme.txt uninstall.exe");
  Start(L"");
  Answer(IDOK, 1);
  Answer(IDCANCEL, 15);
  EXPECT_TRUE(ExitedWith(process().Finish(), 0));
  EXPECT_EQ(Left({L"readme.txt", L"uninstall.exe"}), "readme.txt uninstall.exe");
  Start(L"");
  Answer(IDOK, 1);
  Answer(IDRETRY, 15);
  const harness::Dialog again = run->dialogs.Next(harness::Message(15));
  CloseHandle(held);  // while the warning is open, as a person closes the program
  ASSERT_TRUE(again);
  again.Press(IDRETRY);
  Answer(IDOK, 2);
  EXPECT_TRUE(ExitedWith(process().Finish(), 0));
  EXPECT_EQ(Left({L"app.exe", L"readme.txt"}), "");
}

}  // namespace
