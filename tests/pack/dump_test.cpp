// `dump` on a damaged payload, bare and packed.
#include "dump.h"

#include <gtest/gtest.h>

#include "pack_test_util.h"
#include "scan.h"
#include "text.h"

namespace {

TEST(DumpTest, ADamagedPayloadIsShownUpToTheFailingChunk) {
  pack::Payload p;
  p.header.command = u"setup.exe /u";
  p.files = {{u".", u"a.exe", 0}, {u".\\sub", u"b.txt", 0}, {u".\\sub", u"", 0}};
  const pack::Bytes payload = pack::EncodePayload(p);
  const size_t files = payload.size() - 12 - 12 - 61;  // the files chunk, before the end chunk
  packtool::PayloadScan scan = packtool::ScanPayloadFile(pack::Bytes(payload.begin(), payload.begin() + files + 30));
  EXPECT_EQ(scan.failedAt, files);
  const std::string text = packtool::DumpText("cut.bin", scan);
  for (const std::string part : {std::string("command: \"setup.exe /u\" (offset 12)"),
                                 "status 8 (read error) at " + packtool::HexOffset(files) +
                                     ": size 61 runs past the end of the file (18 bytes left)"})
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  // Packed, the payload is found through the marker.
  const pack::Bytes stub = packtest::MakeStub();
  pack::Bytes packed;
  std::string error;
  ASSERT_TRUE(pack::AttachPayload(stub, payload, &packed, &error)) << error;
  scan = packtool::ScanPayloadFile(packed);
  EXPECT_EQ(scan.payloadOffset, stub.size());
  EXPECT_EQ(scan.status, PAYLOAD_OK);
}

}  // namespace
