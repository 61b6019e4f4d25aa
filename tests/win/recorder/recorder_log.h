// The tests' side of the recording helper (recorder.c): installing it, and
// reading back the line each run of it wrote.
#pragma once
#include <algorithm>
#include <string>
#include <vector>

#include "harness/harness.h"

namespace recorder {

struct Record {
  DWORD pid = 0;
  int show = -1;  // the show state the starter asked for; -1 for none
  std::wstring folder, program, arguments;
};

// In the order of the runs; empty without a log.
inline std::vector<Record> ReadLog(const std::wstring& path) {
  std::vector<Record> records;
  harness::Bytes bytes;
  if (!harness::ReadWholeFile(path, &bytes) || bytes.empty()) return records;
  const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
  for (size_t from = 0, end; (end = text.find(L'\n', from)) != std::wstring::npos; from = end + 1) {
    std::vector<std::wstring> f;
    for (size_t at = from, tab; at <= end; at = tab + 1) {
      tab = std::min(text.find(L'\t', at), end);
      f.push_back(text.substr(at, tab - at));
    }
    if (f.size() == 5) records.push_back({wcstoul(f[0].c_str(), nullptr, 10), _wtoi(f[1].c_str()), f[2], f[3], f[4]});
  }
  return records;
}

// Once the log holds count records, or at the limit; then until the runs
// have ended (a run's line comes just before its exit, and until then its
// file is held).
inline std::vector<Record> WaitForEndedRecords(const std::wstring& path, size_t count, DWORD timeoutMs = 15000) {
  std::vector<Record> records;
  for (const DWORD start = GetTickCount(); (records = ReadLog(path)).size() < count; Sleep(20))
    if (GetTickCount() - start >= timeoutMs) break;
  for (const Record& record : records) {
    if (HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, record.pid)) {
      WaitForSingleObject(process, 10000);
      CloseHandle(process);
    }
  }
  return records;
}

inline bool Install(const std::wstring& path) {  // parents are not made
  harness::Bytes program;
  return harness::LoadEmbeddedFile(L"RETRAX_TEST_RECORDER_EXE", &program) && harness::WriteWholeFile(path, program);
}

}  // namespace recorder
