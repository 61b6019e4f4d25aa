// The installer author's manifest (JSON, documented in docs/manifest.md)
// turned into a payload. Every key is known and every type checked; the
// first problem ends the parse with a message that names the field.
#pragma once
#include <string>

#include "lint.h"
#include "payload/writer.h"

namespace packtool {

struct Manifest {
  pack::Payload payload;
  // The install folder the author expects, for the length checks of
  // relative entries; empty when the manifest names none.
  std::u16string installDir;
  // Where the extension came from: "extension.file" or "extension.path".
  std::string extensionWhere = "extension";
  // "scope": who the application is installed for. Not part of the
  // payload: it picks the uninstaller program and the checks.
  Scope scope = SCOPE_MACHINE;
};

// Host files named by the manifest (extension.file, opaque.file) are read
// relative to baseFolder. On failure error holds "files[2].flags[0]:
// unknown flag \"shard\"" (the caller puts the manifest's name in front).
// With defines, every "${NAME}" in a string is filled in (an undefined one
// is an error naming it); without, placeholders stay as written.
bool ParseManifest(const std::string& text, const std::string& baseFolder, Manifest* manifest,
                   std::string* error, const std::vector<pack::Define>* defines = nullptr);

// "registry: the key is given twice (line 2, column 3 and line 9, column
// 3) ..." for the first key repeated in one object of valid JSON text, or "".
std::string RepeatedKey(const std::string& text);

// The message table of a shipped language ("en", "de", "fr", "es") into
// messages, indices 0-15. On failure error holds "language: unknown
// language ...".
bool LanguageMessages(const std::string& name, std::vector<std::u16string>* messages,
                      std::string* error);

// The lint's view of a manifest: JSON paths as places.
LintModel LintModelOf(const Manifest& manifest);

}  // namespace packtool
