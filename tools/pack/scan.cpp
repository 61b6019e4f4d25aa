#include "scan.h"

#include <string.h>

#include "payload/memory.h"
#include "payload/uninstall_data.h"
#include "text.h"
#include "vocabulary.h"

namespace packtool {

namespace {

uint16_t U16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }
uint64_t U64(const uint8_t* p) {
  return (uint64_t)pack::ReadU32(p) | ((uint64_t)pack::ReadU32(p + 4) << 32);
}

// The payloadOffset field: behind the first marker whose value the program
// could mean (0, or an offset behind the field and inside the file). Bytes
// of a later payload may happen to hold the marker too; they come after the
// program proper and are not taken.
bool LocatePayload(const pack::Bytes& file, PayloadScan* scan) {
  if (file.size() < 2 || file[0] != 'M' || file[1] != 'Z') {
    scan->payloadOffset = 0;
    return true;
  }
  scan->isProgram = true;
  bool anyMarker = false;
  for (size_t i = 0; i + PAYLOAD_MARKER_LENGTH + 4 <= file.size(); ++i) {
    if (memcmp(&file[i], PAYLOAD_MARKER, PAYLOAD_MARKER_LENGTH) != 0) continue;
    anyMarker = true;
    uint64_t field = i + PAYLOAD_MARKER_LENGTH;
    uint32_t value = pack::ReadU32(&file[field]);
    if (value != 0 && (value < field + 4 || value > file.size())) continue;
    scan->fieldOffset = field;
    scan->fieldValue = value;
    if (value == 0) {
      scan->noPayload = "the payloadOffset field at " + HexOffset(field) +
                        " holds 0: no payload (the uninstaller ends without a word)";
      return false;
    }
    if (value == file.size()) {
      scan->noPayload = "the payloadOffset field at " + HexOffset(field) +
                        " holds the file's own length: the program as it ships, with nothing "
                        "packed behind it (build packs a payload)";
      return false;
    }
    scan->payloadOffset = value;
    return true;
  }
  scan->noPayload = anyMarker
                        ? "the payload marker's offset field points outside the file"
                        : "a program file without the payload marker: not a Retrax uninstaller";
  return false;
}

// --- Light walk over list bodies: record offsets and refusal reasons -------

struct BodyCursor {
  const uint8_t* data;
  uint64_t size;
  uint64_t pos;
  uint64_t base;  // file offset of data[0]
  bool Has(uint64_t n) const { return n <= size - pos; }
};

// Layout letters: 'B' u8, 'D' u32, 'S' counted string (named by names).
struct ListLayout {
  const char* fields;
  const char* names[3];
  uint32_t scratchUnits;
  uint32_t minRecordBytes;
  const char* kind;
};

const ListLayout kFileLayout = {
    "SSB", {"folder", "name", nullptr}, FILE_RECORD_SCRATCH_UNITS, FILE_RECORD_MIN_BYTES, "file"};
const ListLayout kShortcutLayout = {"BSSS",
                                    {"folder", "secondFolder", "fileName"},
                                    SHORTCUT_RECORD_SCRATCH_UNITS,
                                    SHORTCUT_RECORD_MIN_BYTES,
                                    "shortcut"};
const ListLayout kRegistryLayout = {"DS",
                                    {"path", nullptr, nullptr},
                                    REGISTRY_RECORD_SCRATCH_UNITS,
                                    REGISTRY_RECORD_MIN_BYTES,
                                    "registry"};

void WalkListBody(BodyCursor body, const ListLayout& layout, ChunkView* view) {
  if (!body.Has(4)) {
    view->problem = "the body ends before its record count";
    return;
  }
  uint32_t count = pack::ReadU32(body.data);
  body.pos = 4;
  view->recordCount = count;
  if ((uint64_t)count * layout.minRecordBytes > body.size - body.pos) {
    view->problem = "a count of " + std::to_string(count) + " records cannot fit the " +
                    std::to_string(body.size - body.pos) + " bytes behind it";
    return;
  }
  for (uint32_t k = 0; k < count; ++k) {
    uint64_t start = body.pos;
    std::string record = "record " + std::to_string(k) + " at " + HexOffset(body.base + start);
    uint32_t used = 0;
    int name = 0;
    for (const char* f = layout.fields; *f; ++f) {
      uint64_t width = *f == 'B' ? 1 : *f == 'D' ? 4 : 2;
      if (!body.Has(width)) {
        view->problem = record + ": the body ends inside the record";
        return;
      }
      if (*f == 'S') {
        uint16_t units = U16(body.data + body.pos);
        body.pos += 2;
        if ((uint32_t)units + 1 > layout.scratchUnits - used) {
          view->problem = record + ": its strings up to " + layout.names[name] + " need " +
                          std::to_string(used + units) + " units; a " + layout.kind +
                          " record holds at most " +
                          std::to_string(layout.scratchUnits - 1 - name) + " in all";
          return;
        }
        if (!body.Has((uint64_t)units * 2)) {
          view->problem = record + ": the body ends inside its " + layout.names[name];
          return;
        }
        body.pos += (uint64_t)units * 2;
        used += units + 1;
        ++name;
      } else {
        body.pos += width;
      }
    }
    view->recordOffsets.push_back(body.base + start);
  }
  view->unusedBytes = body.size - body.pos;
}

void WalkMessageBody(BodyCursor body, ChunkView* view) {
  if (!body.Has(2)) {
    view->problem = "the body ends before its table count";
    return;
  }
  view->tableCount = U16(body.data);
  body.pos = 2;
  if (view->tableCount == 0) return;
  if (!body.Has(2)) {
    view->problem = "the body ends before the first table's message count";
    return;
  }
  uint16_t strings = U16(body.data + body.pos);
  body.pos += 2;
  for (uint32_t i = 0; i < strings; ++i) {
    uint64_t start = body.pos;
    if (!body.Has(2) || !body.Has(2 + (uint64_t)U16(body.data + body.pos) * 2)) {
      view->problem = "message " + std::to_string(i) + " at " + HexOffset(body.base + start) +
                      ": the body ends inside it";
      return;
    }
    body.pos += 2 + (uint64_t)U16(body.data + start) * 2;
  }
}

// Why the uninstaller drops an extension blob; empty when it keeps it.
std::string ExtensionProblem(const uint8_t* body, uint64_t length) {
  if (length < EXT_BLOB_PREFIX) return "the blob is shorter than its 8-byte prefix";
  uint32_t content = (uint32_t)(length - EXT_BLOB_PREFIX);
  uint32_t check = pack::ReadU32(body);
  if (check != (content ^ EXT_LENGTH_CHECK))
    return "length check " + Hex(check) + " does not match the content length " +
           std::to_string(content) + " (expected " + Hex(content ^ EXT_LENGTH_CHECK) + ")";
  uint32_t sum = RotateAddChecksum(body + EXT_BLOB_PREFIX, content, content);
  if (pack::ReadU32(body + 4) != sum)
    return "checksum " + Hex(pack::ReadU32(body + 4)) + " does not match the content (" + Hex(sum) +
           ")";
  if (content <= EXT_PATH_MAX_BYTES) return "the library path is not NUL-terminated";
  return "";
}

std::vector<std::u16string> SplitMultiString(const uint8_t* block, uint32_t length) {
  std::vector<std::u16string> strings;
  std::u16string current;
  for (uint32_t at = 0; at + 2 <= length; at += 2) {
    char16_t unit = U16(block + at);
    if (unit != 0) {
      current.push_back(unit);
      continue;
    }
    if (current.empty()) break;
    strings.push_back(current);
    current.clear();
  }
  return strings;
}

template <typename Entry, typename Record, typename Convert>
void CopyRecords(const RecordList<Entry>& list, std::vector<Record>* out, Convert convert) {
  for (uint32_t i = 0; i < list.count; ++i) out->push_back(convert(*list.items[i]));
}

// The chunk alone, followed by an end chunk, through the uninstaller's
// reader: its status and what it filled are exactly what that chunk gives.
void ReadChunkAlone(const pack::Bytes& file, ChunkView* view) {
  uint64_t bodyStart = view->offset + CHUNK_HEADER_SIZE;
  pack::Bytes alone(file.begin() + (size_t)view->offset,
                    file.begin() + (size_t)(bodyStart + view->header.size));
  pack::AppendEnd(&alone);
  MemorySource memory = {alone.data(), alone.size(), 0};
  PayloadSource source = MakeMemorySource(&memory);
  UninstallData data;
  memset(&data, 0, sizeof data);
  view->status = ReadPayloadChunks(&source, &data);

  CopyRecords(data.files, &view->files, [](const FileEntry& e) {
    pack::FileRecord r;
    r.folder = FromRx(e.folder);
    r.name = FromRx(e.name);
    r.flags = e.flags;
    return r;
  });
  CopyRecords(data.shortcuts, &view->shortcuts, [](const ShortcutEntry& e) {
    pack::ShortcutRecord r;
    r.levels = (uint8_t)e.levels;
    r.folder = FromRx(e.folder);
    r.secondFolder = FromRx(e.secondFolder);
    r.fileName = FromRx(e.fileName);
    return r;
  });
  CopyRecords(data.registry, &view->registry, [](const RegistryEntry& e) {
    pack::RegistryRecord r;
    r.root = e.root;
    r.path = FromRx(e.path);
    return r;
  });
  if (data.messages)
    for (RxChar** entry = data.messages; *entry; ++entry) view->messages.push_back(FromRx(*entry));
  if (data.folderTrees)
    view->folderTrees = SplitMultiString(data.folderTrees, data.folderTreesLength);
  if (data.header) {
    view->headerBody.assign(data.header, data.header + data.headerLength);
    view->headerFlags = GetHeaderFlags(&data);
    if (data.headerLength >= PAYLOAD_HEADER_FIXED_SIZE) {
      view->commandOffset = pack::ReadU32(data.header + 4);
      view->finalPageOffset = pack::ReadU32(data.header + 8);
    }
    const RxChar* command = GetHeaderCommand(&data);
    const RxChar* finalPage = GetHeaderFinalPage(&data);
    view->hasCommand = command != nullptr;
    view->hasFinalPage = finalPage != nullptr;
    view->command = FromRx(command);
    view->finalPage = FromRx(finalPage);
  }
  if (data.extensionBlob) {
    view->extensionPassed = true;
    view->extensionContent.assign(data.extensionBlob, data.extensionBlob + data.extensionLength);
  }
  ReleasePayloadBlocks(&data);
}

void DescribeChunk(const pack::Bytes& file, ChunkView* view) {
  uint64_t bodyStart = view->offset + CHUNK_HEADER_SIZE;
  BodyCursor body = {file.data() + bodyStart, view->header.size, 0, bodyStart};
  ReadChunkAlone(file, view);
  const uint8_t* raw = file.data() + bodyStart;
  uint32_t rawLength = (uint32_t)view->header.size;
  switch (view->header.tag) {
    case CHUNK_FILES:
      WalkListBody(body, kFileLayout, view);
      break;
    case CHUNK_SHORTCUTS:
      WalkListBody(body, kShortcutLayout, view);
      break;
    case CHUNK_REGISTRY:
      WalkListBody(body, kRegistryLayout, view);
      break;
    case CHUNK_MESSAGES:
      WalkMessageBody(body, view);
      break;
    case CHUNK_EXTENSION:
      if (!(view->header.flags & CHUNK_FLAG_UNLOADABLE))
        view->extensionProblem = ExtensionProblem(raw, rawLength);
      break;
    case CHUNK_FOLDER_TREES:
      if (view->status != PAYLOAD_OK && !(view->header.flags & CHUNK_FLAG_UNLOADABLE))
        view->problem = "the last string of the list is not NUL-terminated";
      break;
  }
  bool raw_body = view->header.tag == CHUNK_HEADER || view->header.tag == CHUNK_OPAQUE ||
                  view->header.tag == CHUNK_EXTENSION || view->header.tag == CHUNK_FOLDER_TREES;
  if (raw_body && (view->header.flags & CHUNK_FLAG_UNLOADABLE))
    view->problem = "flags bit 0: the body is stored in a form the uninstaller cannot load";
  if (view->status == PAYLOAD_OK) {
    view->problem.clear();
  } else if (view->problem.empty()) {
    view->problem = "the reader refused the chunk";
  }
}

}  // namespace

const char* StatusName(int status) {
  switch (status) {
    case PAYLOAD_OK:
      return "ok";
    case PAYLOAD_OUT_OF_MEMORY:
      return "out of memory";
    case PAYLOAD_READ_ERROR:
      return "read error";
    default:
      return "failure";
  }
}

PayloadScan ScanPayloadFile(const pack::Bytes& file) {
  PayloadScan scan;
  scan.fileLength = file.size();
  if (!LocatePayload(file, &scan)) {
    scan.status = PAYLOAD_READ_ERROR;
    scan.failure = scan.noPayload;
    return scan;
  }
  scan.hasPayload = true;

  // The walk, as the reader does it, keeping offsets.
  int walkStatus = PAYLOAD_OK;
  uint64_t pos = scan.payloadOffset;
  for (;;) {
    uint64_t left = pos < file.size() ? file.size() - pos : 0;
    if (left < CHUNK_HEADER_SIZE) {
      walkStatus = PAYLOAD_READ_ERROR;
      scan.failedAt = pos;
      scan.failure = left == 0 ? "the file ends before CHUNK_END"
                               : "the file ends inside a chunk header (" + std::to_string(left) +
                                     " of 12 bytes), before CHUNK_END";
      break;
    }
    ChunkView view;
    view.offset = pos;
    const uint8_t* raw = file.data() + pos;
    view.header.tag = U16(raw);
    view.header.flags = raw[2];
    view.header.reserved = raw[3];
    view.header.size = U64(raw + 4);
    uint64_t bodyLeft = left - CHUNK_HEADER_SIZE;
    if (view.header.tag == CHUNK_END) {
      scan.chunks.push_back(view);
      scan.endSeen = true;
      // Nothing behind the end chunk is read; its body, if any, is skipped.
      uint64_t size = view.header.size < bodyLeft ? view.header.size : bodyLeft;
      scan.endOffset = pos + CHUNK_HEADER_SIZE + size;
      break;
    }
    if (view.header.size > bodyLeft) {
      view.status = PAYLOAD_READ_ERROR;
      view.problem = "size " + std::to_string(view.header.size) +
                     " runs past the end of the file (" + std::to_string(bodyLeft) + " bytes left)";
      scan.chunks.push_back(view);
      walkStatus = PAYLOAD_READ_ERROR;
      scan.failedAt = pos;
      scan.failure = view.problem;
      break;
    }
    if (view.header.size != 0) {
      view.dispatched = true;
      DescribeChunk(file, &view);
    }
    scan.chunks.push_back(view);
    if (view.status != PAYLOAD_OK) {
      walkStatus = view.status;
      scan.failedAt = pos;
      scan.failure = std::string(ChunkTagName(view.header.tag)) + ": " + view.problem;
      break;
    }
    pos += CHUNK_HEADER_SIZE + view.header.size;
  }

  // The verdict is the reader's over the whole payload.
  MemorySource memory = {file.data(), file.size(), scan.payloadOffset};
  PayloadSource source = MakeMemorySource(&memory);
  UninstallData data;
  memset(&data, 0, sizeof data);
  scan.status = ReadPayloadChunks(&source, &data);
  ReleasePayloadBlocks(&data);
  scan.failedAtKnown = scan.status != PAYLOAD_OK && walkStatus == scan.status;
  if (scan.status != PAYLOAD_OK && !scan.failedAtKnown)
    scan.failure = "the reader stopped with status " + std::to_string(scan.status) +
                   " at a place this walk did not find";
  return scan;
}

namespace {

std::string ChunkPlace(const ChunkView& chunk) {
  const char* name = ChunkTagName(chunk.header.tag);
  return "chunk at " + HexOffset(chunk.offset) + " (" + (*name ? name : Hex(chunk.header.tag)) +
         ")";
}

std::string RecordAt(const ChunkView& chunk, size_t k) {
  if (k < chunk.recordOffsets.size())
    return " (record at " + HexOffset(chunk.recordOffsets[k]) + ")";
  return " (" + ChunkPlace(chunk) + ")";
}

// A header offset must lie in the string area, be even and lead to a
// string that ends inside the body.
void CheckHeaderOffset(const ChunkView& chunk, uint32_t offset, const char* field,
                       std::vector<Finding>* findings) {
  if (offset == 0) return;
  const std::string where = "header." + std::string(field) + " (" + ChunkPlace(chunk) + ")";
  const size_t length = chunk.headerBody.size();
  std::string problem;
  if (offset < PAYLOAD_HEADER_FIXED_SIZE)
    problem = "points into the header's fixed fields";
  else if (offset >= length)
    problem = "lies outside the header body of " + std::to_string(length) + " bytes";
  else if (offset & 1)
    problem = "is odd; strings are UTF-16 units";
  else {
    bool ended = false;
    for (size_t at = offset; at + 2 <= length && !ended; at += 2)
      ended = chunk.headerBody[at] == 0 && chunk.headerBody[at + 1] == 0;
    if (!ended) problem = "names a string that does not end inside the header";
  }
  if (!problem.empty())
    findings->push_back(Finding{
        true, where,
        "offset " + std::to_string(offset) + " " + problem + "; the uninstaller takes it as none"});
}

}  // namespace

LintModel LintModelOf(const PayloadScan& scan, std::vector<Finding>* findings) {
  LintModel model;
  auto error = [&](const std::string& where, const std::string& text) {
    findings->push_back(Finding{true, where, text});
  };
  auto warn = [&](const std::string& where, const std::string& text) {
    findings->push_back(Finding{false, where, text});
  };
  if (!scan.hasPayload) {
    error(scan.isProgram && scan.fieldOffset ? "offset " + HexOffset(scan.fieldOffset) : "file",
          scan.noPayload);
    return model;
  }
  if (scan.status != PAYLOAD_OK)
    error(scan.failedAtKnown ? "offset " + HexOffset(scan.failedAt) : "payload",
          "the uninstaller cannot read this payload (status " + std::to_string(scan.status) + ", " +
              StatusName(scan.status) + "): " + scan.failure);

  size_t headers = 0, messageChunks = 0;
  const ChunkView* extension = nullptr;
  for (const ChunkView& chunk : scan.chunks) {
    const std::string place = ChunkPlace(chunk);
    if (!chunk.dispatched || chunk.status != PAYLOAD_OK) continue;
    switch (chunk.header.tag) {
      case CHUNK_FILES:
        for (size_t k = 0; k < chunk.files.size(); ++k)
          model.files.push_back({chunk.files[k],
                                 "files[" + std::to_string(model.files.size()) + "]",
                                 RecordAt(chunk, k)});
        break;
      case CHUNK_SHORTCUTS:
        for (size_t k = 0; k < chunk.shortcuts.size(); ++k)
          model.shortcuts.push_back({chunk.shortcuts[k],
                                     "shortcuts[" + std::to_string(model.shortcuts.size()) + "]",
                                     RecordAt(chunk, k)});
        break;
      case CHUNK_REGISTRY:
        for (size_t k = 0; k < chunk.registry.size(); ++k)
          model.registry.push_back({chunk.registry[k],
                                    "registry[" + std::to_string(model.registry.size()) + "]",
                                    RecordAt(chunk, k)});
        break;
      case CHUNK_FOLDER_TREES:
        for (const std::u16string& tree : chunk.folderTrees)
          model.folderTrees.push_back(
              {tree, "folderTrees[" + std::to_string(model.folderTrees.size()) + "]",
               " (" + place + ")"});
        break;
      case CHUNK_HEADER:
        ++headers;
        model.hasHeader = true;
        model.header.flags = chunk.headerFlags;
        model.header.command = chunk.command;
        model.header.finalPage = chunk.finalPage;
        model.headerWhere = "header (" + place + ")";
        if (chunk.headerBody.size() < PAYLOAD_HEADER_FIXED_SIZE)
          error(place, "the header body is " + std::to_string(chunk.headerBody.size()) +
                           " bytes, shorter than its 12 bytes of fields");
        CheckHeaderOffset(chunk, chunk.commandOffset, "command", findings);
        CheckHeaderOffset(chunk, chunk.finalPageOffset, "finalPage", findings);
        break;
      case CHUNK_MESSAGES:
        ++messageChunks;
        if (chunk.tableCount > 1)
          warn(place,
               std::to_string(chunk.tableCount) + " tables: the uninstaller reads only the first");
        if (chunk.messages.empty()) {
          warn(place, "the first table is empty: this chunk changes nothing");
          break;
        }
        model.hasMessages = true;
        model.messages.clear();
        for (size_t i = 0; i < chunk.messages.size(); ++i)
          model.messages.push_back(
              {chunk.messages[i], "messages[" + std::to_string(i) + "]", " (" + place + ")"});
        break;
      case CHUNK_EXTENSION:
        if (extension) {
          warn(place,
               "never read: the extension blob of the " + ChunkPlace(*extension) + " is in use");
        } else if (!chunk.extensionPassed) {
          error(place, "the uninstaller drops this extension blob: " + chunk.extensionProblem);
        } else {
          extension = &chunk;
          model.hasExtension = true;
          model.extensionContent = chunk.extensionContent;
          model.extensionWhere = "extension (" + place + ")";
        }
        break;
      case CHUNK_OPAQUE:
        break;
      case CHUNK_UNUSED_1238:
        warn(place, "tag 0x1238 is skipped by the uninstaller");
        break;
      default:
        warn(place, "unknown tag " + Hex(chunk.header.tag) + ": skipped by the uninstaller");
        break;
    }
    if (chunk.unusedBytes)
      warn(place,
           std::to_string(chunk.unusedBytes) + " bytes behind the last record are never read");
  }
  if (headers > 1) warn("header", std::to_string(headers) + " header chunks: the last one is used");
  if (messageChunks > 1)
    warn("messages",
         std::to_string(messageChunks) + " message chunks: the last non-empty one is used");
  if (scan.endSeen && scan.endOffset < scan.fileLength)
    warn("offset " + HexOffset(scan.endOffset), std::to_string(scan.fileLength - scan.endOffset) +
                                                    " bytes behind CHUNK_END are never read");
  return model;
}

}  // namespace packtool
