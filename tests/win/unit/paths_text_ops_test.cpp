// The bounded text helpers: a text that does not fit is refused, never cut.
#include <gtest/gtest.h>

#include "paths/path_ops.h"

namespace {

TEST(TextOps, CopyAndAppendRefuseWhatDoesNotFitInsteadOfCuttingIt) {
  wchar_t buffer[8] = L"C:\\A";
  EXPECT_TRUE(AppendText(buffer, 8, L"\\BC"));  // 7 units and the terminator
  EXPECT_STREQ(buffer, L"C:\\A\\BC");
  EXPECT_FALSE(AppendText(buffer, 8, L"D"));
  EXPECT_STREQ(buffer, L"C:\\A\\BC") << "a refused append leaves the text as it was";

  EXPECT_TRUE(CopyText(buffer, 8, L"1234567"));
  EXPECT_FALSE(CopyText(buffer, 8, L"12345678"));
  EXPECT_STREQ(buffer, L"") << "a refused copy leaves no shortened path behind";

  wchar_t unterminated[3] = {L'a', L'b', L'c'};
  EXPECT_FALSE(AppendText(unterminated, 3, L""));
}

TEST(TextOps, NamesCompareWithAsciiLettersFoldedOnly) {
  EXPECT_TRUE(EqualNoCase(L"C:\\Program Files\\App", L"c:\\PROGRAM FILES\\app"));
  EXPECT_FALSE(EqualNoCase(L"\u00C9t\u00E9", L"\u00E9t\u00E9")) << "non-ASCII letters must match exactly";
  EXPECT_FALSE(EqualNoCase(L"[", L"{")) << "only A-Z fold, not the neighbouring punctuation";
  EXPECT_FALSE(EqualNoCase(L"abc", L"abcd"));
  EXPECT_TRUE(EqualNoCaseN(L"Software64\\Key", L"SOFTWARE64", 10));
  EXPECT_FALSE(EqualNoCaseN(L"Soft", L"Software", 8)) << "the shorter text ends the match";
}

TEST(TextOps, LastBackslashAndNumbers) {
  wchar_t path[] = L"C:\\A\\b.txt";
  EXPECT_EQ(FindLastBackslash(path), path + 4);
  EXPECT_EQ(FindLastBackslash(L"b.txt"), nullptr);

  wchar_t digits[11];
  EXPECT_EQ(UnsignedToText(digits, 11, 4294967295u), 10u);
  EXPECT_STREQ(digits, L"4294967295");
  EXPECT_EQ(UnsignedToText(digits, 3, 998), 0u);
  EXPECT_STREQ(digits, L"");

  wchar_t name[16];
  EXPECT_TRUE(FormatNumberedName(name, 16, L"_uins%d.exe", 12));
  EXPECT_STREQ(name, L"_uins12.exe");
  EXPECT_TRUE(FormatNumberedName(name, 16, L"%d%%%d", 7));
  EXPECT_STREQ(name, L"7%%d") << "one field only; %% is a percent sign";
  EXPECT_FALSE(FormatNumberedName(name, 9, L"tmp%d.tmp", 998));
  EXPECT_STREQ(name, L"");
}

}  // namespace
