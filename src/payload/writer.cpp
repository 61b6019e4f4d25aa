// Payload writer: the installer's side of the format in format.h. Every byte
// layout here has its counterpart in reader.cpp; the round-trip tests hold
// the two together.
#include "payload/writer.h"

#include <string.h>

namespace pack {

namespace {

// A string's on-disk length is a u16. Longer strings cannot be stored;
// ValidatePayload reports them, and the encoders cut them at 65535 units so
// that the framing of the body stays consistent.
const size_t kMaxStoredUnits = 0xFFFF;

void PutU8(Bytes* out, uint8_t v) { out->push_back(v); }

void PutU16(Bytes* out, uint16_t v) {
  out->push_back((uint8_t)(v & 0xFF));
  out->push_back((uint8_t)(v >> 8));
}

void PutU32(Bytes* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back((uint8_t)(v >> (8 * i)));
}

void PutU64(Bytes* out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out->push_back((uint8_t)(v >> (8 * i)));
}

void PutUnits(Bytes* out, const std::u16string& text, size_t units) {
  for (size_t i = 0; i < units; ++i) PutU16(out, (uint16_t)text[i]);
}

// u16 unit count, then the units, no terminator.
void PutCounted(Bytes* out, const std::u16string& text) {
  size_t units = text.size() < kMaxStoredUnits ? text.size() : kMaxStoredUnits;
  PutU16(out, (uint16_t)units);
  PutUnits(out, text, units);
}

// The units and a NUL unit, for raw bodies whose strings carry their own end.
void PutTerminated(Bytes* out, const std::u16string& text) {
  PutUnits(out, text, text.size());
  PutU16(out, 0);
}

// A size that a u32 field cannot hold (only possible with a 64-bit size_t).
bool Exceeds32Bits(uint64_t size) { return (size >> 32) != 0; }

bool HasNulUnit(const std::u16string& text) {
  return text.find(u'\0') != std::u16string::npos;
}

}  // namespace

void AppendChunk(Bytes* out, uint16_t tag, const Bytes& body, uint8_t flags) {
  PutU16(out, tag);
  PutU8(out, flags);
  PutU8(out, 0);
  PutU64(out, (uint64_t)body.size());
  out->insert(out->end(), body.begin(), body.end());
}

void AppendEnd(Bytes* out) { AppendChunk(out, CHUNK_END, Bytes()); }

Bytes EncodeFileList(const std::vector<FileRecord>& records) {
  Bytes body;
  PutU32(&body, (uint32_t)records.size());
  for (const FileRecord& r : records) {
    PutCounted(&body, r.folder);
    PutCounted(&body, r.name);
    PutU8(&body, r.flags);
  }
  return body;
}

Bytes EncodeShortcutList(const std::vector<ShortcutRecord>& records) {
  Bytes body;
  PutU32(&body, (uint32_t)records.size());
  for (const ShortcutRecord& r : records) {
    PutU8(&body, r.levels);
    PutCounted(&body, r.folder);
    PutCounted(&body, r.secondFolder);
    PutCounted(&body, r.fileName);
  }
  return body;
}

Bytes EncodeRegistryList(const std::vector<RegistryRecord>& records) {
  Bytes body;
  PutU32(&body, (uint32_t)records.size());
  for (const RegistryRecord& r : records) {
    PutU32(&body, r.root);
    PutCounted(&body, r.path);
  }
  return body;
}

Bytes EncodeHeader(const HeaderRecord& header) {
  Bytes strings;
  uint32_t commandOffset = 0;
  uint32_t finalPageOffset = 0;
  if (!header.command.empty()) {
    commandOffset = PAYLOAD_HEADER_FIXED_SIZE + (uint32_t)strings.size();
    PutTerminated(&strings, header.command);
  }
  if (!header.finalPage.empty()) {
    finalPageOffset = PAYLOAD_HEADER_FIXED_SIZE + (uint32_t)strings.size();
    PutTerminated(&strings, header.finalPage);
  }
  Bytes body;
  PutU32(&body, header.flags);
  PutU32(&body, commandOffset);
  PutU32(&body, finalPageOffset);
  body.insert(body.end(), strings.begin(), strings.end());
  return body;
}

Bytes EncodeMessages(const std::vector<std::vector<std::u16string>>& tables) {
  Bytes body;
  PutU16(&body, (uint16_t)tables.size());
  for (const std::vector<std::u16string>& table : tables) {
    PutU16(&body, (uint16_t)table.size());
    for (const std::u16string& text : table) PutCounted(&body, text);
  }
  return body;
}

Bytes EncodeFolderTrees(const std::vector<std::u16string>& trees) {
  Bytes body;
  for (const std::u16string& tree : trees) PutTerminated(&body, tree);
  PutU16(&body, 0);
  return body;
}

Bytes EncodeExtensionBlob(const Bytes& content) {
  uint32_t length = (uint32_t)content.size();
  Bytes scrambled(content);
  if (length != 0) ScrambleExtensionContent(scrambled.data(), length);
  Bytes blob;
  PutU32(&blob, length ^ EXT_LENGTH_CHECK);
  PutU32(&blob, RotateAddChecksum(scrambled.data(), length, length));
  blob.insert(blob.end(), scrambled.begin(), scrambled.end());
  return blob;
}

Bytes ExtensionPathContent(const std::u16string& path) {
  Bytes content;
  PutTerminated(&content, path);
  return content;
}

Bytes EncodePayload(const Payload& payload) {
  Bytes out;
  if (payload.hasHeader) AppendChunk(&out, CHUNK_HEADER, EncodeHeader(payload.header));
  if (!payload.messages.empty())
    AppendChunk(&out, CHUNK_MESSAGES, EncodeMessages({payload.messages}));
  if (!payload.files.empty()) AppendChunk(&out, CHUNK_FILES, EncodeFileList(payload.files));
  if (!payload.shortcuts.empty())
    AppendChunk(&out, CHUNK_SHORTCUTS, EncodeShortcutList(payload.shortcuts));
  if (!payload.registry.empty())
    AppendChunk(&out, CHUNK_REGISTRY, EncodeRegistryList(payload.registry));
  if (!payload.folderTrees.empty())
    AppendChunk(&out, CHUNK_FOLDER_TREES, EncodeFolderTrees(payload.folderTrees));
  if (payload.hasExtension)
    AppendChunk(&out, CHUNK_EXTENSION, EncodeExtensionBlob(payload.extensionContent));
  if (payload.hasOpaque) AppendChunk(&out, CHUNK_OPAQUE, payload.opaque);
  AppendEnd(&out);
  return out;
}

namespace {

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

std::string Quote(const std::u16string& text) { return "\"" + ToUtf8(text) + "\""; }

// A path blob is a UTF-16 string; its NUL must stand at a unit boundary.
bool HasTerminatorUnit(const Bytes& content) {
  for (size_t i = 0; i + 1 < content.size(); i += 2)
    if (content[i] == 0 && content[i + 1] == 0) return true;
  return false;
}

}  // namespace

bool ValidatePayload(const Payload& payload, std::string* error) {
  if (HasNulUnit(payload.header.command) || HasNulUnit(payload.header.finalPage))
    return Fail(error, "header command or final page holds a NUL character");
  if (payload.messages.size() > kMaxStoredUnits) return Fail(error, "more than 65535 messages");
  for (size_t i = 0; i < payload.messages.size(); ++i)
    if (payload.messages[i].size() > kMaxStoredUnits)
      return Fail(error, "message " + std::to_string(i) + " is longer than 65535 units");
  for (const FileRecord& r : payload.files) {
    if (r.folder.size() + r.name.size() > FILE_RECORD_SCRATCH_UNITS - 2)
      return Fail(error, "file record too long: " + Quote(r.folder) + " " + Quote(r.name));
    if (HasNulUnit(r.folder) || HasNulUnit(r.name))
      return Fail(error, "file record holds a NUL character: " + Quote(r.folder));
  }
  for (const ShortcutRecord& r : payload.shortcuts) {
    if (r.folder.size() + r.secondFolder.size() + r.fileName.size() >
        SHORTCUT_RECORD_SCRATCH_UNITS - 3)
      return Fail(error, "shortcut record too long: " + Quote(r.folder));
    if (HasNulUnit(r.folder) || HasNulUnit(r.secondFolder) || HasNulUnit(r.fileName))
      return Fail(error, "shortcut record holds a NUL character: " + Quote(r.folder));
  }
  for (const RegistryRecord& r : payload.registry) {
    if (r.path.size() > REGISTRY_RECORD_SCRATCH_UNITS - 1)
      return Fail(error, "registry record too long: " + Quote(r.path));
    if (HasNulUnit(r.path))
      return Fail(error, "registry record holds a NUL character: " + Quote(r.path));
  }
  for (const std::u16string& tree : payload.folderTrees) {
    // An empty string would end the list early; the trees behind it would
    // silently not be removed.
    if (tree.empty()) return Fail(error, "empty folder tree entry");
    if (HasNulUnit(tree)) return Fail(error, "folder tree holds a NUL character: " + Quote(tree));
  }
  if (payload.hasExtension) {
    const Bytes& content = payload.extensionContent;
    if (Exceeds32Bits((uint64_t)content.size() + EXT_BLOB_PREFIX))
      return Fail(error, "extension library too large");
    if (content.size() <= EXT_PATH_MAX_BYTES && !HasTerminatorUnit(content))
      return Fail(error, "extension content of at most 260 bytes must be a NUL-terminated path");
  }
  if (payload.hasOpaque && Exceeds32Bits(payload.opaque.size()))
    return Fail(error, "opaque block too large");
  return true;
}

uint32_t ReadU32(const uint8_t* p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) |
         ((uint32_t)p[3] << 24);
}

void WriteU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = (uint8_t)(v >> (8 * i));
}

long FindPayloadOffsetField(const Bytes& program) {
  const size_t markerLength = PAYLOAD_MARKER_LENGTH;
  if (program.size() < markerLength + 4) return -1;
  long found = -1;
  size_t programEnd = program.size();
  for (size_t i = 0; i + markerLength + 4 <= programEnd; ++i) {
    if (memcmp(&program[i], PAYLOAD_MARKER, markerLength) != 0) continue;
    // A second marker inside the program proper is ambiguous: which one
    // would the program read? Markers behind the program proper are payload
    // bytes (an opaque block may hold anything) and do not count.
    if (found >= 0) return -1;
    found = (long)(i + markerLength);
    uint32_t offset = ReadU32(&program[(size_t)found]);
    if (offset != 0 && offset < programEnd) programEnd = offset;
  }
  return found;
}

bool AttachPayload(const Bytes& stub, const Bytes& payload, Bytes* out, std::string* error) {
  long field = FindPayloadOffsetField(stub);
  if (field < 0)
    return Fail(error, "the program holds no payload offset field (marker missing or repeated)");
  uint32_t offset = ReadU32(&stub[(size_t)field]);
  // A program built without a payload holds its own length; an unpatched
  // field (0) is taken as "the whole file is the program".
  if (offset == 0) offset = (uint32_t)stub.size();
  if (Exceeds32Bits(stub.size())) return Fail(error, "the program is larger than 4 GiB");
  if (offset > stub.size())
    return Fail(error, "the payload offset field points past the end of the program");
  if ((size_t)field + 4 > offset)
    return Fail(error, "the payload offset field lies inside the old payload");
  if (Exceeds32Bits((uint64_t)offset + payload.size()))
    return Fail(error, "the program with its payload would exceed 4 GiB");
  out->assign(stub.begin(), stub.begin() + offset);
  WriteU32(&(*out)[(size_t)field], offset);
  out->insert(out->end(), payload.begin(), payload.end());
  return true;
}

bool FromUtf8(const std::string& text, std::u16string* out) {
  std::u16string result;
  result.reserve(text.size());
  const uint8_t* p = (const uint8_t*)text.data();
  size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    uint32_t c = p[i];
    size_t extra;
    uint32_t min;
    if (c < 0x80) {
      extra = 0;
      min = 0;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1;
      min = 0x80;
      c &= 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      min = 0x800;
      c &= 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      min = 0x10000;
      c &= 0x07;
    } else {
      return false;
    }
    if (n - i - 1 < extra) return false;
    for (size_t k = 1; k <= extra; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      c = (c << 6) | (p[i + k] & 0x3F);
    }
    // Overlong forms, encoded surrogates and values past U+10FFFF are not
    // UTF-8; accepting them would let two spellings name one path.
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    if (c >= 0x10000) {
      c -= 0x10000;
      result.push_back((char16_t)(0xD800 + (c >> 10)));
      result.push_back((char16_t)(0xDC00 + (c & 0x3FF)));
    } else {
      result.push_back((char16_t)c);
    }
    i += extra + 1;
  }
  out->swap(result);
  return true;
}

std::string ToUtf8(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // a lone surrogate has no UTF-8 form
    }
    if (c < 0x80) {
      out.push_back((char)c);
    } else if (c < 0x800) {
      out.push_back((char)(0xC0 | (c >> 6)));
      out.push_back((char)(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back((char)(0xE0 | (c >> 12)));
      out.push_back((char)(0x80 | ((c >> 6) & 0x3F)));
      out.push_back((char)(0x80 | (c & 0x3F)));
    } else {
      out.push_back((char)(0xF0 | (c >> 18)));
      out.push_back((char)(0x80 | ((c >> 12) & 0x3F)));
      out.push_back((char)(0x80 | ((c >> 6) & 0x3F)));
      out.push_back((char)(0x80 | (c & 0x3F)));
    }
  }
  return out;
}


bool ExpandPlaceholders(const std::u16string& text, const std::vector<Define>& defines,
                        std::u16string* out, std::string* error) {
  std::u16string result;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 3, u"$${") == 0) {
      result += u"${";
      i += 2;
      continue;
    }
    if (text.compare(i, 2, u"${") != 0) {
      result.push_back(text[i]);
      continue;
    }
    size_t end = i + 2;
    while (end < text.size() && ((text[end] >= u'A' && text[end] <= u'Z') ||
                                 (text[end] >= u'a' && text[end] <= u'z') ||
                                 (text[end] >= u'0' && text[end] <= u'9') || text[end] == u'_'))
      ++end;
    if (end == i + 2 || end >= text.size() || text[end] != u'}') {
      *error = "\"${\" begins no placeholder ${NAME} (write \"$${\" for the characters themselves)";
      return false;
    }
    const std::u16string name = text.substr(i + 2, end - i - 2);
    const Define* found = nullptr;
    for (const Define& define : defines)
      if (define.name == name) found = &define;
    if (!found) {
      *error = "undefined placeholder ${" + ToUtf8(name) + "}";
      return false;
    }
    result += found->value;
    i = end;
  }
  out->swap(result);
  return true;
}

bool ExpandPayloadPlaceholders(Payload* payload, const std::vector<Define>& defines,
                               std::string* error) {
  std::string problem;
  auto expand = [&](std::u16string* text, const std::string& where) {
    if (ExpandPlaceholders(*text, defines, text, &problem)) return true;
    *error = where + ": " + problem;
    return false;
  };
  auto at = [](const char* list, size_t i, const char* field) {
    return std::string(list) + "[" + std::to_string(i) + "]" + (*field ? "." : "") + field;
  };
  if (!expand(&payload->header.command, "header.command") ||
      !expand(&payload->header.finalPage, "header.finalPage"))
    return false;
  for (size_t i = 0; i < payload->messages.size(); ++i)
    if (!expand(&payload->messages[i], at("messages", i, ""))) return false;
  for (size_t i = 0; i < payload->files.size(); ++i)
    if (!expand(&payload->files[i].folder, at("files", i, "folder")) ||
        !expand(&payload->files[i].name, at("files", i, "name")))
      return false;
  for (size_t i = 0; i < payload->shortcuts.size(); ++i)
    if (!expand(&payload->shortcuts[i].folder, at("shortcuts", i, "folder")) ||
        !expand(&payload->shortcuts[i].secondFolder, at("shortcuts", i, "secondFolder")) ||
        !expand(&payload->shortcuts[i].fileName, at("shortcuts", i, "fileName")))
      return false;
  for (size_t i = 0; i < payload->registry.size(); ++i)
    if (!expand(&payload->registry[i].path, at("registry", i, "path"))) return false;
  for (size_t i = 0; i < payload->folderTrees.size(); ++i)
    if (!expand(&payload->folderTrees[i], at("folderTrees", i, ""))) return false;
  return true;
}

}  // namespace pack
