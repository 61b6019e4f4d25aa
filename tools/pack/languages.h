// The message tables that ship with retrax-pack: one manifest fragment per
// language (languages/en.json ...), built into the tool so that a manifest's
// "language" works without any file beside it. The same files are installed
// with the tool, for authors to read and to start a new language from.
#pragma once
#include <stddef.h>

#include <string>

namespace packtool {

struct ShippedLanguage {
  const char* name;      // "en"
  const char* fragment;  // the JSON text of languages/en.json
};
// Generated from languages/*.json at configure time.
extern const ShippedLanguage kShippedLanguages[];
extern const size_t kShippedLanguageCount;

// The fragment of a language by name (ASCII case ignored), or null.
const char* FindLanguageFragment(const std::string& name);
// "en, de, fr, es", for messages that list what is known.
std::string ShippedLanguageNames();

}  // namespace packtool
