#include "text.h"

#include <stdio.h>
#include <string.h>

#include "payload/writer.h"

namespace packtool {

namespace {

template <typename Unit>
Unit FoldAscii(Unit c) {
  return (c >= 'A' && c <= 'Z') ? (Unit)(c - 'A' + 'a') : c;
}

}  // namespace

bool EqualsNoCaseAscii(const std::string& a, const char* b) {
  size_t n = strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

bool StartsWithNoCaseAscii(const std::u16string& text, const char* prefix) {
  size_t n = strlen(prefix);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (FoldAscii(text[i]) != (char16_t)(unsigned char)FoldAscii(prefix[i])) return false;
  return true;
}

bool EqualsNoCaseAscii(const std::u16string& a, const char* b) {
  return a.size() == strlen(b) && StartsWithNoCaseAscii(a, b);
}

std::u16string FromRx(const RxChar* text) {
  std::u16string out;
  if (!text) return out;
  for (; *text; ++text) out.push_back((char16_t)*text);
  return out;
}

std::string Quoted(const std::string& utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    if (c < 0x20 || c == 0x7F) {
      char escape[8];
      snprintf(escape, sizeof escape, "\\u%04X", c);
      out += escape;
    } else {
      out += (char)c;
    }
  }
  return out + "\"";
}

std::string Quoted(const std::u16string& text) { return Quoted(pack::ToUtf8(text)); }

std::string Hex(uint64_t value) {
  char text[24];
  snprintf(text, sizeof text, "0x%llX", (unsigned long long)value);
  return text;
}

std::string HexOffset(uint64_t value) {
  char text[24];
  snprintf(text, sizeof text, "0x%08llX", (unsigned long long)value);
  return text;
}

}  // namespace packtool
