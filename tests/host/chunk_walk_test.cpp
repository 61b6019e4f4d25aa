// The fixed byte vectors that installers' writers are held to, the hostile
// payloads of tests/hostile against the reader, and the extension blob.
#include "hostile/hostile_payloads.h"
#include "payload_fixture.h"

namespace {

TEST(Golden, WriterBytesAreFixed) {
  const Bytes endOnly = {0x7F, 0x7F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  Bytes smallest = {0x3A, 0x12, 0, 0, 0x0C, 0, 0, 0, 0, 0, 0, 0};
  smallest.resize(24, 0);
  smallest.insert(smallest.end(), endOnly.begin(), endOnly.end());
  EXPECT_EQ(pack::EncodePayload(pack::Payload()), smallest);
  Bytes fileBody = {1, 0, 0, 0, 1, 0, 0x2E, 0, 5, 0, 0x61, 0, 0x2E, 0, 0x64, 0, 0x6C, 0, 0x6C, 0, 5};
  EXPECT_EQ(pack::EncodeFileList({{u".", u"a.dll", FileShared | FileComponent}}), fileBody);
  // Content "A": the length check, the checksum and the scrambled bytes.
  Bytes blob = {0xC7, 0xA7, 0, 0, 0xB1, 0, 0, 0, 0x1A, 0x75};
  EXPECT_EQ(pack::EncodeExtensionBlob({0x41, 0x00}), blob);
  const uint8_t zero = 0;  // the top bit rotates round into bit 0
  EXPECT_EQ(RotateAddChecksum(&zero, 1, 0x80000000u), 1u);
}

// The same cases run end to end under Wine; here the reader alone, fast.
TEST_F(PayloadTest, HostilePayloadsReadToTheirOutcome) {
  std::vector<hostile::Case> cases = hostile::ContainerCases();
  for (hostile::Case& c : hostile::MessageCases()) cases.push_back(std::move(c));
  for (const hostile::Case& c : cases) {
    const int expected = c.outcome == hostile::Outcome::kCompletes ? PAYLOAD_OK : PAYLOAD_READ_ERROR;
    EXPECT_EQ(Read(c.payload), expected) << c.name << ": " << c.why;
  }
}

TEST_F(PayloadTest, OnlyAnExtensionBlobThatPassesItsChecksIsKept) {
  const Bytes path = pack::ExtensionPathContent(std::u16string(129, u'p'));  // 260 bytes
  const Bytes good = pack::EncodeExtensionBlob(path);
  Bytes badCheck = pack::EncodeExtensionBlob(Bytes(300, 'x')), badSum = badCheck;  // another content
  badCheck[0] ^= 1, badSum[4] ^= 1;
  Bytes blobs = Chunk(CHUNK_EXTENSION, badCheck) + Chunk(CHUNK_EXTENSION, badSum) + Chunk(CHUNK_EXTENSION, good);
  ASSERT_EQ(Read(Payload({blobs})), PAYLOAD_OK);
  EXPECT_EQ(Bytes(data.extensionBlob, data.extensionBlob + data.extensionLength), path);
  // At most 260 bytes is a path and must hold its NUL; above, an image.
  const struct { Bytes content; bool kept; } cases[] = {
      {Bytes(260, 'a'), false}, {Bytes(261, 'a'), true}, {{'a', 0, 0, 'b'}, false}};
  for (const auto& c : cases) {
    ASSERT_EQ(Read(Payload({Chunk(CHUNK_EXTENSION, pack::EncodeExtensionBlob(c.content))})), PAYLOAD_OK);
    EXPECT_EQ(data.extensionBlob != nullptr, c.kept) << c.content.size();
  }
}

}  // namespace
