// The checks of `verify`: each fires on the mistake it is for, names its
// place, and stays quiet on the sample application.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "lint.h"
#include "manifest.h"
#include "pack_test_util.h"

namespace {

using packtool::Finding;

// The sample manifest with one key replaced, so that only the rule under
// test speaks: "E where: text" per error, "W ..." per warning.
// The scope's rules speak only when a scope is given.
std::string LintOnly(const std::string& key, const std::string& value, const std::string& scope = "") {
  nlohmann::json json = nlohmann::json::parse(packtest::ReadText(RETRAX_SAMPLE_MANIFEST));
  if (!key.empty()) json[key] = nlohmann::json::parse(value);
  if (!scope.empty()) json["scope"] = scope;
  packtool::Manifest manifest;
  std::string error;
  EXPECT_TRUE(packtool::ParseManifest(json.dump(), ".", &manifest, &error)) << error;
  packtool::LintModel model = packtool::LintModelOf(manifest);
  if (scope.empty()) model.scope = packtool::SCOPE_UNKNOWN;
  std::vector<Finding> findings;
  packtool::LintPayload(model, &findings);
  std::string all;
  for (const Finding& f : findings) all += (f.error ? "E " : "W ") + f.where + ": " + f.text + "\n";
  return all;
}

// Each expected text is part of all; "-text" says it is not.
void Expect(const std::string& all, const std::vector<std::string>& expected) {
  for (const std::string& line : expected)
    EXPECT_EQ(all.find(line.substr(line[0] == '-')) == std::string::npos, line[0] == '-') << line << "\n" << all;
}

TEST(VerifyTest, TheSampleApplicationHasNoFindings) { EXPECT_EQ(LintOnly("", ""), ""); }

TEST(VerifyTest, TopLevelRegistryKeysAreErrorsInAnySpelling) {
  Expect(LintOnly("registry", R"([
      {"root": "HKCU", "path": "Software"}, {"root": "HKCR", "path": "software\\"},
      {"root": "HKLM", "path": "Software64\\\\"}, {"root": "HKCU", "path": ""},
      {"root": "HKCU", "path": "Software64"}, {"root": "HKLM", "path": "Software\\Vendor"},
      {"root": "HKCU", "path": "Software\\WOW6432Node\\"}, {"root": "HKLM", "path": "Software64\\Wow6432Node"}])"),
         {"E registry[0].path: \"Software\" is a top-level key; the uninstaller refuses it",
          "E registry[1].path: ", "with its trailing backslash", "E registry[2].path: ", "E registry[3].path: ",
          "-E registry[4].", "-E registry[5].",  // Software64 is an alias only under HKLM
          "E registry[6].path: ", "E registry[7].path: "});
  // The program's table of keys that hold other programs' data (its rows are
  // the safety rules' test); a value below one is the application's own, a
  // key right below Software a vendor's.
  Expect(LintOnly("registry", R"([
      {"root": "HKLM", "path": "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"},
      {"root": "HKLM", "path": "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Sample App"},
      {"root": "HKCU", "path": "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "value": "Sample App"},
      {"root": "HKCU", "path": "Software\\Google"}, {"root": "HKLM", "path": "Software64\\Sample Vendor"}])"),
         {"E registry[0].path: ", "holds other programs' data", "-registry[1]", "-registry[2]",
          "W registry[3].path: \"Software\\Google\" is a whole vendor's key", "-registry[4]"});
}

TEST(VerifyTest, FolderTreesAndPathsTheUninstallerWouldMisreadAreErrors) {
  Expect(LintOnly("folderTrees", R"(["#Windows#\\*.*", "#MyDocuments#\\\\*.*", "logs\\..\\..\\*.*",
      "#ProgramFiles#\\Vendor\\*.*", "C:\\*.*", "#TempDir#", "#AppData#\\Vendor\\App\\*.*", "cache\\",
      "#Windows#\\System32\\*.*", "#UserDir#\\Desktop.\\*.*", "#userdir#/Documents\\*.*", "#UserDir#\\.\\*.*",
      "#System#\\drivers\\*.*", "#AppData#\\Microsoft\\*.*"])"),
         {"E folderTrees[0]: \"#Windows#\\*.*\" is aimed at the protected folder \"#Windows#\"",
          "E folderTrees[1]: \"#MyDocuments#\\\\*.*\" is aimed", "E folderTrees[2]: ", "\"..\" segment",
          "E folderTrees[3]: unknown folder macro \"#ProgramFiles#\"",
          "E folderTrees[4]: \"C:\\*.*\" is an absolute path",
          "E folderTrees[5]: \"#TempDir#\" has no backslash and pattern after its last macro", "-E folderTrees[6]:",
          "W folderTrees[7]: ", "the pattern is empty", "which is #System# on a standard Windows",
          "E folderTrees[9]: ", "which is #Desktop#", "E folderTrees[10]: ", "which is #MyDocuments#",
          "E folderTrees[11]: \"#UserDir#\\.\\*.*\" is aimed at the protected folder \"#UserDir#\"",
          "W folderTrees[12]: ", "W folderTrees[13]: ", "Windows or other programs share"});
  Expect(LintOnly("files", R"([{"folder": "bin", "name": "a.txt"}, {"folder": ".", "name": "sub\\x"},
      {"folder": ".", "name": ".."}, {"folder": ".", "name": "*.txt"}, {"folder": ".", "name": "a:b"}])"),
         {"E files[0].folder: ", "write \".\\bin\"", "E files[1].name: \"sub\\x\" is a path",
          "E files[2].name: \"..\" names a folder", "E files[3].name: ", "wildcard", "E files[4].name: ", "colon"});
  Expect(LintOnly("files", R"([{"folder": "\\\\?\\GLOBALROOT\\Device"}, {"folder": "\\\\?\\C:\\Vendor"}, {"folder": "C:\\a:b"}])"),
         {"E files[0].folder: ", "is a device path", "-files[1]", "E files[2].folder: ", "(a stream)"});
  Expect(LintOnly("shortcuts", R"([{"folder": "C:\\S", "fileName": "..\\..\\x.lnk"}, {"folder": "C:\\S", "fileName": "*.lnk"}])"),
         {"E shortcuts[0].fileName: ", "is a path", "E shortcuts[1].fileName: ", "wildcard"});
}

// A per-user uninstaller cannot remove the machine's entries; an elevated
// one may see the administrator's profile in place of the user's.
TEST(VerifyTest, EachScopeNamesWhatItsUninstallerCannotReach) {
  Expect(LintOnly("registry", R"([{"root": "HKLM", "path": "Software\\V\\A"}, {"root": "HKU", "path": "S-1-5-21-7\\Software\\V"},
      {"root": "HKCU", "path": "Software\\V\\A"}])", "user"),
         {"E registry[0].root: HKLM belongs to the machine; only an administrator can remove it",
          "E registry[1].root: HKU holds every user's keys", "-registry[2].root",
          "E shortcuts[0].folder: the folder lies in a folder of the machine",
          "E installDir: the install folder, which entries are relative to, lies in a folder of the machine",
          "E files[3].flags: \"shared\": the SharedDLLs counts live under HKLM"});
  Expect(LintOnly("files", R"([{"folder": ".", "name": "f.ttf", "flags": ["font"]}, {"folder": ".", "name": "c.dll", "flags": ["component"]},
      {"folder": "C:\\Windows\\System32", "name": "x.dll"}, {"folder": "C:\\Users\\Ann\\AppData\\Local\\A", "name": "y"},
      {"folder": "c:\\program files (x86)\\A"}, {"folder": "C:\\Users\\Public\\A"}])", "user"),
         {"E files[0].flags: \"font\": fonts are registered for the whole machine",
          "E files[1].flags: \"component\": regsvr32 registers machine-wide classes", "E files[2].folder: ",
          "-files[3]", "E files[4].folder: ", "E files[5].folder: "});
  Expect(LintOnly("folderTrees", R"(["#CommonFiles#\\V\\*.*", "#AllUsersAppData#\\V\\*.*", "#LocalAppData#\\V\\*.*"])", "user"),
         {"E folderTrees[0]: the tree lies in a folder of the machine", "E folderTrees[1]: ", "-folderTrees[2]"});
  Expect(LintOnly("folderTrees", R"(["#AppData#\\V\\*.*", "#Program Files#\\V\\*.*"])", "machine"),
         {"W registry[0].root: HKCU is a per-user place in a machine-wide manifest: an elevated uninstaller may see another profile",
          "-registry[3]", "W folderTrees[0]: the tree lies in a per-user place", "-folderTrees[1]", "-E "});
  Expect(LintOnly("files", R"([{"folder": "C:\\Documents and Settings\\Ann\\A"}, {"folder": "C:\\Users\\Default\\A"}])", "machine"),
         {"W files[0].folder: ", "-files[1]"});
}

// The reader's record bounds (edge, one past) and the 259 units of a built path.
TEST(VerifyTest, RecordsAndPathsBeyondTheirBoundsAreErrors) {
  const std::string f513 = "C:\\\\" + std::string(510, 'f'), d249 = "C:\\\\" + std::string(246, 'd');
  Expect(LintOnly("files", "[{\"folder\": \"" + f513 + "\", \"name\": \"12345\"}, {\"folder\": \"" + f513 +
                               "\", \"name\": \"123456\"}, {\"folder\": \"" + d249 + "\", \"name\": \"1234567890\"}]"),
         {"-E files[0]: folder and name",
          "E files[1]: folder and name together are 519 units; a file record holds at most 518",
          "E files[2]: the built path is 260 units; paths hold at most 259"});
  // Relative entries are measured with installDir (the sample's is 28 units with its backslash).
  Expect(LintOnly("files", "[{\"folder\": \".\", \"name\": \"" + std::string(231, 'n') + "\"}, {\"folder\": \".\", \"name\": \"" +
                               std::string(232, 'n') + "\"}]"),
         {"-E files[0]:", "E files[1]: the built path is 260 units with the install folder", "skips it"});
  Expect(LintOnly("folderTrees", "[\"" + std::string(228, 'd') + "\\\\*.*\"]"), {"E folderTrees[0]: the built path is 260 units"});
  Expect(LintOnly("installDir", "\"C:\\\\" + std::string(256, 'i') + "\""), {"E installDir: is 260 units long"});
  Expect(LintOnly("registry", "[{\"root\": \"HKCU\", \"path\": \"" + std::string(520, 'k') + "\"}]"),
         {"E registry[0]: the path is 520 units; a registry record holds at most 519"});
  Expect(LintOnly("shortcuts", "[{\"folder\": \"C:\\\\" + std::string(774, 's') + "\", \"fileName\": \"a\"}]"),
         {"E shortcuts[0]: folder, secondFolder and fileName together are 778 units; a shortcut record holds at most 777"});
}

TEST(VerifyTest, MessagesTakeExactlyTheirArgumentsAndFitTheirBuffer) {
  // 1023 units with the 260-unit path in place of "%s" leave 765 units of text.
  Expect(LintOnly("messages", "[\"T\", \"Remove 100% of it?\", \"D\", \"Y\", \"A\", \"N\", \"O\", \"%s %s\", "
                              "\"Read %s: 100% sure\", \"Read-only %d %s\", \"" + std::string(764, 'x') +
                              "%s\", \"Files %s\", \"2\", \"3\", \"R\"]"),
         {"-E messages[1]:", "E messages[7]: holds 2 \"%s\"; it takes exactly one",
          "E messages[8]: ", "conversion \"% s\" at unit 12", "E messages[9]: ", "conversion \"%d\"",
          "E messages[10]: ", "it needs 1024 units; the message buffer holds 1023",
          "W messages[11]: ", "takes no argument"});
}

}  // namespace
