// The record lists and the folder-tree list: how chunks add up, and how a
// malformed body is refused without touching what was read before.
#include "payload_fixture.h"

namespace {

using pack::FileRecord;
using pack::RegistryRecord;
using pack::ShortcutRecord;

// (Appending, empty strings and widening are covered by the round trip.)
TEST_F(PayloadTest, EmptyListChunksAddNothing) {
  ASSERT_EQ(Read(Payload({Chunk(CHUNK_REGISTRY, pack::EncodeRegistryList({})),
                          Chunk(CHUNK_FILES, pack::EncodeFileList({{u"a", u"", 0}})),
                          Chunk(CHUNK_FILES, pack::EncodeFileList({}))})),
            PAYLOAD_OK);
  EXPECT_EQ(data.registry.items, nullptr);
  EXPECT_EQ(data.files.count, 1u);
  EXPECT_EQ(Text(data.files.items[0]->name), u"");  // empty, not missing
}

// Longer records than the scratch holds would be cut, and a cut path names
// another file: the chunk is refused instead.
TEST_F(PayloadTest, RecordsBeyondTheScratchBoundsAreRefused) {
  auto units = [](size_t n) { return std::u16string(n, u'x'); };
  struct Case { Bytes chunk; int status; } cases[] = {
      {Chunk(CHUNK_FILES, pack::EncodeFileList({{units(300), units(218), 0}})), PAYLOAD_OK},
      {Chunk(CHUNK_FILES, pack::EncodeFileList({{units(300), units(219), 0}})), PAYLOAD_READ_ERROR},
      {Chunk(CHUNK_FILES, pack::EncodeFileList({{units(520), u"", 0}})), PAYLOAD_READ_ERROR},
      {Chunk(CHUNK_SHORTCUTS, pack::EncodeShortcutList({{0, units(700), units(70), units(7)}})),
       PAYLOAD_OK},
      {Chunk(CHUNK_SHORTCUTS, pack::EncodeShortcutList({{0, units(700), units(70), units(8)}})),
       PAYLOAD_READ_ERROR},
      {Chunk(CHUNK_REGISTRY, pack::EncodeRegistryList({{1, units(519)}})), PAYLOAD_OK},
      {Chunk(CHUNK_REGISTRY, pack::EncodeRegistryList({{1, units(520)}})), PAYLOAD_READ_ERROR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    EXPECT_EQ(ReadAgain(Payload({c.chunk})), c.status);
    if (c.status != PAYLOAD_OK)
      EXPECT_EQ(data.files.count + data.shortcuts.count + data.registry.count, 0u);
  }
  ASSERT_EQ(ReadAgain(Payload({cases[0].chunk})), PAYLOAD_OK);
  EXPECT_EQ(Text(data.files.items[0]->name), units(218));
}

TEST_F(PayloadTest, ListBodiesThatDoNotHoldTheirRecordsFail) {
  Bytes kept = Chunk(CHUNK_REGISTRY, pack::EncodeRegistryList({{0x80000002u, u"Software\\A"}}));
  Bytes hugeCount = {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0};
  Bytes threeRecords = pack::EncodeRegistryList({{1, u"a"}, {2, u"b"}, {3, u"c"}});
  Bytes truncated(threeRecords.begin(), threeRecords.end() - 3);
  for (uint16_t tag : {CHUNK_FILES, CHUNK_SHORTCUTS, CHUNK_REGISTRY}) {
    EXPECT_EQ(ReadAgain(Payload({kept, Chunk(tag, hugeCount)})), PAYLOAD_READ_ERROR);
    EXPECT_EQ(ReadAgain(Payload({kept, Chunk(tag, {1, 0})})), PAYLOAD_READ_ERROR);
  }
  // Cut inside the chunk's third record: the two before it are not added,
  // and what earlier chunks filled stays.
  EXPECT_EQ(ReadAgain(Payload({kept, Chunk(CHUNK_REGISTRY, truncated), kept})),
            PAYLOAD_READ_ERROR);
  ASSERT_EQ(data.registry.count, 1u);
  EXPECT_EQ(Text(data.registry.items[0]->path), u"Software\\A");
  EXPECT_EQ(data.registry.items[0]->root, 0x80000002u);
}

Bytes Units(std::initializer_list<char16_t> units) {
  Bytes out;
  for (char16_t u : units) out.insert(out.end(), {(uint8_t)u, (uint8_t)(u >> 8)});
  return out;
}

std::u16string TreeUnits(const UninstallData& d) {
  return std::u16string((const char16_t*)d.folderTrees, d.folderTreesLength / 2);
}

TEST_F(PayloadTest, FolderTreeBodiesJoinIntoOneTerminatedList) {
  const std::u16string abc(u"A\0B\0C\0\0", 7);
  struct Case { std::vector<Bytes> bodies; int status; std::u16string list; } cases[] = {
      {{pack::EncodeFolderTrees({u"A", u"B"}), {}, pack::EncodeFolderTrees({u"C"})}, 0, abc},
      {{pack::EncodeFolderTrees({}), pack::EncodeFolderTrees({u"A", u"B", u"C"})}, 0, abc},
      // Behind the list's end: never walked, so cut off; an odd byte too.
      {{Units({'A', 0, 'B', 0, 0, 'Z', 'Z'}), Units({'C', 0, 0}) + Bytes{7}}, 0, abc},
      // The last string complete, only the list's end missing: it is added.
      {{Units({'A', 0, 'B', 0}), Units({'C', 0})}, 0, abc},
      // The last string cut: ending it here would widen its pattern.
      {{Units({'A', 0, 'B'})}, PAYLOAD_READ_ERROR, u""},
      {{Units({'A', 0, 0}), Units({'B'}) + Bytes{0}}, PAYLOAD_READ_ERROR, u""},
      {{Bytes{0}}, PAYLOAD_READ_ERROR, u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    Bytes payload;
    for (const Bytes& body : c.bodies) payload = Payload({payload, Chunk(CHUNK_FOLDER_TREES, body)}, false);
    EXPECT_EQ(ReadAgain(Payload({payload})), c.status);
    if (c.status == PAYLOAD_OK) EXPECT_EQ(TreeUnits(data), c.list);
  }
}

}  // namespace
