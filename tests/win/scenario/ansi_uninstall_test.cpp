// Whole uninstalls on the ANSI-only family: a person's run removes all that
// was listed through the adapters, with the 9x branches of the fonts, the
// registry and self-removal; names that the code page cannot spell remove
// nothing else.
#include <string>
#include <vector>

#include "../unit/removal_files_sfnt.h"
#include "ansi_family_scenario.h"

namespace {

using ansi_family::AnsiFamilyRun;
using harness::ExitedWith;
using harness::U16;

typedef AnsiFamilyRun AnsiFamilyUninstall;

// Message index with the path in place of its "%s".
std::wstring Message(int index, const std::wstring& path = L"") {
  std::wstring text = harness::Wide(harness::StandardMessages()[index]);
  const size_t at = text.find(L"%s");
  return at == std::wstring::npos ? text : text.replace(at, 2, path);
}

// The sample application with a shared library (this is its last user) and
// a font, uninstalled by a person who confirms and answers Yes to each
// question.
TEST_F(AnsiFamilyUninstall, EverythingListedGoesAndTheCopyIsLeftToWininit) {
  harness::SampleApp app(sandbox);
  ASSERT_TRUE(app.ok());
  pack::Payload payload = app.payload;
  const std::wstring library = app.folder() + L"\\common.dll";
  ASSERT_TRUE(sandbox.InstallFile(L"Sample App\\common.dll", 0, "MZ"));
  const DWORD users = 1;
  SetMachineValue(ansi_family::kSharedLibrariesKey, library, REG_DWORD, &users, 4);
  // The font is registered under the 9x family's key; the same name under
  // the NT family's key is another system's registration and stays.
  const std::string family = "Rx Ansi Family " + std::to_string(GetCurrentProcessId());
  const std::wstring fontValue = std::wstring(family.begin(), family.end()) + L" Regular (TrueType)";
  const std::wstring font = app.folder() + L"\\face.ttf";
  ASSERT_TRUE(sandbox.WriteFile(L"Sample App\\face.ttf", sfnt::Build(sfnt::FontNames(family))));
  for (const wchar_t* key : {ansi_family::kFontsKey, ansi_family::kFontsKeyNT}) {
    SetMachineValue(key, fontValue, REG_SZ, font.c_str(), DWORD(2 * font.size() + 2));
  }
  payload.files.push_back({U16(app.folder()), u"common.dll", FileShared});
  payload.files.push_back({U16(app.folder()), u"face.ttf", FileFont});
  const std::wstring program = WriteUninstaller(L"Sample App", payload);
  ASSERT_FALSE(program.empty());
  const std::string before = "[Rename]\r\nNUL=C:\\OLD\\A.EXE\r\n";
  ASSERT_TRUE(harness::WriteWholeFile(ansi_family::kWininit, harness::Bytes(before.begin(), before.end())));

  harness::Process process;
  sandbox.PrepareProcess(&process);
  ASSERT_TRUE(process.Start(program));
  harness::DialogSequence dialogs(process);
  const harness::Dialog confirmation = dialogs.Next();
  ASSERT_TRUE(confirmation);
  EXPECT_EQ(confirmation.Text(), Message(1));
  EXPECT_FALSE(IsWindowUnicode(confirmation.Owner())) << "the main window comes from the ANSI table";
  confirmation.Press(IDOK);
  // Last listed, first removed: the font goes without a question, then the
  // library and the sample application's read-only file are asked about.
  const harness::Dialog shared = dialogs.Next();
  ASSERT_TRUE(shared);
  EXPECT_EQ(shared.Text(), Message(10, library));
  shared.Press(IDYES);
  const harness::Dialog readOnly = dialogs.Next();
  ASSERT_TRUE(readOnly);
  EXPECT_EQ(readOnly.Text(), Message(9, app.folder() + L"\\readme.txt"));
  EXPECT_FALSE(IsWindowUnicode(readOnly.window())) << "dialog 109 of DialogBoxParamA";
  readOnly.Press(IDYES);
  const harness::Dialog closing = dialogs.Next();
  ASSERT_TRUE(closing);
  EXPECT_EQ(closing.Text(), Message(2));
  closing.Press(IDOK);
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_TRUE(process.WaitForDescendants(20000)) << "the copy ends within its 12 attempts";

  // RegDeleteKey removed the keys; the 64-bit view is not the 9x family's,
  // where "Software64" only loses its "64" and names the key already gone.
  EXPECT_EQ(app.Remaining(), std::vector<std::wstring>{L"HKLM64 Sample App"});
  EXPECT_FALSE(sandbox.Exists(L"Sample App")) << "the uninstaller and its emptied folder went too";
  EXPECT_FALSE(MachineValueExists(ansi_family::kSharedLibrariesKey, library));
  EXPECT_FALSE(MachineValueExists(ansi_family::kFontsKey, fontValue));
  EXPECT_TRUE(MachineValueExists(ansi_family::kFontsKeyNT, fontValue));
  // No MoveFileEx on this family: the copy is left to the next start.
  wchar_t copy[MAX_PATH];
  ASSERT_GT(GetShortPathNameW(sandbox.Path(L"temp\\_uins1.exe").c_str(), copy, MAX_PATH), 0u);
  EXPECT_EQ(Wininit(), before + "NUL=" + harness::Narrow(copy) + "\r\n");
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
  EXPECT_TRUE(ExitedWith(harness::RunProgram(program, L"/S"), 0));

  EXPECT_FALSE(sandbox.Exists(L"App\\plain.txt")) << "the run went on";
  for (const std::wstring& name : neighbours) EXPECT_TRUE(sandbox.Exists(name)) << harness::Narrow(name);
  for (const std::wstring& name : listed) EXPECT_TRUE(sandbox.Exists(name)) << harness::Narrow(name);
  EXPECT_TRUE(sandbox.RegistryKeyExists(HKEY_CURRENT_USER, harness::kDefaultView, L"Lodz"));
  EXPECT_TRUE(sandbox.RegistryValueExists(HKEY_CURRENT_USER, harness::kDefaultView, L"", L"Lodz"));
}

}  // namespace
