// The chunk walk over an uninstall payload and the readers of its record
// lists, raw bodies and extension blob.
//
// The payload comes from the end of a program file that anyone may have
// altered, and what it lists gets deleted. So every size is checked against
// the bytes really left before anything is read or allocated, no size
// arithmetic may wrap, and a record that does not fit its scratch is
// refused rather than cut: a shortened path can name another file.
#include <string.h>

#include "payload/memory.h"
#include "payload/uninstall_data.h"

namespace {

uint16_t GetU16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }

uint32_t GetU32(const uint8_t* p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) |
         ((uint32_t)p[3] << 24);
}

uint64_t GetU64(const uint8_t* p) { return (uint64_t)GetU32(p) | ((uint64_t)GetU32(p + 4) << 32); }

// Bytes of the file behind the current position; 0 when the position is
// already past the end.
uint64_t BytesLeftInFile(PayloadSource* source) {
  uint64_t pos = source->getPos(source->context);
  return pos < source->length ? source->length - pos : 0;
}

// A structured body, read field by field; no read may cross the chunk's end.
struct BodyReader {
  PayloadSource* source;
  uint64_t left;
};

BodyReader OpenBody(PayloadSource* source, const ChunkHeader* header) {
  BodyReader body;
  body.source = source;
  uint64_t inFile = BytesLeftInFile(source);
  body.left = header->size < inFile ? header->size : inFile;
  return body;
}

int ReadBytes(BodyReader* body, void* buffer, uint64_t count) {
  if (count > body->left) return PAYLOAD_READ_ERROR;
  if (body->source->read(body->source->context, buffer, (uint32_t)count) != 0)
    return PAYLOAD_READ_ERROR;
  body->left -= count;
  return PAYLOAD_OK;
}

int ReadU8(BodyReader* body, uint8_t* value) { return ReadBytes(body, value, 1); }

int ReadU16(BodyReader* body, uint16_t* value) {
  uint8_t raw[2];
  int status = ReadBytes(body, raw, 2);
  *value = GetU16(raw);
  return status;
}

int ReadU32(BodyReader* body, uint32_t* value) {
  uint8_t raw[4];
  int status = ReadBytes(body, raw, 4);
  *value = GetU32(raw);
  return status;
}

// Reads units little-endian UTF-16 units into dest, in place.
int ReadUnits(BodyReader* body, RxChar* dest, uint32_t units) {
  int status = ReadBytes(body, dest, (uint64_t)units * 2);
  if (status != PAYLOAD_OK) return status;
  const uint8_t* raw = (const uint8_t*)dest;
  for (uint32_t i = 0; i < units; ++i) dest[i] = (RxChar)GetU16(raw + 2 * i);
  return PAYLOAD_OK;
}

// Reads one counted string into scratch at *used, behind which its
// terminator stays zero. The string and its terminator must fit in the
// capacity units left of the scratch.
int ReadScratchString(BodyReader* body, RxChar* scratch, uint32_t capacity, uint32_t* used) {
  uint16_t units;
  int status = ReadU16(body, &units);
  if (status != PAYLOAD_OK) return status;
  if ((uint32_t)units + 1 > capacity - *used) return PAYLOAD_READ_ERROR;
  status = ReadUnits(body, scratch + *used, units);
  *used += (uint32_t)units + 1;
  return status;
}

// Reads the u32 count of a list body and checks it against the body: every
// record needs at least minRecordBytes, so a larger count cannot be real and
// must not size an allocation.
int ReadListCount(BodyReader* body, uint32_t minRecordBytes, uint32_t* count) {
  int status = ReadU32(body, count);
  if (status != PAYLOAD_OK) return status;
  if ((uint64_t)*count * minRecordBytes > body->left) return PAYLOAD_READ_ERROR;
  return PAYLOAD_OK;
}

// Makes room for count more references in list. The first chunk of a kind
// allocates the array, later ones resize it.
template <typename T>
int GrowList(RecordList<T>* list, uint32_t count) {
  uint64_t total = (uint64_t)list->count + count;
  if (total > 0xFFFFFFFFu || total > (uint64_t)(size_t)-1 / sizeof(T*)) return PAYLOAD_READ_ERROR;
  size_t bytes = (size_t)total * sizeof(T*);
  bool ok = list->items ? MemResize(bytes, &list->items) : MemAllocZeroed(bytes, &list->items);
  if (!ok) return PAYLOAD_OUT_OF_MEMORY;
  for (uint64_t i = list->count; i < total; ++i) list->items[i] = nullptr;
  return PAYLOAD_OK;
}

// A chunk that fails midway adds nothing: its records are released and the
// count stays where it was.
template <typename T>
void DropPartialRecords(RecordList<T>* list, uint32_t added) {
  for (uint32_t i = 0; i < added; ++i) MemRelease(&list->items[list->count + i]);
}

// Allocates one record block: the fixed fields, then the strings of scratch
// (units units, terminators included) copied behind them.
template <typename T>
T* MakeRecord(const RxChar* scratch, uint32_t units) {
  T* record;
  if (!MemAllocZeroed(sizeof(T) + (size_t)units * sizeof(RxChar), &record)) return nullptr;
  memcpy(record + 1, scratch, (size_t)units * sizeof(RxChar));
  return record;
}

int ReadFileRecord(BodyReader* body, FileEntry** out) {
  RxChar scratch[FILE_RECORD_SCRATCH_UNITS];
  memset(scratch, 0, sizeof scratch);
  uint32_t used = 0;
  int status = ReadScratchString(body, scratch, FILE_RECORD_SCRATCH_UNITS, &used);
  uint32_t nameStart = used;
  if (status == PAYLOAD_OK)
    status = ReadScratchString(body, scratch, FILE_RECORD_SCRATCH_UNITS, &used);
  uint8_t flags = 0;
  if (status == PAYLOAD_OK) status = ReadU8(body, &flags);
  if (status != PAYLOAD_OK) return status;
  FileEntry* record = MakeRecord<FileEntry>(scratch, used);
  if (!record) return PAYLOAD_OUT_OF_MEMORY;
  const RxChar* strings = (const RxChar*)(record + 1);
  record->folder = strings;
  record->name = strings + nameStart;
  record->flags = flags;
  *out = record;
  return PAYLOAD_OK;
}

int ReadShortcutRecord(BodyReader* body, ShortcutEntry** out) {
  RxChar scratch[SHORTCUT_RECORD_SCRATCH_UNITS];
  memset(scratch, 0, sizeof scratch);
  uint8_t levels = 0;
  uint32_t used = 0, secondStart = 0, fileStart = 0;
  int status = ReadU8(body, &levels);
  if (status == PAYLOAD_OK)
    status = ReadScratchString(body, scratch, SHORTCUT_RECORD_SCRATCH_UNITS, &used);
  secondStart = used;
  if (status == PAYLOAD_OK)
    status = ReadScratchString(body, scratch, SHORTCUT_RECORD_SCRATCH_UNITS, &used);
  fileStart = used;
  if (status == PAYLOAD_OK)
    status = ReadScratchString(body, scratch, SHORTCUT_RECORD_SCRATCH_UNITS, &used);
  if (status != PAYLOAD_OK) return status;
  ShortcutEntry* record = MakeRecord<ShortcutEntry>(scratch, used);
  if (!record) return PAYLOAD_OUT_OF_MEMORY;
  RxChar* strings = (RxChar*)(record + 1);
  record->levels = levels;
  record->folder = strings;
  record->secondFolder = strings + secondStart;
  record->fileName = strings + fileStart;
  *out = record;
  return PAYLOAD_OK;
}

int ReadRegistryRecord(BodyReader* body, RegistryEntry** out) {
  RxChar scratch[REGISTRY_RECORD_SCRATCH_UNITS];
  memset(scratch, 0, sizeof scratch);
  uint32_t root = 0, used = 0;
  int status = ReadU32(body, &root);
  if (status == PAYLOAD_OK)
    status = ReadScratchString(body, scratch, REGISTRY_RECORD_SCRATCH_UNITS, &used);
  if (status != PAYLOAD_OK) return status;
  RegistryEntry* record = MakeRecord<RegistryEntry>(scratch, used);
  if (!record) return PAYLOAD_OUT_OF_MEMORY;
  record->root = root;
  record->path = (const RxChar*)(record + 1);
  *out = record;
  return PAYLOAD_OK;
}

template <typename T>
int ReadList(PayloadSource* source, const ChunkHeader* header, RecordList<T>* list,
             uint32_t minRecordBytes, int (*readRecord)(BodyReader*, T**)) {
  BodyReader body = OpenBody(source, header);
  uint32_t count;
  int status = ReadListCount(&body, minRecordBytes, &count);
  if (status != PAYLOAD_OK || count == 0) return status;
  status = GrowList(list, count);
  if (status != PAYLOAD_OK) return status;
  for (uint32_t i = 0; i < count; ++i) {
    status = readRecord(&body, &list->items[list->count + i]);
    if (status != PAYLOAD_OK) {
      DropPartialRecords(list, i);
      return status;
    }
  }
  list->count += count;
  return PAYLOAD_OK;
}

// --- Folder trees ---------------------------------------------------------

// Units of the multi-string up to and including its final empty string, or
// 0 when the block holds no complete list. The first NUL that starts a
// string ends the list: that is where the folder-tree walk stops.
uint32_t MultiStringUnits(const uint8_t* block, uint32_t length) {
  uint32_t units = length / 2;
  bool atStringStart = true;
  for (uint32_t i = 0; i < units; ++i) {
    bool nul = GetU16(block + 2 * i) == 0;
    if (nul && atStringStart) return i + 1;
    atStringStart = nul;
  }
  return 0;
}

// Brings a folder-tree body into the form the folder phase can walk safely:
// the list ends with its empty string at the block's last unit. Bytes behind
// the list's end are never walked and are cut off; a list whose last string
// is complete but whose final empty string is missing gets it. A body whose
// last string is not terminated is refused: ending it here would shorten a
// file pattern ("*.tmp" to "*") and remove files the installer never listed.
int NormaliseFolderTrees(uint8_t** block, uint32_t* length) {
  uint32_t units = MultiStringUnits(*block, *length);
  if (units != 0) {
    *length = units * 2;
    return PAYLOAD_OK;
  }
  uint32_t whole = *length / 2;
  if (whole == 0 || GetU16(*block + 2 * (whole - 1)) != 0) return PAYLOAD_READ_ERROR;
  if (!MemResize((size_t)(whole + 1) * 2, block)) return PAYLOAD_OUT_OF_MEMORY;
  (*block)[2 * whole] = 0;
  (*block)[2 * whole + 1] = 0;
  *length = (whole + 1) * 2;
  return PAYLOAD_OK;
}

int AddFolderTrees(uint8_t* block, uint32_t length, UninstallData* data) {
  if (length == 0) {
    MemRelease(&block);
    return PAYLOAD_OK;
  }
  int status = NormaliseFolderTrees(&block, &length);
  if (status != PAYLOAD_OK) {
    MemRelease(&block);
    return status;
  }
  if (!data->folderTrees) {
    data->folderTrees = block;
    data->folderTreesLength = length;
    return PAYLOAD_OK;
  }
  // Both lists end with their empty string, so the new one is written over
  // the stored one's final NUL unit.
  uint32_t keep = data->folderTreesLength - 2;
  uint64_t total = (uint64_t)keep + length;
  if (total > 0xFFFFFFFFu) {
    MemRelease(&block);
    return PAYLOAD_READ_ERROR;
  }
  if (!MemResize((size_t)total, &data->folderTrees)) {
    MemRelease(&block);
    return PAYLOAD_OUT_OF_MEMORY;
  }
  memcpy(data->folderTrees + keep, block, length);
  data->folderTreesLength = (uint32_t)total;
  MemRelease(&block);
  return PAYLOAD_OK;
}

// --- Dispatch ---------------------------------------------------------------

int ReadRawChunk(PayloadSource* source, const ChunkHeader* header, UninstallData* data) {
  uint8_t* block = nullptr;
  uint32_t length = 0;
  int status;
  switch (header->tag) {
    case CHUNK_HEADER:
      MemRelease(&data->header);
      data->headerLength = 0;
      status = ReadChunkBody(source, header, &data->header, &length);
      if (status == PAYLOAD_OK) data->headerLength = length;
      return status;
    case CHUNK_OPAQUE:
      status = ReadChunkBody(source, header, &block, &length);
      if (status != PAYLOAD_OK) return status;
      MemRelease(&data->opaque);
      data->opaque = block;
      data->opaqueLength = length;
      return PAYLOAD_OK;
    case CHUNK_FOLDER_TREES:
      status = ReadChunkBody(source, header, &block, &length);
      if (status != PAYLOAD_OK) return status;
      return AddFolderTrees(block, length, data);
    case CHUNK_EXTENSION:
      if (data->extensionBlob) return PAYLOAD_OK;  // the first good blob stays
      status = ReadChunkBody(source, header, &block, &length);
      if (status != PAYLOAD_OK) return status;
      UnpackExtensionBlob(block, length, data);
      return PAYLOAD_OK;
  }
  return PAYLOAD_OK;
}

int DispatchChunk(PayloadSource* source, const ChunkHeader* header, UninstallData* data) {
  switch (header->tag) {
    case CHUNK_MESSAGES:
      return ReadMessageTable(source, header, data);
    case CHUNK_FILES:
      return ReadFileList(source, header, data);
    case CHUNK_SHORTCUTS:
      return ReadShortcutList(source, header, data);
    case CHUNK_REGISTRY:
      return ReadRegistryList(source, header, data);
    case CHUNK_FOLDER_TREES:
    case CHUNK_HEADER:
    case CHUNK_EXTENSION:
    case CHUNK_OPAQUE:
      return ReadRawChunk(source, header, data);
  }
  return PAYLOAD_OK;  // CHUNK_END with a body, 0x1238 and unknown tags
}

// Header strings: an offset into the string area, even (the strings are
// UTF-16 units behind a 12-byte fixed part), whose string ends inside the
// body. Anything else is taken as "none".
const RxChar* HeaderString(const UninstallData* data, uint32_t offsetField) {
  if (!data->header || data->headerLength < PAYLOAD_HEADER_FIXED_SIZE) return nullptr;
  uint32_t offset = GetU32(data->header + offsetField);
  if (offset < PAYLOAD_HEADER_FIXED_SIZE || (offset & 1) != 0) return nullptr;
  for (uint32_t at = offset; at < data->headerLength && data->headerLength - at >= 2; at += 2)
    if (GetU16(data->header + at) == 0) return (const RxChar*)(data->header + offset);
  return nullptr;
}

template <typename T>
void ReleaseList(RecordList<T>* list) {
  for (uint32_t i = 0; i < list->count; ++i) MemRelease(&list->items[i]);
  MemRelease(&list->items);
  list->count = 0;
}

}  // namespace

int ReadFileList(PayloadSource* source, const ChunkHeader* header, UninstallData* data) {
  return ReadList(source, header, &data->files, FILE_RECORD_MIN_BYTES, ReadFileRecord);
}

int ReadShortcutList(PayloadSource* source, const ChunkHeader* header, UninstallData* data) {
  return ReadList(source, header, &data->shortcuts, SHORTCUT_RECORD_MIN_BYTES,
                  ReadShortcutRecord);
}

int ReadRegistryList(PayloadSource* source, const ChunkHeader* header, UninstallData* data) {
  return ReadList(source, header, &data->registry, REGISTRY_RECORD_MIN_BYTES,
                  ReadRegistryRecord);
}

int ReadChunkBody(PayloadSource* source, const ChunkHeader* header, uint8_t** block,
                  uint32_t* length) {
  uint32_t bodyLength = (uint32_t)header->size;
  if (length) *length = bodyLength;
  *block = nullptr;
  // A body stored in a form this program cannot load cannot be read either;
  // it is reported as a read error rather than under the index of an
  // unrelated message.
  if (header->flags & CHUNK_FLAG_UNLOADABLE) return PAYLOAD_READ_ERROR;
  // A length beyond the file's end is refused before it can size a block.
  if (bodyLength > BytesLeftInFile(source)) return PAYLOAD_READ_ERROR;
  if (!MemAlloc(bodyLength, block)) return PAYLOAD_OUT_OF_MEMORY;
  if (source->read(source->context, *block, bodyLength) != 0) {
    MemRelease(block);
    return PAYLOAD_READ_ERROR;
  }
  return PAYLOAD_OK;
}

void UnpackExtensionBlob(uint8_t* block, uint32_t length, UninstallData* data) {
  if (length < EXT_BLOB_PREFIX) {
    MemRelease(&block);
    return;
  }
  uint32_t content = length - EXT_BLOB_PREFIX;
  if (GetU32(block) != (content ^ EXT_LENGTH_CHECK) ||
      GetU32(block + 4) != RotateAddChecksum(block + EXT_BLOB_PREFIX, content, content)) {
    MemRelease(&block);
    return;
  }
  memmove(block, block + EXT_BLOB_PREFIX, content);
  UnscrambleExtensionContent(block, content);
  // A path is handed to LoadLibrary as it stands, so its NUL must lie inside
  // the content, at a unit boundary.
  if (content <= EXT_PATH_MAX_BYTES) {
    bool terminated = false;
    for (uint32_t at = 0; at + 2 <= content && !terminated; at += 2)
      terminated = GetU16(block + at) == 0;
    if (!terminated) {
      MemRelease(&block);
      return;
    }
  }
  data->extensionBlob = block;
  data->extensionLength = content;
}

int ReadPayloadChunks(PayloadSource* source, UninstallData* data) {
  for (;;) {
    uint8_t raw[CHUNK_HEADER_SIZE];
    if (source->read(source->context, raw, CHUNK_HEADER_SIZE) != 0) return PAYLOAD_READ_ERROR;
    ChunkHeader header;
    header.tag = GetU16(raw);
    header.flags = raw[2];
    header.reserved = raw[3];
    header.size = GetU64(raw + 4);
    if (header.size != 0) {
      // Nothing behind the end chunk is read, so its size does not matter.
      if (header.tag == CHUNK_END) return PAYLOAD_OK;
      // Checking against the bytes left (rather than adding to the position)
      // keeps the next position inside the file: a size near 2^64 cannot
      // wrap around and send the walk back to its own header.
      uint64_t left = BytesLeftInFile(source);
      if (header.size > left) return PAYLOAD_READ_ERROR;
      uint64_t next = source->getPos(source->context) + header.size;
      int status = DispatchChunk(source, &header, data);
      if (status != PAYLOAD_OK) return status;
      source->setPos(source->context, next);
    } else if (header.tag == CHUNK_END) {
      return PAYLOAD_OK;
    }
  }
}

uint32_t GetHeaderFlags(const UninstallData* data) {
  if (!data->header || data->headerLength < PAYLOAD_HEADER_FIXED_SIZE) return 0;
  return GetU32(data->header);
}

const RxChar* GetHeaderCommand(const UninstallData* data) { return HeaderString(data, 4); }

const RxChar* GetHeaderFinalPage(const UninstallData* data) { return HeaderString(data, 8); }

void ReleasePayloadBlocks(UninstallData* data) {
  MemRelease(&data->opaque);
  data->opaqueLength = 0;
  MemRelease(&data->extensionBlob);
  data->extensionLength = 0;
  MemRelease(&data->folderTrees);
  data->folderTreesLength = 0;
  ReleaseList(&data->registry);
  ReleaseList(&data->shortcuts);
  ReleaseList(&data->files);
  MemRelease(&data->header);
  data->headerLength = 0;
  if (data->messages) {
    for (RxChar** entry = data->messages; *entry; ++entry) MemRelease(entry);
    MemRelease(&data->messages);
  }
}
