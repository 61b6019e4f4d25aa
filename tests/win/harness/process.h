// A program under test, started without waiting: the test drives its
// windows while it runs, then waits for its exit code with a time limit.
//
// Every Process runs in a job object of its own, so that whatever it starts
// (the self-removal copy, a launched program) ends with it: a test that
// fails half-way never leaves a process behind.
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace harness {

enum : DWORD { kDefaultRunTimeoutMs = 30000 };

// A dialog the program showed while RunProgram or FinishAnswering waited.
struct ShownDialog {
  std::wstring caption;
  std::wstring text;
};

struct RunResult {
  bool started = false;              // CreateProcessW succeeded
  bool timedOut = false;             // killed at the time limit
  DWORD exitCode = 0;                // as GetExitCodeProcess reports it: -1 is 0xFFFFFFFF
  std::vector<ShownDialog> dialogs;  // those answered on the way
};

class Process {
 public:
  Process() = default;
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Changes the child's environment at Start; an empty value removes the
  // variable.
  void SetEnvironment(const std::wstring& name, const std::wstring& value) { environment_[name] = value; }

  // Starts program with the command line "program" arguments, in folder or
  // else the program's own folder.
  bool Start(const std::wstring& program, const std::wstring& arguments = L"", const std::wstring& folder = L"");
  // Starts program with exactly this command line, as a shell or an
  // installer that forgot the quotes would.
  bool StartWithCommandLine(const std::wstring& program, const std::wstring& commandLine);

  bool started() const { return process_ != NULL; }
  DWORD id() const { return id_; }
  HANDLE handle() const { return process_; }
  DWORD ElapsedMs() const { return GetTickCount() - startTick_; }
  bool Ended() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; }

  // Waits up to timeoutMs without killing; true when the program ended,
  // with its code in exitCode().
  bool Wait(DWORD timeoutMs);
  DWORD exitCode() const { return exitCode_; }
  // Waits up to timeoutMs, killing the program (and what it started) at
  // the limit; the result is the one ExitedWith checks.
  RunResult Finish(DWORD timeoutMs = kDefaultRunTimeoutMs);
  // True when nothing the program started (the self-removal copy) still
  // runs, waiting up to timeoutMs for them to end.
  bool WaitForDescendants(DWORD timeoutMs);

 private:
  bool Launch(const std::wstring& program, std::wstring commandLine, const std::wstring& folder);
  void Kill();

  std::map<std::wstring, std::wstring> environment_;
  HANDLE process_ = NULL;
  HANDLE job_ = NULL;
  DWORD id_ = 0;
  DWORD startTick_ = 0;
  DWORD exitCode_ = STILL_ACTIVE;
};

// EXPECT_TRUE(ExitedWith(run, 0)): the program started, ended within its
// time limit and returned that code; the failure message shows the run.
::testing::AssertionResult ExitedWith(const RunResult& result, DWORD expected);

}  // namespace harness
