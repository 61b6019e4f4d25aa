// The manifest as the installer author writes it, and its mistakes.
#include "manifest.h"

#include <gtest/gtest.h>

#include "pack_test_util.h"

namespace {

class ManifestTest : public packtest::ScratchTest {
 protected:
  bool Parse(const std::string& json, std::string* e) { return packtool::ParseManifest(json, dir_, &manifest_, e, &defines_); }
  packtool::Manifest manifest_;
  std::vector<pack::Define> defines_ = {{u"Menu", u"C:\\A"}, {u"Vendor", u"V"}};
};

TEST_F(ManifestTest, EveryKindOfEntryReadsBack) {
  pack::Bytes dll(4000, 0x90);
  dll[0] = 'M', dll[1] = 'Z';
  packtest::Write(Path("hooks.dll"), dll);
  std::string error;
  ASSERT_TRUE(Parse(R"({
    "header": {"waitForCommand": true, "command": "\"#InstallDir#\\tool.exe\" -u", "finalPage": "https://e.com"},
    "messages": {"0": "Titel \u00e4", "2": "Fertig"},
    "files": [{"folder": "C:\\Windows\\Fonts", "name": "x.ttf", "flags": ["font", "component"]}],
    "shortcuts": [{"levels": 255, "folder": "${Menu}", "secondFolder": "C:\\B", "fileName": "s.lnk"}],
    "registry": [{"root": 2147483650, "path": "Software64\\V"},
                 {"root": "HKEY_CLASSES_ROOT", "path": ".ext", "value": ""}],
    "folderTrees": ["#AppData#\\Vendor\\*.*", "cache\\*.tmp"],
    "extension": {"file": "hooks.dll"},
    "opaque": {"hex": "00 ff 10"}
  })", &error)) << error;
  pack::Payload expected;
  expected.header = {HEADER_WAIT_FOR_COMMAND, u"\"#InstallDir#\\tool.exe\" -u", u"https://e.com"};
  expected.messages = {u"Titel \u00e4", u"", u"Fertig"};  // left-out indices are empty, not shifted
  expected.files = {{u"C:\\Windows\\Fonts", u"x.ttf", FileFont | FileComponent}};
  expected.shortcuts = {{255, u"C:\\A", u"C:\\B", u"s.lnk"}};
  expected.registry = {{0x80000002u, u"Software64\\V"}, {0x80000000u, u".ext\\\\"}};
  expected.folderTrees = {u"#AppData#\\Vendor\\*.*", u"cache\\*.tmp"};
  expected.hasExtension = expected.hasOpaque = true;
  expected.extensionContent = dll;
  expected.opaque = {0x00, 0xFF, 0x10};
  EXPECT_EQ(pack::EncodePayload(manifest_.payload), pack::EncodePayload(expected));
  // The writer library fills the same placeholders for installers in C++; "$${" is a literal "${".
  pack::Payload raw = expected;
  raw.shortcuts[0].folder = u"${Menu}";
  raw.registry[0].path = u"Software64\\${Vendor}";
  raw.messages[0] = u"$${Menu}";
  ASSERT_TRUE(pack::ExpandPayloadPlaceholders(&raw, defines_, &error)) << error;
  expected.messages[0] = u"${Menu}";
  EXPECT_EQ(pack::EncodePayload(raw), pack::EncodePayload(expected));
  raw.folderTrees[1] = u"${Cache}\\*.*";
  EXPECT_FALSE(pack::ExpandPayloadPlaceholders(&raw, defines_, &error));
  EXPECT_EQ(error, "folderTrees[1]: undefined placeholder ${Cache}");
}

TEST_F(ManifestTest, MistakesAreReportedWithTheirField) {
  const struct { const char* json; const char* expected; } cases[] = {
      {R"({"files": [{"folder": "."}, {"folder": ".", "nmae": "a.txt"}]})", "files[1].nmae: unknown key"},
      {R"({"files": [{"name": "a.txt"}]})", "files[0].folder: missing"},
      {R"({"files": [{"folder": "a\u0000b"}]})", "files[0].folder: holds a NUL character"},
      {R"({"shortcuts": [{"folder": "C:\\A", "levels": 256}]})", "shortcuts[0].levels: 256 is above 255"},
      {R"({"registry": [{"root": "HKLN", "path": "Software\\V"}]})", "registry[0].root: unknown root \"HKLN\""},
      {R"({"files": [)", "not valid JSON: parse error at line 1, column 12"},
      // A block pasted above an old one must not vanish: both places are named.
      {"{\"registry\": [{\"root\": \"HKCU\", \"path\": \"Software\\\\V\"}],\n \"registry\": []}",
       "registry: the key is given twice (line 1, column 2 and line 2, column 2)"},
      {R"({"files": [{"folder": ".", "name": "a", "n\u0061me": "b"}]})", "files[0].name: the key is given twice"},
      {R"({"messages": {"0": "T", "1": 5}})", "messages[1]: must be a string"},
      {R"({"messages": {"x": "T"}})", "messages[\"x\"]: a message key must be an index"},
      {R"({"scope": "users"})", "scope: must be \"machine\" (every user) or \"user\" (one user)"},
      {R"({"shortcuts": [{"folder": "${Desktop}\\x"}]})", "shortcuts[0].folder: undefined placeholder ${Desktop}"},
      {R"({"files": [{"folder": ".", "name": "${ x}"}]})", "files[0].name: \"${\" begins no placeholder"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(Parse(c.json, &error)) << c.json;
    EXPECT_TRUE(Said(error, c.expected)) << c.json << "\n  gave: " << error;
  }
}

}  // namespace
