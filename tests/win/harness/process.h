// A program under test, started without waiting: the test drives its
// windows while it runs. Each runs in a job object of its own, so that what
// it starts (the self-removal copy, a launched program) ends with it.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace harness {

enum : DWORD { kDefaultRunTimeoutMs = 30000 };

// A dialog answered while RunProgram or FinishAnswering waited.
struct ShownDialog {
  std::wstring caption, text;
};

struct RunResult {
  bool started = false, timedOut = false;  // timedOut: killed at the limit
  DWORD exitCode = 0;                      // -1 reads 0xFFFFFFFF
  std::vector<ShownDialog> dialogs;
};

// Variables of this process, set until it goes (for what the code under
// test starts in-process, and for Process::Start); "" removes one.
class ScopedEnvironment {
 public:
  ScopedEnvironment() = default;
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment();
  void Set(const std::wstring& name, const std::wstring& value);

 private:
  std::vector<std::pair<std::wstring, std::wstring>> saved_;  // with "\n" for none
};

class Process {
 public:
  Process() = default;
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  // For the child, at Start; "" removes the variable.
  void SetEnvironment(const std::wstring& name, const std::wstring& value) { environment_[name] = value; }
  // Command line "program" arguments, in folder or else the program's own.
  bool Start(const std::wstring& program, const std::wstring& arguments = L"", const std::wstring& folder = L"");
  // Exactly this command line, as a shell or an installer that forgot the
  // quotes would give it.
  bool StartWithCommandLine(const std::wstring& program, const std::wstring& commandLine);

  bool started() const { return process_ != NULL; }
  DWORD id() const { return id_; }
  HANDLE handle() const { return process_; }
  DWORD ElapsedMs() const { return GetTickCount() - startTick_; }
  bool Ended() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; }
  // Waits without killing; true when it ended, its code in exitCode().
  bool Wait(DWORD timeoutMs);
  DWORD exitCode() const { return exitCode_; }
  // Waits, killing it and what it started at the limit.
  RunResult Finish(DWORD timeoutMs = kDefaultRunTimeoutMs);
  // True once nothing it started (the self-removal copy) still runs.
  bool WaitForDescendants(DWORD timeoutMs);

 private:
  bool Launch(const std::wstring& program, std::wstring commandLine, const std::wstring& folder);
  void Kill();

  std::map<std::wstring, std::wstring> environment_;
  HANDLE process_ = NULL, job_ = NULL;
  DWORD id_ = 0, startTick_ = 0, exitCode_ = STILL_ACTIVE;
};

// EXPECT_TRUE(ExitedWith(run, 0)): started, ended in time, with that code.
::testing::AssertionResult ExitedWith(const RunResult& result, DWORD expected);

}  // namespace harness
