// The pattern check the tree walk applies to every long name the platform's
// search finds.
#include <gtest/gtest.h>

#include <string>

#include "removal/wildcard.h"

namespace {

struct Case {
  const wchar_t* pattern;
  const wchar_t* name;
  bool matches;
};

TEST(Wildcard, LongNamesAgainstTheSearchesPatterns) {
  const Case cases[] = {
      // What the search finds through short names, and must not be deleted.
      {L"*.doc", L"Report.docx", false},
      {L"*.htm", L"index.html", false},
      {L"*.doc", L"Memo.DOC", true},
      {L"*.log", L"app.log.old", false},
      {L"*.log", L"app.old.log", true},
      // "*.*" and "name.*" also take names without a dot, as the search does.
      {L"*.*", L"README", true},
      {L"*.*", L".hidden", true},
      {L"a.*", L"a", true},
      {L"a.*", L"ab", false},
      {L"*", L"x.y.z", true},
      // "?" is one character, or none at the end or before a dot.
      {L"file?.txt", L"file1.txt", true},
      {L"file?.txt", L"file.txt", true},
      {L"file?.txt", L"file12.txt", false},
      {L"??", L"a", true},
      {L"?", L"", true},
      // Plain names, ASCII letters folded and nothing else.
      {L"ReadMe.TXT", L"readme.txt", true},
      {L"readme.txt", L"readme.txt.bak", false},
      {L"\u00c9t\u00e9.txt", L"\u00e9t\u00e9.txt", false},
      {L"", L"a", false},
      // Many stars cost no more than a few.
      {L"*a*a*a*a*a*a*a*a*a*a*a*a*b", L"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaac", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchesWildcard(c.name, c.pattern), c.matches) << "pattern " << testing::PrintToString(c.pattern)
                                                             << " name " << testing::PrintToString(c.name);
  }
  const std::wstring longPattern(260, L'*');
  EXPECT_FALSE(MatchesWildcard(L"a", longPattern.c_str())) << "no pattern is that long";
  EXPECT_TRUE(MatchesWildcard(L"a", longPattern.substr(1).c_str()));
}

}  // namespace
