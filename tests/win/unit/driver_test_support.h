// Shared set-up of the driver and user-interface tests: a run prepared as
// the program prepares it, with payload data read from a payload built in
// memory, and everything released again at the end of each test.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include "driver/driver.h"
#include "driver/run_state.h"
#include "payload/memory.h"
#include "payload/writer.h"
#include "ui/ui.h"

class RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    run = RunState();
    uninstallData = UninstallData();
    ASSERT_TRUE(InitialiseRun(GetModuleHandleW(nullptr)));
  }
  // The main window class too, so that the next test starts as a process.
  void TearDown() override {
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
};
