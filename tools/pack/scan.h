// The payload of a packed uninstaller or of a bare payload file, chunk by
// chunk with byte offsets. The content of each chunk is decoded by the
// uninstaller's own reader (ReadPayloadChunks over that one chunk), so what
// the dump shows is what the uninstaller would take; this walk adds only
// the offsets and the reasons for a refusal.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "lint.h"
#include "payload/format.h"
#include "payload/writer.h"

namespace packtool {

struct ChunkView {
  uint64_t offset = 0;  // of the chunk header in the file
  ChunkHeader header{};
  bool dispatched = false;  // size 0 chunks are never handed to a reader
  int status = PAYLOAD_OK;  // the reader's status for this chunk
  std::string problem;      // why it was refused, when status != 0

  // List chunks: the count field, the records the reader built, where each
  // record starts, and body bytes behind the last record (never read).
  uint32_t recordCount = 0;
  std::vector<uint64_t> recordOffsets;
  uint64_t unusedBytes = 0;
  std::vector<pack::FileRecord> files;
  std::vector<pack::ShortcutRecord> shortcuts;
  std::vector<pack::RegistryRecord> registry;

  // CHUNK_MESSAGES: the table count and the first table.
  uint16_t tableCount = 0;
  std::vector<std::u16string> messages;

  std::vector<std::u16string> folderTrees;

  // CHUNK_HEADER: the body as stored and the fields the reader takes.
  pack::Bytes headerBody;
  uint32_t headerFlags = 0;
  uint32_t commandOffset = 0, finalPageOffset = 0;
  bool hasCommand = false, hasFinalPage = false;
  std::u16string command, finalPage;

  // CHUNK_EXTENSION: whether the blob passed its checks, why not, and the
  // unscrambled content.
  bool extensionPassed = false;
  std::string extensionProblem;
  pack::Bytes extensionContent;
};

struct PayloadScan {
  uint64_t fileLength = 0;
  bool isProgram = false;    // an MZ file: the payload is found by its marker
  uint64_t fieldOffset = 0;  // of the u32 payloadOffset behind the marker
  uint32_t fieldValue = 0;
  uint64_t payloadOffset = 0;
  bool hasPayload = false;  // false: no marker, or payloadOffset 0
  std::string noPayload;    // why there is none

  std::vector<ChunkView> chunks;
  bool endSeen = false;
  uint64_t endOffset = 0;  // first byte behind CHUNK_END and its body

  // The reader's verdict over the whole payload, and where the walk failed.
  int status = PAYLOAD_OK;
  bool failedAtKnown = false;
  uint64_t failedAt = 0;
  std::string failure;
};

// Never fails: a file without payload or with a broken one is described in
// the result (hasPayload, status, failure).
PayloadScan ScanPayloadFile(const pack::Bytes& file);

// The lint's view of a scanned payload: the lists as the uninstaller puts
// them together (appended, last header wins, first good extension), places
// with record offsets; plus the findings about the container itself (read
// failures, refused or skipped chunks, header offsets).
LintModel LintModelOf(const PayloadScan& scan, std::vector<Finding>* containerFindings);

const char* StatusName(int status);

}  // namespace packtool
