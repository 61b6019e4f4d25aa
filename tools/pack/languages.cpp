#include "languages.h"

#include "text.h"

namespace packtool {

const char* FindLanguageFragment(const std::string& name) {
  for (size_t i = 0; i < kShippedLanguageCount; ++i)
    if (EqualsNoCaseAscii(name, kShippedLanguages[i].name)) return kShippedLanguages[i].fragment;
  return nullptr;
}

std::string ShippedLanguageNames() {
  std::string names;
  for (size_t i = 0; i < kShippedLanguageCount; ++i)
    names += std::string(i ? ", " : "") + kShippedLanguages[i].name;
  return names;
}

}  // namespace packtool
