// The tests' side of the recording helper (recorder.c): installing it, and
// reading back what each start of it wrote down.
#pragma once
#include <algorithm>
#include <string>
#include <vector>

#include "harness/harness.h"

namespace recorder {

using harness::ScopedEnvironment;

// One start of the helper, and its end once it wrote one.
struct Record {
  DWORD pid = 0;
  int show = -1;  // the show state the starter asked for; -1 for none
  std::wstring folder, program, arguments;
  bool ended = false;
  std::wstring check, dialog;  // "present"/"absent", "shown"/"none", or "-"
};

// In the order of their starts; empty without a log.
inline std::vector<Record> ReadLog(const std::wstring& path) {
  std::vector<Record> records;
  harness::Bytes bytes;
  if (!harness::ReadWholeFile(path, &bytes) || bytes.empty()) return records;
  std::wstring text(bytes.size(), L'\0');
  text.resize(std::max(0, MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<int>(bytes.size()), &text[0], static_cast<int>(text.size()))));
  for (size_t from = 0, end; (end = text.find(L'\n', from)) != std::wstring::npos; from = end + 1) {
    std::vector<std::wstring> f;
    for (size_t at = from, tab; at <= end; at = tab + 1) {
      tab = std::min(text.find(L'\t', at), end);
      f.push_back(text.substr(at, tab - at));
    }
    if (f[0] == L"start" && f.size() == 6) {
      records.push_back({wcstoul(f[1].c_str(), nullptr, 10), _wtoi(f[2].c_str()), f[3], f[4], f[5]});
    } else if (f[0] == L"end" && f.size() == 4) {
      for (Record& record : records) {
        if (record.pid != wcstoul(f[1].c_str(), nullptr, 10) || record.ended) continue;
        record.ended = true;
        record.check = f[2];
        record.dialog = f[3];
        break;
      }
    }
  }
  return records;
}

// Once the log holds at least count records, all ended, or at the limit.
inline std::vector<Record> WaitForEndedRecords(const std::wstring& path, size_t count, DWORD timeoutMs = 15000) {
  for (const DWORD start = GetTickCount();; Sleep(20)) {
    std::vector<Record> records = ReadLog(path);
    size_t ended = 0;
    for (const Record& record : records) ended += record.ended ? 1 : 0;
    if ((records.size() >= count && ended == records.size()) || GetTickCount() - start >= timeoutMs) return records;
  }
}

// The end line comes just before the exit; until then its file is held.
inline void WaitForExit(const Record& record, DWORD timeoutMs = 10000) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, record.pid);
  if (process) WaitForSingleObject(process, timeoutMs);
  if (process) CloseHandle(process);
}

// Writes the helper to path (parents are not made).
inline bool Install(const std::wstring& path) {
  harness::Bytes program;
  return harness::LoadEmbeddedFile(L"RETRAX_TEST_RECORDER_EXE", &program) && harness::WriteWholeFile(path, program);
}

}  // namespace recorder
