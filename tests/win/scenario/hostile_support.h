// Shared steps of the hostile-payload scenarios: markers in every protected
// folder and beside App, the application the base payload lists, and runs
// of App\uninstall.exe whose every box is recorded and answered, so that a
// damaged payload's report (shown even in a silent run) never holds a run.
//
// A run may end in only three ways: with 0, with -1 after the report, or as
// a failure of the test: a crash (exit 0xC0000005; the prefix shows no
// crash dialog), a hang (killed at the time limit), or a lost marker.
#pragma once
#include <string>
#include <vector>

#include "hostile/hostile_payloads.h"
#include "sentinel_markers.h"

namespace hostile {

const DWORD kFailed = 0xFFFFFFFFu;  // exit code -1
// Generous for a payload of a few KB, which takes a fraction of a second;
// a hang shows as this limit reached.
const DWORD kRunLimitMs = 15000;

class HostileScenario : public harness::MarkedScenario {
 protected:
  void SetUp() override {
    harness::MarkedScenario::SetUp();
    ASSERT_NO_FATAL_FAILURE(PlaceMarkers());
    ASSERT_TRUE(InstallApp());
  }

  // What the base payload lists, (re)installed: App\app.exe,
  // App\data\settings.ini, and App\cache\old.tmp for the tree cache\*.tmp.
  bool InstallApp() {
    return Install(L"App\\app.exe") && Install(L"App\\data\\settings.ini") && Install(L"App\\cache\\old.tmp");
  }
  std::vector<std::wstring> AppRemoved() const {
    std::vector<std::wstring> removed;
    for (const wchar_t* item : {L"App\\app.exe", L"App\\data\\settings.ini", L"App\\cache\\old.tmp"})
      if (!sandbox.Exists(item)) removed.push_back(item);
    return removed;
  }

  // Writes App\uninstall.exe with payload and runs it with arguments,
  // answering every box with OK (Cancel where there is none).
  harness::RunResult Run(const Bytes& payload, const std::wstring& arguments = L"/S",
                         DWORD limitMs = kRunLimitMs) {
    program = sandbox.WriteUninstaller(L"App\\uninstall.exe", payload);
    EXPECT_FALSE(program.empty());
    harness::RunOptions options;
    options.dismissDialogs = true;
    options.sandbox = &sandbox;
    options.timeoutMs = limitMs;
    return harness::RunProgram(program, arguments, options);
  }

  // The run of c ended as c expects: exit 0 without a box, or -1 after one
  // report box with the expected text and caption, nothing of App removed.
  // No marker lost either way.
  void ExpectOutcome(const Case& c, const harness::RunResult& run) {
    SCOPED_TRACE(c.name + ": " + c.why);
    if (c.outcome == Outcome::kCompletes) {
      EXPECT_TRUE(harness::ExitedWith(run, 0));
      EXPECT_EQ(run.dialogs.size(), 0u) << "a silent run that read its payload shows nothing";
    } else {
      EXPECT_TRUE(harness::ExitedWith(run, kFailed));
      ASSERT_EQ(run.dialogs.size(), 1u) << "one report";
      EXPECT_EQ(run.dialogs[0].text, harness::Wide(c.report.For(harness::U16(program))));
      const std::wstring caption = harness::Wide(c.report.caption);
      EXPECT_EQ(run.dialogs[0].caption, caption.substr(0, run.dialogs[0].caption.size()));
      EXPECT_EQ(run.dialogs[0].caption.empty(), caption.empty());
      EXPECT_EQ(AppRemoved(), std::vector<std::wstring>{}) << "a damaged payload removes nothing";
    }
    EXPECT_EQ(TempLeftovers(), std::vector<std::wstring>{}) << "the run's temporary folder is left as it was";
    EXPECT_TRUE(MarkersInPlace());
  }

  // What the runs left in their temporary folder besides its markers.
  std::vector<std::wstring> TempLeftovers() const {
    std::vector<std::wstring> left;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(sandbox.Path(L"temp\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return left;
    do {
      const std::wstring name = found.cFileName;
      if (name != L"." && name != L".." && name.compare(0, 16, L"retrax-sentinel-") != 0) left.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return left;
  }

  // Runs every case silently, each with the application installed afresh.
  void RunCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      ASSERT_TRUE(InstallApp());
      ExpectOutcome(c, Run(c.payload));
    }
  }

  std::wstring program;
};

}  // namespace hostile
