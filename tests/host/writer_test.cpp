// The writer's side of the program file: attaching a payload.
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
  // An unpatched field (0) takes the whole file as the program.
  ASSERT_TRUE(pack::AttachPayload(Stub(0), {1, 2}, &out, &error)) << error;
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

}  // namespace
