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
// What the base payload lists (cache\old.tmp for the tree cache\*.tmp).
const wchar_t* const kAppFiles[] = {L"App\\app.exe", L"App\\data\\settings.ini", L"App\\cache\\old.tmp"};

class HostileScenario : public harness::MarkedScenario {
 protected:
  void SetUp() override {
    harness::MarkedScenario::SetUp();
    ASSERT_NO_FATAL_FAILURE(PlaceMarkers());
    ASSERT_TRUE(InstallApp());
  }

  bool InstallApp() {
    for (const wchar_t* file : kAppFiles)
      if (!Install(file)) return false;
    return true;
  }
  std::vector<std::wstring> AppRemoved() const {
    std::vector<std::wstring> removed;
    for (const wchar_t* file : kAppFiles)
      if (!sandbox.Exists(file)) removed.push_back(file);
    return removed;
  }

  // Every box answered with OK (Cancel where there is none).
  harness::RunOptions Options(DWORD limitMs = kRunLimitMs) const {
    harness::RunOptions options;
    options.dismissDialogs = true;
    options.sandbox = &sandbox;
    options.timeoutMs = limitMs;
    return options;
  }

  // Writes App\uninstall.exe with payload and runs it with arguments.
  harness::RunResult Run(const Bytes& payload, const std::wstring& arguments = L"/S", DWORD limitMs = kRunLimitMs) {
    program = sandbox.WriteUninstaller(L"App\\uninstall.exe", payload);
    EXPECT_FALSE(program.empty());
    return harness::RunProgram(program, arguments, Options(limitMs));
  }

  // Exit 0 without a box, or -1 after one report (expected text and
  // caption, when c gives them) with nothing of App removed; no marker lost
  // and nothing left in the run's temporary folder either way.
  void ExpectOutcome(const harness::RunResult& run, bool completes, const Case* c = nullptr) {
    if (completes) {
      EXPECT_TRUE(harness::ExitedWith(run, 0));
      EXPECT_EQ(run.dialogs.size(), 0u) << "a silent run that read its payload shows nothing";
    } else {
      EXPECT_TRUE(harness::ExitedWith(run, kFailed));
      ASSERT_EQ(run.dialogs.size(), 1u) << "one report";
      if (c != nullptr) {
        EXPECT_EQ(run.dialogs[0].text, harness::Wide(c->report.For(harness::U16(program))));
        const std::wstring caption = harness::Wide(c->report.caption);
        EXPECT_EQ(run.dialogs[0].caption, caption.substr(0, run.dialogs[0].caption.size()));
        EXPECT_EQ(run.dialogs[0].caption.empty(), caption.empty());
      }
      EXPECT_EQ(AppRemoved(), std::vector<std::wstring>{}) << "a damaged payload removes nothing";
    }
    EXPECT_EQ(TempLeftovers(), std::vector<std::wstring>{}) << "the run's temporary folder is left as it was";
    EXPECT_TRUE(MarkersInPlace());
  }

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
      SCOPED_TRACE(c.name + ": " + c.why);
      ASSERT_TRUE(InstallApp());
      ExpectOutcome(Run(c.payload), c.outcome == Outcome::kCompletes, &c);
    }
  }

  std::wstring program;
};

}  // namespace hostile
