// The chunk walk, the raw chunks (header, extension, opaque) and the fixed
// byte vectors that installers' writers are held to.
#include <string.h>

#include "payload_fixture.h"

namespace {

const Bytes kEndOnly = {0x7F, 0x7F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

TEST(Golden, SmallestPayloadIsWhatTheWriterMakesOfNothing) {
  Bytes smallest = {0x3A, 0x12, 0, 0, 0x0C, 0, 0, 0, 0, 0, 0, 0};
  smallest.resize(24, 0);
  smallest.insert(smallest.end(), kEndOnly.begin(), kEndOnly.end());
  EXPECT_EQ(pack::EncodePayload(pack::Payload()), smallest);
  Bytes fileBody = {1, 0, 0, 0, 1, 0, 0x2E, 0, 5, 0, 0x61, 0, 0x2E, 0, 0x64, 0, 0x6C, 0, 0x6C, 0, 5};
  EXPECT_EQ(pack::EncodeFileList({{u".", u"a.dll", FileShared | FileComponent}}), fileBody);
  // Content "A": the length check, the checksum and the scrambled bytes.
  Bytes blob = {0xC7, 0xA7, 0, 0, 0xB1, 0, 0, 0, 0x1A, 0x75};
  EXPECT_EQ(pack::EncodeExtensionBlob({0x41, 0x00}), blob);
}

TEST(Golden, RotateAddChecksum) {
  const uint8_t abc[] = {0x61, 0x62, 0x63};
  EXPECT_EQ(RotateAddChecksum(abc, 3, 3), 0x000002C3u);
  EXPECT_EQ(RotateAddChecksum(abc, 0, 0x12345678), 0x12345678u);
  const uint8_t zero = 0;  // the top bit rotates round into bit 0
  EXPECT_EQ(RotateAddChecksum(&zero, 1, 0x80000000u), 1u);
}

// (What the golden payloads read to, the round trip shows.)
TEST_F(PayloadTest, WalkEndsOnlyAtTheEndChunk) {
  ASSERT_EQ(Read(kEndOnly), PAYLOAD_OK);
  EXPECT_EQ(data.header, nullptr);  // a missing header reads as one of zeros
  EXPECT_EQ(ReadAgain({}), PAYLOAD_READ_ERROR);  // offset equal to the file length
  Bytes files = Chunk(CHUNK_FILES, pack::EncodeFileList({{u"C:\\A", u"x", 0}}));
  EXPECT_EQ(ReadAgain(Payload({files}, false)), PAYLOAD_READ_ERROR);
  EXPECT_EQ(data.files.count, 1u);  // kept, though the run ends
  Bytes partialHeader(kEndOnly.begin(), kEndOnly.begin() + 11);
  EXPECT_EQ(ReadAgain(partialHeader), PAYLOAD_READ_ERROR);
}

TEST_F(PayloadTest, ChunksAreSkippedByTheirSize) {
  Bytes fakeEnd = Payload({}, true);  // a body that looks like an end chunk
  Bytes twoRecords = pack::EncodeFileList({{u"a", u"1", 0}, {u"b", u"2", 0}});
  twoRecords[0] = 1;  // count smaller than the records stored
  Bytes payload = Payload({
      RawChunkHeader(CHUNK_FILES, 0),  // size 0: never dispatched
      Chunk(CHUNK_UNUSED_1238, fakeEnd), Chunk(0x4242, fakeEnd), Chunk(CHUNK_FILES, twoRecords),
      Chunk(CHUNK_FILES, pack::EncodeFileList({{u"c", u"3", 0}})),
      Chunk(CHUNK_END, {1, 2, 3}),  // an end chunk with a body ends the walk
      Chunk(CHUNK_FILES, pack::EncodeFileList({{u"d", u"4", 0}}))});
  ASSERT_EQ(Read(payload), PAYLOAD_OK);
  ASSERT_EQ(data.files.count, 2u);
  EXPECT_EQ(Text(data.files.items[1]->folder), u"c");
}

// A file of any length that is zero everywhere except where bytes were put:
// sizes beyond 4 GiB without 4 GiB of memory.
struct SparseFile {
  uint64_t length = 0, pos = 0;
  std::vector<std::pair<uint64_t, Bytes>> parts;
  void Put(uint64_t at, const Bytes& bytes) {
    parts.push_back({at, bytes});
    if (at + bytes.size() > length) length = at + bytes.size();
  }
  PayloadSource Source() {
    return {[](void* c, void* buffer, uint32_t count) {
              SparseFile* f = (SparseFile*)c;
              if (f->pos > f->length || count > f->length - f->pos) return 1;
              memset(buffer, 0, count);
              for (auto& part : f->parts)
                for (size_t i = 0; i < part.second.size(); ++i)
                  if (part.first + i >= f->pos && part.first + i < f->pos + count)
                    ((uint8_t*)buffer)[part.first + i - f->pos] = part.second[i];
              f->pos += count;
              return 0;
            },
            [](void* c) { return ((SparseFile*)c)->pos; },
            [](void* c, uint64_t p) { return ((SparseFile*)c)->pos = p; }, length, this};
  }
};

TEST_F(PayloadTest, SizesBeyondFourGiBMoveTheWalk) {
  const uint64_t big = 0x100000000ull + 4;
  SparseFile file;
  Bytes opaque = RawChunkHeader(CHUNK_OPAQUE, big);
  opaque.insert(opaque.end(), {9, 8, 7, 6});
  file.Put(0, opaque);  // a raw body takes only the low 32 bits: 4 bytes
  file.Put(12 + big, RawChunkHeader(0x5555, big));
  file.Put(24 + 2 * big, kEndOnly);
  PayloadSource source = file.Source();
  ASSERT_EQ(ReadPayloadChunks(&source, &data), PAYLOAD_OK);
  ASSERT_EQ(data.opaqueLength, 4u);
  EXPECT_EQ(data.opaque[0], 9);
}

TEST_F(PayloadTest, SizesPastTheEndOfTheFileFailAtOnce) {
  // A size of 2^64 - 12 added to the position would point the walk back at
  // its own header for ever.
  for (uint64_t size : {~0ull - 11, ~0ull, 100ull}) {
    SCOPED_TRACE(size);
    Bytes payload = Payload({RawChunkHeader(0x4242, size)});
    EXPECT_EQ(ReadAgain(payload), PAYLOAD_READ_ERROR);
  }
  Bytes files = Chunk(CHUNK_FILES, pack::EncodeFileList({{u"a", u"b", 0}}));
  files[4] += 13;  // records complete, but the chunk claims bytes that are not there
  EXPECT_EQ(ReadAgain(Payload({files})), PAYLOAD_READ_ERROR);
  EXPECT_EQ(data.files.count, 0u);
}

TEST_F(PayloadTest, RawBodiesThatCannotBeReadStopTheWalk) {
  // Stored in a form this program cannot load: a read error, nothing kept.
  EXPECT_EQ(Read(Payload({Chunk(CHUNK_OPAQUE, {1, 2}, CHUNK_FLAG_UNLOADABLE)})),
            PAYLOAD_READ_ERROR);
  EXPECT_EQ(data.opaque, nullptr);
  // Longer than the rest of the file: refused before any allocation (the
  // armed failure would turn an attempt into status 7).
  Bytes shortFile = RawChunkHeader(CHUNK_HEADER, 0x7FFFFFFF);
  MemorySource memory{shortFile.data(), shortFile.size(), 12};
  PayloadSource source = MakeMemorySource(&memory);
  ChunkHeader header = {CHUNK_HEADER, 0, 0, 0x7FFFFFFF};
  uint8_t* block = nullptr;
  uint32_t length = 0;
  MemFailAfter(1);
  EXPECT_EQ(ReadChunkBody(&source, &header, &block, &length), PAYLOAD_READ_ERROR);
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(length, 0x7FFFFFFFu);
}

Bytes HeaderBody(uint32_t flags, uint32_t command, uint32_t finalPage, const Bytes& strings) {
  Bytes body(12);
  pack::WriteU32(&body[0], flags);
  pack::WriteU32(&body[4], command);
  pack::WriteU32(&body[8], finalPage);
  return body + strings;
}

TEST_F(PayloadTest, HeaderLastOneWinsAndBadOffsetsMeanNone) {
  pack::HeaderRecord first{3, u"setup.exe /u", u"http://a"};
  pack::HeaderRecord second{HEADER_WAIT_FOR_COMMAND, u"", u"done.html"};
  ASSERT_EQ(Read(Payload({Chunk(CHUNK_HEADER, pack::EncodeHeader(first)),
                          Chunk(CHUNK_HEADER, pack::EncodeHeader(second))})),
            PAYLOAD_OK);
  EXPECT_EQ(GetHeaderFlags(&data), (uint32_t)HEADER_WAIT_FOR_COMMAND);
  EXPECT_EQ(GetHeaderCommand(&data), nullptr);
  EXPECT_EQ(Text(GetHeaderFinalPage(&data)), u"done.html");

  const Bytes xy = {'x', 0, 'y', 0, 0, 0};  // "xy" at offset 12
  struct Case { Bytes body; bool commandFound; } cases[] = {
      {HeaderBody(1, 12, 0, xy), true},
      {HeaderBody(1, 14, 0, xy), true},  // the tail "y" is a string too
      {HeaderBody(1, 13, 0, xy), false},  // odd
      {HeaderBody(1, 4, 0, xy), false},   // inside the fixed fields
      {HeaderBody(1, 18, 0, xy), false},  // at the end of the body
      {HeaderBody(1, 0xFFFFFFFE, 0, xy), false},
      {HeaderBody(1, 12, 0, {'x', 0, 'y', 0}), false},  // not terminated
      {HeaderBody(1, 12, 0, {'x', 0, 'y', 0, 0}), false},  // half a terminator
  };
  for (const Case& c : cases) {
    ASSERT_EQ(ReadAgain(Payload({Chunk(CHUNK_HEADER, c.body)})), PAYLOAD_OK);
    EXPECT_EQ(GetHeaderCommand(&data) != nullptr, c.commandFound) << pack::ReadU32(&c.body[4]);
    EXPECT_EQ(GetHeaderFinalPage(&data), nullptr);
  }
  // A header shorter than its fixed fields reads as zeros.
  ASSERT_EQ(ReadAgain(Payload({Chunk(CHUNK_HEADER, {0xFF, 0xFF, 0xFF, 0xFF, 12, 0, 0, 0})})),
            PAYLOAD_OK);
  EXPECT_EQ(GetHeaderFlags(&data), 0u);
  EXPECT_EQ(GetHeaderCommand(&data), nullptr);
}

TEST_F(PayloadTest, ExtensionFirstGoodBlobIsKept) {
  Bytes path = pack::ExtensionPathContent(u"C:\\ext.dll");
  Bytes good = pack::EncodeExtensionBlob(path);
  Bytes badCheck = good, badSum = good;
  badCheck[0] ^= 1;
  badSum[4] ^= 1;
  // The second good blob is not even read: its unloadable flag would fail the walk.
  ASSERT_EQ(Read(Payload({Chunk(CHUNK_EXTENSION, badCheck), Chunk(CHUNK_EXTENSION, {1, 2, 3}),
                          Chunk(CHUNK_EXTENSION, badSum), Chunk(CHUNK_EXTENSION, good),
                          Chunk(CHUNK_EXTENSION, good, CHUNK_FLAG_UNLOADABLE)})),
            PAYLOAD_OK);
  ASSERT_EQ(data.extensionLength, path.size());
  EXPECT_EQ(Bytes(data.extensionBlob, data.extensionBlob + path.size()), path);
}

TEST_F(PayloadTest, ExtensionPathMustHoldItsTerminator) {
  struct Case { Bytes content; bool kept; } cases[] = {
      {Bytes(260, 'a'), false},          // at most 260 bytes: a path, but no NUL
      {Bytes(261, 'a'), true},           // above 260 bytes: an image
      {{'a', 0, 0, 'b'}, false},         // the NUL pair straddles two units
      {{}, false},
      {pack::ExtensionPathContent(std::u16string(129, u'p')), true},  // 260 bytes
  };
  for (const Case& c : cases) {
    ASSERT_EQ(ReadAgain(Payload({Chunk(CHUNK_EXTENSION, pack::EncodeExtensionBlob(c.content))})),
              PAYLOAD_OK);
    EXPECT_EQ(data.extensionBlob != nullptr, c.kept) << c.content.size();
  }
}

}  // namespace
