// Writer to reader over generated payloads: every record kind, chunks of a
// kind repeated, headers and tables replaced, empty and longest strings.
// Then the same payloads with each allocation failing in turn.
#include <random>

#include "payload_fixture.h"

namespace {

// What the read filled, in the writer's terms; two payloads compare equal
// when their encodings do.
pack::Payload ReadBack(const UninstallData& d) {
  pack::Payload p;
  p.hasHeader = d.header != nullptr;
  p.header.flags = GetHeaderFlags(&d);
  if (const RxChar* command = GetHeaderCommand(&d)) p.header.command = command;
  if (const RxChar* page = GetHeaderFinalPage(&d)) p.header.finalPage = page;
  for (int i = 0; d.messages && d.messages[i]; ++i) p.messages.push_back(d.messages[i]);
  for (uint32_t i = 0; i < d.files.count; ++i)
    p.files.push_back({d.files.items[i]->folder, d.files.items[i]->name, d.files.items[i]->flags});
  for (uint32_t i = 0; i < d.shortcuts.count; ++i) {
    const ShortcutEntry* s = d.shortcuts.items[i];
    EXPECT_EQ(s->levels, (uint8_t)s->levels);
    p.shortcuts.push_back({(uint8_t)s->levels, s->folder, s->secondFolder, s->fileName});
  }
  for (uint32_t i = 0; i < d.registry.count; ++i)
    p.registry.push_back({d.registry.items[i]->root, d.registry.items[i]->path});
  for (const RxChar* t = (const RxChar*)d.folderTrees; t && *t; t += Text(t).size() + 1)
    p.folderTrees.push_back(t);
  p.hasExtension = d.extensionBlob != nullptr;
  p.extensionContent.assign(d.extensionBlob, d.extensionBlob + d.extensionLength);
  p.hasOpaque = d.opaque != nullptr;
  p.opaque.assign(d.opaque, d.opaque + d.opaqueLength);
  return p;
}

class Generator {
 public:
  explicit Generator(uint32_t seed) : random_(seed) {}

  // Mostly short, sometimes empty, sometimes the longest the record allows.
  std::u16string String(size_t longest) {
    size_t length = Pick(8) == 0 ? longest : Pick(4) == 0 ? 0 : Pick(12);
    std::u16string s;
    for (size_t i = 0; i < length && i < longest; ++i)
      s.push_back(Pick(6) == 0 ? (char16_t)(0x80 + Pick(0xD000)) : (char16_t)(u'a' + Pick(26)));
    return s;
  }

  // Chunks in random order into bytes, and what reading them must give.
  void Make(Bytes* bytes, pack::Payload* expected) {
    bytes->clear();
    *expected = pack::Payload();
    expected->hasHeader = false;
    for (int chunks = 1 + Pick(10); chunks > 0; --chunks) {
      pack::Payload p;
      switch (Pick(8)) {
        case 0:
          for (int n = Pick(4); n > 0; --n) {
            std::u16string folder = String(FILE_RECORD_SCRATCH_UNITS - 2);
            p.files.push_back({folder, String(FILE_RECORD_SCRATCH_UNITS - 2 - folder.size()),
                               (uint8_t)Pick(256)});
          }
          pack::AppendChunk(bytes, CHUNK_FILES, pack::EncodeFileList(p.files));
          Append(&expected->files, p.files);
          break;
        case 1:
          for (int n = Pick(4); n > 0; --n) {
            size_t left = SHORTCUT_RECORD_SCRATCH_UNITS - 3;
            std::u16string a = String(left), b = String(left - a.size());
            p.shortcuts.push_back({(uint8_t)Pick(256), a, b, String(left - a.size() - b.size())});
          }
          pack::AppendChunk(bytes, CHUNK_SHORTCUTS, pack::EncodeShortcutList(p.shortcuts));
          Append(&expected->shortcuts, p.shortcuts);
          break;
        case 2:
          for (int n = Pick(4); n > 0; --n)
            p.registry.push_back({0x80000000u + (uint32_t)Pick(6), String(REGISTRY_RECORD_SCRATCH_UNITS - 1)});
          pack::AppendChunk(bytes, CHUNK_REGISTRY, pack::EncodeRegistryList(p.registry));
          Append(&expected->registry, p.registry);
          break;
        case 3:
          for (int n = Pick(3); n > 0; --n) p.folderTrees.push_back(u"t" + String(40));
          pack::AppendChunk(bytes, CHUNK_FOLDER_TREES, pack::EncodeFolderTrees(p.folderTrees));
          Append(&expected->folderTrees, p.folderTrees);
          break;
        case 4:
          expected->hasHeader = true;
          expected->header = {(uint32_t)random_(), String(100), String(100)};
          pack::AppendChunk(bytes, CHUNK_HEADER, pack::EncodeHeader(expected->header));
          break;
        case 5:
          for (int n = Pick(4); n > 0; --n) p.messages.push_back(String(300));
          pack::AppendChunk(bytes, CHUNK_MESSAGES, pack::EncodeMessages({p.messages, {u"unread"}}));
          if (!p.messages.empty()) expected->messages = p.messages;
          break;
        case 6:
          p.extensionContent = Pick(2) ? pack::ExtensionPathContent(u"C:\\" + String(100))
                                       : Bytes(261 + Pick(600), (uint8_t)Pick(256));
          pack::AppendChunk(bytes, CHUNK_EXTENSION, pack::EncodeExtensionBlob(p.extensionContent));
          if (!expected->hasExtension) expected->extensionContent = p.extensionContent;
          expected->hasExtension = true;
          break;
        default:
          expected->hasOpaque = true;
          expected->opaque = Bytes(1 + Pick(40), (uint8_t)Pick(256));
          pack::AppendChunk(bytes, CHUNK_OPAQUE, expected->opaque);
      }
    }
    pack::AppendEnd(bytes);
  }

 private:
  size_t Pick(uint32_t n) { return random_() % n; }
  template <typename T>
  static void Append(std::vector<T>* all, const std::vector<T>& more) {
    all->insert(all->end(), more.begin(), more.end());
  }
  std::mt19937 random_;
};

TEST_F(PayloadTest, GeneratedPayloadsReadBackAsWritten) {
  Generator generator(20240611);
  Bytes bytes;
  pack::Payload expected;
  for (int round = 0; round < 300; ++round) {
    generator.Make(&bytes, &expected);
    ASSERT_EQ(ReadAgain(bytes), PAYLOAD_OK) << "round " << round;
    ASSERT_EQ(pack::EncodePayload(ReadBack(data)), pack::EncodePayload(expected)) << "round " << round;
  }
}

// Every allocation of a read fails in turn: the read reports status 7 and
// nothing leaks; once the failure lies beyond the read, it succeeds whole.
TEST_F(PayloadTest, EachFailedAllocationGivesOutOfMemory) {
  Generator generator(7);
  Bytes bytes;
  pack::Payload expected;
  for (int round = 0; round < 20; ++round) {
    generator.Make(&bytes, &expected);
    for (long n = 1;; ++n) {
      ReleasePayloadBlocks(&data);
      ASSERT_EQ(MemLiveBlocks(), liveAtStart);
      MemFailAfter(n);
      int status = Read(bytes);
      MemFailAfter(0);
      if (status == PAYLOAD_OK) {
        EXPECT_EQ(pack::EncodePayload(ReadBack(data)), pack::EncodePayload(expected));
        break;
      }
      ASSERT_EQ(status, PAYLOAD_OUT_OF_MEMORY) << "round " << round << " allocation " << n;
    }
  }
}

}  // namespace
