// Shared steps of the file-phase scenarios: files installed in the
// sandbox's "App" folder, a payload listing them, the uninstaller written
// beside them and run as a person or an installer's silent uninstall would,
// and the program's questions answered one by one.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "harness/harness.h"

namespace files {

const wchar_t kSharedLibrariesKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

class FileScenario : public harness::ScenarioTest {
 protected:
  void TearDown() override {
    for (const std::wstring& value : sharedValues_) RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSharedLibrariesKey, value.c_str());
  }
  std::wstring Path(const std::wstring& relative) const { return sandbox.Path(relative); }
  bool Exists(const std::wstring& relative) const { return sandbox.Exists(relative); }

  // Lists sandbox\relative in the payload as its folder and name.
  void List(const std::wstring& relative, uint8_t flags = 0) {
    const std::wstring path = Path(relative);
    const size_t cut = path.find_last_of(L'\\');
    payload.files.push_back({harness::U16(path.substr(0, cut)), harness::U16(path.substr(cut + 1)), flags});
  }
  void Install(const std::wstring& relative, uint8_t flags = 0, DWORD attributes = 0) {
    EXPECT_TRUE(sandbox.InstallFile(relative, attributes));
    List(relative, flags);
  }

  // The test extension library (tests/win/extension), as an image.
  bool AddExtension() {
    payload.hasExtension = harness::LoadEmbeddedFile(L"RETRAX_TEST_EXTENSION_DLL", &payload.extensionContent);
    return payload.hasExtension;
  }

  // The file's count under SharedDLLs, in the view the 32-bit uninstaller
  // sees; -1 when there is none. The test's values go with the test.
  void SetCount(const std::wstring& relative, DWORD count) {
    const std::wstring name = Path(relative);
    sharedValues_.push_back(name);
    EXPECT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSharedLibrariesKey, name.c_str(), REG_DWORD, &count, 4), 0);
  }
  long Count(const std::wstring& relative) const {
    DWORD count = 0, size = 4;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kSharedLibrariesKey, Path(relative).c_str(), RRF_RT_REG_DWORD, nullptr,
                     &count, &size) != ERROR_SUCCESS)
      return -1;
    return (long)count;
  }

  // Writes App\<name> and starts it with the arguments, from folder (its
  // own when empty).
  void Start(const std::wstring& arguments = L"/S", const std::wstring& name = L"uninstall.exe",
             const std::wstring& folder = L"") {
    const std::wstring program = sandbox.WriteUninstaller(L"App\\" + name, payload);
    ASSERT_FALSE(program.empty());
    sandbox.PrepareProcess(&process);
    ASSERT_TRUE(process.Start(program, arguments, folder));
  }
  // Waits for the next question or message box of the run and expects
  // text in it (when given); an empty Dialog when none came.
  harness::Dialog Next(const std::wstring& text = L"") {
    harness::Dialog dialog;
    do {  // the progress dialog (with its bar, 1009) is passed over
      dialog = harness::WaitForDialog(process, harness::kDefaultDialogTimeoutMs, handled_);
      if (!dialog) return dialog;
      handled_.push_back(dialog.window());
    } while (dialog.HasButton(1009));
    if (!text.empty()) EXPECT_EQ(harness::Narrow(dialog.Text()), harness::Narrow(text));
    return dialog;
  }
  // Next, then presses the button; the dialog's text, or "(none)".
  std::wstring Answer(int button, const std::wstring& text = L"") {
    harness::Dialog dialog = Next(text);
    if (!dialog) return L"(none)";
    const std::wstring shown = dialog.Text();
    dialog.Press(button);
    EXPECT_TRUE(dialog.WaitClosed());
    return shown;
  }
  // Message index with the path in place of its "%s".
  std::wstring Message(int index, const std::wstring& relative = L"") const {
    std::wstring text = harness::Wide(harness::StandardMessages()[index]);
    const size_t at = text.find(L"%s");
    return at == std::wstring::npos ? text : text.replace(at, 2, Path(relative));
  }

  pack::Payload payload = harness::StandardPayload();
  harness::Process process;

 private:
  std::vector<HWND> handled_;
  std::vector<std::wstring> sharedValues_;
};

}  // namespace files
