// The uninstall payload format: the one definition shared by the reader in
// retrax.exe, the writer library and retrax-pack. Everything on disk is
// little-endian; strings are UTF-16LE with a u16 unit count and no terminator.
#pragma once
#include <stdint.h>

// Text unit of the payload's strings. On Windows this is the platform's wide
// character, so payload strings are directly usable as LPCWSTR; on the host it
// is char16_t (wchar_t is 32 bits there).
#ifdef _WIN32
typedef wchar_t RxChar;
#define RX_TEXT(s) L##s
#else
typedef char16_t RxChar;
#define RX_TEXT(s) u##s
#endif

// Marker in the program's initialised data; the u32 payloadOffset follows it.
#define PAYLOAD_MARKER "wwgT)H"
enum { PAYLOAD_MARKER_LENGTH = 6 };

// ChunkHeader on disk: u16 tag, u8 flags, u8 reserved, u64 size.
enum { CHUNK_HEADER_SIZE = 12 };

struct ChunkHeader {
  uint16_t tag;
  uint8_t flags;     // bit 0: body stored in a form this program cannot load
  uint8_t reserved;
  uint64_t size;
};

enum ChunkTag : uint16_t {
  CHUNK_MESSAGES = 0x1234,
  CHUNK_FILES = 0x1235,
  CHUNK_SHORTCUTS = 0x1236,
  CHUNK_REGISTRY = 0x1237,
  CHUNK_UNUSED_1238 = 0x1238,  // never read; skipped like an unknown tag
  CHUNK_FOLDER_TREES = 0x1239,
  CHUNK_HEADER = 0x123A,
  CHUNK_EXTENSION = 0x123B,
  CHUNK_OPAQUE = 0x123C,
  CHUNK_END = 0x7F7F,
};

enum { CHUNK_FLAG_UNLOADABLE = 0x01 };

// Reader statuses; each doubles as the index of the message that reports it.
enum PayloadStatus {
  PAYLOAD_OK = 0,
  PAYLOAD_OUT_OF_MEMORY = 7,
  PAYLOAD_READ_ERROR = 8,
};

// FileEntry flag bits.
enum FileFlags : uint8_t {
  FileShared = 0x01,
  FileFont = 0x02,
  FileComponent = 0x04,
  FileCheckInUse = 0x08,
};

// PayloadHeader: u32 flags, u32 commandOffset, u32 finalPageOffset, strings.
enum { PAYLOAD_HEADER_FIXED_SIZE = 12 };
enum HeaderFlags : uint32_t {
  HEADER_WAIT_FOR_COMMAND = 0x1,
  HEADER_KEEP_VISUAL_STYLES = 0x2,
};

// A record is assembled in a scratch buffer of this many UTF-16 units, which
// bounds the sum of its strings plus their terminators.
enum {
  FILE_RECORD_SCRATCH_UNITS = 520,      // folder + name <= 518
  SHORTCUT_RECORD_SCRATCH_UNITS = 780,  // three strings <= 777
  REGISTRY_RECORD_SCRATCH_UNITS = 520,  // path <= 519
};

// Smallest on-disk size of one record of each list (all strings empty); a
// count whose records cannot fit in the chunk body is rejected.
enum {
  FILE_RECORD_MIN_BYTES = 2 + 2 + 1,
  SHORTCUT_RECORD_MIN_BYTES = 1 + 2 + 2 + 2,
  REGISTRY_RECORD_MIN_BYTES = 4 + 2,
};

// Paths built from payload strings live in buffers of this many units.
enum { RX_MAX_PATH = 260 };

// Message table: fixed indices used by the program itself.
enum MessageIndex {
  MSG_TITLE = 0,
  MSG_CONFIRM = 1,
  MSG_DONE = 2,
  MSG_BUTTON_YES = 3,
  MSG_BUTTON_YES_ALL = 4,
  MSG_BUTTON_NO = 5,
  MSG_BUTTON_NO_ALL = 6,
  MSG_OUT_OF_MEMORY = 7,
  MSG_READ_ERROR = 8,
  MSG_READ_ONLY = 9,
  MSG_SHARED_LIBRARY = 10,
  MSG_PROGRESS_FILES = 11,
  MSG_PROGRESS_SHORTCUTS = 12,
  MSG_PROGRESS_FOLDERS = 13,
  MSG_PROGRESS_REGISTRY = 14,
  MSG_PROGRAM_RUNNING = 15,
  MSG_COUNT_USED = 16,
};

// Formatted messages go into buffers of this many UTF-16 units (2048 bytes).
enum { MESSAGE_BUFFER_UNITS = 1024 };

// Extension blob: u32 (L ^ EXT_LENGTH_CHECK), u32 RotateAddChecksum(content,
// L, seed L), then L scrambled content bytes. Content above 260 bytes is a
// library image; up to 260 bytes a NUL-terminated UTF-16 path.
enum : uint32_t { EXT_LENGTH_CHECK = 0x0000A7C5u };
enum : uint8_t { EXT_INITIAL_KEY = 0x5B };
enum { EXT_BLOB_PREFIX = 8, EXT_PATH_MAX_BYTES = 260 };

// Extension entry points, by ordinal.
enum ExtensionOrdinal {
  EXT_LOADED = 51,
  EXT_UNLOADING = 52,
  EXT_BEFORE_REMOVAL = 53,
  EXT_FILE = 54,
  EXT_REGISTRY_ENTRY = 55,
  EXT_AFTER_REMOVAL = 56,
};

// Rotate left by one, then add each byte, modulo 2^32.
uint32_t RotateAddChecksum(const uint8_t* data, uint32_t length, uint32_t seed);

// Scrambling of the extension content with the running one-byte key. The
// writer scrambles, the reader unscrambles; both walk the same key sequence.
void ScrambleExtensionContent(uint8_t* data, uint32_t length);
void UnscrambleExtensionContent(uint8_t* data, uint32_t length);
