// `dump` on damaged payloads, bare and packed.
#include "dump.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "pack_test_util.h"
#include "scan.h"
#include "text.h"

namespace {

using packtool::ScanPayloadFile;

TEST(DumpTest, ADamagedPayloadIsShownUpToTheFailingChunk) {
  pack::Payload p;
  p.header.command = u"setup.exe /u";
  p.messages = {u"Title", u"Sure?"};
  p.files = {{u".", u"a.exe", 0}, {u".\\sub", u"b.txt", 0}, {u".\\sub", u"", 0}};
  const pack::Bytes payload = pack::EncodePayload(p);
  const size_t files = payload.size() - 12 - 12 - 61;  // the files chunk before the end chunk
  pack::Bytes cut(payload.begin(), payload.begin() + files + 30);  // inside the file records
  packtool::PayloadScan scan = ScanPayloadFile(cut);
  EXPECT_EQ(scan.status, PAYLOAD_READ_ERROR);
  EXPECT_EQ(scan.failedAt, files);
  const std::string text = packtool::DumpText("cut.bin", scan);
  for (const std::string part : {std::string("command: \"setup.exe /u\" (offset 12)"), std::string("[1] confirmation"),
                                 "status 8 (read error) at " + packtool::HexOffset(files) +
                                     ": size 61 runs past the end of the file (18 bytes left)"})
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  nlohmann::json json = nlohmann::json::parse(packtool::DumpJson("cut.bin", scan));
  EXPECT_EQ(json["failedAt"], files);
  EXPECT_EQ(json["chunks"].back()["tagName"], "CHUNK_FILES");

  // Packed: found through the marker; the bare stub's payload is missing.
  const pack::Bytes stub = packtest::MakeStub();
  pack::Bytes packed;
  std::string error;
  ASSERT_TRUE(pack::AttachPayload(stub, payload, &packed, &error)) << error;
  scan = ScanPayloadFile(packed);
  EXPECT_EQ(scan.payloadOffset, stub.size());
  EXPECT_EQ(scan.status, PAYLOAD_OK);
  scan = ScanPayloadFile(stub);
  EXPECT_EQ(scan.status, PAYLOAD_READ_ERROR);
  EXPECT_EQ(scan.failedAt, stub.size());
}

}  // namespace
