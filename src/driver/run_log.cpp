// The run's log. One heap line buffer, filled and written per line; ASCII
// text that does not fit is cut, a path or command line that does not fit
// the rest of the line is left out (a path of 259 characters always fits).
#include "driver/run_log.h"

#include <stdarg.h>

#include "driver/launch.h"
#include "driver/run_state.h"
#include "paths/canonical_path.h"
#include "paths/folder_macros.h"
#include "paths/path_ops.h"
#include "paths/path_spelling.h"
#include "payload/memory.h"
#include "platform/system_calls.h"
#include "resources/resource.h"

namespace {

enum { LINE_BYTES = 4096, LINE_END_BYTES = 2 };

struct RunLog {
  HANDLE file;  // null without a log
  char* line;
  uint32_t used;
  const char* phase;
  uint32_t counts[4];  // removed, scheduled, not found, kept
};
RunLog logState;

void Put(const char* text) {
  while (*text != 0 && logState.used < LINE_BYTES - LINE_END_BYTES) logState.line[logState.used++] = *text++;
}

// As UTF-8, or left out when it does not fit the rest of the line (a
// path always does).
void PutWide(const wchar_t* text) {
  if (text == nullptr || text[0] == 0) return;
  const int room = LINE_BYTES - LINE_END_BYTES - (int)logState.used;
  // A size of 0 would ask for the length instead of the conversion.
  if (room <= 0) return;
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, logState.line + logState.used, room, nullptr, nullptr);
  if (bytes > 0) logState.used += bytes - 1;  // without the terminator
}

// printf-style through wsprintfA (1024 characters at most, far more than
// any format here makes).
void PutFormat(const char* format, ...) {
  char text[1100];
  va_list arguments;
  va_start(arguments, format);
  wvsprintfA(text, format, arguments);
  va_end(arguments);
  Put(text);
}

void StartLine() {
  if (logState.phase != nullptr) PutFormat("%s: ", logState.phase);
}

void EndLine() {
  logState.line[logState.used++] = '\r';
  logState.line[logState.used++] = '\n';
  DWORD written;
  WriteFile(logState.file, logState.line, logState.used, &written, nullptr);
  logState.used = 0;
}

const char* ElevationText() {
  if (!run.isNT6) return "not applicable";
  HANDLE token;
  TOKEN_ELEVATION elevation = {0};
  DWORD size = 0;
  if (!OpenProcessToken((HANDLE)-1, TOKEN_QUERY, &token)) return "unknown";
  const BOOL known = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
  CloseHandle(token);
  return !known ? "unknown" : elevation.TokenIsElevated ? "yes" : "no";
}

// One write for the header's lines; a command line too long for the
// buffer is left out.
void WriteHeader() {
#ifdef RETRAX_VERSION_STRING
  Put("Retrax uninstall log, version " RETRAX_VERSION_STRING "\r\nProgram: ");
#else
  Put("Retrax uninstall log\r\nProgram: ");
#endif
  wchar_t* program = run.workPath;
  const DWORD length = sys.GetModuleFileNameW(run.instance, program, RX_MAX_PATH);
  if (length != 0 && length < RX_MAX_PATH) PutWide(program);
  Put("\r\nCommand line: ");
  PutWide(GetCommandLineW());
  const OSVERSIONINFOA& version = run.version;
  SYSTEMTIME now;
  GetLocalTime(&now);
  PutFormat("\r\nWindows: %lu.%lu build %lu, %s family\r\nElevated: %s\r\nStarted: %04u-%02u-%02u %02u:%02u:%02u",
            version.dwMajorVersion, version.dwMinorVersion, version.dwBuildNumber & 0xFFFF, run.isNT ? "NT" : "ANSI",
            ElevationText(), now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
  EndLine();
}

const char* AnswerText(int answer) {
  switch (answer) {
    case IDOK:
      return "OK";
    case IDCANCEL:
      return "Cancel";
    case IDRETRY:
      return "Retry";
    case IDYES:
      return "Yes";
    case IDNO:
      return "No";
    case IDC_YES_ALL:
      return "Yes to all";
    case IDC_NO_ALL:
      return "No to all";
  }
  return "none";
}

// Past LOG_NOT_FOUND, the reason an entry was kept.
const char* const kOutcomeTexts[] = {
    "removed", "scheduled for restart", "not found", "error %lu", "in use", "shared count", "vetoed",
    "protected folder", "protected key", "too long", "the log itself", "answered No",
    "program running, nothing removed",
};

// One action line; prefix stands before the subject (a registry root).
void WriteAction(LogOutcome outcome, const char* prefix, const wchar_t* subject, DWORD error) {
  if (outcome != LOG_PROGRAM_RUNNING) ++logState.counts[outcome < LOG_REFUSED ? outcome : 3];
  if (logState.file == nullptr) return;
  StartLine();
  PutFormat(outcome > LOG_NOT_FOUND ? "kept (" : "", error);
  PutFormat(kOutcomeTexts[outcome], error);
  PutFormat(outcome > LOG_NOT_FOUND ? ") %s" : " %s", prefix);
  PutWide(subject);
  EndLine();
}

}  // namespace

void OpenRunLog() {
  wchar_t* path = run.logPath;
  if (path == nullptr || path[0] == 0) return;
  // A relative path would depend on the current folder, and a device path
  // may name anything but a file: refused.
  if (!IsAbsolutePath(path) || IsUnsafeSpelling(path)) {
    path[0] = 0;
    return;
  }
  if (!MemAlloc(LINE_BYTES, &logState.line)) {
    path[0] = 0;
    return;
  }
  // Others may read the log while the run writes it; nobody deletes it.
  HANDLE file = sys.CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    MemRelease(&logState.line);
    path[0] = 0;
    return;
  }
  logState.file = file;
  // Kept in its canonical form, so that IsRunLog knows it under another
  // spelling of the same name.
  wchar_t canonical[RX_MAX_PATH];
  if (CanonicalizePath(path, canonical, RX_MAX_PATH)) CopyText(path, RX_MAX_PATH, canonical);
  WriteHeader();
}

void CloseRunLog(int exitCode) {
  if (logState.file == nullptr) return;
  logState.phase = nullptr;
  PutFormat("Removed %lu, scheduled %lu, not found %lu, kept %lu\r\nExit code: %d",
            logState.counts[0], logState.counts[1], logState.counts[2], logState.counts[3], exitCode);
  EndLine();
  CloseHandle(logState.file);
  logState.file = nullptr;
  MemRelease(&logState.line);
}

void LogPhase(const char* name) { logState.phase = name; }

void LogAction(LogOutcome outcome, const wchar_t* subject, DWORD error) { WriteAction(outcome, "", subject, error); }

void LogFileStatus(const wchar_t* subject, int status) {
  const DWORD error = GetLastError();
  LogAction(status == 0 ? LOG_REMOVED : status == 2 ? LOG_NOT_FOUND : LOG_REFUSED, subject, error);
}

bool LogFolder(const wchar_t* subject, bool removed) {
  if (removed) LogAction(LOG_REMOVED, subject);
  return removed;
}

void LogRegistryResult(uint32_t root, const wchar_t* path, LONG result) {
  const char* name = root == 0x80000000u ? "HKCR\\" : root == 0x80000001u ? "HKCU\\" : root == 0x80000002u ? "HKLM\\" : "HKU\\";
  WriteAction(result == ERROR_SUCCESS ? LOG_REMOVED : result == ERROR_FILE_NOT_FOUND ? LOG_NOT_FOUND : LOG_REFUSED,
              name, path, (DWORD)result);
}

void LogQuestion(int message, const wchar_t* subject, int answer, LogAnswerer who) {
  if (logState.file == nullptr) return;
  static const char* const kAnswerers[] = {"the user", "/N", "answer to all"};
  StartLine();
  PutFormat(subject != nullptr ? "question %d, %s by %s: " : "question %d, %s by %s", message, AnswerText(answer),
            kAnswerers[who]);
  PutWide(subject);
  EndLine();
}

bool LogCommand(const wchar_t* program, bool started) {
  if (logState.file == nullptr) return started;
  StartLine();
  // STILL_ACTIVE (259): not waited for.
  PutFormat(started ? "command started, exit code %ld: " : "command not started: ", (long)lastLaunchExitCode);
  PutWide(program);
  EndLine();
  return started;
}

bool IsRunLog(const wchar_t* path) {
  if (logState.file == nullptr) return false;
  if (EqualNoCase(path, run.logPath)) return true;
  // Another spelling (C:/x, C:\a\..\x, a short name) of the log's own file:
  // compared in canonical form, for the names that end as the log's does.
  const wchar_t* name = FindLastBackslash(path);
  const wchar_t* logName = FindLastBackslash((const wchar_t*)run.logPath);
  if (name == nullptr || logName == nullptr || !EqualNoCase(name, logName)) return false;
  wchar_t canonical[RX_MAX_PATH];
  return CanonicalizePath(path, canonical, RX_MAX_PATH) && EqualNoCase(canonical, run.logPath);
}
