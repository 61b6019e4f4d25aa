// Writer to reader over generated payloads: every record kind, chunks of a
// kind repeated, headers and tables replaced, empty and longest strings.
// Then the same payloads with each allocation failing in turn.
#include <random>

#include "payload_fixture.h"

namespace {

// What a payload should read as, built alongside its bytes.
struct Expected {
  Bytes bytes;
  std::vector<pack::FileRecord> files;
  std::vector<pack::ShortcutRecord> shortcuts;
  std::vector<pack::RegistryRecord> registry;
  std::u16string trees;
  bool hasHeader = false;
  pack::HeaderRecord header;
  std::vector<std::u16string> messages;
  Bytes extension;
  bool hasExtension = false;
  Bytes opaque;
};

class Generator {
 public:
  explicit Generator(uint32_t seed) : random_(seed) {}

  int Pick(int n) { return (int)(random_() % (uint32_t)n); }

  // Mostly short strings, sometimes empty, sometimes exactly the longest
  // that leaves the other strings of the record room.
  std::u16string String(size_t longest) {
    size_t length = Pick(8) == 0 ? longest : Pick(4) == 0 ? 0 : (size_t)Pick(12);
    if (length > longest) length = longest;
    std::u16string s;
    for (size_t i = 0; i < length; ++i)
      s.push_back(Pick(6) == 0 ? (char16_t)(0x80 + Pick(0xD000)) : (char16_t)(u'a' + Pick(26)));
    return s;
  }

  Expected Make() {
    Expected e;
    int chunks = 1 + Pick(10);
    for (int c = 0; c < chunks; ++c) {
      switch (Pick(8)) {
        case 0: {
          std::vector<pack::FileRecord> records(Pick(4));
          for (auto& r : records) {
            r.folder = String(FILE_RECORD_SCRATCH_UNITS - 2);
            r.name = String(FILE_RECORD_SCRATCH_UNITS - 2 - r.folder.size());
            r.flags = (uint8_t)Pick(256);
          }
          Add(&e, CHUNK_FILES, pack::EncodeFileList(records), &e.files, records);
          break;
        }
        case 1: {
          std::vector<pack::ShortcutRecord> records(Pick(4));
          for (auto& r : records) {
            r.levels = (uint8_t)Pick(256);
            r.folder = String(SHORTCUT_RECORD_SCRATCH_UNITS - 3);
            r.secondFolder = String(SHORTCUT_RECORD_SCRATCH_UNITS - 3 - r.folder.size());
            r.fileName = String(SHORTCUT_RECORD_SCRATCH_UNITS - 3 - r.folder.size() -
                                r.secondFolder.size());
          }
          Add(&e, CHUNK_SHORTCUTS, pack::EncodeShortcutList(records), &e.shortcuts, records);
          break;
        }
        case 2: {
          std::vector<pack::RegistryRecord> records(Pick(4));
          for (auto& r : records) {
            r.root = 0x80000000u + Pick(6);
            r.path = String(REGISTRY_RECORD_SCRATCH_UNITS - 1);
          }
          Add(&e, CHUNK_REGISTRY, pack::EncodeRegistryList(records), &e.registry, records);
          break;
        }
        case 3: {
          std::vector<std::u16string> trees(Pick(3));
          for (auto& t : trees) t = u"t" + String(40);
          pack::AppendChunk(&e.bytes, CHUNK_FOLDER_TREES, pack::EncodeFolderTrees(trees));
          for (auto& t : trees) e.trees += t + u'\0';
          break;
        }
        case 4:
          e.hasHeader = true;
          e.header = {(uint32_t)random_(), String(100), String(100)};
          pack::AppendChunk(&e.bytes, CHUNK_HEADER, pack::EncodeHeader(e.header));
          break;
        case 5: {
          std::vector<std::u16string> table(Pick(4));
          for (auto& m : table) m = String(300);
          pack::AppendChunk(&e.bytes, CHUNK_MESSAGES,
                            pack::EncodeMessages({table, {u"never read"}}));
          if (!table.empty()) e.messages = table;
          break;
        }
        case 6: {
          Bytes content = Pick(2) ? pack::ExtensionPathContent(u"C:\\" + String(100))
                                  : Bytes(261 + Pick(600), (uint8_t)Pick(256));
          pack::AppendChunk(&e.bytes, CHUNK_EXTENSION, pack::EncodeExtensionBlob(content));
          if (!e.hasExtension) e.extension = content;
          e.hasExtension = true;
          break;
        }
        default:
          e.opaque = Bytes(1 + Pick(40), (uint8_t)Pick(256));
          pack::AppendChunk(&e.bytes, CHUNK_OPAQUE, e.opaque);
      }
    }
    pack::AppendEnd(&e.bytes);
    return e;
  }

 private:
  template <typename R>
  void Add(Expected* e, uint16_t tag, const Bytes& body, std::vector<R>* all,
           const std::vector<R>& records) {
    pack::AppendChunk(&e->bytes, tag, body);
    all->insert(all->end(), records.begin(), records.end());
  }
  std::mt19937 random_;
};

void ExpectMatches(const UninstallData& d, const Expected& e) {
  ASSERT_EQ(d.files.count, e.files.size());
  for (size_t i = 0; i < e.files.size(); ++i) {
    EXPECT_EQ(Text(d.files.items[i]->folder), e.files[i].folder);
    EXPECT_EQ(Text(d.files.items[i]->name), e.files[i].name);
    EXPECT_EQ(d.files.items[i]->flags, e.files[i].flags);
  }
  ASSERT_EQ(d.shortcuts.count, e.shortcuts.size());
  for (size_t i = 0; i < e.shortcuts.size(); ++i) {
    EXPECT_EQ(d.shortcuts.items[i]->levels, e.shortcuts[i].levels);
    EXPECT_EQ(Text(d.shortcuts.items[i]->folder), e.shortcuts[i].folder);
    EXPECT_EQ(Text(d.shortcuts.items[i]->secondFolder), e.shortcuts[i].secondFolder);
    EXPECT_EQ(Text(d.shortcuts.items[i]->fileName), e.shortcuts[i].fileName);
  }
  ASSERT_EQ(d.registry.count, e.registry.size());
  for (size_t i = 0; i < e.registry.size(); ++i) {
    EXPECT_EQ(d.registry.items[i]->root, e.registry[i].root);
    EXPECT_EQ(Text(d.registry.items[i]->path), e.registry[i].path);
  }
  if (e.trees.empty() && !d.folderTrees) {
  } else {
    ASSERT_NE(d.folderTrees, nullptr);
    EXPECT_EQ(std::u16string((const char16_t*)d.folderTrees, d.folderTreesLength / 2),
              e.trees + u'\0');
  }
  EXPECT_EQ(d.header != nullptr, e.hasHeader);
  EXPECT_EQ(GetHeaderFlags(&d), e.header.flags);
  auto orNone = [](const std::u16string& s) { return s.empty() ? u"<none>" : s; };
  EXPECT_EQ(Text(GetHeaderCommand(&d)), orNone(e.header.command));
  EXPECT_EQ(Text(GetHeaderFinalPage(&d)), orNone(e.header.finalPage));
  for (size_t i = 0; i <= e.messages.size(); ++i)
    EXPECT_EQ(Text(LookupMessage(&d, 0, (int)i)), i < e.messages.size() ? e.messages[i] : u"");
  ASSERT_EQ(d.extensionBlob != nullptr, e.hasExtension);
  EXPECT_EQ(Bytes(d.extensionBlob, d.extensionBlob + d.extensionLength), e.extension);
  EXPECT_EQ(Bytes(d.opaque, d.opaque + d.opaqueLength), e.opaque);
}

TEST_F(PayloadTest, GeneratedPayloadsReadBackAsWritten) {
  Generator generator(20240611);
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    Expected e = generator.Make();
    ASSERT_EQ(ReadAgain(e.bytes), PAYLOAD_OK);
    ExpectMatches(data, e);
    if (HasFatalFailure()) return;
  }
}

// Every allocation of a read fails in turn: the read reports status 7 and
// nothing leaks; once the failure lies beyond the read, it succeeds.
TEST_F(PayloadTest, EachFailedAllocationGivesOutOfMemory) {
  Generator generator(7);
  for (int round = 0; round < 20; ++round) {
    Expected e = generator.Make();
    for (long n = 1;; ++n) {
      ReleasePayloadBlocks(&data);
      ASSERT_EQ(MemLiveBlocks(), liveAtStart);
      MemFailAfter(n);
      int status = Read(e.bytes);
      MemFailAfter(0);
      if (status == PAYLOAD_OK) {
        ExpectMatches(data, e);
        break;
      }
      ASSERT_EQ(status, PAYLOAD_OUT_OF_MEMORY) << "round " << round << " allocation " << n;
    }
  }
}

}  // namespace
