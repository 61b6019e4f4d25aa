// The checks of `retrax-pack verify` (and of `build`, which refuses to write
// a payload with errors): what installers get wrong and what would make the
// uninstaller remove too much, too little or show broken texts.
//
// The checks run over a LintModel, filled either from a manifest (places
// are JSON paths such as files[3].name) or from a payload file (places are
// the same paths with the byte offset of the record).
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "payload/writer.h"

namespace packtool {

struct Finding {
  bool error;         // false: a warning
  std::string where;  // "files[3].name" or "files[3].name (record at 0x0001E052)"
  std::string text;
};

// One list entry and where it came from. `where` is the entry's path
// ("files[3]"); `at` is appended after a field name (" (record at 0x...)"),
// empty for manifest input.
template <typename T>
struct Located {
  T value;
  std::string where;
  std::string at;
};

// Who the application is installed for: every user (removed by the
// elevated retrax.exe) or one user (retrax-user.exe, no elevation). A
// payload file does not say.
enum Scope { SCOPE_UNKNOWN, SCOPE_MACHINE, SCOPE_USER };

struct LintModel {
  std::vector<Located<pack::FileRecord>> files;
  std::vector<Located<pack::ShortcutRecord>> shortcuts;
  std::vector<Located<pack::RegistryRecord>> registry;
  std::vector<Located<std::u16string>> folderTrees;

  bool hasHeader = false;
  pack::HeaderRecord header;
  std::string headerWhere = "header";

  bool hasMessages = false;
  std::vector<Located<std::u16string>> messages;  // index = message number

  bool hasExtension = false;
  pack::Bytes extensionContent;  // unscrambled: an image, or a path blob
  std::string extensionWhere = "extension";

  // The folder that relative entries are counted against when their built
  // length is checked; ends with a backslash.
  std::u16string installDir;
  // True when neither the manifest nor the command line named one, so the
  // typical folder below stands in.
  bool installDirAssumed = false;
  Scope scope = SCOPE_UNKNOWN;
};

// A typical install folder for the length checks of relative entries when
// the author names none.
extern const char kTypicalInstallDir[];
// The model's install folder, or the typical one; ends with a backslash.
std::u16string InstallDirOf(const LintModel& model);

// Appends the findings of every rule to findings.
void LintPayload(const LintModel& model, std::vector<Finding>* findings);

// Rules by subject; LintPayload runs them all. Exposed for the tests.
void LintFiles(const LintModel& model, std::vector<Finding>* findings);
void LintShortcuts(const LintModel& model, std::vector<Finding>* findings);
void LintRegistry(const LintModel& model, std::vector<Finding>* findings);
void LintFolderTrees(const LintModel& model, std::vector<Finding>* findings);
void LintHeader(const LintModel& model, std::vector<Finding>* findings);
void LintMessages(const LintModel& model, std::vector<Finding>* findings);
void LintExtension(const LintModel& model, std::vector<Finding>* findings);
void LintScope(const LintModel& model, std::vector<Finding>* findings);

// The execution level the uninstaller program must request for a scope.
const char* LevelForScope(Scope scope);
// What is wrong with a program as the uninstaller of scope, given the
// level its manifest requests (level of FindPeManifestLevel; hasManifest
// as found): "" when it fits; *error false for a warning.
std::string StubLevelProblem(Scope scope, bool hasManifest, const std::string& level, bool* error);

// The conversions of a message formatted with its argument: each "%s" and
// every other printf conversion, by unit index. "%%" is no conversion.
struct Conversion {
  size_t at;            // unit index of the '%'
  std::u16string text;  // "%d", "% s", "%-5ls", or a lone "%" at the end
};
struct Conversions {
  size_t argumentCount = 0;  // exact "%s"
  size_t percentPairs = 0;   // "%%"
  std::vector<Conversion> others;
};
Conversions FindConversions(const std::u16string& message);

size_t CountErrors(const std::vector<Finding>& findings);

}  // namespace packtool
