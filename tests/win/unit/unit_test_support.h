// Shared set-up of the unit tests: the run state put back after a test, the
// ANSI table for a test, a sandbox whose "temp" folder is the temporary one,
// and a run prepared as the program does, its payload built in memory.
#pragma once
#include "driver/driver.h"
#include "driver/run_state.h"
#include "harness/harness.h"
#include "payload/memory.h"
#include "platform/system_calls.h"
#include "ui/ui.h"

struct SavedRunState {
  ~SavedRunState() {
    run = state;
    sys = calls;
  }
  const RunState state = run;
  const SystemCallTable calls = sys;
};

// The ANSI adapters or the wide functions, and the wide ones again after:
// the program never switches, but each adapter is checked against the
// real ANSI function.
struct TableSelection {
  explicit TableSelection(bool wide) { SelectSystemCallsForPlatform(wide); }
  ~TableSelection() { SelectSystemCallsForPlatform(true); }
};

class ScratchFolder : public harness::Sandbox {
 public:
  ScratchFolder() {
    EXPECT_TRUE(MakeFolder(L"temp"));
    for (const wchar_t* name : {L"TMP", L"TEMP"}) environment_.Set(name, Temp());
  }
  std::wstring Temp(const std::wstring& name = L"") const { return Path(name.empty() ? L"temp" : L"temp\\" + name); }

 private:
  harness::ScopedEnvironment environment_;
};

class RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    run = RunState();
    uninstallData = UninstallData();
    ASSERT_TRUE(InitialiseRun(GetModuleHandleW(nullptr)));
  }
  // The main window class too, so that the next test starts as a process.
  void TearDown() override {
    sys = savedCalls_;
    if (run.mainWindow != nullptr) DestroyMainWindow();
    ReleaseUninstallData();
    TeardownRun();
    UnregisterClassW(kMainWindowClass, GetModuleHandleW(nullptr));
  }
  void Load(const pack::Payload& payload) {
    const pack::Bytes bytes = pack::EncodePayload(payload);
    MemorySource memory = {bytes.data(), bytes.size(), 0};
    PayloadSource source = MakeMemorySource(&memory);
    ASSERT_EQ(ReadPayloadChunks(&source, &uninstallData), PAYLOAD_OK);
  }

 private:
  const SystemCallTable savedCalls_ = sys;
};
