// The manifest as the installer author writes it, and its mistakes.
#include "manifest.h"

#include <gtest/gtest.h>

#include "pack_test_util.h"

namespace {

class ManifestTest : public packtest::ScratchTest {
 protected:
  bool Parse(const std::string& json, std::string* e) { return packtool::ParseManifest(json, dir_, &manifest_, e); }
  packtool::Manifest manifest_;
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
    "shortcuts": [{"levels": 255, "folder": "C:\\A", "secondFolder": "C:\\B", "fileName": "s.lnk"}],
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
}

TEST_F(ManifestTest, MistakesAreReportedWithTheirField) {
  const struct { const char* json; const char* expected; } cases[] = {
      {R"({"files": [{"folder": "."}, {"folder": ".", "nmae": "a.txt"}]})", "files[1].nmae: unknown key"},
      {R"({"files": [{"name": "a.txt"}]})", "files[0].folder: missing"},
      {R"({"files": [{"folder": "a\u0000b"}]})", "files[0].folder: holds a NUL character"},
      {R"({"shortcuts": [{"folder": "C:\\A", "levels": 256}]})", "shortcuts[0].levels: 256 is above 255"},
      {R"({"registry": [{"root": "HKLN", "path": "Software\\V"}]})", "registry[0].root: unknown root \"HKLN\""},
      {R"({"files": [)", "not valid JSON: parse error at line 1, column 12"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(Parse(c.json, &error)) << c.json;
    EXPECT_TRUE(Said(error, c.expected)) << c.json << "\n  gave: " << error;
  }
}

}  // namespace
