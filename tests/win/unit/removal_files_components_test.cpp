// Component unregistration in this process: through regsvr32 as an NT 6
// system does it, in-process otherwise or when the child cannot be started,
// and a component that faults inside DllUnregisterServer.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "driver_test_support.h"
#include "harness/harness.h"
#include "platform/system_calls.h"
#include "removal/removal.h"

namespace {

// What the fake CreateProcessW was given, and what it does with it.
enum class Child { Start, Fail, ExitWith259 } childMode;
std::wstring childProgram, childCommand;

BOOL WINAPI FakeCreateProcess(LPCWSTR program, LPWSTR command, LPSECURITY_ATTRIBUTES a, LPSECURITY_ATTRIBUTES b,
                              BOOL inherit, DWORD flags, LPVOID environment, LPCWSTR folder, LPSTARTUPINFOW startup,
                              LPPROCESS_INFORMATION info) {
  childProgram = program != nullptr ? program : L"(none)";
  childCommand = command;
  if (childMode == Child::Fail) return SetLastError(ERROR_FILE_NOT_FOUND), FALSE;
  wchar_t line[] = L"cmd /c exit 259";
  if (childMode == Child::ExitWith259) program = nullptr, command = line;
  return CreateProcessW(program, command, a, b, inherit, flags, environment, folder, startup, info);
}

EXCEPTION_REGISTRATION_RECORD* ChainHead() {
  EXCEPTION_REGISTRATION_RECORD* head;
  asm volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}

class Components : public RunTest {
 protected:
  void SetUp() override {
    RunTest::SetUp();
    sys.CreateProcessW = FakeCreateProcess;
    childMode = Child::Start;
  }
  void TearDown() override {
    sys = saved_;
    RunTest::TearDown();
  }
  // Installs the embedded component as lib\<name> and puts its path in
  // workPath, as the file phase does.
  std::wstring Install(const wchar_t* resource, const std::wstring& name) {
    harness::Bytes dll;
    EXPECT_TRUE(harness::LoadEmbeddedFile(resource, &dll) && sandbox.WriteFile(L"lib\\" + name, dll));
    wcscpy(run.workPath, sandbox.Path(L"lib\\" + name).c_str());
    return run.workPath;
  }
  // The component's log: one "<program>|<current folder>" line per call.
  std::string Log(const std::wstring& component) {
    harness::Bytes log;
    harness::ReadWholeFile(component + L".log", &log);
    return std::string(log.begin(), log.end());
  }
  harness::Sandbox sandbox;
  const SystemCallTable saved_ = sys;
};

// regsvr32 is never found by search in the program's or the current folder;
// a child that exits with 259 (STILL_ACTIVE) does not hold the wait.
TEST_F(Components, OnNt6RegsvrUnregistersByItsFullPathAndItsEndEndsTheWait) {
  run.isNT6 = true;
  const std::wstring component = Install(L"RETRAX_TEST_COMPONENT_DLL", L"component.dll");
  UnregisterComponent();
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  EXPECT_EQ(childProgram, std::wstring(system) + L"\\regsvr32.exe");
  EXPECT_EQ(childCommand, L"regsvr32 /u /s \"" + component + L"\"");
  EXPECT_EQ(Log(component).substr(0, 13), "regsvr32.exe|");
  EXPECT_STREQ(run.workPath, component.c_str()) << "the file phase deletes what workPath names next";

  childMode = Child::ExitWith259;
  const DWORD start = GetTickCount();
  UnregisterComponent();
  EXPECT_LT(GetTickCount() - start, 20000u);
}

// Below NT 6, or when regsvr32 cannot be started, the call is made in this
// process from the component's folder: three faults in a row, each
// contained, leave the thread's exception chain as it was (a fault after the
// guard must reach the handlers it had).
TEST_F(Components, InProcessFaultsInsideTheComponentAreContained) {
  const std::wstring component = Install(L"RETRAX_TEST_COMPONENT_CRASH_DLL", L"crash.dll");
  EXCEPTION_REGISTRATION_RECORD* const head = ChainHead();
  childMode = Child::Fail;
  for (int i = 0; i < 3; ++i) {
    run.isNT6 = i == 2;
    UnregisterComponent();
  }
  EXPECT_EQ(ChainHead(), head);
  const std::string line = "retrax_win_unit.exe|" + harness::Narrow(sandbox.Path(L"lib")) + "\n";
  EXPECT_EQ(Log(component), line + line + line);
  EXPECT_EQ(GetModuleHandleW(L"crash.dll"), nullptr) << "the library is freed after the fault";
}

}  // namespace
