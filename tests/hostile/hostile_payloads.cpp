#include "hostile/hostile_payloads.h"

namespace hostile {

const char16_t kTitle[] = u"Hostile App Uninstall";

namespace {

const char16_t kDamageText[] = u"The uninstall data of %s cannot be read.";
const Report kDamageReport{u"The uninstall data of ", true, u" cannot be read.", kTitle};
const uint64_t k4GiB = 1ull << 32;
// A folder that exists on no machine: the base payload's absolute names
// point there, so a run that takes them removes nothing.
const char16_t kNowhere[] = u"C:\\retrax-hostile-nowhere";

struct Chunk {
  size_t start = 0;
  uint64_t size = 0;
};

uint64_t GetU64(const Bytes& bytes, size_t at) {
  return (uint64_t)pack::ReadU32(&bytes[at]) | ((uint64_t)pack::ReadU32(&bytes[at + 4]) << 32);
}

void PutU64(Bytes* bytes, size_t at, uint64_t value) {
  pack::WriteU32(&(*bytes)[at], (uint32_t)value);
  pack::WriteU32(&(*bytes)[at + 4], (uint32_t)(value >> 32));
}

const Bytes& Base() {
  static const Bytes base = pack::EncodePayload(BasePayload());
  return base;
}

Chunk Find(const Bytes& payload, uint16_t tag) {
  for (size_t start : ChunkStarts(payload))
    if ((payload[start] | (payload[start + 1] << 8)) == tag) return Chunk{start, GetU64(payload, start + 4)};
  return Chunk();
}
size_t Start(uint16_t tag) { return Find(Base(), tag).start; }

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
Bytes Cut(const Bytes& payload, size_t keep) { return Bytes(payload.begin(), payload.begin() + keep); }
Bytes Insert(const Bytes& payload, size_t at, const Bytes& bytes) {
  return Cut(payload, at) + bytes + Bytes(payload.begin() + at, payload.end());
}

// The base payload with a chunk's size field set to size.
Bytes Resized(uint16_t tag, uint64_t size) {
  Bytes payload = Base();
  PutU64(&payload, Start(tag) + 4, size);
  return payload;
}

// The base payload with bytes written over a chunk's body from offset on.
Bytes Patched(uint16_t tag, size_t offset, const Bytes& bytes) {
  Bytes payload = Base();
  std::copy(bytes.begin(), bytes.end(), payload.begin() + Start(tag) + 12 + offset);
  return payload;
}

// The base payload with a chunk's body replaced.
Bytes WithBody(uint16_t tag, const Bytes& body, uint8_t flags = 0) {
  const Chunk chunk = Find(Base(), tag);
  Bytes out = Cut(Base(), chunk.start);
  pack::AppendChunk(&out, tag, body, flags);
  return out + Bytes(Base().begin() + chunk.start + 12 + chunk.size, Base().end());
}
Bytes WithTree(const std::u16string& tree) { return WithBody(CHUNK_FOLDER_TREES, pack::EncodeFolderTrees({tree})); }
Bytes WithCommand(const std::u16string& command) { return WithBody(CHUNK_HEADER, pack::EncodeHeader({0, command, u""})); }

Bytes WithPayload(void (*change)(pack::Payload*)) {
  pack::Payload payload = BasePayload();
  change(&payload);
  return pack::EncodePayload(payload);
}

Bytes Units(const std::u16string& text) {
  Bytes out;
  for (char16_t unit : text) out.insert(out.end(), {(uint8_t)unit, (uint8_t)(unit >> 8)});
  return out;
}
std::u16string Repeat(char16_t unit, size_t count) { return std::u16string(count, unit); }
std::u16string Padded(std::u16string text, size_t units) {
  text.resize(units, u'x');
  return text;
}

Bytes HeaderBody(uint32_t commandOffset, uint32_t pageOffset, const Bytes& strings) {
  Bytes body(12);
  pack::WriteU32(&body[4], commandOffset);
  pack::WriteU32(&body[8], pageOffset);
  return body + strings;
}

// failAt: kCompletes, or the offset at which the walk fails; the report
// depends on whether the message table was read before it.
const size_t kCompletes = (size_t)-2;
Case Make(std::string name, Bytes payload, size_t failAt, std::string why) {
  if (failAt == kCompletes) return Case{name, payload, Outcome::kCompletes, why, Report()};
  const bool titled = Start(CHUNK_MESSAGES) + 12 + Find(Base(), CHUNK_MESSAGES).size <= failAt;
  return Case{name, payload, titled ? Outcome::kDamaged : Outcome::kDamagedUntitled, why,
              titled ? kDamageReport : Report{u"", false}};
}

// Truncations: before a chunk, inside its header's size field, halfway
// through its body.
void AddCuts(std::vector<Case>* cases) {
  enum Where { kBefore, kInHeader, kInBody };
  const struct { uint16_t tag; const char* name; Where where; } kCuts[] = {
      {CHUNK_HEADER, "header", kBefore},     {CHUNK_HEADER, "header", kInBody}, {CHUNK_MESSAGES, "messages", kInBody},
      {CHUNK_FILES, "files", kInHeader},     {CHUNK_FILES, "files", kInBody},   {CHUNK_EXTENSION, "extension", kInBody},
      {CHUNK_END, "end", kBefore},           {CHUNK_END, "end", kInHeader}};
  for (const auto& cut : kCuts) {
    const Chunk chunk = Find(Base(), cut.tag);
    const std::string name = cut.name;
    const size_t keep[] = {chunk.start, chunk.start + 7, chunk.start + 12 + (size_t)chunk.size / 2};
    const std::string names[] = {"cut-before-" + name, "cut-in-" + name + "-chunk-header", "cut-in-" + name + "-body"};
    const std::string whys[] = {"ends just before the " + name + " chunk: no end chunk",
                                "ends inside the size field of the " + name + " chunk's header",
                                "ends halfway through the " + name + " chunk's body"};
    cases->push_back(Make(names[cut.where], Cut(Base(), keep[cut.where]), chunk.start, whys[cut.where]));
  }
}

// The base payload with message 8 (and the title) replaced, cut just before
// its end chunk so that the run ends in a report.
Case MessageCase(std::string name, std::u16string text, Report report, std::string why,
                 std::u16string title = kTitle, size_t count = MSG_COUNT_USED) {
  pack::Payload payload = BasePayload();
  if (count != MSG_COUNT_USED) payload.messages.assign(count, u"%n%s%d");
  payload.messages[MSG_TITLE] = report.caption = title;
  payload.messages[MSG_READ_ERROR] = std::move(text);
  const Bytes whole = pack::EncodePayload(payload);
  return Case{std::move(name), Cut(whole, Find(whole, CHUNK_END).start), Outcome::kDamaged, std::move(why),
              std::move(report)};
}

}  // namespace

pack::Payload BasePayload() {
  pack::Payload payload;
  for (int i = 0; i < MSG_COUNT_USED; ++i) {
    std::u16string text = u"Message ";
    if (i >= 10) text += (char16_t)(u'0' + i / 10);
    payload.messages.push_back(text + (char16_t)(u'0' + i % 10));
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
    const uint64_t size = GetU64(payload, at + 4);
    if ((payload[at] | (payload[at + 1] << 8)) == CHUNK_END || size > payload.size() - at - 12) break;
    at += 12 + (size_t)size;
  }
  return starts;
}

std::vector<Case> ContainerCases() {
  const size_t files = Start(CHUNK_FILES), messages = Start(CHUNK_MESSAGES), after = (size_t)-1;
  const size_t filesSize = Find(Base(), CHUNK_FILES).size;
  Bytes unknown;
  pack::AppendChunk(&unknown, 0x4242, {1, 2, 3, 4});
  PutU64(&unknown, 4, ~0ull);
  Bytes beyond = Insert(Base(), files + 12 + filesSize, Bytes(6, 0xEE));
  PutU64(&beyond, files + 4, filesSize + 6);
  Bytes flags = Base();
  flags[Start(CHUNK_HEADER) + 2] = 0xFE;
  flags[Start(CHUNK_HEADER) + 3] = 0xFF;
  const Bytes command = Units(u"notepad.exe"), tree = Units(u"cache\\*.tmp");
  std::vector<pack::RegistryRecord> roots;
  for (uint32_t root : {0u, 4u, 0x7FFFFFFFu, 0x80000007u, 0xFFFFFFFFu})
    roots.push_back({root, u"Software\\RetraxHostileNowhere"});
  std::u16string many, windows;
  for (int i = 0; i < 6000; ++i) many += u"#InstallDir#";
  for (int i = 0; i < 10000; ++i) windows += u"#Windows#";

  std::vector<Case> cases;
  AddCuts(&cases);
  const std::string k4GiBWhy = " chunk's size is its body length plus 4 GiB: the low 32 bits alone would read the "
                               "body, the walk moves past the end";
  for (Case c : {
      // Sizes.
      Make("files-size-past-end", Resized(CHUNK_FILES, Base().size() - files - 12 + 1), files,
           "the files chunk's size reaches one byte past the end of the file"),
      Make("opaque-size-past-end", Resized(CHUNK_OPAQUE, Base().size() - Start(CHUNK_OPAQUE) - 12 + 1),
           Start(CHUNK_OPAQUE), "the opaque chunk's size reaches one byte past the end of the file"),
      Make("header-size-above-4gib", Resized(CHUNK_HEADER, Find(Base(), CHUNK_HEADER).size + k4GiB), 0,
           "the header" + k4GiBWhy),
      Make("files-size-above-4gib", Resized(CHUNK_FILES, filesSize + k4GiB), files, "the files" + k4GiBWhy),
      Make("unknown-size-max", Insert(Base(), files, unknown), after,
           "a chunk of an unknown tag with size 2^64-1: the next position must not wrap around"),
      Make("end-size-above-4gib", Resized(CHUNK_END, k4GiB + 5), kCompletes,
           "the end chunk's size is 4 GiB + 5: never read"),
      Make("files-size-short-of-records", Resized(CHUNK_FILES, 4 + 3), after,
           "the files chunk's size covers the count and 3 bytes of its 3 records"),
      Make("files-size-beyond-records", beyond, kCompletes,
           "6 bytes of garbage behind the file records, inside the chunk's size: skipped"),
      Make("files-size-zero-with-body", Resized(CHUNK_FILES, 0), after,
           "a files chunk of size 0 followed by its body, which the walk reads as a header"),
      // Counts.
      Make("files-count-max", Patched(CHUNK_FILES, 0, {0xFF, 0xFF, 0xFF, 0xFF}), after,
           "the files list's count is 2^32-1 with its few records behind it"),
      Make("files-count-one-more", Patched(CHUNK_FILES, 0, {4, 0, 0, 0}), after,
           "the files list counts one record more than its chunk holds"),
      Make("registry-count-zero-with-records", Patched(CHUNK_REGISTRY, 0, {0, 0, 0, 0}), kCompletes,
           "a registry list of count 0 with a record behind it: the record is not read"),
      Make("messages-count-max", Patched(CHUNK_MESSAGES, 2, {0xFF, 0xFF}), messages,
           "the message table counts 65535 messages and holds 16"),
      Make("messages-tables-max", Patched(CHUNK_MESSAGES, 0, {0xFF, 0xFF}), kCompletes,
           "the messages chunk counts 65535 tables and holds one: only the first is read"),
      // Records at the bound of the reader's scratch are read, and their
      // paths, too long for any path buffer, passed over; one unit more is
      // refused.
      Make("file-record-518-units",
           WithPayload([](pack::Payload* p) { p->files = {{u".\\" + Repeat(u'a', 256), Repeat(u'b', 260), 0}}; }),
           kCompletes, "folder and name of 518 units together"),
      Make("file-record-519-units",
           WithPayload([](pack::Payload* p) { p->files = {{u".\\" + Repeat(u'a', 256), Repeat(u'b', 261), 0}}; }),
           after, "folder and name of 519 units together: beyond the record's bound"),
      Make("shortcut-record-777-units", WithPayload([](pack::Payload* p) {
             const std::u16string folder = Padded(std::u16string(kNowhere) + u"\\", 259);
             p->shortcuts = {{0, folder, folder, Repeat(u's', 259)}};
           }),
           kCompletes, "three strings of 777 units together"),
      Make("registry-record-519-units", WithPayload([](pack::Payload* p) {
             p->registry = {{0x80000001u, Padded(u"Software\\RetraxHostileNowhere\\", 519)}};
           }),
           kCompletes, "a key path of 519 units"),
      Make("file-name-length-past-body",
           WithBody(CHUNK_FILES, Bytes{1, 0, 0, 0, 1, 0, '.', 0, 0xFF, 0xFF} + Units(u"short.txt\\") + Bytes{0}),
           after, "a file name counted 65535 units long in a chunk that holds 10"),
      // Header offsets and unterminated strings.
      Make("header-command-offset-outside", WithBody(CHUNK_HEADER, HeaderBody(0xFFFFFFF0u, 0, command + Bytes{0, 0})),
           kCompletes, "the command's offset is 0xFFFFFFF0, far outside the header's body"),
      Make("header-command-unterminated", WithBody(CHUNK_HEADER, HeaderBody(12, 0, command)), kCompletes,
           "the command's string runs to the end of the body without a NUL"),
      Make("header-final-page-offset-outside",
           WithBody(CHUNK_HEADER, HeaderBody(0, 0x7FFFFFFFu, command + Bytes{0, 0})), kCompletes,
           "the final page's offset is 0x7FFFFFFF"),
      Make("header-short", WithBody(CHUNK_HEADER, {0, 0, 0, 0}), kCompletes,
           "a header body of 4 bytes: its flags, no offsets"),
      Make("folder-trees-unterminated", WithBody(CHUNK_FOLDER_TREES, tree), after,
           "a folder-tree list whose only string has no NUL: cutting it would change its pattern"),
      Make("folder-trees-without-final-empty-string", WithBody(CHUNK_FOLDER_TREES, tree + Bytes{0, 0}), kCompletes,
           "a folder-tree list whose string is ended but whose list is not"),
      Make("extension-path-unterminated",
           WithBody(CHUNK_EXTENSION, pack::EncodeExtensionBlob(Units(Repeat(u'A', 130)))), kCompletes,
           "an extension path of 260 bytes without a NUL unit: dropped, no library loaded"),
      Make("extension-image-garbage", WithBody(CHUNK_EXTENSION, pack::EncodeExtensionBlob(Bytes(300, 0xCC))),
           kCompletes, "an extension image of 300 bytes of 0xCC: written, refused by the loader, deleted"),
      Make("message-length-past-body",
           WithBody(CHUNK_MESSAGES, Bytes{1, 0, 2, 0, 5, 0} + Units(u"hello") + Bytes{0xFF, 0xFF, 'a', 0, 'b', 0}),
           0, "the second message is counted 65535 units long and holds 2"),
      // Folder macros in the two texts that are expanded, far beyond the
      // 65,500 units the expansion works in. A text that does not expand
      // whole is not the installer's: the tree is passed over, the command
      // not started.
      Make("folder-tree-expanding-beyond-its-buffer", WithTree(many + u"\\*.*"), kCompletes,
           "a folder tree of 6,000 #InstallDir# macros: some 400,000 units expanded"),
      Make("folder-tree-macro-at-expansion-end", WithTree(Repeat(u'a', 65490) + u"#Windows#\\*.*"), kCompletes,
           "a folder tree whose #Windows# stands at the end of the expansion's buffer"),
      Make("folder-tree-token-of-70000-units", WithTree(u"#" + Repeat(u'W', 70000) + u"#\\*.*"), kCompletes,
           "a folder tree of one #...# token 70,000 units long"),
      Make("command-expanding-beyond-its-buffer", WithCommand(windows), kCompletes,
           "a pre-uninstall command of 10,000 #Windows# macros"),
      Make("command-of-unknown-macros", WithCommand(u"#Foo#\\#Bar#.exe %n%s"), kCompletes,
           "a pre-uninstall command of macros that name nothing"),
      // Values no writer produces in fields the reader takes as they stand.
      Make("flags-and-reserved-bits", flags, kCompletes,
           "the header chunk's flag bits 1-7 and reserved byte all set: ignored"),
      Make("opaque-unloadable", WithBody(CHUNK_OPAQUE, {1, 2, 3, 4}, CHUNK_FLAG_UNLOADABLE), after,
           "an opaque chunk stored in a form the program cannot load"),
      Make("registry-roots-not-predefined", WithBody(CHUNK_REGISTRY, pack::EncodeRegistryList(roots)), kCompletes,
           "registry entries under roots 0, 4, 0x7FFFFFFF, 0x80000007 and 0xFFFFFFFF"),
  })
    cases.push_back(std::move(c));
  return cases;
}

std::vector<Case> MessageCases() {
  const std::u16string bs = Repeat(u'B', 1000), cs = Repeat(u'C', 100);
  return {
      MessageCase("message-printf-conversions", u"%n%d%x%p%c%ls%S %s %n%%%d",
                  Report{u"%n%d%x%p%c%ls%S ", true, u" %n%%d"},
                  "conversions other than the one %s are text, and %% is one percent sign"),
      MessageCase("message-percent-without-argument", u"%n%d%%%x 100%", Report{u"%n%d%%%x 100%", false},
                  "a message without %s is copied as it stands, %% included"),
      MessageCase("message-65535-units", Repeat(u'A', 65533) + u"%s",
                  Report{Repeat(u'A', MESSAGE_BUFFER_UNITS - 1), false},
                  "a report of 65535 units: cut to the 1023 units of its buffer"),
      MessageCase("message-path-at-buffer-end", bs + u"%s" + cs, Report{bs, true, cs},
                  "the path falls on the end of the report's buffer and is cut there"),
      MessageCase("title-65535-units", kDamageText, kDamageReport, "a title of 65535 units as the report's caption",
                  Repeat(u'T', 65535)),
      MessageCase("messages-65535-entries", kDamageText, kDamageReport,
                  "a table of 65535 messages, the most a table can count", kTitle, 65535),
  };
}

std::u16string Report::For(const std::u16string& path) const {
  std::u16string text = before + (withPath ? path : u"") + after;
  return text.substr(0, MESSAGE_BUFFER_UNITS - 1);
}

const char* OutcomeText(Outcome outcome) {
  return outcome == Outcome::kCompletes ? "completes: read to its end chunk, exit 0"
         : outcome == Outcome::kDamaged ? "read error: message 8 with the program's path, exit -1"
                                         : "read error before the messages: an empty box, exit -1";
}

}  // namespace hostile
