// Payload writer: produces payload bytes exactly in the format that the
// uninstaller reads. Used by retrax-pack, by installers written in C++ and by
// the tests. Portable; builds for the host and for Windows.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>
#include "payload/format.h"

namespace pack {

typedef std::vector<uint8_t> Bytes;

struct FileRecord {
  std::u16string folder;
  std::u16string name;
  uint8_t flags = 0;
};

struct ShortcutRecord {
  uint8_t levels = 0;
  std::u16string folder;
  std::u16string secondFolder;
  std::u16string fileName;
};

struct RegistryRecord {
  uint32_t root = 0;
  std::u16string path;
};

struct HeaderRecord {
  uint32_t flags = 0;
  std::u16string command;    // empty: none (offset 0)
  std::u16string finalPage;  // empty: none (offset 0)
};

// Chunk framing: appends the 12-byte header and the body.
void AppendChunk(Bytes* out, uint16_t tag, const Bytes& body, uint8_t flags = 0);
void AppendEnd(Bytes* out);

// Bodies, one per chunk kind.
Bytes EncodeFileList(const std::vector<FileRecord>& records);
Bytes EncodeShortcutList(const std::vector<ShortcutRecord>& records);
Bytes EncodeRegistryList(const std::vector<RegistryRecord>& records);
Bytes EncodeHeader(const HeaderRecord& header);
// Tables of messages; the uninstaller reads the first table only.
Bytes EncodeMessages(const std::vector<std::vector<std::u16string>>& tables);
// Each string NUL-terminated, the list ended by an empty string.
Bytes EncodeFolderTrees(const std::vector<std::u16string>& trees);
// Scrambles content and prefixes length check and checksum.
Bytes EncodeExtensionBlob(const Bytes& content);
// Content for a library named by path: the path, NUL-terminated, as UTF-16.
Bytes ExtensionPathContent(const std::u16string& path);

// A whole payload, written in this chunk order: header, messages, files,
// shortcuts, registry, folder trees, extension, opaque, end.
struct Payload {
  bool hasHeader = true;
  HeaderRecord header;
  std::vector<std::u16string> messages;  // one table; empty: no chunk
  std::vector<FileRecord> files;
  std::vector<ShortcutRecord> shortcuts;
  std::vector<RegistryRecord> registry;
  std::vector<std::u16string> folderTrees;
  bool hasExtension = false;
  Bytes extensionContent;  // image, or ExtensionPathContent(...)
  bool hasOpaque = false;
  Bytes opaque;
};
Bytes EncodePayload(const Payload& payload);

// Checks what the encoders cannot express or the uninstaller would refuse:
// strings over 65535 units (the encoders cut them), records over the
// reader's scratch bounds (the reader rejects the chunk), NUL characters
// inside strings, empty folder-tree entries (they would end the list), and
// a path content of at most 260 bytes without its NUL. Returns false with
// an error text.
bool ValidatePayload(const Payload& payload, std::string* error);

// Program files carry the marker followed by the u32 payloadOffset.
// Finds the marker; returns the offset of the u32 field or -1 (also when the
// marker occurs more than once).
long FindPayloadOffsetField(const Bytes& program);
uint32_t ReadU32(const uint8_t* p);
void WriteU32(uint8_t* p, uint32_t v);

// Stub + payload: the program proper (the first payloadOffset bytes of stub,
// so a stub that carries a payload has it replaced) followed by payload.
// Returns false with an error text when the stub has no valid field.
bool AttachPayload(const Bytes& stub, const Bytes& payload, Bytes* out, std::string* error);

// Values known only on the target machine (the user's Start menu, desktop,
// profile): payload strings may hold "${NAME}" placeholders (NAME of ASCII
// letters, digits and '_', case-sensitive), which the installer fills in
// just before it encodes. "$${" stands for a literal "${".
struct Define {
  std::u16string name;
  std::u16string value;
};
// text with every placeholder replaced. False, with an error text naming
// the placeholder ("undefined placeholder ${StartMenu}"), for a placeholder
// without a value or a "${" that is not one.
bool ExpandPlaceholders(const std::u16string& text, const std::vector<Define>& defines,
                        std::u16string* out, std::string* error);
// The same over every string of the payload: header, messages, records and
// folder trees. The error names the field ("shortcuts[0].folder: ...").
bool ExpandPayloadPlaceholders(Payload* payload, const std::vector<Define>& defines,
                               std::string* error);

// UTF-8 <-> UTF-16 for the tool and the tests. FromUtf8 returns false on
// malformed input.
bool FromUtf8(const std::string& text, std::u16string* out);
std::string ToUtf8(const std::u16string& text);

}  // namespace pack
