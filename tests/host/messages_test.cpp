// The message table and the formatting of reports and questions.
#include "payload_fixture.h"

namespace {

Bytes Messages(std::vector<std::vector<std::u16string>> tables) {
  return Chunk(CHUNK_MESSAGES, pack::EncodeMessages(tables));
}

TEST_F(PayloadTest, LookupsMissWithTheEmptyString) {
  EXPECT_EQ(LookupMessage(&data, 0, MSG_TITLE), kEmptyText);  // no table read yet
  // Only the first table of a chunk is read; the walk moves past the rest.
  ASSERT_EQ(Read(Payload({Messages({{u"T", u"Q", u"Bye"}, {u"other", u"table"}})})), PAYLOAD_OK);
  EXPECT_EQ(Text(LookupMessage(&data, 0, 2)), u"Bye");
  EXPECT_EQ(LookupMessage(&data, 0, 3), kEmptyText);
  EXPECT_EQ(LookupMessage(&data, 0, -1), kEmptyText);
  EXPECT_EQ(LookupMessage(&data, 1, 0), kEmptyText);
}

TEST_F(PayloadTest, LaterTablesReplaceOnlyWhenTheyHoldMessages) {
  Bytes tableCountZero = {0, 0};
  Bytes truncatedText = pack::EncodeMessages({{u"new title"}});
  truncatedText.resize(truncatedText.size() - 1);
  ASSERT_EQ(Read(Payload({Messages({{u"old"}}), Messages({{u"new", u""}}), Messages({{}}),
                          Chunk(CHUNK_MESSAGES, tableCountZero)})),
            PAYLOAD_OK);
  EXPECT_EQ(Text(LookupMessage(&data, 0, 0)), u"new");
  EXPECT_EQ(LookupMessage(&data, 0, 1)[0], 0);
  // A failed table leaves the one before it whole.
  EXPECT_EQ(Read(Payload({Chunk(CHUNK_MESSAGES, truncatedText)})), PAYLOAD_READ_ERROR);
  EXPECT_EQ(Read(Payload({Chunk(CHUNK_MESSAGES, {1, 0, 0xFF, 0xFF, 0, 0})})), PAYLOAD_READ_ERROR);
  EXPECT_EQ(Text(LookupMessage(&data, 0, 0)), u"new");
}

std::u16string Format(const char16_t* message, const char16_t* argument,
                      uint32_t capacity = MESSAGE_BUFFER_UNITS) {
  std::u16string out(capacity + 1, u'#');  // one guard unit behind the buffer
  FormatMessageInto(&out[0], capacity, message, argument);
  EXPECT_EQ(out[capacity], u'#') << "wrote past the buffer";
  return out.substr(0, out.find(u'\0'));
}

TEST(FormatMessageInto, PayloadTextIsNeverAFormat) {
  const char16_t* path = u"C:\\App\\a.dll";
  EXPECT_EQ(Format(u"100%% done", path), u"100%% done");
  EXPECT_EQ(Format(u"100%% of %s", path), u"100% of C:\\App\\a.dll");
  EXPECT_EQ(Format(u"%d %n %x %S %", path), u"%d %n %x %S %");
  EXPECT_EQ(Format(u"%s and %s, %d%n", path), u"C:\\App\\a.dll and %s, %d%n");
  EXPECT_EQ(Format(u"%%s", path), u"%s");  // as printf reads it: a literal
  EXPECT_EQ(Format(u"%s", nullptr), u"");
}

TEST(FormatMessageInto, OutputIsCutToTheBuffer) {
  EXPECT_EQ(Format(u"Remove %s?", u"C:\\long", 10), u"Remove C:");
  EXPECT_EQ(Format(u"abcdef", u"", 4), u"abc");
  EXPECT_EQ(Format(u"%s", u"xyz", 1), u"");
  std::u16string longPath(2000, u'p');
  EXPECT_EQ(Format(u"Remove %s?", longPath.c_str()).size(), MESSAGE_BUFFER_UNITS - 1u);
}

}  // namespace
