// The checks of `verify`: each fires on the mistake it is for, names its
// place, and stays quiet on the sample application.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "lint.h"
#include "manifest.h"
#include "pack_test_util.h"
#include "pe_test_image.h"
#include "scan.h"

namespace {

using packtool::Finding;
using packtool::LintModel;

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

// "E where: text" per finding, "W ..." for a warning.
std::string Show(const std::vector<Finding>& findings) {
  std::string all;
  for (const Finding& f : findings) all += (f.error ? "E " : "W ") + f.where + ": " + f.text + "\n";
  return all;
}

// Each expected text is part of Show; "-text" says it is not.
void ExpectFindings(const std::vector<Finding>& findings, const std::vector<std::string>& expected) {
  const std::string all = Show(findings);
  for (const std::string& line : expected) {
    if (line[0] == '-')
      EXPECT_EQ(all.find(line.substr(1)), std::string::npos) << line << "\n" << all;
    else
      EXPECT_NE(all.find(line), std::string::npos) << line << "\n" << all;
  }
}

TEST(VerifyTest, TheSampleApplicationHasNoFindings) {
  std::vector<Finding> findings = LintManifest(packtest::ReadText(RETRAX_SAMPLE_MANIFEST));
  EXPECT_TRUE(findings.empty()) << Show(findings);
}

// The reader's record bounds, and the 259 units of a built path.
TEST(VerifyTest, RecordsAndPathsBeyondTheirBoundsAreErrors) {
  const std::string f513 = "C:\\\\" + std::string(510, 'f'), d249 = "C:\\\\" + std::string(246, 'd');
  ExpectFindings(LintOnly("files", "[{\"folder\": \"" + f513 + "\", \"name\": \"12345\"}, {\"folder\": \"" + f513 +
                                       "\", \"name\": \"123456\"}, {\"folder\": \"" + d249 +
                                       "\", \"name\": \"123456789\"}, {\"folder\": \"" + d249 +
                                       "\", \"name\": \"1234567890\"}]"),
                 {"-E files[0]: folder and name", "E files[1]: folder and name together are 519 units; a file record "
                                 "holds at most 518", "-E files[2]:", "E files[3]: the built path is 260 units; paths hold at most 259"});
  const std::string a = "C:\\\\" + std::string(256, 'a');
  ExpectFindings(LintOnly("shortcuts", "[{\"folder\": \"" + a + "\", \"secondFolder\": \"" + a +
                                           "\", \"fileName\": \"" + std::string(260, 'n') + "\"}]"),
                 {"E shortcuts[0]: ", "778 units; a shortcut record holds at most 777"});
  ExpectFindings(LintOnly("registry", "[{\"root\": \"HKCU\", \"path\": \"Software\\\\" + std::string(510, 'k') +
                                          "\"}, {\"root\": \"HKCU\", \"path\": \"Software\\\\" +
                                          std::string(511, 'k') + "\"}]"),
                 {"-E registry[0]:", "E registry[1]: the path is 520 units; a registry record holds at most 519"});

  // A relative path that fits the sample's install folder, but not a
  // deeper one: a warning.
  packtool::Manifest manifest;
  std::string error;
  ASSERT_TRUE(packtool::ParseManifest(
      "{\"files\": [{\"folder\": \".\\\\" + std::string(200, 's') + "\", \"name\": \"x.txt\"}]}", ".", &manifest,
      &error));
  LintModel model = packtool::LintModelOf(manifest);
  model.installDir = u"C:\\Program Files (x86)\\A Rather Long Vendor Name\\And Product Name\\";
  std::vector<Finding> findings;
  packtool::LintFiles(model, &findings);
  ExpectFindings(findings, {"W files[0]: the built path is 272 units with the install folder"});
}

TEST(VerifyTest, TopLevelRegistryKeysAreErrorsInAnySpelling) {
  ExpectFindings(LintOnly("registry", R"([
      {"root": "HKCU", "path": "Software"}, {"root": "HKLM", "path": "SYSTEM"},
      {"root": "HKCR", "path": "software\\"}, {"root": "HKLM", "path": "Software64\\\\"},
      {"root": "HKLM", "path": "Software64"}, {"root": "HKCU", "path": ""},
      {"root": "HKCU", "path": "Software64"}, {"root": "HKLM", "path": "Software\\Vendor"},
      {"root": 5, "path": "Software\\Vendor"}, {"root": "HKCU", "path": "Software\\WOW6432Node\\"},
      {"root": "HKLM", "path": "Software64\\Wow6432Node"}])"),
                 {"E registry[0].path: \"Software\" is a top-level key; the uninstaller refuses it",
                  "E registry[1].path: \"SYSTEM\" is a top-level key", "E registry[2].path: ",
                  "with its trailing backslash", "E registry[3].path: ", "E registry[4].path: ",
                  "E registry[5].path: ", "is empty",
                  // Software64 is an alias only under HKLM.
                  "-E registry[6].", "-E registry[7].", "E registry[8].root: 0x5 is no predefined registry root",
                  "E registry[9].path: ", "E registry[10].path: "});
}

TEST(VerifyTest, FolderTreesAndPathsTheUninstallerWouldMisreadAreErrors) {
  ExpectFindings(LintOnly("folderTrees", R"(["#Windows#\\*.*", "#program files#\\*.*", "#MyDocuments#\\\\*.*",
      "#AppData#\\Vendor\\..\\*.*", "logs\\..\\..\\*.*", "#ProgramFiles#\\Vendor\\*.*", "C:\\*.*", "#TempDir#",
      "#AppData#\\Vendor\\App\\*.*", "#InstallDir#\\*.*", "cache\\", "#AllUsersDir#\\*.*", "#UserDir#\\\\*.*"])"),
                 {"E folderTrees[0]: \"#Windows#\\*.*\" is aimed at the protected folder \"#Windows#\"",
                  "E folderTrees[1]: \"#program files#\\*.*\" is aimed at the protected folder",
                  "E folderTrees[2]: \"#MyDocuments#\\\\*.*\" is aimed", "E folderTrees[3]: ", "\"..\" segment",
                  "E folderTrees[4]: ", "E folderTrees[5]: unknown folder macro \"#ProgramFiles#\"",
                  "E folderTrees[6]: \"C:\\*.*\" is an absolute path",
                  "E folderTrees[7]: \"#TempDir#\" has no backslash and pattern after its last macro",
                  "-E folderTrees[8]:", "-E folderTrees[9]:", "W folderTrees[10]: ", "the pattern is empty",
                  "E folderTrees[11]: \"#AllUsersDir#\\*.*\" is aimed at the protected folder",
                  "E folderTrees[12]: \"#UserDir#\\\\*.*\" is aimed at the protected folder"});
  ExpectFindings(LintOnly("files", R"([{"folder": "#AppData#\\Vendor", "name": "a.txt"},
      {"folder": "bin", "name": "a.txt"}, {"folder": "..\\Shared", "name": "a.txt"}, {"folder": "", "name": "a"}])"),
                 {"E files[0].folder: ", "file folders are never expanded", "E files[1].folder: ",
                  "write \".\\bin\"", "takes it as the install folder itself", "E files[3].folder: "});
  ExpectFindings(LintOnly("shortcuts", R"([{"folder": "#Desktop#", "fileName": "a.lnk"}])"),
                 {"E shortcuts[0].folder: ", "never expanded"});
  ExpectFindings(LintOnly("header", R"({"command": "C:\\Tools\\clean.exe"})"),
                 {"E header.command: ", "is an absolute path"});
}

TEST(VerifyTest, MessagesTakeExactlyTheirArgumentsAndFitTheirBuffer) {
  // "100% sure" is harmless in a message shown as stored, but "% s" is a
  // second string conversion in a formatted one. 1023 units with the
  // 260-unit path in place of "%s" leave 765 units of text.
  ExpectFindings(LintOnly("messages", R"(["Title", "Remove 100% of Sample App?", "Done %%", "Y", "A", "N", "O",
      "Memory %s", "Read %s: 100% sure", "Read-only %d %s", "Shared", "Files %s", "S", "F", "R", "Running"])"),
                 {"-E messages[1]:", "W messages[2]: ", "shows as two percent signs",
                  "E messages[8]: ", "conversion \"% s\" at unit 12", "E messages[9]: ", "conversion \"%d\"",
                  "E messages[10]: ", "holds 0 \"%s\"; it takes exactly one", "E messages[11]: ",
                  "takes no argument", "-E messages[7]:"});
  ExpectFindings(LintOnly("messages", "[\"T\",\"C\",\"D\",\"Y\",\"A\",\"N\",\"O\",\"%s\",\"%s\",\"" +
                                          std::string(763, 'x') + "%s\",\"" + std::string(764, 'x') +
                                          "%s\",\"1\",\"2\",\"3\",\"4\",\"R\"]"),
                 {"-E messages[9]:", "E messages[10]: ", "it needs 1024 units; the message buffer holds 1023"});
  // Missing texts are warnings that say what happens.
  std::vector<Finding> none = LintOnly("messages", "[]");
  EXPECT_EQ(packtool::CountErrors(none), 0u);
  ExpectFindings(none, {"W messages: missing: every box and dialog"});
  ExpectFindings(LintOnly("messages", R"({"0": "Title", "2": "Done"})"),
                 {"W messages[1]: is empty or missing: the confirmation box is asked with no text", "W messages[9]: ",
                  "as if Yes to all were answered", "-W messages[2]:"});
}

TEST(VerifyTest, AnExtensionImageMustBeA32BitLibrary) {
  packtest::PeLayout wide;
  wide.pe32plus = true;
  LintModel model;
  model.hasExtension = true;
  model.extensionContent = packtest::MakePeImage(wide);
  std::vector<Finding> findings;
  packtool::LintExtension(model, &findings);
  ExpectFindings(findings, {"E extension: ", "machine 0x8664"});
  model.extensionContent = packtest::MakePeImage(packtest::PeLayout());
  findings.clear();
  packtool::LintExtension(model, &findings);
  EXPECT_TRUE(findings.empty()) << Show(findings);
}

// A built file: the places carry byte offsets, and the header's offsets are
// checked against its body.
TEST(VerifyTest, BuiltFilesAreCheckedWithByteOffsets) {
  pack::Bytes header(12, 0);
  pack::WriteU32(&header[4], 40);  // command offset beyond the 12-byte body
  pack::Bytes payload;
  pack::AppendChunk(&payload, CHUNK_HEADER, header);
  pack::AppendChunk(&payload, CHUNK_FILES, pack::EncodeFileList({{u"bin", u"a.txt", 0}}));
  pack::AppendEnd(&payload);
  std::vector<Finding> findings;
  packtool::LintPayload(packtool::LintModelOf(packtool::ScanPayloadFile(payload), &findings), &findings);
  // The file chunk starts at 24; its first record behind the 12-byte chunk
  // header and the 4-byte count.
  ExpectFindings(findings, {"E header.command (chunk at 0x00000000 (CHUNK_HEADER)): offset 40 lies outside the "
                            "header body of 12 bytes",
                            "E files[0].folder (record at 0x00000028): ", "neither absolute", "W messages: missing"});
  pack::Bytes bare;
  pack::AppendEnd(&bare);
  findings.clear();
  packtool::LintPayload(packtool::LintModelOf(packtool::ScanPayloadFile(bare), &findings), &findings);
  ExpectFindings(findings, {"W header: missing"});
}

}  // namespace
