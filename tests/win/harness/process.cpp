#include "harness/process.h"

#include <stdio.h>

#include <sstream>

#include "harness/harness.h"

namespace harness {

namespace {

std::wstring FolderOf(const std::wstring& program) {
  const size_t cut = program.find_last_of(L'\\');
  return cut == std::wstring::npos ? std::wstring() : program.substr(0, cut);
}

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) c = (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
  return text;
}

}  // namespace

Process::~Process() {
  if (!process_) return;
  Kill();
  CloseHandle(process_);
  if (job_) CloseHandle(job_);  // kills whatever the job still holds
}

void Process::SetEnvironment(const std::wstring& name, const std::wstring& value) {
  environment_[name] = value;
}

std::vector<wchar_t> Process::EnvironmentBlock() const {
  // Names compare without case, as Windows compares them; the block is kept
  // sorted the same way, as CreateProcess expects.
  std::map<std::wstring, std::wstring> variables;
  if (wchar_t* strings = GetEnvironmentStringsW()) {
    for (const wchar_t* entry = strings; *entry; entry += wcslen(entry) + 1) {
      const wchar_t* equals = wcschr(entry + 1, L'=');  // "=C:=C:\..." entries start with '='
      if (!equals) continue;
      const std::wstring name(entry, equals);
      variables[Upper(name)] = entry;
    }
    FreeEnvironmentStringsW(strings);
  }
  for (const auto& change : environment_) {
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

bool Process::Start(const std::wstring& program, const std::wstring& arguments, const std::wstring& folder) {
  std::wstring commandLine = L"\"" + program + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  return Launch(program, commandLine, folder);
}

bool Process::StartWithCommandLine(const std::wstring& program, const std::wstring& commandLine,
                                   const std::wstring& folder) {
  return Launch(program, commandLine, folder);
}

bool Process::Launch(const std::wstring& program, std::wstring commandLine, const std::wstring& folder) {
  if (process_) return false;  // one run per Process
  const std::wstring startFolder = folder.empty() ? FolderOf(program) : folder;
  std::vector<wchar_t> environment = EnvironmentBlock();
  commandLine.push_back(L'\0');

  // Suspended until it is in the job, so that nothing it starts can escape.
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
  if (!CreateProcessW(program.c_str(), &commandLine[0], NULL, NULL, FALSE,
                      CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT, environment.data(),
                      startFolder.empty() ? NULL : startFolder.c_str(), &startup, &info)) {
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

bool Process::Ended() const {
  return process_ && WaitForSingleObject(process_, 0) == WAIT_OBJECT_0;
}

bool Process::Wait(DWORD timeoutMs) {
  if (!process_) return false;
  if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return false;
  GetExitCodeProcess(process_, &exitCode_);
  return true;
}

RunResult Process::Finish(DWORD timeoutMs) {
  RunResult result;
  result.started = started();
  if (!result.started) return result;
  if (!Wait(timeoutMs)) {
    timedOut_ = true;
    Kill();
  }
  result.timedOut = timedOut_;
  result.exitCode = exitCode_;
  return result;
}

void Process::Kill() {
  if (!process_) return;
  if (job_) TerminateJobObject(job_, 0xDEADu);
  if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) TerminateProcess(process_, 0xDEADu);
  WaitForSingleObject(process_, 5000);
  // Until the last one has gone, its files may still be held open.
  if (job_) WaitForDescendants(5000);
  GetExitCodeProcess(process_, &exitCode_);
}

bool Process::WaitForDescendants(DWORD timeoutMs) {
  if (!job_) return Wait(timeoutMs);
  const DWORD start = GetTickCount();
  for (;;) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    if (!QueryInformationJobObject(job_, JobObjectBasicAccountingInformation, &accounting, sizeof(accounting),
                                   NULL)) {
      return false;
    }
    if (accounting.ActiveProcesses == 0) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(20);
  }
}

::testing::AssertionResult ExitedWith(const RunResult& result, DWORD expected) {
  if (result.started && !result.timedOut && result.exitCode == expected) {
    return ::testing::AssertionSuccess();
  }
  char text[64];
  snprintf(text, sizeof(text), "expected exit code 0x%08lX, got ", static_cast<unsigned long>(expected));
  std::ostringstream described;
  PrintTo(result, &described);
  return ::testing::AssertionFailure() << text << described.str();
}

void PrintTo(const RunResult& result, std::ostream* out) {
  char text[96];
  snprintf(text, sizeof(text), "{started %d, timedOut %d, exitCode 0x%08lX", result.started ? 1 : 0,
           result.timedOut ? 1 : 0, static_cast<unsigned long>(result.exitCode));
  *out << text;
  for (const ShownDialog& dialog : result.dialogs) {
    *out << ", dialog \"" << Narrow(dialog.caption) << "\": \"" << Narrow(dialog.text) << "\"";
  }
  *out << "}";
}

}  // namespace harness
