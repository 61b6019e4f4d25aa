// A program under test, started without waiting: the test drives its
// windows while it runs, then waits for its exit code with a time limit.
//
// Every Process runs in a job object of its own, so that whatever it starts
// (the self-removal copy, a launched program) is ended with it: a test that
// fails half-way, or forgets to wait, never leaves a process behind. The
// destructor kills what still runs.
#pragma once
#include <windows.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace harness {

enum : DWORD { kDefaultRunTimeoutMs = 30000 };

// A dialog or message box the program showed while RunProgram waited.
struct ShownDialog {
  std::wstring caption;
  std::wstring text;  // a message box's text (its static control 0xFFFF)
};

struct RunResult {
  bool started = false;   // CreateProcessW succeeded
  bool timedOut = false;  // killed at the time limit
  DWORD exitCode = 0;     // as GetExitCodeProcess reports it: -1 is 0xFFFFFFFF
  std::vector<ShownDialog> dialogs;  // recorded only with dismissDialogs
};

class Process {
 public:
  Process() = default;
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Changes the child's environment, applied at Start (the test's own stays
  // as it is). An empty value removes the variable.
  void SetEnvironment(const std::wstring& name, const std::wstring& value);

  // Starts program with the command line "program" arguments; the current
  // folder is folder, or the program's own folder when empty.
  bool Start(const std::wstring& program, const std::wstring& arguments = L"",
             const std::wstring& folder = L"");
  // Starts program with exactly this command line, as a shell or an
  // installer that forgot the quotes would (the child's GetCommandLineW).
  bool StartWithCommandLine(const std::wstring& program, const std::wstring& commandLine,
                            const std::wstring& folder = L"");

  bool started() const { return process_ != NULL; }
  DWORD id() const { return id_; }
  HANDLE handle() const { return process_; }
  // Milliseconds since Start.
  DWORD ElapsedMs() const { return GetTickCount() - startTick_; }

  // True once the program has ended (immediately, no waiting).
  bool Ended() const;
  // Waits up to timeoutMs; true when the program ended, whose code is then
  // in exitCode(). It is not killed here.
  bool Wait(DWORD timeoutMs = kDefaultRunTimeoutMs);
  DWORD exitCode() const { return exitCode_; }
  // Waits up to timeoutMs and kills the program (and what it started) at the
  // limit. The result is the one ExitedWith checks.
  RunResult Finish(DWORD timeoutMs = kDefaultRunTimeoutMs);
  // Ends the program and everything in its job now, and waits until they
  // are gone.
  void Kill();
  // True when neither the program nor anything it started (directly or
  // further down: the self-removal copy) still runs, waiting up to
  // timeoutMs for them to end. A test of a copy that outlives the program
  // waits here before it looks; the destructor kills what is left.
  bool WaitForDescendants(DWORD timeoutMs);

 private:
  bool Launch(const std::wstring& program, std::wstring commandLine, const std::wstring& folder);
  std::vector<wchar_t> EnvironmentBlock() const;

  std::map<std::wstring, std::wstring> environment_;
  HANDLE process_ = NULL;
  HANDLE job_ = NULL;
  DWORD id_ = 0;
  DWORD startTick_ = 0;
  DWORD exitCode_ = STILL_ACTIVE;
  bool timedOut_ = false;
};

// EXPECT_TRUE(ExitedWith(run, 0)): the program started, ended within its
// time limit and returned that code; the failure message shows the run.
::testing::AssertionResult ExitedWith(const RunResult& result, DWORD expected);
void PrintTo(const RunResult& result, std::ostream* out);

}  // namespace harness
