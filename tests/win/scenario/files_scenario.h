// Shared steps of the file-phase scenarios: files installed in the
// sandbox's "App" folder, a payload listing them, the uninstaller written
// beside them and run, and the program's questions answered one by one.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "harness/harness.h"

namespace files {

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
  // Which of the files App\<name> are still there, joined by spaces.
  std::string Left(std::initializer_list<const wchar_t*> names) const {
    std::string left;
    for (const wchar_t* name : names)
      if (Exists(std::wstring(L"App\\") + name)) left += (left.empty() ? "" : " ") + harness::Narrow(name);
    return left;
  }
  // Writes App\uninstall.exe and starts it with the arguments, from folder
  // (its own when empty).
  void Start(const std::wstring& arguments = L"/S", const std::wstring& folder = L"") {
    const std::wstring program = sandbox.WriteUninstaller(L"App\\uninstall.exe", payload);
    ASSERT_FALSE(program.empty());
    sandbox.PrepareProcess(&process);
    ASSERT_TRUE(process.Start(program, arguments, folder));
  }
  // Presses the button: Escape for 0, Enter for -1.
  static void Press(const harness::Dialog& dialog, int button) {
    if (button == 0) dialog.PressEsc();
    if (button < 0) dialog.PressEnter();
    if (button > 0) dialog.Press(button);
    EXPECT_TRUE(dialog.WaitClosed());
  }
  // Waits for the next box of the run, expects message index in it (with
  // the path of relative for its "%s") and presses the button.
  void Answer(int button, int index, const std::wstring& relative = L"") {
    const std::wstring text = harness::Message(index, relative.empty() ? L"" : Path(relative));
    const harness::Dialog dialog = dialogs.Next();
    ASSERT_TRUE(dialog) << harness::Narrow(text);
    EXPECT_EQ(harness::Narrow(dialog.Text()), harness::Narrow(text));
    Press(dialog, button);
  }

  pack::Payload payload = harness::StandardPayload();
  harness::Process process;
  harness::DialogSequence dialogs{process};
};

}  // namespace files
