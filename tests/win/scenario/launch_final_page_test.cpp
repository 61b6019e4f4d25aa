// The final page in whole runs: a document type of the test's own, whose
// "open" command is the recording helper, shows with which document and in
// which folder the page was opened, and which runs open it at all.
#include <string>
#include <vector>

#include "harness/harness.h"
#include "launch_support.h"
#include "recorder/recorder_log.h"

using harness::ExitedWith;
using harness::Process;
using recorder::Record;

namespace {

// A file type registered for the span of a test. Under HKLM: Wine's
// HKEY_CLASSES_ROOT does not show HKCU\Software\Classes.
class DocumentType {
 public:
  DocumentType(const std::wstring& viewer) {
    const std::wstring id = std::to_wstring(GetCurrentProcessId());
    extension_ = L".rxpage" + id;
    progId_ = L"RetraxTests.Page" + id;
    ok_ = SetDefault(L"Software\\Classes\\" + extension_, progId_) &&
          SetDefault(L"Software\\Classes\\" + progId_ + L"\\shell\\open\\command", L"\"" + viewer + L"\" \"%1\"");
  }
  ~DocumentType() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\" + extension_).c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\" + progId_).c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\" + extension_).c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\" + progId_).c_str());
  }
  bool ok() const { return ok_; }
  const std::wstring& extension() const { return extension_; }

 private:
  static bool SetDefault(const std::wstring& path, const std::wstring& value) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
      return false;
    }
    const LONG set = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return set == ERROR_SUCCESS;
  }
  std::wstring extension_, progId_;
  bool ok_ = false;
};

class FinalPage : public harness::ScenarioTest {
 protected:
  void SetUp() override {
    harness::ScenarioTest::SetUp();
    ASSERT_TRUE(sandbox.MakeFolder(L"Viewer"));
    ASSERT_TRUE(recorder::Install(sandbox.Path(L"Viewer\\viewer.exe")));
    ASSERT_TRUE(type.ok());
  }
  std::wstring Document(const std::wstring& folder, const std::wstring& name) {
    const std::wstring relative = (folder.empty() ? L"" : folder + L"\\") + name + type.extension();
    EXPECT_TRUE(sandbox.InstallFile(relative, 0, "page"));
    return sandbox.Path(relative);
  }
  // Writes the uninstaller with the page and starts it; the run is left to
  // the caller.
  void Start(Process* process, const std::wstring& page, const std::wstring& switches,
             const std::wstring& folder = L"") {
    pack::Payload payload = harness::StandardPayload();
    payload.header.finalPage = harness::U16(page);
    const std::wstring program = sandbox.WriteUninstaller(L"App\\uninstall.exe", payload);
    sandbox.PrepareProcess(process);
    process->SetEnvironment(L"RXTEST_RECORD_LOG", log);
    ASSERT_TRUE(process->Start(program, switches, folder));
  }
  const std::wstring log = sandbox.Path(L"record.log");
  DocumentType type{sandbox.Path(L"Viewer\\viewer.exe")};
};

TEST_F(FinalPage, ADocumentOpensInItsOwnFolderInAConfirmedOrQuietRun) {
  const std::wstring page = Document(L"Docs", L"done");
  {
    Process process;
    Start(&process, page, L"");
    EXPECT_TRUE(ExitedWith(launch_support::FinishAnswering(&process), 0));
    EXPECT_TRUE(process.WaitForDescendants(20000));
  }
  {
    Process process;
    Start(&process, page, L"/Q");
    EXPECT_TRUE(ExitedWith(process.Finish(), 0));
    EXPECT_TRUE(process.WaitForDescendants(20000));
  }
  const std::vector<Record> records = recorder::ReadLog(log);
  ASSERT_EQ(records.size(), 2u);
  for (const Record& record : records) {
    EXPECT_EQ(record.arguments, L"\"" + page + L"\"");
    EXPECT_EQ(record.folder, sandbox.Path(L"Docs"));
    EXPECT_EQ(record.show, SW_SHOW);
  }
}

// No folder is given for a bare name: it is found, and opened, where the
// run stands by then. That is the install folder's parent, where the
// pruning of the emptied folders left it, not the folder it started in.
TEST_F(FinalPage, ABareNameOpensWhereTheRunStands) {
  ASSERT_TRUE(sandbox.MakeFolder(L"Elsewhere"));
  const std::wstring page = Document(L"", L"done");
  Process process;
  Start(&process, L"done" + type.extension(), L"/Q", sandbox.Path(L"Elsewhere"));
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_TRUE(process.WaitForDescendants(20000));
  const std::vector<Record> records = recorder::ReadLog(log);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].folder, sandbox.root());
  EXPECT_EQ(records[0].arguments, L"\"" + page + L"\"");
}

// Each run names its own page; the silent ones come first, so a page of
// theirs would be recorded before the quiet run's.
TEST_F(FinalPage, SilentRunsOpenNoPage) {
  for (const wchar_t* switches : {L"/S", L"/X", L"/S /X", L"/Q"}) {
    std::wstring name = switches;
    for (wchar_t& c : name) c = iswalpha(c) ? c : L'_';
    Process process;
    Start(&process, Document(L"Docs", name), switches);
    EXPECT_TRUE(ExitedWith(process.Finish(), 0));
    EXPECT_TRUE(process.WaitForDescendants(20000));
  }
  const std::vector<Record> records = recorder::ReadLog(log);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].arguments, L"\"" + sandbox.Path(L"Docs\\_Q") + type.extension() + L"\"");
}

}  // namespace
