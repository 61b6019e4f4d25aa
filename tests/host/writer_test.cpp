// The writer's side of the program file: attaching a payload, and the
// UTF-8 conversions of retrax-pack's input.
#include "payload_fixture.h"

namespace {

Bytes Stub(uint32_t field) {
  Bytes stub(64, 0x90);
  memcpy(&stub[10], PAYLOAD_MARKER, PAYLOAD_MARKER_LENGTH);
  pack::WriteU32(&stub[16], field);
  return stub;
}

TEST(AttachPayload, ReplacesWhateverFollowsTheProgramProper) {
  Bytes out, again;
  std::string error;
  ASSERT_TRUE(pack::AttachPayload(Stub(64), {1, 2}, &out, &error)) << error;
  EXPECT_EQ(out, Stub(64) + Bytes({1, 2}));
  // An old payload may hold the marker bytes: re-packing still finds the
  // program's own field.
  const Bytes marker(PAYLOAD_MARKER, &PAYLOAD_MARKER[PAYLOAD_MARKER_LENGTH]);
  ASSERT_TRUE(pack::AttachPayload(out + marker + Bytes(4, 0xFF), {3}, &again, &error)) << error;
  EXPECT_EQ(again, Stub(64) + Bytes({3}));
  Bytes twice = Stub(74) + marker + Bytes(4);  // both inside the program proper
  for (const Bytes& bad : {Stub(65), Stub(19), Bytes(64, 0), twice})
    EXPECT_FALSE(pack::AttachPayload(bad, {1}, &out, &error));
}

TEST(Utf8, StrictBothWays) {
  std::u16string text;
  ASSERT_TRUE(pack::FromUtf8("C:\\Prog\xC3\xA9 \xF0\x9F\x98\x80", &text));
  EXPECT_EQ(pack::ToUtf8(text), "C:\\Prog\xC3\xA9 \xF0\x9F\x98\x80");
  for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xE2\x82"}) EXPECT_FALSE(pack::FromUtf8(bad, &text)) << bad;
}

}  // namespace
