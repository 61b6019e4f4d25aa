#include "hostile/hostile_payloads.h"

namespace hostile {

const char16_t kTitle[] = u"Hostile App Uninstall";
const char16_t kDamageText[] = u"The uninstall data of %s cannot be read.";

namespace {

using pack::AppendChunk;

const uint64_t k4GiB = 1ull << 32;
// A folder that exists on no machine: the base payload's absolute names
// point there, so a run that takes them removes nothing.
const char16_t kNowhere[] = u"C:\\retrax-hostile-nowhere";

struct Chunk {
  size_t start;
  uint16_t tag;
  uint64_t size;
  std::string name;
};

std::string TagName(uint16_t tag) {
  switch (tag) {
    case CHUNK_HEADER: return "header";
    case CHUNK_MESSAGES: return "messages";
    case CHUNK_FILES: return "files";
    case CHUNK_SHORTCUTS: return "shortcuts";
    case CHUNK_REGISTRY: return "registry";
    case CHUNK_FOLDER_TREES: return "folder-trees";
    case CHUNK_EXTENSION: return "extension";
    case CHUNK_OPAQUE: return "opaque";
    case CHUNK_END: return "end";
  }
  return "unknown";
}

uint64_t GetU64(const Bytes& bytes, size_t at) {
  return (uint64_t)pack::ReadU32(&bytes[at]) | ((uint64_t)pack::ReadU32(&bytes[at + 4]) << 32);
}

void PutU16(Bytes* bytes, size_t at, uint16_t value) {
  (*bytes)[at] = (uint8_t)value;
  (*bytes)[at + 1] = (uint8_t)(value >> 8);
}

void PutU64(Bytes* bytes, size_t at, uint64_t value) {
  pack::WriteU32(&(*bytes)[at], (uint32_t)value);
  pack::WriteU32(&(*bytes)[at + 4], (uint32_t)(value >> 32));
}

void SetChunkSize(Bytes* payload, const Chunk& chunk, uint64_t size) { PutU64(payload, chunk.start + 4, size); }

std::vector<Chunk> Chunks(const Bytes& payload) {
  std::vector<Chunk> chunks;
  for (size_t start : ChunkStarts(payload)) {
    const uint16_t tag = (uint16_t)(payload[start] | (payload[start + 1] << 8));
    chunks.push_back({start, tag, GetU64(payload, start + 4), TagName(tag)});
  }
  return chunks;
}

Chunk Find(const std::vector<Chunk>& chunks, uint16_t tag) {
  for (const Chunk& chunk : chunks)
    if (chunk.tag == tag) return chunk;
  return Chunk{0, 0, 0, "missing"};
}

Bytes Cut(const Bytes& payload, size_t keep) { return Bytes(payload.begin(), payload.begin() + keep); }

Bytes Insert(const Bytes& payload, size_t at, const Bytes& bytes) {
  Bytes out(payload.begin(), payload.begin() + at);
  out.insert(out.end(), bytes.begin(), bytes.end());
  out.insert(out.end(), payload.begin() + at, payload.end());
  return out;
}

Bytes Units(const std::u16string& text) {
  Bytes out;
  for (char16_t unit : text) {
    out.push_back((uint8_t)unit);
    out.push_back((uint8_t)(unit >> 8));
  }
  return out;
}

std::u16string Repeat(char16_t unit, size_t count) { return std::u16string(count, unit); }

// text padded with 'x' to exactly units units.
std::u16string PadTo(std::u16string text, size_t units) {
  text.resize(units, u'x');
  return text;
}

// The base payload with one chunk's body replaced by body (flags as given).
Bytes WithBody(uint16_t tag, const Bytes& body, uint8_t flags = 0) {
  const Bytes base = pack::EncodePayload(BasePayload());
  const Chunk chunk = Find(Chunks(base), tag);
  Bytes out(base.begin(), base.begin() + chunk.start);
  AppendChunk(&out, tag, body, flags);
  out.insert(out.end(), base.begin() + chunk.start + 12 + chunk.size, base.end());
  return out;
}

Bytes HeaderBody(uint32_t flags, uint32_t commandOffset, uint32_t pageOffset, const Bytes& strings) {
  Bytes body(12);
  pack::WriteU32(&body[0], flags);
  pack::WriteU32(&body[4], commandOffset);
  pack::WriteU32(&body[8], pageOffset);
  body.insert(body.end(), strings.begin(), strings.end());
  return body;
}

Bytes Blob(const Bytes& content) { return pack::EncodeExtensionBlob(content); }

Case Completes(std::string name, Bytes payload, std::string why) {
  return Case{std::move(name), std::move(payload), Outcome::kCompletes, std::move(why), Report()};
}

// A damaged payload: its report depends on whether the message table was
// read before the walk failed at failAt (a byte offset).
Case Damaged(std::string name, Bytes payload, size_t failAt, std::string why) {
  const Chunk messages = Find(Chunks(pack::EncodePayload(BasePayload())), CHUNK_MESSAGES);
  const bool titled = messages.start + 12 + messages.size <= failAt;
  return Case{std::move(name), std::move(payload), titled ? Outcome::kDamaged : Outcome::kDamagedUntitled,
              std::move(why), titled ? DamageReport() : Report{u"", false, u"", u""}};
}

// Where a case damages something behind the whole base payload's messages.
const size_t kAfterMessages = (size_t)-1;

void AddTruncations(std::vector<Case>* cases) {
  const Bytes base = pack::EncodePayload(BasePayload());
  for (const Chunk& chunk : Chunks(base)) {
    cases->push_back(Damaged("cut-before-" + chunk.name, Cut(base, chunk.start), chunk.start,
                             "ends just before the " + chunk.name + " chunk: no end chunk"));
    cases->push_back(Damaged("cut-in-" + chunk.name + "-chunk-header", Cut(base, chunk.start + 7), chunk.start,
                             "ends inside the size field of the " + chunk.name + " chunk's header"));
    if (chunk.size >= 2) {
      const size_t keep = chunk.start + 12 + (size_t)chunk.size / 2;
      cases->push_back(Damaged("cut-in-" + chunk.name + "-body", Cut(base, keep), chunk.start,
                               "ends halfway through the " + chunk.name + " chunk's body"));
    }
  }
}

void AddSizes(std::vector<Case>* cases) {
  const Bytes base = pack::EncodePayload(BasePayload());
  const std::vector<Chunk> chunks = Chunks(base);
  for (const Chunk& chunk : chunks) {
    if (chunk.tag == CHUNK_END) continue;
    Bytes payload = base;
    SetChunkSize(&payload, chunk, base.size() - (chunk.start + 12) + 1);
    cases->push_back(Damaged(chunk.name + "-size-past-end", payload, chunk.start,
                             "the " + chunk.name + " chunk's size reaches one byte past the end of the file"));
  }
  for (uint16_t tag : {CHUNK_HEADER, CHUNK_FILES, CHUNK_FOLDER_TREES, CHUNK_OPAQUE}) {
    const Chunk chunk = Find(chunks, tag);
    Bytes payload = base;
    SetChunkSize(&payload, chunk, chunk.size + k4GiB);
    cases->push_back(Damaged(chunk.name + "-size-above-4gib", payload, chunk.start,
                             "the " + chunk.name + " chunk's size is its body length plus 4 GiB: the low 32 bits "
                             "alone would read the body, the walk moves past the end"));
  }
  const Chunk files = Find(chunks, CHUNK_FILES), end = Find(chunks, CHUNK_END);
  Bytes unknown;
  AppendChunk(&unknown, 0x4242, {1, 2, 3, 4});
  PutU64(&unknown, 4, ~0ull);
  cases->push_back(Damaged("unknown-size-max", Insert(base, files.start, unknown), kAfterMessages,
                           "a chunk of an unknown tag with size 2^64-1: the next position must not wrap around"));
  Bytes payload = base;
  SetChunkSize(&payload, end, k4GiB + 5);
  cases->push_back(Completes("end-size-above-4gib", payload, "the end chunk's size is 4 GiB + 5: never read"));
  payload = base;
  SetChunkSize(&payload, files, 4 + 3);
  cases->push_back(Damaged("files-size-short-of-records", payload, kAfterMessages,
                           "the files chunk's size covers the count and 3 bytes of its 3 records"));
  payload = Insert(base, files.start + 12 + files.size, Bytes(6, 0xEE));
  SetChunkSize(&payload, files, files.size + 6);
  cases->push_back(Completes("files-size-beyond-records", payload,
                             "6 bytes of garbage behind the file records, inside the chunk's size: skipped"));
  payload = base;
  SetChunkSize(&payload, files, 0);
  cases->push_back(Damaged("files-size-zero-with-body", payload, kAfterMessages,
                           "a files chunk of size 0 followed by its body, which the walk reads as a header"));
}

void AddCounts(std::vector<Case>* cases) {
  const Bytes base = pack::EncodePayload(BasePayload());
  const std::vector<Chunk> chunks = Chunks(base);
  for (uint16_t tag : {CHUNK_FILES, CHUNK_SHORTCUTS, CHUNK_REGISTRY}) {
    const Chunk chunk = Find(chunks, tag);
    Bytes payload = base;
    pack::WriteU32(&payload[chunk.start + 12], 0xFFFFFFFFu);
    cases->push_back(Damaged(chunk.name + "-count-max", payload, kAfterMessages,
                             "the " + chunk.name + " list's count is 2^32-1 with its few records behind it"));
  }
  const Chunk files = Find(chunks, CHUNK_FILES), registry = Find(chunks, CHUNK_REGISTRY);
  const Chunk messages = Find(chunks, CHUNK_MESSAGES);
  Bytes payload = base;
  pack::WriteU32(&payload[files.start + 12], pack::ReadU32(&payload[files.start + 12]) + 1);
  cases->push_back(Damaged("files-count-one-more", payload, kAfterMessages,
                           "the files list counts one record more than its chunk holds"));
  payload = base;
  pack::WriteU32(&payload[registry.start + 12], 0);
  cases->push_back(Completes("registry-count-zero-with-records", payload,
                             "a registry list of count 0 with a record behind it: the record is not read"));
  payload = base;
  PutU16(&payload, messages.start + 12 + 2, 0xFFFF);
  cases->push_back(Damaged("messages-count-max", payload, messages.start,
                           "the message table counts 65535 messages and holds 16"));
  payload = base;
  PutU16(&payload, messages.start + 12, 0xFFFF);
  cases->push_back(Completes("messages-tables-max", payload,
                             "the messages chunk counts 65535 tables and holds one: only the first is read"));
}

void AddRecordBounds(std::vector<Case>* cases) {
  // One record of each list, its strings' units summing to the bound and to
  // one more. The record at the bound is read, and its path, too long for
  // any path buffer, is passed over; the one beyond is refused whole.
  for (size_t units : {518, 519}) {
    pack::Payload payload = BasePayload();
    payload.files = {{u".\\" + Repeat(u'a', 256), Repeat(u'b', units - 258), 0}};
    const std::string name = "file-record-" + std::to_string(units) + "-units";
    if (units == 518) {
      cases->push_back(Completes(name, pack::EncodePayload(payload), "folder and name of 518 units together"));
    } else {
      cases->push_back(Damaged(name, pack::EncodePayload(payload), kAfterMessages,
                               "folder and name of 519 units together: beyond the record's bound"));
    }
  }
  for (size_t units : {777, 778}) {
    pack::Payload payload = BasePayload();
    const std::u16string folder = PadTo(std::u16string(kNowhere) + u"\\", 259);
    payload.shortcuts = {{0, folder, folder, Repeat(u's', units - 2 * 259)}};
    const std::string name = "shortcut-record-" + std::to_string(units) + "-units";
    if (units == 777) {
      cases->push_back(Completes(name, pack::EncodePayload(payload), "three strings of 777 units together"));
    } else {
      cases->push_back(Damaged(name, pack::EncodePayload(payload), kAfterMessages,
                               "three strings of 778 units together: beyond the record's bound"));
    }
  }
  for (size_t units : {519, 520}) {
    pack::Payload payload = BasePayload();
    payload.registry = {{0x80000001u, PadTo(u"Software\\RetraxHostileNowhere\\", units)}};
    const std::string name = "registry-record-" + std::to_string(units) + "-units";
    if (units == 519) {
      cases->push_back(Completes(name, pack::EncodePayload(payload), "a key path of 519 units"));
    } else {
      cases->push_back(Damaged(name, pack::EncodePayload(payload), kAfterMessages,
                               "a key path of 520 units: beyond the record's bound"));
    }
  }
  // A string whose count runs past the chunk: u16 count 65535, 10 units.
  Bytes body;
  body.insert(body.end(), {1, 0, 0, 0, 1, 0, '.', 0, 0xFF, 0xFF});
  const Bytes name = Units(u"short.txt\\");
  body.insert(body.end(), name.begin(), name.end());
  body.push_back(0);
  cases->push_back(Damaged("file-name-length-past-body", WithBody(CHUNK_FILES, body), kAfterMessages,
                           "a file name counted 65535 units long in a chunk that holds 10"));
}

void AddHeaderOffsets(std::vector<Case>* cases) {
  const Bytes command = Units(u"notepad.exe");
  Bytes terminated = command;
  terminated.insert(terminated.end(), {0, 0});
  struct {
    const char* name;
    Bytes body;
    const char* why;
  } headers[] = {
      {"header-command-offset-outside", HeaderBody(0, 0xFFFFFFF0u, 0, terminated),
       "the command's offset is 0xFFFFFFF0, far outside the header's body"},
      {"header-command-offset-at-end", HeaderBody(0, 12 + (uint32_t)terminated.size(), 0, terminated),
       "the command's offset is the header body's length: just past its end"},
      {"header-command-offset-odd", HeaderBody(0, 13, 0, terminated),
       "the command's offset is odd: between two UTF-16 units"},
      {"header-command-offset-in-fixed-part", HeaderBody(0, 4, 0, terminated),
       "the command's offset points at the offset fields themselves"},
      {"header-command-unterminated", HeaderBody(0, 12, 0, command),
       "the command's string runs to the end of the body without a NUL"},
      {"header-final-page-offset-outside", HeaderBody(0, 0, 0x7FFFFFFFu, terminated),
       "the final page's offset is 0x7FFFFFFF"},
      {"header-short", Bytes{0, 0, 0, 0}, "a header body of 4 bytes: its flags, no offsets"},
  };
  for (const auto& header : headers)
    cases->push_back(Completes(header.name, WithBody(CHUNK_HEADER, header.body), header.why));
}

void AddUnterminated(std::vector<Case>* cases) {
  const Bytes tree = Units(u"cache\\*.tmp");
  Bytes treeEnded = tree;
  treeEnded.insert(treeEnded.end(), {0, 0});
  Bytes oddLength = pack::EncodeFolderTrees({u"cache\\*.tmp"});
  oddLength.push_back('A');
  cases->push_back(Damaged("folder-trees-unterminated", WithBody(CHUNK_FOLDER_TREES, tree), kAfterMessages,
                           "a folder-tree list whose only string has no NUL: cutting it would change its pattern"));
  cases->push_back(Damaged("folder-trees-one-byte", WithBody(CHUNK_FOLDER_TREES, {'A'}), kAfterMessages,
                           "a folder-tree body of one byte: not even one unit"));
  cases->push_back(Completes("folder-trees-without-final-empty-string", WithBody(CHUNK_FOLDER_TREES, treeEnded),
                             "a folder-tree list whose string is ended but whose list is not"));
  cases->push_back(Completes("folder-trees-odd-length", WithBody(CHUNK_FOLDER_TREES, oddLength),
                             "a folder-tree list with a stray byte behind its final empty string"));
  Bytes twoLists = WithBody(CHUNK_FOLDER_TREES, pack::EncodeFolderTrees({u"cache\\*.tmp"}));
  const Chunk end = Find(Chunks(twoLists), CHUNK_END);
  Bytes second;
  AppendChunk(&second, CHUNK_FOLDER_TREES, tree);
  cases->push_back(Damaged("folder-trees-second-unterminated", Insert(twoLists, end.start, second), kAfterMessages,
                           "a good folder-tree list, then a second one whose string has no NUL"));

  cases->push_back(Completes("extension-path-unterminated",
                             WithBody(CHUNK_EXTENSION, Blob(Units(Repeat(u'A', 130)))),
                             "an extension path of 260 bytes without a NUL unit: dropped, no library loaded"));
  Bytes wrongCheck = Blob(pack::ExtensionPathContent(u"C:\\retrax-hostile-nowhere\\hook.dll"));
  wrongCheck[0] ^= 1;
  cases->push_back(Completes("extension-length-check-wrong", WithBody(CHUNK_EXTENSION, wrongCheck),
                             "an extension blob whose length check is off by one: dropped"));
  cases->push_back(Completes("extension-image-garbage", WithBody(CHUNK_EXTENSION, Blob(Bytes(300, 0xCC))),
                             "an extension image of 300 bytes of 0xCC: written, refused by the loader, deleted"));
  Bytes messages;
  messages.insert(messages.end(), {1, 0, 2, 0, 5, 0});
  const Bytes hello = Units(u"hello");
  messages.insert(messages.end(), hello.begin(), hello.end());
  messages.insert(messages.end(), {0xFF, 0xFF, 'a', 0, 'b', 0});
  cases->push_back(Damaged("message-length-past-body", WithBody(CHUNK_MESSAGES, messages), 0,
                           "the second message is counted 65535 units long and holds 2"));
}

// Folder macros in the two texts that are expanded, the folder trees and
// the pre-uninstall command, each far beyond the 65,500 units the expansion
// works in. A text that does not expand whole is not the installer's: the
// tree is passed over, the command not started.
void AddMacroExpansions(std::vector<Case>* cases) {
  std::u16string many;
  for (int i = 0; i < 6000; ++i) many += u"#InstallDir#";
  std::u16string windows;
  for (int i = 0; i < 10000; ++i) windows += u"#Windows#";
  const std::u16string atEnd = Repeat(u'a', 65490) + u"#Windows#\\*.*";
  const std::u16string longToken = u"#" + Repeat(u'W', 70000) + u"#\\*.*";
  cases->push_back(Completes("folder-tree-expanding-beyond-its-buffer",
                             WithBody(CHUNK_FOLDER_TREES, pack::EncodeFolderTrees({many + u"\\*.*"})),
                             "a folder tree of 6,000 #InstallDir# macros: some 400,000 units expanded"));
  cases->push_back(Completes("folder-tree-macro-at-expansion-end",
                             WithBody(CHUNK_FOLDER_TREES, pack::EncodeFolderTrees({atEnd})),
                             "a folder tree whose #Windows# stands at the end of the expansion's buffer"));
  cases->push_back(Completes("folder-tree-token-of-70000-units",
                             WithBody(CHUNK_FOLDER_TREES, pack::EncodeFolderTrees({longToken})),
                             "a folder tree of one #...# token 70,000 units long"));
  cases->push_back(Completes("command-expanding-beyond-its-buffer",
                             WithBody(CHUNK_HEADER, pack::EncodeHeader({0, windows, u""})),
                             "a pre-uninstall command of 10,000 #Windows# macros"));
  cases->push_back(Completes("command-of-unknown-macros",
                             WithBody(CHUNK_HEADER, pack::EncodeHeader({0, u"#Foo#\\#Bar#.exe %n%s", u""})),
                             "a pre-uninstall command of macros that name nothing"));
}

// Values no writer produces in fields the reader takes as they stand.
void AddStrayValues(std::vector<Case>* cases) {
  Bytes payload = pack::EncodePayload(BasePayload());
  const std::vector<Chunk> chunks = Chunks(payload);
  const Chunk header = Find(chunks, CHUNK_HEADER);
  payload[header.start + 2] = 0xFE;
  payload[header.start + 3] = 0xFF;
  cases->push_back(Completes("flags-and-reserved-bits", payload,
                             "the header chunk's flag bits 1-7 and reserved byte all set: ignored"));
  Bytes nested;
  pack::AppendEnd(&nested);
  nested.insert(nested.end(), 20, 0xEE);
  cases->push_back(Completes("end-chunk-inside-opaque", WithBody(CHUNK_OPAQUE, nested),
                             "an opaque body that begins with an end chunk: skipped by position"));
  cases->push_back(Damaged("opaque-unloadable", WithBody(CHUNK_OPAQUE, {1, 2, 3, 4}, CHUNK_FLAG_UNLOADABLE),
                           kAfterMessages, "an opaque chunk stored in a form the program cannot load"));
  std::vector<pack::RegistryRecord> roots;
  for (uint32_t root : {0u, 4u, 0x7FFFFFFFu, 0x80000007u, 0xFFFFFFFFu})
    roots.push_back({root, u"Software\\RetraxHostileNowhere"});
  cases->push_back(Completes("registry-roots-not-predefined",
                             WithBody(CHUNK_REGISTRY, pack::EncodeRegistryList(roots)),
                             "registry entries under roots 0, 4, 0x7FFFFFFF, 0x80000007 and 0xFFFFFFFF"));
}

// The base payload with its message table replaced, cut just before its end
// chunk so that the run ends in a report. The report's caption is taken
// from the table.
Case MessageCase(std::string name, std::vector<std::u16string> messages, Report report, std::string why) {
  pack::Payload payload = BasePayload();
  report.caption = messages[MSG_TITLE];
  payload.messages = std::move(messages);
  const Bytes whole = pack::EncodePayload(payload);
  return Case{std::move(name), Cut(whole, Find(Chunks(whole), CHUNK_END).start), Outcome::kDamaged,
              std::move(why), std::move(report)};
}

std::vector<std::u16string> WithReport(std::u16string text, std::u16string title = kTitle) {
  std::vector<std::u16string> messages = BasePayload().messages;
  messages[MSG_TITLE] = std::move(title);
  messages[MSG_READ_ERROR] = std::move(text);
  return messages;
}

}  // namespace

Report DamageReport() { return Report{u"The uninstall data of ", true, u" cannot be read.", kTitle}; }

pack::Payload BasePayload() {
  pack::Payload payload;
  payload.messages.assign(MSG_COUNT_USED, u"");
  for (int i = 0; i < MSG_COUNT_USED; ++i) {
    std::u16string text = u"Message ";
    if (i >= 10) text += (char16_t)(u'0' + i / 10);
    text += (char16_t)(u'0' + i % 10);
    payload.messages[i] = text;
  }
  payload.messages[MSG_TITLE] = kTitle;
  payload.messages[MSG_OUT_OF_MEMORY] = u"Out of memory while reading %s.";
  payload.messages[MSG_READ_ERROR] = kDamageText;
  payload.files = {{u".", u"app.exe", 0}, {u".\\data", u"settings.ini", 0}, {u".\\data", u"", 0}};
  payload.shortcuts = {{0, std::u16string(kNowhere) + u"\\Menu", u"", u"Hostile App.lnk"}};
  payload.registry = {{0x80000001u, u"Software\\RetraxHostileNowhere"}};
  payload.folderTrees = {u"cache\\*.tmp"};
  payload.hasExtension = true;
  payload.extensionContent = pack::ExtensionPathContent(std::u16string(kNowhere) + u"\\hook.dll");
  payload.hasOpaque = true;
  payload.opaque = {1, 2, 3, 4, 5, 6, 7, 8};
  return payload;
}

std::vector<size_t> ChunkStarts(const Bytes& payload) {
  std::vector<size_t> starts;
  for (size_t at = 0; at + 12 <= payload.size();) {
    starts.push_back(at);
    const uint16_t tag = (uint16_t)(payload[at] | (payload[at + 1] << 8));
    const uint64_t size = GetU64(payload, at + 4);
    if (tag == CHUNK_END || size > payload.size() - at - 12) break;
    at += 12 + (size_t)size;
  }
  return starts;
}

std::vector<Case> ContainerCases() {
  std::vector<Case> cases;
  AddTruncations(&cases);
  AddSizes(&cases);
  AddCounts(&cases);
  AddRecordBounds(&cases);
  AddHeaderOffsets(&cases);
  AddUnterminated(&cases);
  AddMacroExpansions(&cases);
  AddStrayValues(&cases);
  return cases;
}

std::vector<Case> MessageCases() {
  const size_t kReportUnits = MESSAGE_BUFFER_UNITS - 1;
  std::vector<Case> cases;
  cases.push_back(MessageCase("message-printf-conversions", WithReport(u"%n%d%x%p%c%ls%S %s %n%%%d"),
                              Report{u"%n%d%x%p%c%ls%S ", true, u" %n%%d", u""},
                              "conversions other than the one %s are text, and %% is one percent sign"));
  cases.push_back(MessageCase("message-percent-without-argument", WithReport(u"%n%d%%%x 100%"),
                              Report{u"%n%d%%%x 100%", false, u"", u""},
                              "a message without %s is copied as it stands, %% included"));
  cases.push_back(MessageCase("message-two-arguments", WithReport(u"%s and %s"), Report{u"", true, u" and %s", u""},
                              "a second %s has no argument to take: it stays text"));
  std::u16string longText = Repeat(u'A', 65533) + u"%s";
  cases.push_back(MessageCase("message-65535-units", WithReport(longText),
                              Report{Repeat(u'A', kReportUnits), false, u"", u""},
                              "a report of 65535 units: cut to the 1023 units of its buffer"));
  cases.push_back(MessageCase("message-path-at-buffer-end", WithReport(Repeat(u'B', 1000) + u"%s" + Repeat(u'C', 100)),
                              Report{Repeat(u'B', 1000), true, Repeat(u'C', 100), u""},
                              "the path falls on the end of the report's buffer and is cut there"));
  cases.push_back(MessageCase("title-65535-units", WithReport(kDamageText, Repeat(u'T', 65535)), DamageReport(),
                              "a title of 65535 units as the report's caption"));
  std::vector<std::u16string> many(65535, u"%n%s%d");
  many[MSG_READ_ERROR] = kDamageText;
  many[MSG_TITLE] = kTitle;
  cases.push_back(MessageCase("messages-65535-entries", many, DamageReport(),
                              "a table of 65535 messages, the most a table can count"));
  return cases;
}

std::u16string Report::For(const std::u16string& path) const {
  std::u16string text = before + (withPath ? path : u"") + after;
  if (text.size() > MESSAGE_BUFFER_UNITS - 1) text.resize(MESSAGE_BUFFER_UNITS - 1);
  return text;
}

const char* OutcomeText(Outcome outcome) {
  switch (outcome) {
    case Outcome::kCompletes: return "completes: read to its end chunk, exit 0";
    case Outcome::kDamaged: return "read error: message 8 with the program's path, exit -1";
    case Outcome::kDamagedUntitled: return "read error before the messages: an empty box, exit -1";
  }
  return "?";
}

}  // namespace hostile
