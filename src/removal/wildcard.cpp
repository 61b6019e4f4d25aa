#include "removal/wildcard.h"

namespace {

// The pattern's units as the platform reads them.
enum Token : RxChar {
  ANY_RUN = 1,       // `*`
  RUN_TO_LAST_DOT,   // `*` before a dot
  ONE_OR_NONE,       // `?`
  DOT_OR_END,        // `.` before `?`, `*` or the end
};

// Writes the tokens of pattern (length units, less than RX_MAX_PATH) into
// out, terminated; gives their count, or 0 (with out unset) for a pattern
// that matches no name. Literal units stand for themselves.
size_t Tokenize(const RxChar* pattern, size_t length, RxChar* out) {
  // Trailing dots read as one.
  while (length > 1 && pattern[length - 1] == '.' && pattern[length - 2] == '.') --length;
  if (length == 3 && pattern[0] == '*' && pattern[1] == '.' && pattern[2] == '*') length = 1;
  for (size_t i = 0; i < length; ++i) {
    const RxChar c = pattern[i];
    if (c < ' ') return 0;  // no name holds a control character
    const RxChar next = i + 1 < length ? pattern[i + 1] : 0;
    if (c == '*') {
      out[i] = next == '.' ? RUN_TO_LAST_DOT : ANY_RUN;
    } else if (c == '?') {
      out[i] = ONE_OR_NONE;
    } else if (c == '.' && (next == 0 || next == '?' || next == '*')) {
      out[i] = DOT_OR_END;
    } else {
      out[i] = c;
    }
  }
  out[length] = 0;
  return length;
}

}  // namespace

// Runs the pattern as a set of positions (a position p means the first p
// tokens have matched the name so far): quadratic at worst, where
// backtracking over several stars is exponential.
bool MatchesWildcard(const RxChar* name, const RxChar* pattern) {
  const size_t patternLength = TextLength(pattern);
  if (patternLength >= RX_MAX_PATH) return false;
  RxChar tokens[RX_MAX_PATH];
  const size_t length = Tokenize(pattern, patternLength, tokens);
  if (length == 0) return false;
  const RxChar* lastDot = nullptr;
  for (const RxChar* p = name; *p != 0; ++p) {
    if (*p == '.') lastDot = p;
  }
  bool at[RX_MAX_PATH + 1] = {true};
  bool next[RX_MAX_PATH + 1];
  for (;; ++name) {
    const RxChar c = *name;
    // The moves that consume nothing; each only goes forward, so one pass
    // in order takes them all.
    for (size_t p = 0; p < length; ++p) {
      if (!at[p]) continue;
      const RxChar token = tokens[p];
      if (token == ANY_RUN || token == RUN_TO_LAST_DOT || (token == ONE_OR_NONE && (c == 0 || c == '.')) ||
          (token == DOT_OR_END && c == 0))
        at[p + 1] = true;
    }
    if (c == 0) return at[length];
    bool alive = false;
    for (size_t p = 0; p <= length; ++p) next[p] = false;
    for (size_t p = 0; p < length; ++p) {
      if (!at[p]) continue;
      const RxChar token = tokens[p];
      if (token == ANY_RUN || (token == RUN_TO_LAST_DOT && name != lastDot)) {
        next[p] = alive = true;
      } else if ((token == ONE_OR_NONE && c != '.') || (token == DOT_OR_END && c == '.') ||
                 (token > DOT_OR_END && FoldAsciiCase(token) == FoldAsciiCase(c))) {
        next[p + 1] = alive = true;
      }
    }
    if (!alive) return false;
    for (size_t p = 0; p <= length; ++p) at[p] = next[p];
  }
}
