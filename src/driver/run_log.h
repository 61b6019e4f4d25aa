// The run's log (/L "path"): a UTF-8 text file with a header, then one line
// per action in the order taken, then the counts and the exit code. Every
// line goes to the file with its own WriteFile as it happens, so a run that
// is killed leaves the log up to its last action (the data is the system's
// once written; no flush to the disk is needed for that). Without /L, or
// when the file cannot be created, every call returns at once and the run
// goes on as it would.
#pragma once
#include <windows.h>
#include <stdint.h>

// Why an entry was kept, or what became of it. The first four are counted
// as removed, scheduled, not found and kept; the rest are kept.
enum LogOutcome {
  LOG_REMOVED,
  LOG_SCHEDULED,       // registered for removal at the next restart
  LOG_NOT_FOUND,
  LOG_REFUSED,         // refused by Windows, with its error code
  LOG_IN_USE,
  LOG_SHARED_COUNT,    // other users counted, or the last user's question said No
  LOG_VETOED,          // by the extension library
  LOG_PROTECTED_FOLDER,
  LOG_PROTECTED_KEY,
  LOG_TOO_LONG,        // the path does not fit or is not absolute
  LOG_IS_LOG,          // the log's own file
  LOG_ANSWERED_NO,     // the read-only question's answer kept it
  LOG_PROGRAM_RUNNING, // a listed program runs: nothing is removed
};

// Who answered a question.
enum LogAnswerer { BY_USER, BY_UNATTENDED, BY_ANSWER_FOR_ALL };

// Creates the file named by run.logPath (a full path; a relative or device
// path is refused) and writes the header. An empty or refused path and a
// file that cannot be created leave the run without a log.
void OpenRunLog();

// The counts and the exit code; closes the file.
void CloseRunLog(int exitCode);

// Names the phase that the following lines belong to.
void LogPhase(const char* name);

// One line about subject (a path or a key); error is Windows' code for
// LOG_REFUSED.
void LogAction(LogOutcome outcome, const wchar_t* subject, DWORD error = 0);

// A file operation's outcome (a FileStatus) about subject, reading the
// reason of a failure from the thread's last error.
void LogFileStatus(const wchar_t* subject, int status);

// A folder removal: removed, or, since a folder that still holds something
// is meant to stay, nothing at all. Returns removed.
bool LogFolder(const wchar_t* subject, bool removed);

// A registry deletion's result (a Win32 error code) about root\path.
void LogRegistryResult(uint32_t root, const wchar_t* path, LONG result);

// A question (a message index) about subject, with the answer (a button
// identifier, 0 for none shown) and who gave it.
void LogQuestion(int message, const wchar_t* subject, int answer, LogAnswerer who);

// The pre-uninstall command: started or not and, when it was waited for,
// its exit code (lastLaunchExitCode). Returns started.
bool LogCommand(const wchar_t* program, bool started);

// True when path is the open log's own file: no phase deletes it.
bool IsRunLog(const wchar_t* path);
