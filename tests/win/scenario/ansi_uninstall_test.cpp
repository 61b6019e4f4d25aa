// Whole uninstalls on the ANSI-only family (Windows 9x): retrax_ansi.exe,
// the program with its ANSI table forced at the entry point, run under a
// name of its own for which Wine reports Windows 98. Every text-bearing call
// then goes through the adapters, and the fonts, the registry and the
// self-removal take their 9x branches. The prefix's one WININIT.INI is put
// back after each test; the tests that touch it never run at the same time
// (RESOURCE_LOCK on the suites named AnsiFamily*, tests/win/CMakeLists.txt).
#include "../unit/removal_files_sfnt.h"
#include "harness/harness.h"

namespace {

using harness::Message;
using harness::U16;

const wchar_t kWininit[] = L"C:\\windows\\WININIT.INI";
const wchar_t kSharedLibrariesKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const wchar_t kFontsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Fonts";  // the 9x family's
const wchar_t kFontsKeyNT[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

class AnsiFamilyUninstall : public harness::ScenarioTest {
 protected:
  void SetUp() override {
    harness::ScenarioTest::SetUp();
    ASSERT_TRUE(harness::RunningUnderWine()) << "the Windows 98 version is Wine's per-program setting";
    hadWininit_ = harness::ReadWholeFile(kWininit, &savedWininit_);
    ASSERT_TRUE(harness::LoadEmbeddedFile(L"RETRAX_ANSI_EXE", &program_));
    appDefaults_ = L"Software\\Wine\\AppDefaults\\" + sandbox.name() + L".exe";  // one name per test
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, appDefaults_.c_str(), L"Version", REG_SZ, L"win98", 12), 0);
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, appDefaults_.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, appDefaults_.c_str());
    if (hadWininit_) harness::WriteWholeFile(kWininit, savedWininit_);
    if (!hadWininit_) DeleteFileW(kWininit);
    for (const auto& value : machineValues_) RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, value.first, value.second.c_str());
  }

  // The ANSI program with payload in folder; its full path, or "".
  std::wstring WriteUninstaller(const std::wstring& folder, const pack::Payload& payload) {
    harness::Bytes file;
    std::string error;
    const std::wstring relative = folder + L"\\" + sandbox.name() + L".exe";
    if (!pack::AttachPayload(program_, pack::EncodePayload(payload), &file, &error)) return std::wstring();
    return sandbox.WriteFile(relative, file) ? sandbox.Path(relative) : std::wstring();
  }
  // A value under HKEY_LOCAL_MACHINE, in the 32-bit view, removed at the end.
  void SetMachineValue(const wchar_t* key, const std::wstring& name, DWORD type, const void* data, DWORD size) {
    machineValues_.push_back({key, name});
    EXPECT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, key, name.c_str(), type, data, size), 0) << harness::Narrow(name);
  }
  bool MachineValueExists(const wchar_t* key, const std::wstring& name) const {
    return RegGetValueW(HKEY_LOCAL_MACHINE, key, name.c_str(), RRF_RT_ANY, nullptr, nullptr, nullptr) == 0;
  }

 private:
  harness::Bytes program_, savedWininit_;
  bool hadWininit_ = false;
  std::wstring appDefaults_;
  std::vector<std::pair<const wchar_t*, std::wstring>> machineValues_;
};

// The sample application with a shared library (this is its last user) and
// a font, uninstalled by a person who confirms and answers Yes to each
// question.
TEST_F(AnsiFamilyUninstall, EverythingListedGoesAndTheCopyIsLeftToWininit) {
  harness::SampleApp app(sandbox);
  ASSERT_TRUE(app.ok());
  const std::wstring library = app.folder() + L"\\common.dll", font = app.folder() + L"\\face.ttf";
  ASSERT_TRUE(sandbox.InstallFile(L"Sample App\\common.dll", 0, "MZ"));
  const DWORD users = 1;
  SetMachineValue(kSharedLibrariesKey, library, REG_DWORD, &users, 4);
  // Registered under the 9x family's key; the same name under the NT
  // family's key is another system's registration and stays.
  const std::string family = "Rx Ansi Family " + std::to_string(GetCurrentProcessId());
  const std::wstring fontValue = std::wstring(family.begin(), family.end()) + L" Regular (TrueType)";
  ASSERT_TRUE(sandbox.WriteFile(L"Sample App\\face.ttf", sfnt::Build(sfnt::FontNames(family))));
  for (const wchar_t* key : {kFontsKey, kFontsKeyNT}) {
    SetMachineValue(key, fontValue, REG_SZ, font.c_str(), DWORD(2 * font.size() + 2));
  }
  app.payload.files.push_back({U16(app.folder()), u"common.dll", FileShared});
  app.payload.files.push_back({U16(app.folder()), u"face.ttf", FileFont});
  const std::wstring program = WriteUninstaller(L"Sample App", app.payload);
  ASSERT_FALSE(program.empty());
  const std::string before = "[Rename]\r\nNUL=C:\\OLD\\A.EXE\r\n";
  ASSERT_TRUE(harness::WriteWholeFile(kWininit, harness::Bytes(before.begin(), before.end())));

  harness::Process process;
  sandbox.PrepareProcess(&process);
  ASSERT_TRUE(process.Start(program));
  harness::DialogSequence dialogs(process);
  // Last listed, first removed: the font goes without a question, then the
  // library and the sample application's read-only file are asked about.
  const std::pair<std::wstring, int> answers[] = {{Message(MSG_CONFIRM), IDOK},
                                                  {Message(10, library), IDYES},
                                                  {Message(9, app.folder() + L"\\readme.txt"), IDYES},
                                                  {Message(MSG_DONE), IDOK}};
  for (const auto& answer : answers) {
    const harness::Dialog box = dialogs.Next(answer.first);
    ASSERT_TRUE(box);
    EXPECT_EQ(box.Text(), answer.first);
    EXPECT_FALSE(IsWindowUnicode(box.Owner())) << "the main window comes from the ANSI table";
    EXPECT_TRUE(box.HasButton(0xFFFF) || !IsWindowUnicode(box.window())) << "dialog 109 of DialogBoxParamA";
    box.Press(answer.second);
  }
  EXPECT_TRUE(harness::ExitedWith(process.Finish(), 0));
  EXPECT_TRUE(process.WaitForDescendants(20000)) << "the copy ends within its 12 attempts";

  // RegDeleteKey removed the keys; the 64-bit view is not the 9x family's,
  // where "Software64" only loses its "64" and names the key already gone.
  EXPECT_EQ(app.Remaining(), std::vector<std::wstring>{L"HKLM64 Sample App"});
  EXPECT_FALSE(sandbox.Exists(L"Sample App")) << "the uninstaller and its emptied folder went too";
  EXPECT_FALSE(MachineValueExists(kSharedLibrariesKey, library));
  EXPECT_FALSE(MachineValueExists(kFontsKey, fontValue));
  EXPECT_TRUE(MachineValueExists(kFontsKeyNT, fontValue));
  // No MoveFileEx on this family: the copy is left to the next start.
  wchar_t copy[MAX_PATH];
  ASSERT_GT(GetShortPathNameW(sandbox.Path(L"temp\\_uins1.exe").c_str(), copy, MAX_PATH), 0u);
  harness::Bytes wininit;
  ASSERT_TRUE(harness::ReadWholeFile(kWininit, &wininit));
  EXPECT_EQ(std::string(wininit.begin(), wininit.end()), before + "NUL=" + harness::Narrow(copy) + "\r\n");
}

// Names the ANSI code page (1252 under Wine) cannot spell: L with stroke,
// which the conversion would turn into a plain L, and two Hebrew letters,
// which it would turn into "??", a wildcard. The uninstaller cannot name
// them on this family: what they name stays, and so does every neighbour
// that their converted forms would reach; the rest of the run goes on.
TEST_F(AnsiFamilyUninstall, NamesTheCodePageCannotSpellStayAndTakeNothingElse) {
  const std::wstring lookAlike = L"\u0141odz", unspellable = L"\u05D0\u05D1";
  const std::vector<std::wstring> neighbours = {L"App\\Lodz.txt", L"App\\ab.txt", L"App\\Lodz\\keep.txt",
                                                L"App\\cd\\keep.txt"};
  for (const std::wstring& name : neighbours) ASSERT_TRUE(sandbox.InstallFile(name));
  ASSERT_TRUE(sandbox.InstallFile(L"App\\plain.txt"));
  ASSERT_TRUE(sandbox.MakeRegistryKey(HKEY_CURRENT_USER, harness::kDefaultView, L"Lodz"));
  ASSERT_TRUE(sandbox.SetRegistryValue(HKEY_CURRENT_USER, harness::kDefaultView, L"", L"Lodz", L"1"));
  // Wine stores such names only when the host's locale can spell them; the
  // neighbours are at stake either way.
  std::vector<std::wstring> listed;
  for (const std::wstring& name : {L"App\\" + lookAlike + L".txt", L"App\\" + unspellable + L".txt"}) {
    if (sandbox.InstallFile(name)) listed.push_back(name);
  }

  pack::Payload payload = harness::StandardPayload();
  const std::u16string app = U16(sandbox.Path(L"App"));
  payload.files = {{app, U16(lookAlike + L".txt"), 0}, {app, U16(unspellable + L".txt"), 0}, {app, u"plain.txt", 0}};
  payload.folderTrees = {U16(lookAlike + L"\\*.*"), U16(unspellable + L"\\*.*")};
  payload.registry = {{harness::kPayloadHkcu, U16(sandbox.RegistryKey(lookAlike))},
                      {harness::kPayloadHkcu, U16(sandbox.RegistryKey() + L"\\\\" + lookAlike)}};
  const std::wstring program = WriteUninstaller(L"App", payload);
  ASSERT_FALSE(program.empty());
  EXPECT_TRUE(harness::ExitedWith(harness::RunProgram(program, L"/S"), 0));

  EXPECT_FALSE(sandbox.Exists(L"App\\plain.txt")) << "the run went on";
  for (const std::wstring& name : neighbours) EXPECT_TRUE(sandbox.Exists(name)) << harness::Narrow(name);
  for (const std::wstring& name : listed) EXPECT_TRUE(sandbox.Exists(name)) << harness::Narrow(name);
  EXPECT_TRUE(sandbox.RegistryKeyExists(HKEY_CURRENT_USER, harness::kDefaultView, L"Lodz"));
  EXPECT_TRUE(sandbox.RegistryValueExists(HKEY_CURRENT_USER, harness::kDefaultView, L"", L"Lodz"));
}

}  // namespace
