// Shared set-up of the platform, path and loader tests: the ANSI table for
// the span of a test, and a sandbox whose "temp" folder is the temporary one.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "harness/harness.h"
#include "platform/system_calls.h"

// Switches the table to the ANSI adapters and back to the wide functions,
// as the program itself never does, so that each adapter can be checked
// against the real ANSI function.
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
