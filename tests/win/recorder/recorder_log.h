// The tests' side of the recording helper (recorder.c): installing it where
// a test needs it, and reading back what each start of it wrote down.
#pragma once
#include <windows.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "harness/harness.h"

namespace recorder {

// One start of the helper, and its end once it wrote one.
struct Record {
  uint64_t startMs = 0;  // system time in ms: comparable between processes
  DWORD pid = 0;
  int show = -1;  // the show state the starter asked for; -1 for none
  std::wstring folder, program, arguments;
  bool ended = false;
  uint64_t endMs = 0;
  std::wstring check, dialog;  // "present"/"absent", "shown"/"none", or "-"
};

inline std::vector<std::wstring> SplitTabs(const std::wstring& line) {
  std::vector<std::wstring> fields;
  size_t from = 0;
  for (size_t tab; (tab = line.find(L'\t', from)) != std::wstring::npos; from = tab + 1) {
    fields.push_back(line.substr(from, tab - from));
  }
  fields.push_back(line.substr(from));
  return fields;
}

// The records of the log, in the order of their starts; empty when there
// is no log.
inline std::vector<Record> ReadLog(const std::wstring& path) {
  std::vector<Record> records;
  harness::Bytes bytes;
  if (!harness::ReadWholeFile(path, &bytes) || bytes.empty()) return records;
  std::wstring text(bytes.size(), L'\0');
  const int length = MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(bytes.data()),
                                         static_cast<int>(bytes.size()), &text[0], static_cast<int>(text.size()));
  text.resize(length > 0 ? length : 0);
  size_t from = 0;
  for (size_t end; (end = text.find(L'\n', from)) != std::wstring::npos; from = end + 1) {
    const std::vector<std::wstring> f = SplitTabs(text.substr(from, end - from));
    if (f[0] == L"start" && f.size() == 7) {
      Record record;
      record.startMs = _wcstoui64(f[1].c_str(), nullptr, 10);
      record.pid = wcstoul(f[2].c_str(), nullptr, 10);
      record.show = _wtoi(f[3].c_str());
      record.folder = f[4];
      record.program = f[5];
      record.arguments = f[6];
      records.push_back(record);
    } else if (f[0] == L"end" && f.size() == 5) {
      for (Record& record : records) {
        if (record.pid != wcstoul(f[2].c_str(), nullptr, 10) || record.ended) continue;
        record.ended = true;
        record.endMs = _wcstoui64(f[1].c_str(), nullptr, 10);
        record.check = f[3];
        record.dialog = f[4];
        break;
      }
    }
  }
  return records;
}

// Waits until the log holds at least count records that have all ended,
// up to timeoutMs; returns what it holds then.
inline std::vector<Record> WaitForEndedRecords(const std::wstring& path, size_t count, DWORD timeoutMs = 15000) {
  const DWORD start = GetTickCount();
  for (;;) {
    std::vector<Record> records = ReadLog(path);
    size_t ended = 0;
    for (const Record& record : records) ended += record.ended ? 1 : 0;
    if ((records.size() >= count && ended == records.size()) || GetTickCount() - start >= timeoutMs) return records;
    Sleep(20);
  }
}

// Waits for the process of a record to end: its end line is written just
// before it exits, and its program file cannot be removed until it has.
inline void WaitForExit(const Record& record, DWORD timeoutMs = 10000) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, record.pid);
  if (process == NULL) return;  // gone already
  WaitForSingleObject(process, timeoutMs);
  CloseHandle(process);
}

inline uint64_t NowMs() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return ((static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime) / 10000;
}

// Writes the helper to path (parents are not made). False when it was not
// embedded or cannot be written.
inline bool Install(const std::wstring& path) {
  harness::Bytes program;
  return harness::LoadEmbeddedFile(L"RETRAX_TEST_RECORDER_EXE", &program) && harness::WriteWholeFile(path, program);
}

// Sets variables of this process for the span of a test, for helpers the
// code under test starts in-process; restores them when it goes.
class ScopedEnvironment {
 public:
  ScopedEnvironment() = default;
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      SetEnvironmentVariableW(it->name.c_str(), it->had ? it->value.c_str() : nullptr);
    }
  }
  void Set(const std::wstring& name, const std::wstring& value) {
    Saved saved = {name, L"", false};
    wchar_t buffer[2048];
    const DWORD length = GetEnvironmentVariableW(name.c_str(), buffer, 2048);
    if (length > 0 && length < 2048) saved = {name, buffer, true};
    saved_.push_back(saved);
    SetEnvironmentVariableW(name.c_str(), value.c_str());
  }

 private:
  struct Saved {
    std::wstring name, value;
    bool had;
  };
  std::vector<Saved> saved_;
};

}  // namespace recorder
