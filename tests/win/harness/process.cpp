#include "harness/harness.h"

namespace harness {

ScopedEnvironment::~ScopedEnvironment() {
  for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
    SetEnvironmentVariableW(it->first.c_str(), it->second == L"\n" ? nullptr : it->second.c_str());
  }
}

void ScopedEnvironment::Set(const std::wstring& name, const std::wstring& value) {
  wchar_t old[2048];
  const DWORD length = GetEnvironmentVariableW(name.c_str(), old, 2048);
  saved_.push_back({name, length > 0 && length < 2048 ? std::wstring(old, length) : L"\n"});
  SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
}

Process::~Process() {
  if (process_) {
    Kill();
    CloseHandle(process_);
  }
  if (job_) CloseHandle(job_);  // kills whatever the job still holds
}

bool Process::Start(const std::wstring& program, const std::wstring& arguments, const std::wstring& folder) {
  return Launch(program, L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments), folder);
}

bool Process::StartWithCommandLine(const std::wstring& program, const std::wstring& commandLine) {
  return Launch(program, commandLine, L"");
}

bool Process::Launch(const std::wstring& program, std::wstring commandLine, const std::wstring& folder) {
  if (process_) return false;  // one run per Process
  const std::wstring startFolder = folder.empty() ? program.substr(0, program.find_last_of(L'\\')) : folder;
  ScopedEnvironment environment;  // inherited by the child
  for (const auto& change : environment_) environment.Set(change.first, change.second);
  if (!job_) job_ = CreateJobObjectW(NULL, NULL);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job_) SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  startTick_ = GetTickCount();
  // Suspended until it is in the job, so that nothing it starts escapes.
  if (!CreateProcessW(program.c_str(), &commandLine[0], NULL, NULL, FALSE, CREATE_SUSPENDED, NULL, startFolder.c_str(),
                      &startup, &info)) {
    return false;
  }
  if (job_ && !AssignProcessToJobObject(job_, info.hProcess)) {
    CloseHandle(job_);
    job_ = NULL;
  }
  ResumeThread(info.hThread);
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  id_ = info.dwProcessId;
  return true;
}

bool Process::Wait(DWORD timeoutMs) {
  return process_ && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0 &&
         GetExitCodeProcess(process_, &exitCode_);
}

RunResult Process::Finish(DWORD timeoutMs) {
  RunResult result;
  result.started = started();
  if (!result.started) return result;
  result.timedOut = !Wait(timeoutMs);
  if (result.timedOut) Kill();
  GetExitCodeProcess(process_, &exitCode_);
  result.exitCode = exitCode_;
  return result;
}

void Process::Kill() {
  if (job_) TerminateJobObject(job_, 0xDEADu);
  if (!Ended()) TerminateProcess(process_, 0xDEADu);
  WaitForSingleObject(process_, 5000);
  if (job_) WaitForDescendants(5000);  // until the last has gone, files may be held open
}

bool Process::WaitForDescendants(DWORD timeoutMs) {
  if (!job_) return Wait(timeoutMs);
  const DWORD start = GetTickCount();
  for (;;) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    if (!QueryInformationJobObject(job_, JobObjectBasicAccountingInformation, &accounting, sizeof(accounting), NULL)) {
      return false;
    }
    if (accounting.ActiveProcesses == 0) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(20);
  }
}

::testing::AssertionResult ExitedWith(const RunResult& result, DWORD expected) {
  if (result.started && !result.timedOut && result.exitCode == expected) return ::testing::AssertionSuccess();
  ::testing::AssertionResult failure = ::testing::AssertionFailure()
                                       << std::hex << "expected exit code 0x" << expected << ", got {started "
                                       << result.started << ", timedOut " << result.timedOut << ", exitCode 0x"
                                       << result.exitCode;
  for (const ShownDialog& dialog : result.dialogs) {
    failure << ", dialog \"" << Narrow(dialog.caption) << "\": \"" << Narrow(dialog.text) << "\"";
  }
  return failure << "}";
}

}  // namespace harness
