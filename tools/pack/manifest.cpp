#include "manifest.h"

#include <map>
#include <nlohmann/json.hpp>

#include "fileio.h"
#include "languages.h"
#include "payload/format.h"
#include "text.h"
#include "vocabulary.h"

namespace packtool {

namespace {

using Json = nlohmann::json;

// The on-disk length of a string is a u16.
const size_t kMaxUnits = 0xFFFF;
// A path blob holds the path and its NUL within 260 bytes.
const size_t kMaxExtensionPathUnits = EXT_PATH_MAX_BYTES / 2 - 1;

struct Parser {
  std::string baseFolder;
  const std::vector<pack::Define>* defines = nullptr;  // null: placeholders stay
  std::string error;

  bool Fail(const std::string& where, const std::string& text) {
    error = where + ": " + text;
    return false;
  }

  // Every key of the object must be one of the names; a typo must not drop
  // an entry silently.
  bool OnlyKeys(const Json& object, const std::string& where,
                std::initializer_list<const char*> names) {
    for (const auto& item : object.items()) {
      bool known = false;
      for (const char* name : names) known = known || item.key() == name;
      if (!known) {
        std::string list;
        for (const char* name : names) list += std::string(list.empty() ? "" : ", ") + name;
        return Fail(Join(where, item.key()), "unknown key (expected one of: " + list + ")");
      }
    }
    return true;
  }

  static std::string Join(const std::string& where, const std::string& key) {
    return where.empty() ? key : where + "." + key;
  }

  static std::string Index(const std::string& where, size_t i) {
    return where + "[" + std::to_string(i) + "]";
  }

  bool String(const Json& value, const std::string& where, std::u16string* out) {
    if (!value.is_string()) return Fail(where, "must be a string");
    if (!pack::FromUtf8(value.get_ref<const std::string&>(), out))
      return Fail(where, "is not valid UTF-8");
    if (out->find(u'\0') != std::u16string::npos)
      return Fail(where, "holds a NUL character, which would cut the string short");
    std::string problem;
    if (defines && !pack::ExpandPlaceholders(*out, *defines, out, &problem))
      return Fail(where, problem + " (give its value with --define NAME=VALUE)");
    if (out->size() > kMaxUnits)
      return Fail(where, "is " + std::to_string(out->size()) + " UTF-16 units long; at most " +
                             std::to_string(kMaxUnits) + " can be stored");
    return true;
  }

  bool OptionalString(const Json& object, const char* key, const std::string& where,
                      std::u16string* out) {
    auto it = object.find(key);
    if (it == object.end()) return true;
    return String(*it, Join(where, key), out);
  }

  bool RequiredString(const Json& object, const char* key, const std::string& where,
                      std::u16string* out) {
    if (object.find(key) == object.end()) return Fail(Join(where, key), "missing");
    return OptionalString(object, key, where, out);
  }

  bool OptionalBool(const Json& object, const char* key, const std::string& where, bool* out) {
    auto it = object.find(key);
    if (it == object.end()) return true;
    if (!it->is_boolean()) return Fail(Join(where, key), "must be true or false");
    *out = it->get<bool>();
    return true;
  }

  bool Unsigned(const Json& value, const std::string& where, uint64_t max, uint64_t* out) {
    if (!value.is_number_unsigned())
      return Fail(where, "must be a whole number from 0 to " + std::to_string(max));
    uint64_t v = value.get<uint64_t>();
    if (v > max) return Fail(where, std::to_string(v) + " is above " + std::to_string(max));
    *out = v;
    return true;
  }

  bool Array(const Json& object, const char* key, const Json** out) {
    auto it = object.find(key);
    *out = nullptr;
    if (it == object.end()) return true;
    if (!it->is_array()) return Fail(key, "must be an array");
    *out = &*it;
    return true;
  }

  bool Object(const Json& value, const std::string& where) {
    return value.is_object() || Fail(where, "must be an object");
  }

  bool Header(const Json& value, pack::HeaderRecord* header) {
    const std::string where = "header";
    if (!Object(value, where) ||
        !OnlyKeys(value, where, {"waitForCommand", "keepVisualStyles", "command", "finalPage"}))
      return false;
    bool wait = false, keepStyles = false;
    if (!OptionalBool(value, "waitForCommand", where, &wait) ||
        !OptionalBool(value, "keepVisualStyles", where, &keepStyles) ||
        !OptionalString(value, "command", where, &header->command) ||
        !OptionalString(value, "finalPage", where, &header->finalPage))
      return false;
    header->flags = (wait ? (uint32_t)HEADER_WAIT_FOR_COMMAND : 0u) |
                    (keepStyles ? (uint32_t)HEADER_KEEP_VISUAL_STYLES : 0u);
    return true;
  }

  bool Messages(const Json& value, std::vector<std::u16string>* messages) {
    const std::string where = "messages";
    // Both forms set the indices they give and keep the others, which may
    // come from the manifest's language.
    if (value.is_array()) {
      if (value.size() > kMaxUnits) return Fail(where, "more than 65535 messages");
      if (messages->size() < value.size()) messages->resize(value.size());
      for (size_t i = 0; i < value.size(); ++i)
        if (!String(value[i], Index(where, i), &(*messages)[i])) return false;
      return true;
    }
    if (!value.is_object())
      return Fail(where, "must be an array of strings or an object keyed by message index");
    for (const auto& item : value.items()) {
      const std::string& key = item.key();
      const std::string place = where + "[" + key + "]";
      bool digits = !key.empty() && key.size() <= 5 && (key == "0" || key[0] != '0');
      for (char c : key) digits = digits && c >= '0' && c <= '9';
      if (!digits) return Fail(where + "[" + Quoted(key) + "]", "a message key must be an index: a number from 0 to 65534");
      size_t index = (size_t)std::stoul(key);
      if (index >= kMaxUnits) return Fail(place, "a message index is at most 65534");
      std::u16string text;
      if (!String(item.value(), place, &text)) return false;
      if (messages->size() <= index) messages->resize(index + 1);
      (*messages)[index] = text;
    }
    return true;
  }

  bool Files(const Json& list, std::vector<pack::FileRecord>* files) {
    for (size_t i = 0; i < list.size(); ++i) {
      const std::string where = Index("files", i);
      const Json& value = list[i];
      pack::FileRecord file;
      if (!Object(value, where) || !OnlyKeys(value, where, {"folder", "name", "flags"}) ||
          !RequiredString(value, "folder", where, &file.folder) ||
          !OptionalString(value, "name", where, &file.name))
        return false;
      auto flags = value.find("flags");
      if (flags != value.end()) {
        const std::string flagsWhere = where + ".flags";
        if (!flags->is_array()) return Fail(flagsWhere, "must be an array of flag names");
        for (size_t k = 0; k < flags->size(); ++k) {
          const Json& flag = (*flags)[k];
          const std::string flagWhere = Index(flagsWhere, k);
          if (!flag.is_string()) return Fail(flagWhere, "must be a flag name");
          uint8_t bit = 0;
          if (!ParseFileFlag(flag.get<std::string>(), &bit))
            return Fail(flagWhere, "unknown flag " + Quoted(flag.get<std::string>()) +
                                       " (known: shared, font, component, checkInUse)");
          file.flags |= bit;
        }
      }
      files->push_back(file);
    }
    return true;
  }

  bool Shortcuts(const Json& list, std::vector<pack::ShortcutRecord>* shortcuts) {
    for (size_t i = 0; i < list.size(); ++i) {
      const std::string where = Index("shortcuts", i);
      const Json& value = list[i];
      pack::ShortcutRecord shortcut;
      if (!Object(value, where) ||
          !OnlyKeys(value, where, {"levels", "folder", "secondFolder", "fileName"}) ||
          !RequiredString(value, "folder", where, &shortcut.folder) ||
          !OptionalString(value, "secondFolder", where, &shortcut.secondFolder) ||
          !OptionalString(value, "fileName", where, &shortcut.fileName))
        return false;
      auto levels = value.find("levels");
      if (levels != value.end()) {
        uint64_t v = 0;
        if (!Unsigned(*levels, where + ".levels", 255, &v)) return false;
        shortcut.levels = (uint8_t)v;
      }
      shortcuts->push_back(shortcut);
    }
    return true;
  }

  bool Registry(const Json& list, std::vector<pack::RegistryRecord>* registry) {
    for (size_t i = 0; i < list.size(); ++i) {
      const std::string where = Index("registry", i);
      const Json& value = list[i];
      pack::RegistryRecord key;
      if (!Object(value, where) || !OnlyKeys(value, where, {"root", "path", "value"}) ||
          !RequiredString(value, "path", where, &key.path))
        return false;
      auto root = value.find("root");
      if (root == value.end()) return Fail(where + ".root", "missing");
      if (root->is_string()) {
        if (!ParseRootName(root->get<std::string>(), &key.root))
          return Fail(where + ".root", "unknown root " + Quoted(root->get<std::string>()) +
                                           " (known: HKCR, HKCU, HKLM, HKU, HKCC, or a number)");
      } else {
        uint64_t v = 0;
        if (!Unsigned(*root, where + ".root", 0xFFFFFFFFu, &v)) return false;
        key.root = (uint32_t)v;
      }
      auto name = value.find("value");
      if (name != value.end()) {
        std::u16string valueName;
        if (!String(*name, where + ".value", &valueName)) return false;
        if (valueName.find(u'\\') != std::u16string::npos)
          return Fail(where + ".value", "a value name cannot hold a backslash");
        // The uninstaller reads "key\\value": the last backslash doubled.
        key.path += u"\\\\" + valueName;
        if (key.path.size() > kMaxUnits) return Fail(where, "path and value name are too long");
      }
      registry->push_back(key);
    }
    return true;
  }

  bool FolderTrees(const Json& list, std::vector<std::u16string>* trees) {
    for (size_t i = 0; i < list.size(); ++i) {
      const std::string where = Index("folderTrees", i);
      std::u16string tree;
      if (!String(list[i], where, &tree)) return false;
      if (tree.empty())
        return Fail(where,
                    "is empty; an empty string would end the list and drop the trees "
                    "behind it");
      trees->push_back(tree);
    }
    return true;
  }

  bool HostFile(const Json& value, const std::string& where, pack::Bytes* data) {
    std::u16string ignored;
    if (!String(value, where, &ignored)) return false;
    std::string path = ResolveRelative(baseFolder, value.get<std::string>());
    std::string readError;
    if (!ReadWholeFile(path, data, &readError)) return Fail(where, readError);
    return true;
  }

  bool Extension(const Json& value, pack::Payload* payload, std::string* extensionWhere) {
    const std::string where = "extension";
    if (!Object(value, where) || !OnlyKeys(value, where, {"file", "path"})) return false;
    bool hasFile = value.find("file") != value.end();
    bool hasPath = value.find("path") != value.end();
    if (hasFile == hasPath)
      return Fail(where,
                  "give either \"file\" (a DLL to embed) or \"path\" (a library on the "
                  "target machine)");
    payload->hasExtension = true;
    if (hasFile) {
      *extensionWhere = "extension.file";
      if (!HostFile(value["file"], *extensionWhere, &payload->extensionContent)) return false;
      if (payload->extensionContent.size() <= EXT_PATH_MAX_BYTES)
        return Fail(*extensionWhere, "is " + std::to_string(payload->extensionContent.size()) +
                                         " bytes; content of at most 260 bytes is taken as a path, "
                                         "not as a library image");
      return true;
    }
    *extensionWhere = "extension.path";
    std::u16string path;
    if (!String(value["path"], *extensionWhere, &path)) return false;
    if (path.empty()) return Fail(*extensionWhere, "is empty");
    if (path.size() > kMaxExtensionPathUnits)
      return Fail(*extensionWhere, "is " + std::to_string(path.size()) +
                                       " units; a library path "
                                       "holds at most " +
                                       std::to_string(kMaxExtensionPathUnits) +
                                       " (260 bytes with its NUL), longer content is taken as a "
                                       "library image");
    payload->extensionContent = pack::ExtensionPathContent(path);
    return true;
  }

  bool Opaque(const Json& value, pack::Payload* payload) {
    const std::string where = "opaque";
    if (!Object(value, where) || !OnlyKeys(value, where, {"file", "hex"})) return false;
    bool hasFile = value.find("file") != value.end();
    bool hasHex = value.find("hex") != value.end();
    if (hasFile == hasHex) return Fail(where, "give either \"file\" or \"hex\"");
    payload->hasOpaque = true;
    if (hasFile) return HostFile(value["file"], "opaque.file", &payload->opaque);
    const Json& hex = value["hex"];
    if (!hex.is_string()) return Fail("opaque.hex", "must be a string of hex digits");
    int pending = -1;
    for (char c : hex.get<std::string>()) {
      if (c == ' ') continue;
      int digit = (c >= '0' && c <= '9')   ? c - '0'
                  : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                  : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                           : -1;
      if (digit < 0)
        return Fail("opaque.hex", "holds " + Quoted(std::string(1, c)) + ", not a hex digit");
      if (pending < 0) {
        pending = digit;
      } else {
        payload->opaque.push_back((uint8_t)(pending * 16 + digit));
        pending = -1;
      }
    }
    if (pending >= 0) return Fail("opaque.hex", "has an odd number of hex digits");
    return true;
  }
};

// A shipped table is a manifest holding nothing but "messages".
bool ParseFragmentMessages(const char* fragment, std::vector<std::u16string>* messages,
                           std::string* error) {
  Json root = Json::parse(fragment, nullptr, false);
  Parser parser;
  if (root.is_discarded() || !root.is_object() || !root.contains("messages")) {
    *error = "not a manifest holding \"messages\"";
    return false;
  }
  if (!parser.OnlyKeys(root, "", {"messages"}) || !parser.Messages(root["messages"], messages)) {
    *error = parser.error;
    return false;
  }
  return true;
}

// Parsing without exceptions discards the parser's message; a second pass
// through the event interface recovers it, with line and column.
struct SyntaxErrorSax : nlohmann::json_sax<Json> {
  std::string message;
  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t) override { return true; }
  bool number_float(number_float_t, const string_t&) override { return true; }
  bool string(string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }
  bool start_object(std::size_t) override { return true; }
  bool key(string_t&) override { return true; }
  bool end_object() override { return true; }
  bool start_array(std::size_t) override { return true; }
  bool end_array() override { return true; }
  bool parse_error(std::size_t, const std::string&,
                   const nlohmann::detail::exception& ex) override {
    message = ex.what();
    return false;
  }
};

std::string JsonSyntaxError(const std::string& text) {
  SyntaxErrorSax sax;
  Json::sax_parse(text, &sax);
  std::string message = sax.message;
  size_t tag = message.find("] ");
  if (message.compare(0, 1, "[") == 0 && tag != std::string::npos) message.erase(0, tag + 2);
  return message.empty() ? "not valid JSON" : "not valid JSON: " + message;
}

}  // namespace

// The JSON reader keeps one of two equal keys and drops the other without a
// word; a block pasted above an old one must not vanish. A walk over the
// (already valid) text finds the first repeated key with both places.
std::string RepeatedKey(const std::string& text) {
  struct Frame {
    bool object = false;
    std::string path;
    size_t index = 0;
    bool expectKey = true;
    std::string key;
    std::map<std::string, std::string> seen;  // key -> "line L, column C"
  };
  std::vector<Frame> stack;
  size_t line = 1, lineStart = 0;
  auto valuePath = [&]() -> std::string {
    if (stack.empty()) return "";
    const Frame& top = stack.back();
    return top.object ? (top.path.empty() ? top.key : top.path + "." + top.key)
                      : top.path + "[" + std::to_string(top.index) + "]";
  };
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\n') {
      ++line;
      lineStart = i + 1;
    } else if (c == '{' || c == '[') {
      Frame frame;
      frame.object = c == '{';
      frame.path = valuePath();
      stack.push_back(frame);
    } else if ((c == '}' || c == ']') && !stack.empty()) {
      stack.pop_back();
    } else if (c == ',' && !stack.empty()) {
      stack.back().expectKey = true;
      ++stack.back().index;
    } else if (c == '"') {
      size_t start = i;
      for (++i; i < text.size() && text[i] != '"'; ++i)
        if (text[i] == '\\') ++i;
      if (stack.empty() || !stack.back().object || !stack.back().expectKey) continue;
      Frame& top = stack.back();
      Json key = Json::parse(text.substr(start, i - start + 1), nullptr, false);
      top.key = key.is_string() ? key.get<std::string>() : text.substr(start + 1, i - start - 1);
      top.expectKey = false;
      std::string place =
          "line " + std::to_string(line) + ", column " + std::to_string(start - lineStart + 1);
      auto it = top.seen.find(top.key);
      if (it != top.seen.end())
        return valuePath() + ": the key is given twice (" + it->second + " and " + place +
               "); one would replace the other";
      top.seen[top.key] = place;
    }
  }
  return "";
}

bool ParseManifest(const std::string& text, const std::string& baseFolder, Manifest* manifest,
                   std::string* error, const std::vector<pack::Define>* defines) {
  Json root = Json::parse(text, nullptr, false);
  if (root.is_discarded()) {
    *error = JsonSyntaxError(text);
    return false;
  }
  *error = RepeatedKey(text);
  if (!error->empty()) return false;
  Parser parser;
  parser.baseFolder = baseFolder;
  parser.defines = defines;
  Manifest result;
  pack::Payload& payload = result.payload;
  bool ok = parser.Object(root, "manifest") &&
            parser.OnlyKeys(root, "",
                            {"installDir", "header", "language", "messages", "files", "shortcuts",
                             "registry", "folderTrees", "extension", "opaque", "scope"});
  if (ok && root.contains("scope")) {
    const Json& scope = root["scope"];
    if (scope == "user")
      result.scope = SCOPE_USER;
    else if (scope != "machine")
      ok = parser.Fail("scope", "must be \"machine\" (every user) or \"user\" (one user)");
  }
  if (ok && root.contains("installDir"))
    ok = parser.String(root["installDir"], "installDir", &result.installDir);
  if (ok && root.contains("header")) ok = parser.Header(root["header"], &payload.header);
  // The language's table first: "messages" then replaces single indices.
  if (ok && root.contains("language")) {
    const Json& language = root["language"];
    if (!language.is_string())
      ok = parser.Fail("language", "must be the name of a language (" + ShippedLanguageNames() +
                                       ")");
    else if (!LanguageMessages(language.get<std::string>(), &payload.messages, &parser.error))
      ok = false;
  }
  if (ok && root.contains("messages")) ok = parser.Messages(root["messages"], &payload.messages);
  const Json* list = nullptr;
  if (ok) ok = parser.Array(root, "files", &list) && (!list || parser.Files(*list, &payload.files));
  if (ok)
    ok = parser.Array(root, "shortcuts", &list) &&
         (!list || parser.Shortcuts(*list, &payload.shortcuts));
  if (ok)
    ok = parser.Array(root, "registry", &list) &&
         (!list || parser.Registry(*list, &payload.registry));
  if (ok)
    ok = parser.Array(root, "folderTrees", &list) &&
         (!list || parser.FolderTrees(*list, &payload.folderTrees));
  if (ok && root.contains("extension"))
    ok = parser.Extension(root["extension"], &payload, &result.extensionWhere);
  if (ok && root.contains("opaque")) ok = parser.Opaque(root["opaque"], &payload);
  if (!ok) {
    *error = parser.error;
    return false;
  }
  // A header is always written: without one the uninstaller's behaviour is
  // its own choice, with one it is the author's.
  payload.hasHeader = true;
  *manifest = result;
  return true;
}

bool LanguageMessages(const std::string& name, std::vector<std::u16string>* messages,
                      std::string* error) {
  const char* fragment = FindLanguageFragment(name);
  if (!fragment) {
    *error = "language: unknown language " + Quoted(name) + " (known: " + ShippedLanguageNames() +
             ")";
    return false;
  }
  std::string problem;
  if (!ParseFragmentMessages(fragment, messages, &problem)) {
    *error = "language: the built-in table " + Quoted(name) + " is broken: " + problem;
    return false;
  }
  return true;
}

LintModel LintModelOf(const Manifest& manifest) {
  const pack::Payload& payload = manifest.payload;
  LintModel model;
  for (size_t i = 0; i < payload.files.size(); ++i)
    model.files.push_back({payload.files[i], "files[" + std::to_string(i) + "]", ""});
  for (size_t i = 0; i < payload.shortcuts.size(); ++i)
    model.shortcuts.push_back({payload.shortcuts[i], "shortcuts[" + std::to_string(i) + "]", ""});
  for (size_t i = 0; i < payload.registry.size(); ++i)
    model.registry.push_back({payload.registry[i], "registry[" + std::to_string(i) + "]", ""});
  for (size_t i = 0; i < payload.folderTrees.size(); ++i)
    model.folderTrees.push_back(
        {payload.folderTrees[i], "folderTrees[" + std::to_string(i) + "]", ""});
  model.hasHeader = payload.hasHeader;
  model.header = payload.header;
  model.hasMessages = !payload.messages.empty();
  for (size_t i = 0; i < payload.messages.size(); ++i)
    model.messages.push_back({payload.messages[i], "messages[" + std::to_string(i) + "]", ""});
  model.hasExtension = payload.hasExtension;
  model.extensionContent = payload.extensionContent;
  model.extensionWhere = manifest.extensionWhere;
  model.installDir = manifest.installDir;
  model.scope = manifest.scope;
  return model;
}

}  // namespace packtool
