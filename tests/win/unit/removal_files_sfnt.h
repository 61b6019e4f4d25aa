// Small TrueType font files built in memory: one empty glyph and a space,
// enough for the platform to load them as a font, with a 'name' table made
// of the records a test asks for. Shared by the unit and scenario tests.
#pragma once
#include <stdint.h>

#include <algorithm>
#include <string>
#include <vector>

namespace sfnt {

struct NameRecord {
  uint16_t platform, encoding, language, nameId;
  std::string bytes;  // as stored: ANSI for Macintosh, UTF-16BE for Windows
};

inline NameRecord MacName(uint16_t nameId, const std::string& text, uint16_t language = 0) {
  return {1, 0, language, nameId, text};
}
inline NameRecord WindowsName(uint16_t nameId, const std::string& text) {
  std::string utf16be;
  for (char c : text) utf16be += std::string{'\0', c};
  return {3, 1, 0x409, nameId, utf16be};
}
// Family, style, full name ("<family> Regular") and PostScript name, on
// both platforms.
inline std::vector<NameRecord> FontNames(const std::string& family) {
  std::vector<NameRecord> names;
  const std::pair<uint16_t, std::string> values[] = {{1, family}, {2, "Regular"}, {4, family + " Regular"}, {6, family}};
  for (const auto& v : values) names.push_back(MacName(v.first, v.second));
  for (const auto& v : values) names.push_back(WindowsName(v.first, v.second));
  return names;
}

class Writer {
 public:
  void U16(uint32_t v) { bytes.push_back((uint8_t)(v >> 8)), bytes.push_back((uint8_t)v); }
  void U32(uint32_t v) { U16(v >> 16), U16(v & 0xFFFF); }
  void Fill(size_t count) { bytes.insert(bytes.end(), count, 0); }
  std::vector<uint8_t> bytes;
};

// The font; `tablesBeforeName` empty tables are listed ahead of 'name' in
// the table directory.
inline std::vector<uint8_t> Build(const std::vector<NameRecord>& names, int tablesBeforeName = 0) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> tables;
  Writer w;
  // head: version, revision, checksum adjustment, magic, flags, units per
  // em, dates, bounding box, style, smallest size, direction, short loca.
  w.U32(0x10000), w.U32(0x10000), w.U32(0), w.U32(0x5F0F3CF5), w.U16(0xB), w.U16(1000), w.Fill(16);
  w.U16(0), w.U16(0xFF38), w.U16(500), w.U16(800), w.U16(0), w.U16(8), w.U16(2), w.U16(0), w.U16(0);
  tables.push_back({"head", w.bytes});
  w.bytes.clear();  // hhea: ascender, descender, widest advance, one metric
  w.U32(0x10000), w.U16(800), w.U16(0xFF38), w.U16(0), w.U16(500), w.Fill(6), w.U16(1), w.Fill(14), w.U16(2);
  tables.push_back({"hhea", w.bytes});
  w.bytes.clear();  // maxp 1.0: two glyphs, two zones
  w.U32(0x10000), w.U16(2), w.Fill(8), w.U16(2), w.Fill(16);
  tables.push_back({"maxp", w.bytes});
  w.bytes.clear();  // OS/2 version 1: regular weight, Latin 1
  w.U16(1), w.U16(500), w.U16(400), w.U16(5), w.Fill(22), w.Fill(2 + 10), w.U32(1), w.Fill(12);
  w.bytes.insert(w.bytes.end(), {'R', 'X', 'T', 'S'});
  w.U16(0x40), w.U16(0x20), w.U16(0x20), w.U16(800), w.U16(0xFF38), w.U16(0), w.U16(800), w.U16(200);
  w.U32(1), w.U32(0);
  tables.push_back({"OS/2", w.bytes});
  w.bytes.clear();  // hmtx: both glyphs 500 wide
  w.U16(500), w.U16(0), w.U16(500), w.U16(0);
  tables.push_back({"hmtx", w.bytes});
  w.bytes.clear();  // cmap: Windows Unicode, format 4, the space to glyph 1
  w.U16(0), w.U16(1), w.U16(3), w.U16(1), w.U32(12);
  w.U16(4), w.U16(32), w.U16(0), w.U16(4), w.U16(4), w.U16(1), w.U16(0);
  w.U16(0x20), w.U16(0xFFFF), w.U16(0), w.U16(0x20), w.U16(0xFFFF), w.U16(0xFFE1), w.U16(1), w.U16(0), w.U16(0);
  tables.push_back({"cmap", w.bytes});
  w.bytes.clear();  // empty glyphs
  w.Fill(6);
  tables.push_back({"loca", w.bytes});
  tables.push_back({"glyf", std::vector<uint8_t>(4, 0)});
  w.bytes.clear();  // post 3.0: no glyph names
  w.U32(0x30000), w.U32(0), w.U16(0xFF9C), w.U16(50), w.Fill(20);
  tables.push_back({"post", w.bytes});
  w.bytes.clear();
  w.U16(0), w.U16((uint32_t)names.size()), w.U16(6 + 12 * (uint32_t)names.size());
  std::string strings;
  for (const NameRecord& r : names) {
    w.U16(r.platform), w.U16(r.encoding), w.U16(r.language), w.U16(r.nameId);
    w.U16((uint32_t)r.bytes.size()), w.U16((uint32_t)strings.size());
    strings += r.bytes;
  }
  w.bytes.insert(w.bytes.end(), strings.begin(), strings.end());
  tables.push_back({"name", w.bytes});
  std::sort(tables.begin(), tables.end());
  for (int i = 0; i < tablesBeforeName; ++i) {
    char tag[5] = {'a', (char)('a' + i / 26), (char)('a' + i % 26), 'x', 0};
    tables.push_back({tag, {}});
  }
  // The directory in tag order, as the format asks ('O' sorts first).
  std::stable_sort(tables.begin(), tables.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

  Writer font;
  font.U32(0x10000), font.U16((uint32_t)tables.size()), font.Fill(6);
  uint32_t offset = 12 + 16 * (uint32_t)tables.size();
  for (const auto& t : tables) {
    uint32_t sum = 0;
    for (size_t i = 0; i < t.second.size(); ++i) sum += (uint32_t)t.second[i] << (24 - 8 * (i % 4));
    font.bytes.insert(font.bytes.end(), t.first.begin(), t.first.end());
    font.U32(sum), font.U32(t.second.empty() ? 0 : offset), font.U32((uint32_t)t.second.size());
    if (!t.second.empty()) offset += ((uint32_t)t.second.size() + 3) & ~3u;
  }
  for (const auto& t : tables) {
    font.bytes.insert(font.bytes.end(), t.second.begin(), t.second.end());
    font.Fill((4 - t.second.size() % 4) % 4);
  }
  return font.bytes;
}

}  // namespace sfnt
