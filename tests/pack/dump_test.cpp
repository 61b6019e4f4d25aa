// `dump` on truncated and damaged payloads, bare and packed.
#include "dump.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "pack_test_util.h"
#include "scan.h"
#include "text.h"

namespace {

using packtool::PayloadScan;
using packtool::ScanPayloadFile;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// header, messages, files (3 records), end: the chunk offsets are fixed.
pack::Bytes SmallPayload() {
  pack::Payload p;
  p.header.flags = HEADER_WAIT_FOR_COMMAND;
  p.header.command = u"setup.exe /u";
  p.messages = {u"Title", u"Sure?"};
  p.files = {
      {u".", u"a.exe", FileShared | FileComponent}, {u".\\sub", u"b.txt", 0}, {u".\\sub", u"", 0}};
  return pack::EncodePayload(p);
}

size_t OffsetOfTag(const pack::Bytes& payload, uint16_t tag) {
  size_t pos = 0;
  while (pos + CHUNK_HEADER_SIZE <= payload.size()) {
    if ((payload[pos] | (payload[pos + 1] << 8)) == tag) return pos;
    pos += CHUNK_HEADER_SIZE + pack::ReadU32(&payload[pos + 4]);
  }
  return (size_t)-1;
}

TEST(DumpTest, ADamagedPayloadIsShownUpToTheFailingChunk) {
  pack::Bytes payload = SmallPayload();
  size_t files = OffsetOfTag(payload, CHUNK_FILES);
  pack::Bytes cut(payload.begin(), payload.begin() + files + 30);  // inside the file records
  PayloadScan scan = ScanPayloadFile(cut);
  EXPECT_EQ(scan.status, PAYLOAD_READ_ERROR);
  ASSERT_TRUE(scan.failedAtKnown);
  EXPECT_EQ(scan.failedAt, files);
  std::string text = packtool::DumpText("cut.bin", scan);
  for (const char* part : {"flags 0x1 (waitForCommand)", "command: \"setup.exe /u\" (offset 12)",
                           "[1] confirmation question"})
    EXPECT_TRUE(Contains(text, part)) << part << "\n" << text;
  EXPECT_TRUE(Contains(text, "status 8 (read error) at " + packtool::HexOffset(files) +
                                 ": size 61 runs past the end of the file (18 bytes left)"))
      << text;
  EXPECT_FALSE(packtool::DumpSucceeded(scan));

  // Cut inside the end chunk's header: the failure lies at the end chunk.
  pack::Bytes noEnd(payload.begin(), payload.end() - 5);
  scan = ScanPayloadFile(noEnd);
  EXPECT_EQ(scan.failedAt, payload.size() - CHUNK_HEADER_SIZE);
  EXPECT_TRUE(Contains(scan.failure, "inside a chunk header (7 of 12 bytes)")) << scan.failure;

  nlohmann::json json = nlohmann::json::parse(packtool::DumpJson("cut.bin", ScanPayloadFile(cut)));
  EXPECT_EQ(json["status"], 8);
  EXPECT_EQ(json["failedAt"], files);
  EXPECT_EQ(json["chunks"].back()["tagName"], "CHUNK_FILES");

  // A record the reader refuses is named.
  payload.clear();
  pack::AppendChunk(&payload, CHUNK_REGISTRY,
                    pack::EncodeRegistryList({{0x80000001u, u"Software\\A"}, {0x80000001u, std::u16string(600, u'k')}}));
  pack::AppendEnd(&payload);
  scan = ScanPayloadFile(payload);
  EXPECT_EQ(scan.status, PAYLOAD_READ_ERROR);
  EXPECT_EQ(scan.failedAt, 0u);
  EXPECT_TRUE(Contains(scan.failure, "record 1 at 0x0000002A: its strings up to path need 600 units")) << scan.failure;
}

TEST(DumpTest, PackedProgramsAreFoundThroughTheirMarker) {
  pack::Bytes stub = packtest::MakeStub();
  pack::Bytes packed;
  std::string error;
  ASSERT_TRUE(pack::AttachPayload(stub, SmallPayload(), &packed, &error)) << error;
  PayloadScan scan = ScanPayloadFile(packed);
  EXPECT_TRUE(scan.isProgram);
  EXPECT_EQ(scan.payloadOffset, stub.size());
  EXPECT_EQ(scan.status, PAYLOAD_OK);

  // The stub as built: its field holds its own length and nothing follows,
  // so the uninstaller's first header read fails.
  scan = ScanPayloadFile(stub);
  EXPECT_TRUE(scan.hasPayload);
  EXPECT_EQ(scan.status, PAYLOAD_READ_ERROR);
  EXPECT_EQ(scan.failedAt, stub.size());

  pack::WriteU32(&stub[1006], 0);
  scan = ScanPayloadFile(stub);
  EXPECT_FALSE(scan.hasPayload);
  EXPECT_TRUE(Contains(packtool::DumpText("stub.exe", scan), "holds 0: no payload"));
}

TEST(DumpTest, ExtensionBlobsShowTheirChecks) {
  pack::Payload p;
  p.hasExtension = true;
  p.extensionContent = pack::ExtensionPathContent(u"C:\\Hooks\\h.dll");
  pack::Bytes good = pack::EncodePayload(p);
  std::string text = packtool::DumpText("x", ScanPayloadFile(good));
  EXPECT_TRUE(Contains(text, "checks passed; content 30 bytes: library path \"C:\\Hooks\\h.dll\""))
      << text;

  pack::Bytes bad = good;
  size_t blob = OffsetOfTag(bad, CHUNK_EXTENSION) + CHUNK_HEADER_SIZE;
  bad[blob + 4] ^= 1;  // the checksum
  PayloadScan scan = ScanPayloadFile(bad);
  EXPECT_EQ(scan.status, PAYLOAD_OK);  // the uninstaller drops the blob and goes on
  text = packtool::DumpText("x", scan);
  EXPECT_TRUE(Contains(text, "checks failed, dropped: checksum")) << text;
  std::vector<packtool::Finding> findings;
  packtool::LintModelOf(scan, &findings);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_TRUE(findings[0].error);
  EXPECT_TRUE(Contains(findings[0].text, "drops this extension blob")) << findings[0].text;
}

}  // namespace
