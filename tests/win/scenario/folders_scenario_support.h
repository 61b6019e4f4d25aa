// Shared steps of the registry, hostile and sentinel scenarios: the
// uninstaller in the sandbox's "App" folder, run silently (/S: no questions,
// no self-removal) as an installer's silent uninstall runs it.
#pragma once
#include <shlobj.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "harness/harness.h"

namespace harness {

class RemovalScenario : public ScenarioTest {
 protected:
  // Writes App\uninstall.exe with the payload and runs it with /S from
  // folder (App when empty), with extra environment over the sandbox's.
  RunResult RunUninstaller(const pack::Payload& payload,
                           const std::vector<std::pair<std::wstring, std::wstring>>& environment = {},
                           const std::wstring& folder = L"") {
    const std::wstring program = sandbox.WriteUninstaller(L"App\\uninstall.exe", payload);
    EXPECT_FALSE(program.empty());
    Process process;
    sandbox.PrepareProcess(&process);
    for (const auto& variable : environment) process.SetEnvironment(variable.first, variable.second);
    EXPECT_TRUE(process.Start(program, L"/S", folder));
    return process.Finish();
  }
  bool Install(const std::wstring& relative, DWORD attributes = 0) { return sandbox.InstallFile(relative, attributes); }
  std::u16string At(const std::wstring& relative) const { return U16(sandbox.Path(relative)); }
};

// The shell's folder of a CSIDL, or "" when it has none here.
inline std::wstring ShellFolder(int csidl) {
  wchar_t path[MAX_PATH];
  return SHGetFolderPathW(nullptr, csidl, nullptr, 0, path) == S_OK ? path : L"";
}

}  // namespace harness
