// The uninstall data read from the payload: record lists, header, folder
// trees, message table, extension blob and opaque block. Filled once by the
// chunk walk, read by the driver and the removal phases, released at the end
// of the run.
#pragma once
#include <stdint.h>
#include "payload/format.h"
#include "payload/source.h"

// One heap block each: the fixed fields, then the NUL-terminated strings the
// references point into (folder first).
struct FileEntry {
  const RxChar* folder;
  const RxChar* name;  // empty: the record stands for the folder itself
  uint8_t flags;
};

// The folder phase counts levels down and shortens folder and secondFolder
// in place as it climbs, so those two are writable.
struct ShortcutEntry {
  uint32_t levels;
  RxChar* folder;
  RxChar* secondFolder;
  const RxChar* fileName;
};

struct RegistryEntry {
  uint32_t root;
  const RxChar* path;  // key path, optionally "\\" and a value name
};

template <typename T>
struct RecordList {
  T** items;  // null while no chunk filled the list
  uint32_t count;
};

struct UninstallData {
  RecordList<FileEntry> files;
  RecordList<ShortcutEntry> shortcuts;
  RecordList<RegistryEntry> registry;

  // Multi-string exactly as stored: strings ended by an empty string.
  uint8_t* folderTrees;
  uint32_t folderTreesLength;  // bytes

  // Header body exactly as read; null when the payload had no header.
  uint8_t* header;
  uint32_t headerLength;

  // Message table: references to strings, ended by a null reference.
  RxChar** messages;

  // Extension blob after unpacking (content only), and its length L.
  uint8_t* extensionBlob;
  uint32_t extensionLength;

  uint8_t* opaque;
  uint32_t opaqueLength;
};

// Walks the chunks from the source's current position to CHUNK_END and fills
// data. Returns PAYLOAD_OK, PAYLOAD_OUT_OF_MEMORY or PAYLOAD_READ_ERROR.
// Whatever was read before a failure stays in data (release it as usual).
int ReadPayloadChunks(PayloadSource* source, UninstallData* data);

// Per-tag readers; each starts right behind the chunk's header.
int ReadFileList(PayloadSource* source, const ChunkHeader* header, UninstallData* data);
int ReadShortcutList(PayloadSource* source, const ChunkHeader* header, UninstallData* data);
int ReadRegistryList(PayloadSource* source, const ChunkHeader* header, UninstallData* data);
int ReadMessageTable(PayloadSource* source, const ChunkHeader* header, UninstallData* data);
// Reads a raw body into a new block; length receives the low 32 bits of size.
int ReadChunkBody(PayloadSource* source, const ChunkHeader* header, uint8_t** block,
                  uint32_t* length);
// Keeps the unpacked blob in data, or releases block when a check fails.
void UnpackExtensionBlob(uint8_t* block, uint32_t length, UninstallData* data);

// Header fields; a missing or short header reads as zeros, and an offset
// outside the body or a string not ended inside it reads as "none" (null).
uint32_t GetHeaderFlags(const UninstallData* data);
const RxChar* GetHeaderCommand(const UninstallData* data);
const RxChar* GetHeaderFinalPage(const UninstallData* data);

// Releases the lists, header, folder trees, message table, blob and opaque
// block, nulling every reference. (The Windows program unloads its extension
// library before calling this.)
void ReleasePayloadBlocks(UninstallData* data);

// Message lookup: the message with that index of language slot 0, or the
// shared empty string. Never null.
const RxChar* LookupMessage(const UninstallData* data, int slot, int index);
extern const RxChar kEmptyText[1];

// Formats message text into out (capacity units, terminated, truncated when
// longer): the first "%s" takes argument and "%%" becomes "%" only when a
// "%s" is present; every other sequence is copied literally.
void FormatMessageInto(RxChar* out, uint32_t capacity, const RxChar* message,
                       const RxChar* argument);
