// The payload-reading benchmark: the chunk walk over a payload of 100,000
// file entries, as retrax.exe reads it (the file source, through its 32 KB
// buffer), against the payload's bytes read with one ReadFile and walked
// from memory (the memory source). Both walks must give the same data.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "bench.h"
#include "driver/driver.h"
#include "driver/run_state.h"
#include "harness/harness.h"
#include "payload/file_io.h"
#include "payload/memory.h"
#include "payload/uninstall_data.h"

namespace bench {
namespace {

const int kEntries = 100000;

pack::Payload LargePayload() {
  pack::Payload payload = harness::StandardPayload();
  payload.files.reserve(kEntries);
  for (int i = 0; i < kEntries; ++i) {
    wchar_t folder[96], name[32];
    swprintf(folder, 96, L"C:\\Program Files\\Bench App\\Module %d\\Part %d\\Set %d", i / 1250 + 1, i / 250 % 5 + 1,
             i / 50 % 5 + 1);
    swprintf(name, 32, L"file %05d.dat", i);
    payload.files.push_back({harness::U16(folder), harness::U16(name), (uint8_t)(i % 97 == 0 ? FileShared : 0)});
  }
  return payload;
}

bool SameText(const RxChar* a, const RxChar* b) {
  if (a == nullptr || b == nullptr) return a == b;
  return wcscmp(a, b) == 0;
}

// Everything the walk fills in.
bool SameData(const UninstallData& a, const UninstallData& b) {
  if (a.files.count != b.files.count || a.shortcuts.count != b.shortcuts.count ||
      a.registry.count != b.registry.count || a.headerLength != b.headerLength ||
      a.folderTreesLength != b.folderTreesLength || a.extensionLength != b.extensionLength ||
      a.opaqueLength != b.opaqueLength)
    return false;
  for (uint32_t i = 0; i < a.files.count; ++i) {
    const FileEntry* x = a.files.items[i];
    const FileEntry* y = b.files.items[i];
    if (x->flags != y->flags || !SameText(x->folder, y->folder) || !SameText(x->name, y->name)) return false;
  }
  if ((a.header == nullptr) != (b.header == nullptr)) return false;
  if (a.header && memcmp(a.header, b.header, a.headerLength) != 0) return false;
  if ((a.messages == nullptr) != (b.messages == nullptr)) return false;
  for (int i = 0; a.messages && (a.messages[i] || b.messages[i]); ++i)
    if (!SameText(a.messages[i], b.messages[i])) return false;
  return true;
}

// The baseline walk: one ReadFile of everything behind the offset, then
// the walk over memory.
int ReadThroughMemory(const std::wstring& path, uint32_t offset, UninstallData* data) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return PAYLOAD_NO_FILE;
  const DWORD size = GetFileSize(file, nullptr) - offset;
  // Not zero-filled: the read fills it.
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[size]);
  DWORD read = 0;
  SetFilePointer(file, (LONG)offset, nullptr, FILE_BEGIN);
  const bool ok = ReadFile(file, bytes.get(), size, &read, nullptr) && read == size;
  CloseHandle(file);
  if (!ok) return PAYLOAD_READ_ERROR;
  MemorySource memory = {bytes.get(), size, 0};
  PayloadSource source = MakeMemorySource(&memory);
  return ReadPayloadChunks(&source, data);
}

}  // namespace

bool RunPayloadReadBenchmark(int repetitions, std::vector<Row>* rows) {
  harness::Sandbox sandbox;
  const harness::Bytes payload = pack::EncodePayload(LargePayload());
  const std::wstring program = sandbox.WriteUninstaller(L"App\\uninstall.exe", payload);
  if (program.empty()) {
    fprintf(stderr, "payload benchmark: cannot write the uninstaller\n");
    return false;
  }
  const uint32_t offset = (uint32_t)harness::RetraxProgram().size();

  Row row;
  row.what = "Reading a payload of 100,000 file entries (" + std::to_string(payload.size() / 1024) + " KB)";
  row.subject = "file source (32 KB buffer)";
  row.baseline = "one ReadFile, then the memory source";
  row.goal = 2.0;
  // One untimed round first, so that both find the file in the cache; the
  // order of the two walks alternates from round to round.
  for (int round = -1; round < repetitions; ++round) {
    UninstallData& viaFile = uninstallData;
    UninstallData viaMemory = {};
    viaFile = {};
    double fileMs = 0, memoryMs = 0;
    int fileStatus = PAYLOAD_OK, memoryStatus = PAYLOAD_OK;
    for (int walk = 0; walk < 2; ++walk) {
      const double start = NowMs();
      if ((walk + round) % 2 == 0) {
        fileStatus = ReadPayloadFromFile(program.c_str(), offset);
        fileMs = NowMs() - start;
      } else {
        memoryStatus = ReadThroughMemory(program, offset, &viaMemory);
        memoryMs = NowMs() - start;
      }
    }
    if (fileStatus != PAYLOAD_OK || memoryStatus != PAYLOAD_OK || viaFile.files.count != (uint32_t)kEntries)
      row.problem = "a walk failed";
    else if (!SameData(viaFile, viaMemory))
      row.problem = "the two walks differ";
    ReleasePayloadBlocks(&viaFile);
    ReleasePayloadBlocks(&viaMemory);
    if (round < 0) continue;
    row.subjectTimes.ms.push_back(fileMs);
    row.baselineTimes.ms.push_back(memoryMs);
  }
  rows->push_back(row);
  return true;
}

}  // namespace bench
