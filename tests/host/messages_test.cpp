// Formatting of reports and questions: payload text is never a format, and
// the result is cut to its buffer.
#include "payload_fixture.h"

namespace {

std::u16string Format(const char16_t* message, const char16_t* argument,
                      uint32_t capacity = MESSAGE_BUFFER_UNITS) {
  std::u16string out(capacity + 1, u'#');  // one guard unit behind the buffer
  FormatMessageInto(&out[0], capacity, message, argument);
  EXPECT_EQ(out[capacity], u'#') << "wrote past the buffer";
  return out.substr(0, out.find(u'\0'));
}

TEST(FormatMessageInto, PayloadTextIsNeverAFormatAndIsCutToTheBuffer) {
  const char16_t* path = u"C:\\App\\a.dll";
  const struct { const char16_t *message, *argument; uint32_t capacity; std::u16string out; } cases[] = {
      {u"100%% done", path, MESSAGE_BUFFER_UNITS, u"100%% done"},  // no %s: shown as stored
      {u"100%% of %s", path, MESSAGE_BUFFER_UNITS, u"100% of C:\\App\\a.dll"},
      {u"%s and %s, %d%n", path, MESSAGE_BUFFER_UNITS, u"C:\\App\\a.dll and %s, %d%n"},
      {u"%s", nullptr, MESSAGE_BUFFER_UNITS, u""},
      {u"Remove %s?", u"C:\\long", 10, u"Remove C:"},
      {u"%s", u"xyz", 1, u""},
      {u"%s", u"xyz", 0, u"#"},  // no room even for the NUL: nothing written
  };
  for (const auto& c : cases) EXPECT_EQ(Format(c.message, c.argument, c.capacity), c.out);
  EXPECT_EQ(Format(u"Remove %s?", std::u16string(2000, u'p').c_str()).size(), MESSAGE_BUFFER_UNITS - 1u);
}

}  // namespace
