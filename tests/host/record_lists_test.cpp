// Record bounds of the reader's scratch, and the folder-tree list that
// several chunks join into one.
#include "payload_fixture.h"

namespace {

// A record longer than the scratch would be cut, and a cut path names
// another file; one running past its chunk would read the next chunk's
// bytes: the chunk is refused instead.
TEST_F(PayloadTest, RecordsBeyondTheScratchOrTheirChunkAreRefused) {
  auto units = [](size_t n) { return std::u16string(n, u'x'); };
  auto files = [](std::u16string f, std::u16string n) { return Chunk(CHUNK_FILES, pack::EncodeFileList({{f, n, 0}})); };
  auto links = [](std::u16string a, std::u16string b, std::u16string c) {
    return Chunk(CHUNK_SHORTCUTS, pack::EncodeShortcutList({{0, a, b, c}}));
  };
  auto keys = [](std::u16string p) { return Chunk(CHUNK_REGISTRY, pack::EncodeRegistryList({{1, p}})); };
  const struct { Bytes chunk; int status; } cases[] = {
      {files(units(300), units(218)), PAYLOAD_OK},     {files(units(300), units(219)), PAYLOAD_READ_ERROR},
      {links(units(700), units(70), units(7)), PAYLOAD_OK},
      {links(units(700), units(70), units(8)), PAYLOAD_READ_ERROR},
      {keys(units(519)), PAYLOAD_OK},                  {keys(units(520)), PAYLOAD_READ_ERROR},
      {Chunk(CHUNK_FILES, {1, 0, 0, 0, 1, 0, '.', 0, 5, 0}), PAYLOAD_READ_ERROR},  // a name of 5 units in 0 bytes
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    EXPECT_EQ(Read(Payload({c.chunk})), c.status);
    EXPECT_EQ(data.files.count + data.shortcuts.count + data.registry.count, c.status == PAYLOAD_OK ? 1u : 0u);
  }
}

Bytes Units(const std::u16string& text) {  // little-endian, as the host is
  return Bytes((const uint8_t*)text.data(), (const uint8_t*)(text.data() + text.size()));
}

TEST_F(PayloadTest, FolderTreeBodiesJoinIntoOneTerminatedList) {
  const std::u16string abc(u"A\0B\0C\0\0", 7);
  auto trees = [](std::vector<std::u16string> t) { return pack::EncodeFolderTrees(t); };
  const struct { std::vector<Bytes> bodies; int status; } cases[] = {
      {{trees({u"A", u"B"}), {}, trees({u"C"})}, PAYLOAD_OK},
      // Behind the list's end: never walked, so cut off; an odd byte too.
      {{Units(std::u16string(u"A\0B\0\0ZZ", 7)), Units(std::u16string(u"C\0\0", 3)) + Bytes{7}}, PAYLOAD_OK},
      // The last string complete, only the list's end missing: it is added.
      {{Units(std::u16string(u"A\0B\0", 4)), Units(std::u16string(u"C\0", 2))}, PAYLOAD_OK},
      // The last string cut: ending it here would widen its pattern.
      {{Units(std::u16string(u"A\0B", 3))}, PAYLOAD_READ_ERROR},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    Bytes chunks;
    for (const Bytes& body : c.bodies) chunks = chunks + Chunk(CHUNK_FOLDER_TREES, body);
    ASSERT_EQ(Read(Payload({chunks})), c.status);
    if (c.status == PAYLOAD_OK)
      EXPECT_EQ(std::u16string((const char16_t*)data.folderTrees, data.folderTreesLength / 2), abc);
  }
}

}  // namespace
