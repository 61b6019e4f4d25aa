// Shared steps of the hostile-payload scenarios: markers, the application
// the base payload lists, and silent runs of App\uninstall.exe whose boxes
// are recorded and answered. A run ends with 0, or with -1 after the report;
// a crash, a hang (killed at the limit) or a lost marker fails the test.
#pragma once
#include <string>
#include <vector>

#include "hostile/hostile_payloads.h"
#include "sentinel_markers.h"

namespace hostile {

const DWORD kFailed = 0xFFFFFFFFu;  // exit code -1
const DWORD kRunLimitMs = 15000;    // a payload of a few KB takes a fraction of a second
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
    bool ok = true;
    for (const wchar_t* file : kAppFiles) ok = ok && sandbox.InstallFile(file, 0);
    return ok;
  }
  harness::RunOptions Options(DWORD limitMs = kRunLimitMs) const {
    harness::RunOptions options;
    options.dismissDialogs = true, options.sandbox = &sandbox, options.timeoutMs = limitMs;
    return options;
  }
  // Writes App\uninstall.exe with payload and runs it silently.
  harness::RunResult Run(const Bytes& payload, DWORD limitMs = kRunLimitMs) {
    program = sandbox.WriteUninstaller(L"App\\uninstall.exe", payload);
    EXPECT_FALSE(program.empty());
    return harness::RunProgram(program, L"/S", Options(limitMs));
  }

  // Exit 0 without a box, or -1 after one report (c's text and caption when
  // given) with nothing of App removed; no marker lost either way, and
  // nothing left in the run's temporary folder but the markers.
  void ExpectOutcome(const harness::RunResult& run, bool completes, const Case* c = nullptr) {
    EXPECT_TRUE(harness::ExitedWith(run, completes ? 0 : kFailed));
    ASSERT_EQ(run.dialogs.size(), completes ? 0u : 1u);
    if (!completes) {
      if (c) {
        EXPECT_EQ(run.dialogs[0].text, harness::Wide(c->report.For(harness::U16(program))));
        EXPECT_EQ(run.dialogs[0].caption, harness::Wide(c->report.caption));
      }
      for (const wchar_t* file : kAppFiles) EXPECT_TRUE(sandbox.Exists(file)) << "a damaged payload removes nothing";
    }
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(sandbox.Path(L"temp\\*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
      EXPECT_EQ(found.cFileName[0] == L'.' || wcsncmp(found.cFileName, L"retrax-sentinel-", 16) == 0, true)
          << "left in the run's temporary folder: " << harness::Narrow(found.cFileName);
    FindClose(search);
    EXPECT_TRUE(MarkersInPlace());
  }

  std::wstring program;
};

}  // namespace hostile
