#include "hostile/hostile_payloads.h"

namespace hostile {
namespace {

const char16_t kTitle[] = u"Hostile App Uninstall";  // message 0
const char16_t kDamageText[] = u"The uninstall data of %s cannot be read.";
const Report kDamageReport{u"The uninstall data of ", true, u" cannot be read.", kTitle};
// A folder that exists on no machine: the base payload's absolute names
// point there, so a run that takes them removes nothing.
const std::u16string kNowhere = u"C:\\retrax-hostile-nowhere";

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
const Bytes& Base() {
  static const Bytes base = pack::EncodePayload(BasePayload());
  return base;
}
uint64_t SizeAt(const Bytes& p, size_t at) {
  return pack::ReadU32(&p[at + 4]) | (uint64_t)pack::ReadU32(&p[at + 8]) << 32;
}
// Where the base payload's chunk of tag starts, and its size.
size_t Start(uint16_t tag) {
  size_t at = 0;
  while ((Base()[at] | Base()[at + 1] << 8) != tag) at += 12 + (size_t)SizeAt(Base(), at);
  return at;
}
uint64_t Size(uint16_t tag) { return SizeAt(Base(), Start(tag)); }
Bytes Cut(size_t keep) { return Bytes(Base().begin(), Base().begin() + keep); }
Bytes From(size_t at) { return Bytes(Base().begin() + at, Base().end()); }
Bytes Resized(uint16_t tag, uint64_t size) {
  Bytes p = Base();
  pack::WriteU32(&p[Start(tag) + 4], (uint32_t)size);
  pack::WriteU32(&p[Start(tag) + 8], (uint32_t)(size >> 32));
  return p;
}
// Bytes written over a chunk's body from offset on.
Bytes Patched(uint16_t tag, size_t offset, const Bytes& bytes) {
  Bytes p = Base();
  std::copy(bytes.begin(), bytes.end(), p.begin() + Start(tag) + 12 + offset);
  return p;
}
Bytes WithBody(uint16_t tag, const Bytes& body, uint8_t flags = 0) {
  Bytes out = Cut(Start(tag));
  pack::AppendChunk(&out, tag, body, flags);
  return out + From(Start(tag) + 12 + Size(tag));
}
Bytes WithTree(const std::u16string& tree) { return WithBody(CHUNK_FOLDER_TREES, pack::EncodeFolderTrees({tree})); }
Bytes WithCommand(const std::u16string& c) { return WithBody(CHUNK_HEADER, pack::EncodeHeader({0, c, u""})); }
Bytes Units(const std::u16string& text) {
  Bytes out;
  for (char16_t unit : text) out.insert(out.end(), {(uint8_t)unit, (uint8_t)(unit >> 8)});
  return out;
}
std::u16string Repeat(const std::u16string& s, size_t count) {
  std::u16string out;
  while (count--) out += s;
  return out;
}
Bytes HeaderBody(uint32_t commandOffset, const Bytes& strings) {
  Bytes body(12);
  pack::WriteU32(&body[4], commandOffset);
  return body + strings;
}

// The base payload with message 8 replaced (and count messages), cut just
// before its end chunk so that the run ends in a report.
Case MessageCase(std::string name, std::u16string text, Report report, std::string why,
                 size_t count = MSG_COUNT_USED) {
  pack::Payload payload = BasePayload();
  payload.messages.resize(count, u"%n%s%d");
  payload.messages[MSG_READ_ERROR] = std::move(text);
  report.caption = kTitle;
  Bytes whole = pack::EncodePayload(payload);
  whole.resize(whole.size() - 12);
  return Case{std::move(name), whole, Outcome::kDamaged, std::move(why), std::move(report)};
}

}  // namespace

pack::Payload BasePayload() {
  pack::Payload payload;
  for (int i = 0; i < MSG_COUNT_USED; ++i) payload.messages.push_back(u"Message " + Repeat(u"i", i));
  payload.messages[MSG_TITLE] = kTitle;
  payload.messages[MSG_READ_ERROR] = kDamageText;
  payload.files = {{u".", u"app.exe", 0}, {u".\\data", u"settings.ini", 0}, {u".\\data", u"", 0}};
  payload.shortcuts = {{0, kNowhere + u"\\Menu", u"", u"Hostile App.lnk"}};
  payload.registry = {{0x80000001u, u"Software\\RetraxHostileNowhere"}};
  payload.folderTrees = {u"cache\\*.tmp"};
  payload.hasExtension = true;
  payload.extensionContent = pack::ExtensionPathContent(kNowhere + u"\\hook.dll");
  payload.hasOpaque = true;
  payload.opaque = {1, 2, 3, 4, 5, 6, 7, 8};
  return payload;
}

std::vector<Case> ContainerCases() {
  const Outcome C = Outcome::kCompletes, D = Outcome::kDamaged, U = Outcome::kDamagedUntitled;
  const size_t files = Start(CHUNK_FILES);
  // An unknown chunk before the files whose size, added to the position,
  // would wrap round to its own header: the walk would never end.
  Bytes wrap = Cut(files);
  pack::AppendChunk(&wrap, 0x4242, {1, 2, 3, 4});
  pack::WriteU32(&wrap[files + 4], ~0u - 11);
  pack::WriteU32(&wrap[files + 8], ~0u);
  wrap = wrap + From(files);
  Bytes flags = Base();
  flags[2] = 0xFE, flags[3] = 0xFF;  // the header chunk's flags and reserved byte
  const Bytes command = Units(u"notepad.exe"), tree = Units(u"cache\\*.tmp");
  pack::Payload file = BasePayload(), link = file, key = file;
  file.files = {{u".\\" + Repeat(u"a", 256), Repeat(u"b", 260), 0}};
  const std::u16string folder = kNowhere + u"\\" + Repeat(u"x", 233);  // 259 units
  link.shortcuts = {{0, folder, folder, Repeat(u"s", 259)}};
  key.registry = {{0x80000001u, u"Software\\RetraxHostileNowhere\\" + Repeat(u"x", 489)}};
  const std::u16string nowhere = u"Software\\RetraxHostileNowhere";
  const Bytes roots = pack::EncodeRegistryList({{0, nowhere}, {4, nowhere}, {0x80000007u, nowhere}, {~0u, nowhere}});

  std::vector<Case> cases = {
      {"cut-in-messages-body", Cut(Start(CHUNK_MESSAGES) + 20), U, "ends inside the message table"},
      {"cut-in-files-chunk-header", Cut(files + 7), D, "ends inside the size field of the files chunk"},
      {"cut-before-end", Cut(Start(CHUNK_END)), D, "ends just before the end chunk"},
      {"files-size-past-end", Resized(CHUNK_FILES, Base().size() - files - 11), D, "one byte past the file's end"},
      {"header-size-above-4gib", Resized(CHUNK_HEADER, Size(CHUNK_HEADER) + (1ull << 32)), U, "its body plus 4 GiB"},
      {"unknown-size-max", wrap, D, "an unknown chunk of size 2^64-12: the position must not wrap"},
      {"end-size-above-4gib", Resized(CHUNK_END, (1ull << 32) + 5), C, "the end chunk's size is never read"},
      {"files-size-zero-with-body", Resized(CHUNK_FILES, 0), D, "a files chunk of size 0 followed by its body"},
      {"files-count-max", Patched(CHUNK_FILES, 0, {0xFF, 0xFF, 0xFF, 0xFF}), D, "a files count of 2^32-1"},
      {"messages-count-max", Patched(CHUNK_MESSAGES, 2, {0xFF, 0xFF}), U, "a table counting 65535 messages"},
      // Records at the reader's bound are read, and their paths, too long
      // for any path buffer, passed over.
      {"file-record-518-units", pack::EncodePayload(file), C, "folder and name of 518 units together"},
      {"shortcut-record-777-units", pack::EncodePayload(link), C, "three strings of 777 units together"},
      {"registry-record-519-units", pack::EncodePayload(key), C, "a key path of 519 units"},
      {"file-name-length-past-body",
       WithBody(CHUNK_FILES, Bytes{1, 0, 0, 0, 1, 0, '.', 0, 0xFF, 0xFF} + Units(u"short.txt\\") + Bytes{0}), D,
       "a file name counted 65535 units long in a chunk that holds 10"},
      {"message-length-past-body",
       WithBody(CHUNK_MESSAGES, Bytes{1, 0, 2, 0, 5, 0} + Units(u"hello") + Bytes{0xFF, 0xFF, 'a', 0, 'b', 0}), U,
       "the second message is counted 65535 units long and holds 2"},
      {"header-command-offset-outside", WithBody(CHUNK_HEADER, HeaderBody(0xFFFFFFF0u, command + Bytes{0, 0})), C,
       "the command's offset is far outside the header's body"},
      {"header-command-unterminated", WithBody(CHUNK_HEADER, HeaderBody(12, command)), C, "a command without a NUL"},
      {"folder-trees-unterminated", WithBody(CHUNK_FOLDER_TREES, tree), D, "a tree without its NUL: not ended here"},
      {"extension-path-unterminated", WithBody(CHUNK_EXTENSION, pack::EncodeExtensionBlob(Units(Repeat(u"A", 130)))),
       C, "an extension path of 260 bytes without a NUL: dropped"},
      {"extension-image-garbage", WithBody(CHUNK_EXTENSION, pack::EncodeExtensionBlob(Bytes(300, 0xCC))), C,
       "an extension image of 300 bytes of 0xCC: refused by the loader, deleted"},
      // Folder macros far beyond the 65,500 units the expansion works in: a
      // text that does not expand whole is passed over, not started.
      {"folder-tree-expanding-beyond-its-buffer", WithTree(Repeat(u"#InstallDir#", 6000) + u"\\*.*"), C, "6000 macros"},
      {"folder-tree-macro-at-expansion-end", WithTree(Repeat(u"a", 65490) + u"#Windows#\\*.*"), C,
       "a #Windows# at the end of the expansion's buffer"},
      {"command-expanding-beyond-its-buffer", WithCommand(Repeat(u"#Windows#", 10000)), C, "10,000 macros"},
      {"flags-and-reserved-bits", flags, C, "the header chunk's flag bits 1-7 and reserved byte set: ignored"},
      {"opaque-unloadable", WithBody(CHUNK_OPAQUE, {1, 2, 3, 4}, CHUNK_FLAG_UNLOADABLE), D, "stored unloadable"},
      {"registry-roots-not-predefined", WithBody(CHUNK_REGISTRY, roots), C, "roots 0, 4, 0x80000007, 0xFFFFFFFF"},
  };
  for (Case& c : cases) c.report = c.outcome == D ? kDamageReport : Report{u"", false};
  return cases;
}

std::vector<Case> MessageCases() {
  return {
      MessageCase("message-printf-conversions", u"%n%d%x%p%c%ls%S %s %n%%%d",
                  Report{u"%n%d%x%p%c%ls%S ", true, u" %n%%d"}, "conversions but the one %s are text"),
      MessageCase("message-65535-units", Repeat(u"A", 65533) + u"%s",
                  Report{Repeat(u"A", MESSAGE_BUFFER_UNITS - 1), false}, "a report cut to its 1023 units"),
      MessageCase("messages-65535-entries", kDamageText, kDamageReport, "a table of 65535 messages", 65535),
  };
}

std::u16string Report::For(const std::u16string& path) const {
  return (before + (withPath ? path : u"") + after).substr(0, MESSAGE_BUFFER_UNITS - 1);
}

}  // namespace hostile
