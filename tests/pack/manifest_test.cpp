// The manifest as the installer author writes it, through the writer and
// back through the uninstaller's own reader.
#include "manifest.h"

#include <gtest/gtest.h>
#include <string.h>

#include "pack_test_util.h"
#include "payload/uninstall_data.h"
#include "text.h"

namespace {

using packtest::ScratchTest;
using packtool::FromRx;
using packtool::Manifest;
using packtool::ParseManifest;

// What the uninstaller's reader makes of a payload, as plain values.
struct ReadBack {
  int status = -1;
  std::vector<std::u16string> files, shortcuts, registry, messages, trees;
  uint32_t headerFlags = 0;
  std::u16string command, finalPage;
  pack::Bytes extension, opaque;
};

ReadBack ReadWithUninstallerReader(const pack::Bytes& payload) {
  ReadBack r;
  MemorySource memory = {payload.data(), payload.size(), 0};
  PayloadSource source = MakeMemorySource(&memory);
  UninstallData data;
  memset(&data, 0, sizeof data);
  r.status = ReadPayloadChunks(&source, &data);
  for (uint32_t i = 0; i < data.files.count; ++i) {
    const FileEntry* e = data.files.items[i];
    r.files.push_back(FromRx(e->folder) + u"|" + FromRx(e->name) + u"|" +
                      (char16_t)('0' + e->flags));
  }
  for (uint32_t i = 0; i < data.shortcuts.count; ++i) {
    const ShortcutEntry* e = data.shortcuts.items[i];
    r.shortcuts.push_back((char16_t)('0' + e->levels) + (u"|" + FromRx(e->folder)) + u"|" +
                          FromRx(e->secondFolder) + u"|" + FromRx(e->fileName));
  }
  for (uint32_t i = 0; i < data.registry.count; ++i) {
    const RegistryEntry* e = data.registry.items[i];
    r.registry.push_back((char16_t)('0' + (e->root & 0xF)) + (u"|" + FromRx(e->path)));
  }
  for (int i = 0; data.messages && data.messages[i]; ++i)
    r.messages.push_back(FromRx(data.messages[i]));
  for (const RxChar* t = (const RxChar*)data.folderTrees; t && *t; t += FromRx(t).size() + 1)
    r.trees.push_back(FromRx(t));
  r.headerFlags = GetHeaderFlags(&data);
  r.command = FromRx(GetHeaderCommand(&data));
  r.finalPage = FromRx(GetHeaderFinalPage(&data));
  if (data.extensionBlob)
    r.extension.assign(data.extensionBlob, data.extensionBlob + data.extensionLength);
  if (data.opaque) r.opaque.assign(data.opaque, data.opaque + data.opaqueLength);
  ReleasePayloadBlocks(&data);
  return r;
}

class ManifestTest : public ScratchTest {
 protected:
  bool Parse(const std::string& json, std::string* error = nullptr) {
    std::string ignored;
    return ParseManifest(json, dir_, &manifest_, error ? error : &ignored);
  }
  Manifest manifest_;
};

TEST_F(ManifestTest, SampleApplicationReadsBackAsWritten) {
  std::string error;
  ASSERT_TRUE(Parse(packtest::ReadText(RETRAX_SAMPLE_MANIFEST), &error)) << error;
  ReadBack r = ReadWithUninstallerReader(pack::EncodePayload(manifest_.payload));
  ASSERT_EQ(r.status, PAYLOAD_OK);
  EXPECT_EQ(r.files, (std::vector<std::u16string>{u".|SampleApp.txt|8", u".|readme.txt|0",
                                                  u".|settings.ini|0", u".|shared-data.txt|1",
                                                  u".\\docs||0", u".\\docs|guide.txt|0"}));
  EXPECT_EQ(r.shortcuts, (std::vector<std::u16string>{
                             u"1|C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Sample "
                             u"App||Sample App.lnk"}));
  // The "value" key becomes the doubled-backslash value syntax.
  EXPECT_EQ(r.registry, (std::vector<std::u16string>{u"1|Software\\Retrax Sample\\\\Language",
                                                     u"1|Software\\Retrax Sample\\Recent Files",
                                                     u"1|Software\\Retrax Sample",
                                                     u"2|Software\\Retrax Sample"}));
  EXPECT_EQ(r.trees, (std::vector<std::u16string>{u"logs\\*.*"}));
  ASSERT_EQ(r.messages.size(), 16u);
  EXPECT_EQ(r.messages[9], u"The file %s is read-only.\n\nDo you want to remove it anyway?");
  EXPECT_EQ(r.headerFlags, (uint32_t)HEADER_KEEP_VISUAL_STYLES);
  EXPECT_TRUE(r.command.empty());
  EXPECT_TRUE(r.finalPage.empty());
  EXPECT_EQ(manifest_.installDir, u"C:\\Program Files\\Sample App\\");
}

TEST_F(ManifestTest, EveryKindOfEntryReadsBack) {
  pack::Bytes dll(4000, 0x90);
  dll[0] = 'M';
  dll[1] = 'Z';
  packtest::WriteBytes(Path("hooks.dll"), dll);
  std::string error;
  ASSERT_TRUE(Parse(R"({
    "header": {"waitForCommand": true, "command": "\"#InstallDir#\\tool.exe\" -u",
               "finalPage": "https://example.com/bye"},
    "messages": {"0": "Titel \u00e4", "2": "Fertig"},
    "files": [{"folder": "C:\\Windows\\Fonts", "name": "x.ttf", "flags": ["font", "component"]}],
    "shortcuts": [{"levels": 255, "folder": "C:\\A", "secondFolder": "C:\\B", "fileName": "s.lnk"}],
    "registry": [{"root": 2147483650, "path": "Software64\\V"},
                 {"root": "HKEY_CLASSES_ROOT", "path": ".ext", "value": ""}],
    "folderTrees": ["#AppData#\\Vendor\\*.*", "cache\\*.tmp"],
    "extension": {"file": "hooks.dll"},
    "opaque": {"hex": "00 ff 10"}
  })",
                    &error))
      << error;
  ReadBack r = ReadWithUninstallerReader(pack::EncodePayload(manifest_.payload));
  ASSERT_EQ(r.status, PAYLOAD_OK);
  EXPECT_EQ(r.headerFlags, (uint32_t)HEADER_WAIT_FOR_COMMAND);
  EXPECT_EQ(r.command, u"\"#InstallDir#\\tool.exe\" -u");
  EXPECT_EQ(r.finalPage, u"https://example.com/bye");
  // Indices left out of the object form are empty, not shifted.
  EXPECT_EQ(r.messages, (std::vector<std::u16string>{u"Titel \u00e4", u"", u"Fertig"}));
  EXPECT_EQ(r.files, (std::vector<std::u16string>{u"C:\\Windows\\Fonts|x.ttf|6"}));
  EXPECT_EQ(r.shortcuts[0].substr(1), u"|C:\\A|C:\\B|s.lnk");
  EXPECT_EQ(r.registry, (std::vector<std::u16string>{u"2|Software64\\V", u"0|.ext\\\\"}));
  EXPECT_EQ(r.trees, (std::vector<std::u16string>{u"#AppData#\\Vendor\\*.*", u"cache\\*.tmp"}));
  EXPECT_EQ(r.extension, dll);
  EXPECT_EQ(r.opaque, (pack::Bytes{0x00, 0xFF, 0x10}));
}

TEST_F(ManifestTest, ExtensionPathBecomesATerminatedPathBlob) {
  ASSERT_TRUE(Parse(R"({"extension": {"path": "C:\\Hooks\\h.dll"}})"));
  ReadBack r = ReadWithUninstallerReader(pack::EncodePayload(manifest_.payload));
  EXPECT_EQ(r.extension, pack::ExtensionPathContent(u"C:\\Hooks\\h.dll"));
}

TEST_F(ManifestTest, MistakesAreReportedWithTheirField) {
  packtest::WriteBytes(Path("tiny.dll"), pack::Bytes(260, 'M'));
  // 130 units once the JSON escape is undone: one more than a path blob holds.
  const std::string tooLongPath = "C:\\\\" + std::string(127, 'p');
  struct Case {
    const char* json;
    std::string expected;
  } cases[] = {
      {R"({"files": [{"folder": "."}, {"folder": "."}, {"folder": ".", "flags": ["shard"]}]})",
       "files[2].flags[0]: unknown flag \"shard\""},
      {R"({"fiels": []})", "fiels: unknown key"},
      {R"({"files": [{"folder": ".", "nmae": "a.txt"}]})", "files[0].nmae: unknown key"},
      {R"({"files": [{"name": "a.txt"}]})", "files[0].folder: missing"},
      {R"({"files": {"folder": "."}})", "files: must be an array"},
      {R"({"files": [{"folder": 7}]})", "files[0].folder: must be a string"},
      {R"({"files": [{"folder": "a\u0000b"}]})", "files[0].folder: holds a NUL character"},
      {R"({"shortcuts": [{"folder": "C:\\A", "levels": 256}]})",
       "shortcuts[0].levels: 256 is above 255"},
      {R"({"shortcuts": [{"folder": "C:\\A", "levels": -1}]})",
       "shortcuts[0].levels: must be a whole number"},
      {R"({"registry": [{"root": "HKLN", "path": "Software\\V"}]})",
       "registry[0].root: unknown root \"HKLN\""},
      {R"({"registry": [{"root": "HKCU", "path": "Software\\V", "value": "a\\b"}]})",
       "registry[0].value: a value name cannot hold a backslash"},
      {R"({"folderTrees": ["logs\\*.*", ""]})", "folderTrees[1]: is empty"},
      {R"({"messages": {"01": "x"}})", "messages.01: a message key must be an index"},
      {R"({"header": {"waitForCommand": "yes"}})", "header.waitForCommand: must be true or false"},
      {R"({"extension": {"file": "tiny.dll", "path": "C:\\x.dll"}})", "extension: give either"},
      {R"({"extension": {"file": "tiny.dll"}})", "extension.file: is 260 bytes"},
      {R"({"extension": {"file": "missing.dll"}})", "extension.file: "},
      {R"({"opaque": {"hex": "abc"}})", "opaque.hex: has an odd number of hex digits"},
      {R"({"files": [)", "not valid JSON: parse error at line 1, column 12"},
      {R"([1, 2])", "manifest: must be an object"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(Parse(c.json, &error)) << c.json;
    EXPECT_NE(error.find(c.expected), std::string::npos) << c.json << "\n  gave: " << error;
  }
  std::string error;
  EXPECT_FALSE(Parse("{\"extension\": {\"path\": \"" + tooLongPath + "\"}}", &error));
  EXPECT_NE(error.find("extension.path: is 130 units"), std::string::npos) << error;
}

}  // namespace
