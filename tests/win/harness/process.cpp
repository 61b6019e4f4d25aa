#include "harness/process.h"

#include <stdio.h>

#include "harness/harness.h"

namespace harness {

namespace {

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) c = (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
  return text;
}

// This process's environment with the changes, sorted by name without
// case, as CreateProcessW expects it.
std::vector<wchar_t> EnvironmentBlock(const std::map<std::wstring, std::wstring>& changes) {
  std::map<std::wstring, std::wstring> variables;
  if (wchar_t* strings = GetEnvironmentStringsW()) {
    for (const wchar_t* entry = strings; *entry; entry += wcslen(entry) + 1) {
      const wchar_t* equals = wcschr(entry + 1, L'=');  // "=C:=C:\..." entries start with '='
      if (equals) variables[Upper(std::wstring(entry, equals))] = entry;
    }
    FreeEnvironmentStringsW(strings);
  }
  for (const auto& change : changes) {
    if (change.second.empty()) {
      variables.erase(Upper(change.first));
    } else {
      variables[Upper(change.first)] = change.first + L"=" + change.second;
    }
  }
  std::vector<wchar_t> block;
  for (const auto& variable : variables) {
    block.insert(block.end(), variable.second.begin(), variable.second.end());
    block.push_back(L'\0');
  }
  block.push_back(L'\0');
  return block;
}

}  // namespace

Process::~Process() {
  if (!process_) return;
  Kill();
  CloseHandle(process_);
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
  std::vector<wchar_t> environment = EnvironmentBlock(environment_);
  commandLine.push_back(L'\0');
  job_ = CreateJobObjectW(NULL, NULL);
  if (job_) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  startTick_ = GetTickCount();
  // Suspended until it is in the job, so that nothing it starts escapes.
  if (!CreateProcessW(program.c_str(), &commandLine[0], NULL, NULL, FALSE,
                      CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT, environment.data(), startFolder.c_str(), &startup,
                      &info)) {
    if (job_) CloseHandle(job_);
    job_ = NULL;
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
  // Until the last one has gone, its files may still be held open.
  if (job_) WaitForDescendants(5000);
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
  char text[128];
  snprintf(text, sizeof(text), "expected exit code 0x%08lX, got {started %d, timedOut %d, exitCode 0x%08lX",
           static_cast<unsigned long>(expected), result.started ? 1 : 0, result.timedOut ? 1 : 0,
           static_cast<unsigned long>(result.exitCode));
  ::testing::AssertionResult failure = ::testing::AssertionFailure() << text;
  for (const ShownDialog& dialog : result.dialogs) {
    failure << ", dialog \"" << Narrow(dialog.caption) << "\": \"" << Narrow(dialog.text) << "\"";
  }
  return failure << "}";
}

}  // namespace harness
