// The writer's side of the program file: attaching a payload, the checks
// retrax-pack runs before writing, and the UTF-8 conversions of its input.
#include "payload_fixture.h"

namespace {

Bytes MarkerBytes() { return Bytes(PAYLOAD_MARKER, &PAYLOAD_MARKER[PAYLOAD_MARKER_LENGTH]); }

Bytes Stub(uint32_t field, size_t length = 64) {
  Bytes stub(length, 0x90);
  memcpy(&stub[10], PAYLOAD_MARKER, PAYLOAD_MARKER_LENGTH);
  pack::WriteU32(&stub[16], field);
  return stub;
}

TEST(AttachPayload, ReplacesWhateverFollowsTheProgramProper) {
  Bytes out, again;
  std::string error;
  ASSERT_TRUE(pack::AttachPayload(Stub(64), {1, 2}, &out, &error)) << error;
  EXPECT_EQ(out, Stub(64) + Bytes({1, 2}));
  ASSERT_TRUE(pack::AttachPayload(out, {3}, &again, &error)) << error;
  EXPECT_EQ(again, Stub(64) + Bytes({3}));
  ASSERT_TRUE(pack::AttachPayload(Stub(0), {}, &out, &error));  // field never set
  EXPECT_EQ(out, Stub(64));
  const Bytes marker(PAYLOAD_MARKER, &PAYLOAD_MARKER[PAYLOAD_MARKER_LENGTH]);
  Bytes twice = Stub(74, 64) + marker + Bytes(4);  // both inside the program proper
  for (const Bytes& bad : {Stub(65), Stub(19), Bytes(64, 0), twice})
    EXPECT_FALSE(pack::AttachPayload(bad, {1}, &out, &error));
}

TEST(AttachPayload, MarkerBytesInsideAnOldPayloadDoNotCount) {
  // An opaque block may hold anything, the marker included; re-packing must
  // still find the program's own field.
  Bytes packed = Stub(64) + MarkerBytes() + Bytes(4, 0xFF), out;
  std::string error;
  ASSERT_TRUE(pack::AttachPayload(packed, {7}, &out, &error)) << error;
  EXPECT_EQ(out, Stub(64) + Bytes({7}));
}

TEST(ValidatePayload, RefusesWhatTheUninstallerWouldMisread) {
  std::string error;
  pack::Payload ok;
  ok.files = {{std::u16string(300, u'f'), std::u16string(218, u'n'), 0}};
  ok.hasExtension = true;
  ok.extensionContent = pack::ExtensionPathContent(u"C:\\e.dll");
  EXPECT_TRUE(pack::ValidatePayload(ok, &error)) << error;
  std::vector<pack::Payload> bad(6, ok);
  bad[0].files[0].name += u'n';
  bad[1].registry = {{1, std::u16string(520, u'r')}};
  bad[2].shortcuts = {{0, u"a", std::u16string(u"b\0c", 3), u""}};
  bad[3].folderTrees = {u"A", u"", u"B"};
  bad[4].extensionContent = {'C', 0, ':', 0};
  bad[5].messages = {std::u16string(70000, u'm')};
  for (const pack::Payload& p : bad) EXPECT_FALSE(pack::ValidatePayload(p, &error));
}

TEST(Utf8, StrictBothWays) {
  std::u16string text;
  ASSERT_TRUE(pack::FromUtf8("C:\\Prog\xC3\xA9 \xF0\x9F\x98\x80", &text));
  EXPECT_EQ(text, u"C:\\Prog\u00E9 \U0001F600");
  EXPECT_EQ(pack::ToUtf8(text), "C:\\Prog\xC3\xA9 \xF0\x9F\x98\x80");
  for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82", "\x80"})
    EXPECT_FALSE(pack::FromUtf8(bad, &text)) << bad;
  EXPECT_EQ(pack::ToUtf8(std::u16string(1, (char16_t)0xD800)), "\xEF\xBF\xBD");
}

}  // namespace
