#include "removal/wildcard.h"

namespace {

bool OnlyStars(const RxChar* text) {
  while (*text == '*') ++text;
  return *text == 0;
}

}  // namespace

// Runs the pattern as a set of positions (a position p means the first p
// units of the pattern have matched the name so far): quadratic at worst,
// where backtracking over several stars is exponential.
bool MatchesWildcard(const RxChar* name, const RxChar* pattern) {
  const size_t length = TextLength(pattern);
  if (length >= RX_MAX_PATH) return false;
  bool at[RX_MAX_PATH + 1] = {true};
  bool next[RX_MAX_PATH + 1];
  for (;; ++name) {
    const RxChar c = *name;
    // The moves that consume nothing; each only goes forward, so one pass
    // in order takes them all.
    for (size_t p = 0; p < length; ++p) {
      if (!at[p]) continue;
      const RxChar token = pattern[p];
      if (token == '*' || (token == '?' && (c == 0 || c == '.')) ||
          (token == '.' && c == 0 && OnlyStars(pattern + p + 1)))
        at[p + 1] = true;
    }
    if (c == 0) return at[length];
    bool alive = false;
    for (size_t p = 0; p <= length; ++p) next[p] = false;
    for (size_t p = 0; p < length; ++p) {
      if (!at[p]) continue;
      const RxChar token = pattern[p];
      if (token == '*') {
        next[p] = alive = true;
      } else if (token == '?' || FoldAsciiCase(token) == FoldAsciiCase(c)) {
        next[p + 1] = alive = true;
      }
    }
    if (!alive) return false;
    for (size_t p = 0; p <= length; ++p) at[p] = next[p];
  }
}
