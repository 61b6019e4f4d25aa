// Small text helpers of retrax-pack: ASCII-only case folding (the way the
// uninstaller compares names), UTF-16 from the reader's strings, and the
// quoting and hex forms used in messages and dumps.
#pragma once
#include <stdint.h>

#include <string>

#include "payload/format.h"

namespace packtool {

// A-Z equal a-z; every other unit must match exactly.
bool EqualsNoCaseAscii(const std::string& a, const char* b);
bool EqualsNoCaseAscii(const std::u16string& a, const char* b);
bool StartsWithNoCaseAscii(const std::u16string& text, const char* prefix);

// A NUL-terminated string of the reader as UTF-16 (RxChar is wchar_t on
// Windows, char16_t on the host; both are 16-bit units there).
std::u16string FromRx(const RxChar* text);

// UTF-8 in double quotes, control characters written as \u000A, so that
// one line can show any payload string. Backslashes stay single: paths and
// the registry's doubled value separator read as they are stored.
std::string Quoted(const std::u16string& text);
std::string Quoted(const std::string& utf8);

// "0x1A2B" and, for offsets, "0x0001A2B0" (at least eight digits).
std::string Hex(uint64_t value);
std::string HexOffset(uint64_t value);

}  // namespace packtool
