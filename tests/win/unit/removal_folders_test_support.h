// Shared set-up of the in-process tests of the folder phases: a run whose
// installDir is the sandbox's "app" folder, payload lists read as the
// program reads them, and the system calls, working folder and temporary
// folder a test changes put back afterwards.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "driver/run_state.h"
#include "harness/harness.h"
#include "paths/folder_macros.h"
#include "payload/memory.h"
#include "payload/writer.h"
#include "platform/system_calls.h"
#include "removal/removal.h"

class PhaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sandbox.ok() && sandbox.MakeFolder(L"app"));
    GetCurrentDirectoryW(MAX_PATH, savedFolder_);
    hadTemp_ = GetEnvironmentVariableW(L"TMP", savedTemp_, MAX_PATH) - 1 < MAX_PATH - 1;
    run.isNT = true;
    run.workPath = workPath_;
    run.installDir = installDir_;
    run.progressTotal = 0;
    wcscpy(installDir_, (sandbox.Path(L"app") + L"\\").c_str());
    live_ = MemLiveBlocks();
  }
  void TearDown() override {
    ReleasePayloadBlocks(&uninstallData);
    sys = savedTable_;
    run = savedRun_;
    SetCurrentDirectoryW(savedFolder_);  // out of the sandbox, so it can go
    SetEnvironmentVariableW(L"TMP", hadTemp_ ? savedTemp_ : nullptr);
    ResetProtectedFolders();
    EXPECT_EQ(MemLiveBlocks(), live_);
  }
  void Load(const pack::Payload& payload) {
    ReleasePayloadBlocks(&uninstallData);
    const pack::Bytes bytes = pack::EncodePayload(payload);
    MemorySource memory = {bytes.data(), bytes.size(), 0};
    PayloadSource source = MakeMemorySource(&memory);
    ASSERT_EQ(ReadPayloadChunks(&source, &uninstallData), PAYLOAD_OK);
  }
  // Makes sandbox\relative the temporary folder, one of the protected ones.
  void ProtectAsTemp(const std::wstring& relative) {
    ASSERT_TRUE(sandbox.MakeFolder(relative));
    SetEnvironmentVariableW(L"TMP", sandbox.Path(relative).c_str());
    ResetProtectedFolders();
  }
  std::wstring CurrentFolder() {
    wchar_t folder[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, folder);
    return folder;
  }
  std::u16string At(const std::wstring& relative) { return harness::U16(sandbox.Path(relative)); }

  harness::Sandbox sandbox;
  wchar_t installDir_[RX_MAX_PATH] = L"";
  wchar_t workPath_[RX_MAX_PATH] = L"";

 private:
  const RunState savedRun_ = run;
  const SystemCallTable savedTable_ = sys;
  wchar_t savedFolder_[MAX_PATH], savedTemp_[MAX_PATH] = L"";
  bool hadTemp_ = false;
  long live_ = 0;
};
