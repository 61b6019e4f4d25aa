// TrueType files reduced to what the font-name reader looks at: the table
// directory and a 'name' table of the records a test asks for. Shared by
// the unit and scenario tests.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

namespace sfnt {

struct NameRecord {
  uint16_t platform, nameId;  // 1 Macintosh, 3 Windows; 4 the full name
  std::string bytes;
};

// Family and full name ("<family> Regular"), Macintosh records.
inline std::vector<NameRecord> FontNames(const std::string& family) {
  return {{1, 1, family}, {1, 4, family + " Regular"}};
}

inline std::vector<uint8_t> Build(const std::vector<NameRecord>& names) {
  std::vector<uint8_t> font;
  auto u16 = [&](size_t v) { font.insert(font.end(), {uint8_t(v >> 8), uint8_t(v)}); };
  std::string strings;
  for (const NameRecord& r : names) strings += r.bytes;
  // One table: 'name' at offset 28, after the 12-byte header and its record.
  u16(1), u16(0), u16(1), u16(0), u16(0), u16(0);
  font.insert(font.end(), {'n', 'a', 'm', 'e'});
  u16(0), u16(0), u16(0), u16(28), u16(0), u16(6 + 12 * names.size() + strings.size());
  u16(0), u16(names.size()), u16(6 + 12 * names.size());
  size_t at = 0;
  for (const NameRecord& r : names) {
    u16(r.platform), u16(r.platform == 1 ? 0 : 1), u16(r.platform == 1 ? 0 : 0x409), u16(r.nameId);
    u16(r.bytes.size()), u16(at);
    at += r.bytes.size();
  }
  font.insert(font.end(), strings.begin(), strings.end());
  return font;
}

}  // namespace sfnt
