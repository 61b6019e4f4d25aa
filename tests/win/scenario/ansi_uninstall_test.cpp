// A whole uninstall on the ANSI-only family (Windows 9x): retrax_ansi.exe,
// the program with its ANSI table forced, run under a name of its own for
// which Wine reports Windows 98: every text-bearing call goes through the
// adapters, and the registry and the self-removal take their 9x branches.
// The prefix's one WININIT.INI, which no other test touches (the unit
// tests use one of their own), is put back after the test.
#include "harness/harness.h"

namespace {

using harness::Message;

const wchar_t kWininit[] = L"C:\\windows\\WININIT.INI";

class AnsiFamilyUninstall : public harness::ScenarioTest {
 protected:
  void SetUp() override {
    harness::ScenarioTest::SetUp();
    hadWininit = harness::ReadWholeFile(kWininit, &savedWininit);
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, appDefaults.c_str(), L"Version", REG_SZ, L"win98", 12), 0);
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, appDefaults.c_str());
    if (hadWininit) harness::WriteWholeFile(kWininit, savedWininit);
    if (!hadWininit) DeleteFileW(kWininit);
  }

  harness::Bytes savedWininit;
  bool hadWininit = false;
  const std::wstring program = sandbox.name() + L".exe";  // one name per test
  const std::wstring appDefaults = L"Software\\Wine\\AppDefaults\\" + program;
};

// A read-only file and a key, uninstalled by a person who confirms and
// answers Yes to the question about the file.
TEST_F(AnsiFamilyUninstall, EverythingListedGoesAndTheCopyIsLeftToWininit) {
  ASSERT_TRUE(sandbox.InstallFile(L"App\\readme.txt", FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(sandbox.MakeRegistryKey(HKEY_CURRENT_USER, harness::kDefaultView, L"App\\Recent"));
  pack::Payload payload = harness::StandardPayload();
  payload.files = {{u".", u"readme.txt", 0}};
  payload.registry = {{harness::kPayloadHkcu, harness::U16(sandbox.RegistryKey(L"App"))}};
  harness::Bytes ansi;
  ASSERT_TRUE(harness::LoadEmbeddedFile(L"RETRAX_ANSI_EXE", &ansi));
  const std::string before = "[Rename]\r\nNUL=C:\\OLD\\A.EXE\r\n";
  ASSERT_TRUE(harness::WriteWholeFile(kWininit, harness::Bytes(before.begin(), before.end())));

  harness::Process process;
  sandbox.PrepareProcess(&process);
  ASSERT_TRUE(process.Start(sandbox.WriteUninstaller(L"App\\" + program, payload, &ansi)));
  harness::DialogSequence dialogs(process);
  const std::pair<std::wstring, int> answers[] = {
      {Message(MSG_CONFIRM), IDOK}, {Message(9, sandbox.Path(L"App\\readme.txt")), IDYES}, {Message(MSG_DONE), IDOK}};
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

  EXPECT_FALSE(sandbox.Exists(L"App")) << "the file, the uninstaller and their emptied folder";
  EXPECT_FALSE(sandbox.RegistryKeyExists(HKEY_CURRENT_USER, harness::kDefaultView, L"App")) << "with its subkey";
  // No MoveFileEx on this family: the copy is left to the next start.
  wchar_t copy[MAX_PATH];
  ASSERT_GT(GetShortPathNameW(sandbox.Path(L"temp\\_uins1.exe").c_str(), copy, MAX_PATH), 0u);
  harness::Bytes wininit;
  ASSERT_TRUE(harness::ReadWholeFile(kWininit, &wininit));
  EXPECT_EQ(std::string(wininit.begin(), wininit.end()), before + "NUL=" + harness::Narrow(copy) + "\r\n");
}

}  // namespace
