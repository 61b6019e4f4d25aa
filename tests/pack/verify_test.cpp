// The checks of `verify`: each fires on the mistake it is for, names its
// place, and stays quiet on the sample application.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "lint.h"
#include "manifest.h"
#include "pack_test_util.h"
#include "scan.h"

namespace {

using packtool::Finding;
using packtool::LintModel;

class VerifyTest : public ::testing::Test {
 protected:
  std::vector<Finding> LintManifest(const std::string& json) {
    packtool::Manifest manifest;
    std::string error;
    EXPECT_TRUE(packtool::ParseManifest(json, ".", &manifest, &error)) << error;
    std::vector<Finding> findings;
    packtool::LintPayload(packtool::LintModelOf(manifest), &findings);
    return findings;
  }

  // The sample manifest with one key replaced, so that only the rule under
  // test speaks.
  std::vector<Finding> LintOnly(const std::string& key, const std::string& value) {
    nlohmann::json json = nlohmann::json::parse(packtest::ReadText(RETRAX_SAMPLE_MANIFEST));
    json[key] = nlohmann::json::parse(value);
    return LintManifest(json.dump());
  }

  static bool Has(const std::vector<Finding>& findings, bool error, const std::string& where,
                  const std::string& text) {
    for (const Finding& f : findings)
      if (f.error == error && f.where == where && f.text.find(text) != std::string::npos)
        return true;
    return false;
  }

  static std::string Show(const std::vector<Finding>& findings) {
    std::string all;
    for (const Finding& f : findings)
      all += (f.error ? "E " : "W ") + f.where + ": " + f.text + "\n";
    return all;
  }
};

TEST_F(VerifyTest, TheSampleApplicationHasNoFindings) {
  std::vector<Finding> findings = LintManifest(packtest::ReadText(RETRAX_SAMPLE_MANIFEST));
  EXPECT_TRUE(findings.empty()) << Show(findings);
}

TEST_F(VerifyTest, RecordsBeyondTheReadersBoundsAreErrors) {
  const std::string folder518 = "C:\\\\" + std::string(510, 'f');  // 513 units
  auto f = LintOnly("files", "[{\"folder\": \"" + folder518 +
                                 "\", \"name\": \"12345\"},"
                                 " {\"folder\": \"" +
                                 folder518 + "\", \"name\": \"123456\"}]");
  EXPECT_FALSE(Has(f, true, "files[0]", "a file record holds at most 518")) << Show(f);
  EXPECT_TRUE(Has(f, true, "files[1]", "together are 519 units; a file record holds at most 518"))
      << Show(f);

  const std::string a = "C:\\\\" + std::string(256, 'a');  // 259 units each
  auto s = LintOnly("shortcuts", "[{\"folder\": \"" + a + "\", \"secondFolder\": \"" + a +
                                     "\", \"fileName\": \"" + std::string(260, 'n') + "\"}]");
  EXPECT_TRUE(Has(s, true, "shortcuts[0]", "778 units; a shortcut record holds at most 777"))
      << Show(s);

  auto r = LintOnly("registry", "[{\"root\": \"HKCU\", \"path\": \"Software\\\\" +
                                    std::string(510, 'k') +
                                    "\"}, {\"root\": \"HKCU\", \"path\": \"Software\\\\" +
                                    std::string(511, 'k') + "\"}]");
  EXPECT_FALSE(Has(r, true, "registry[0]", "at most 519")) << Show(r);
  EXPECT_TRUE(
      Has(r, true, "registry[1]", "the path is 520 units; a registry record holds at most 519"))
      << Show(r);
}

TEST_F(VerifyTest, AbsolutePathsOf260AreErrorsRelativeOnesWarnings) {
  const std::string folder = "C:\\\\" + std::string(246, 'd');  // 249 units
  auto f = LintOnly("files", "[{\"folder\": \"" + folder +
                                 "\", \"name\": \"123456789\"},"  // 259
                                 " {\"folder\": \"" +
                                 folder +
                                 "\", \"name\": \"1234567890\"},"  // 260
                                 " {\"folder\": \".\\\\" +
                                 std::string(200, 's') + "\", \"name\": \"x.txt\"}]");
  EXPECT_FALSE(Has(f, true, "files[0]", "built path")) << Show(f);
  EXPECT_TRUE(Has(f, true, "files[1]", "the built path is 260 units; paths hold at most 259"))
      << Show(f);
  // C:\Program Files\Sample App\ (28) + 200 + \x.txt (6) = 234: fits the
  // sample's folder, but not a deeper one given on the command line.
  EXPECT_FALSE(Has(f, false, "files[2]", "built path")) << Show(f);
  packtool::Manifest manifest;
  std::string error;
  ASSERT_TRUE(packtool::ParseManifest(
      "{\"files\": [{\"folder\": \".\\\\" + std::string(200, 's') + "\", \"name\": \"x.txt\"}]}",
      ".", &manifest, &error));
  LintModel model = packtool::LintModelOf(manifest);
  model.installDir = u"C:\\Program Files (x86)\\A Rather Long Vendor Name\\And Product Name\\";
  std::vector<Finding> findings;
  packtool::LintFiles(model, &findings);
  EXPECT_TRUE(
      Has(findings, false, "files[0]", "the built path is 272 units with the install folder"))
      << Show(findings);
}

TEST_F(VerifyTest, TopLevelRegistryKeysAreErrorsInAnySpelling) {
  auto r = LintOnly("registry", R"([
      {"root": "HKCU", "path": "Software"},
      {"root": "HKLM", "path": "SYSTEM"},
      {"root": "HKCR", "path": "software\\"},
      {"root": "HKLM", "path": "Software64\\\\"},
      {"root": "HKLM", "path": "Software64"},
      {"root": "HKCU", "path": ""},
      {"root": "HKCU", "path": "Software64"},
      {"root": "HKLM", "path": "Software\\Vendor"},
      {"root": 5, "path": "Software\\Vendor"},
      {"root": "HKCU", "path": "Software\\WOW6432Node\\"},
      {"root": "HKLM", "path": "Software64\\Wow6432Node"}])");
  EXPECT_TRUE(Has(r, true, "registry[0].path", "top-level key; the uninstaller refuses it"))
      << Show(r);
  EXPECT_TRUE(Has(r, true, "registry[1].path", "top-level key")) << Show(r);
  EXPECT_TRUE(Has(r, true, "registry[2].path", "with its trailing backslash")) << Show(r);
  EXPECT_TRUE(Has(r, true, "registry[3].path", "with its trailing backslash")) << Show(r);
  EXPECT_TRUE(Has(r, true, "registry[4].path", "top-level key")) << Show(r);
  EXPECT_TRUE(Has(r, true, "registry[5].path", "is empty")) << Show(r);
  // Software64 is an alias only under HKLM; elsewhere it is an ordinary key.
  EXPECT_FALSE(Has(r, true, "registry[6].path", "top-level")) << Show(r);
  EXPECT_FALSE(Has(r, true, "registry[7].path", "")) << Show(r);
  EXPECT_TRUE(Has(r, true, "registry[8].root", "0x5 is no predefined registry root")) << Show(r);
  // The 32-bit view's own root is refused like the others.
  EXPECT_TRUE(Has(r, true, "registry[9].path", "with its trailing backslash")) << Show(r);
  EXPECT_TRUE(Has(r, true, "registry[10].path", "top-level key")) << Show(r);
}

TEST_F(VerifyTest, FolderTreesAimedAtProtectedFoldersAreErrors) {
  auto t = LintOnly("folderTrees", R"([
      "#Windows#\\*.*",
      "#program files#\\*.*",
      "#MyDocuments#\\\\*.*",
      "#AppData#\\Vendor\\..\\*.*",
      "logs\\..\\..\\*.*",
      "#ProgramFiles#\\Vendor\\*.*",
      "C:\\*.*",
      "#TempDir#",
      "#AppData#\\Vendor\\App\\*.*",
      "#InstallDir#\\*.*",
      "cache\\"])");
  EXPECT_TRUE(Has(t, true, "folderTrees[0]", "aimed at the protected folder \"#Windows#\""))
      << Show(t);
  EXPECT_TRUE(Has(t, true, "folderTrees[1]", "aimed at the protected folder")) << Show(t);
  EXPECT_TRUE(Has(t, true, "folderTrees[2]", "aimed at the protected folder")) << Show(t);
  EXPECT_TRUE(Has(t, true, "folderTrees[3]", "\"..\" segment")) << Show(t);
  EXPECT_TRUE(Has(t, true, "folderTrees[4]", "\"..\" segment")) << Show(t);
  EXPECT_TRUE(Has(t, true, "folderTrees[5]", "unknown folder macro \"#ProgramFiles#\"")) << Show(t);
  EXPECT_TRUE(Has(t, true, "folderTrees[6]", "is an absolute path")) << Show(t);
  EXPECT_TRUE(Has(t, true, "folderTrees[7]", "no backslash and pattern after its last macro"))
      << Show(t);
  for (const char* fine : {"folderTrees[8]", "folderTrees[9]"})
    EXPECT_FALSE(Has(t, true, fine, "")) << fine << "\n" << Show(t);
  EXPECT_TRUE(Has(t, false, "folderTrees[10]", "the pattern is empty")) << Show(t);
}

TEST_F(VerifyTest, MessagesTakeExactlyTheirArguments) {
  std::string messages = R"(["Title", "Remove 100% of Sample App?", "Done %%", "Y", "A", "N", "O",
      "Memory %s", "Read %s: 100% sure", "Read-only %d %s", "Shared", "Files %s", "S", "F", "R",
      "Running"])";
  auto m = LintOnly("messages", messages);
  // "100% sure" is harmless in a message shown as stored ...
  EXPECT_FALSE(Has(m, true, "messages[1]", "")) << Show(m);
  EXPECT_TRUE(Has(m, false, "messages[2]", "shows as two percent signs")) << Show(m);
  // ... but "% s" is a second string conversion in a formatted one.
  EXPECT_TRUE(Has(m, true, "messages[8]", "conversion \"% s\" at unit 12")) << Show(m);
  EXPECT_TRUE(Has(m, true, "messages[9]", "conversion \"%d\"")) << Show(m);
  EXPECT_TRUE(Has(m, true, "messages[10]", "holds 0 \"%s\"; it takes exactly one")) << Show(m);
  EXPECT_TRUE(Has(m, true, "messages[11]", "takes no argument")) << Show(m);
  EXPECT_FALSE(Has(m, true, "messages[7]", "")) << Show(m);

  // 1023 units with the 260-unit path in place of "%s": 765 units of text.
  std::string fits = "\"" + std::string(763, 'x') + "%s\"";
  std::string tooLong = "\"" + std::string(764, 'x') + "%s\"";
  auto f = LintOnly("messages", "[\"T\",\"C\",\"D\",\"Y\",\"A\",\"N\",\"O\",\"%s\",\"%s\"," + fits +
                                    "," + tooLong + ",\"1\",\"2\",\"3\",\"4\",\"R\"]");
  EXPECT_FALSE(Has(f, true, "messages[9]", "")) << Show(f);
  EXPECT_TRUE(Has(f, true, "messages[10]", "it needs 1024 units; the message buffer holds 1023"))
      << Show(f);
}

TEST_F(VerifyTest, MissingTextsAreWarningsThatSayWhatHappens) {
  auto none = LintOnly("messages", "[]");
  EXPECT_TRUE(Has(none, false, "messages", "missing: every box and dialog")) << Show(none);
  EXPECT_EQ(packtool::CountErrors(none), 0u);
  auto some = LintOnly("messages", R"({"0": "Title", "2": "Done"})");
  EXPECT_TRUE(Has(some, false, "messages[1]", "the confirmation box is asked with no text"))
      << Show(some);
  EXPECT_TRUE(Has(some, false, "messages[9]", "as if Yes to all were answered")) << Show(some);
  EXPECT_FALSE(Has(some, false, "messages[2]", "")) << Show(some);
}

TEST_F(VerifyTest, PathsTheUninstallerWouldMisreadAreErrors) {
  auto f = LintOnly("files", R"([
      {"folder": "#AppData#\\Vendor", "name": "a.txt"},
      {"folder": "bin", "name": "a.txt"},
      {"folder": "..\\Shared", "name": "a.txt"},
      {"folder": "", "name": "a.txt"}])");
  EXPECT_TRUE(Has(f, true, "files[0].folder", "file folders are never expanded")) << Show(f);
  EXPECT_TRUE(Has(f, true, "files[1].folder", "write \".\\bin\"")) << Show(f);
  EXPECT_TRUE(Has(f, true, "files[2].folder", "takes it as the install folder itself")) << Show(f);
  EXPECT_TRUE(Has(f, true, "files[3].folder", "is empty")) << Show(f);
  auto s = LintOnly("shortcuts", R"([{"folder": "#Desktop#", "fileName": "a.lnk"}])");
  EXPECT_TRUE(Has(s, true, "shortcuts[0].folder", "never expanded")) << Show(s);
  auto h = LintOnly("header", R"({"command": "C:\\Tools\\clean.exe"})");
  EXPECT_TRUE(Has(h, true, "header.command", "is an absolute path")) << Show(h);
}

TEST_F(VerifyTest, AnExtensionImageMustBeA32BitLibrary) {
  pack::Bytes image(1024, 0);
  image[0] = 'M';
  image[1] = 'Z';
  pack::WriteU32(&image[0x3C], 0x80);
  memcpy(&image[0x80], "PE\0\0", 4);
  image[0x84] = 0x64;  // IMAGE_FILE_MACHINE_AMD64
  image[0x85] = 0x86;
  image[0x80 + 22 + 1] = 0x20;  // IMAGE_FILE_DLL
  LintModel model;
  model.hasExtension = true;
  model.extensionContent = image;
  std::vector<Finding> findings;
  packtool::LintExtension(model, &findings);
  EXPECT_TRUE(Has(findings, true, "extension", "machine 0x8664")) << Show(findings);
  image[0x84] = 0x4C;
  image[0x85] = 0x01;
  model.extensionContent = image;
  findings.clear();
  packtool::LintExtension(model, &findings);
  EXPECT_TRUE(findings.empty()) << Show(findings);
}

// A built file: the places carry byte offsets, and the header's offsets are
// checked against its body.
TEST_F(VerifyTest, BuiltFilesAreCheckedWithByteOffsets) {
  pack::Bytes header(12, 0);
  pack::WriteU32(&header[4], 40);  // command offset beyond the 12-byte body
  pack::Bytes payload;
  pack::AppendChunk(&payload, CHUNK_HEADER, header);
  pack::AppendChunk(&payload, CHUNK_FILES, pack::EncodeFileList({{u"bin", u"a.txt", 0}}));
  pack::AppendEnd(&payload);
  std::vector<Finding> findings;
  LintModel model = packtool::LintModelOf(packtool::ScanPayloadFile(payload), &findings);
  packtool::LintPayload(model, &findings);
  EXPECT_TRUE(Has(findings, true, "header.command (chunk at 0x00000000 (CHUNK_HEADER))",
                  "offset 40 lies outside the header body of 12 bytes"))
      << Show(findings);
  // The file chunk starts at 24; its first record behind the 12-byte chunk
  // header and the 4-byte count.
  EXPECT_TRUE(Has(findings, true, "files[0].folder (record at 0x00000028)", "neither absolute"))
      << Show(findings);
  EXPECT_TRUE(Has(findings, false, "messages", "missing")) << Show(findings);

  pack::Bytes bare;
  pack::AppendEnd(&bare);
  findings.clear();
  packtool::LintPayload(packtool::LintModelOf(packtool::ScanPayloadFile(bare), &findings),
                        &findings);
  EXPECT_TRUE(Has(findings, false, "header", "missing")) << Show(findings);
}

}  // namespace
