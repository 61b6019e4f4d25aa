// Shared set-up of the in-process tests of the folder and registry phases:
// a run whose installDir is the sandbox's "app" folder, payload lists read
// as the program reads them, the bar's values as SetProgress sent them, and
// the system calls, folders and temporary folder a test changes put back
// afterwards.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "driver/run_state.h"
#include "harness/harness.h"
#include "paths/folder_macros.h"
#include "payload/memory.h"
#include "payload/writer.h"
#include "platform/system_calls.h"
#include "removal/removal.h"
#include "ui/ui.h"

// Every value SetProgress hands to the bar, repeats included: the bar's
// procedure makes the last value unknown again after each.
inline std::vector<uint32_t>& BarValues() {
  static std::vector<uint32_t> values;
  return values;
}
inline LRESULT CALLBACK RecordingBar(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != PBM_SETPOS) return DefWindowProcW(window, message, wParam, lParam);
  BarValues().push_back((uint32_t)wParam);
  run.lastProgress = 0xFFFFFFFFu;
  return 0;
}

class PhaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sandbox.ok());
    savedRun_ = run;
    savedTable_ = sys;
    GetCurrentDirectoryW(MAX_PATH, savedFolder_);
    hadTemp_ = GetEnvironmentVariableW(L"TMP", savedTemp_, MAX_PATH) - 1 < MAX_PATH - 1;
    run.isNT = true;
    run.workPath = workPath_;
    run.installDir = installDir_;
    run.progressTotal = 0;
    run.progressBar = nullptr;
    wcscpy(installDir_, (sandbox.Path(L"app") + L"\\").c_str());
    ASSERT_TRUE(sandbox.MakeFolder(L"app"));
    BarValues().clear();
    live_ = MemLiveBlocks();
  }
  void TearDown() override {
    ReleasePayloadBlocks(&uninstallData);
    if (run.progressBar != nullptr) DestroyWindow(run.progressBar);
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
  // A bar that records, and the total the driver would set for the lists.
  void RecordBar() {
    run.progressBar = CreateWindowExW(0, L"Static", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(run.progressBar, GWLP_WNDPROC, (LONG_PTR)RecordingBar);
    run.lastProgress = 0xFFFFFFFFu;
    run.progressTotal =
        2 * uninstallData.files.count + uninstallData.shortcuts.count + uninstallData.registry.count;
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
  static std::u16string U16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }
  std::u16string At(const std::wstring& relative) { return U16(sandbox.Path(relative)); }

  harness::Sandbox sandbox;
  wchar_t installDir_[RX_MAX_PATH] = L"";
  wchar_t workPath_[RX_MAX_PATH] = L"";

 private:
  RunState savedRun_;
  SystemCallTable savedTable_;
  wchar_t savedFolder_[MAX_PATH], savedTemp_[MAX_PATH] = L"";
  bool hadTemp_ = false;
  long live_ = 0;
};
