// The portable safety rules shared by the program and retrax-pack: device
// prefixes and stream colons in paths, and the registry keys that hold
// other programs' data; and the tree walk's pattern matcher, which decides
// what a search's hit by short name may delete.
#include <gtest/gtest.h>

#include <string>

#include "paths/path_spelling.h"
#include "paths/protected_keys.h"
#include "removal/wildcard.h"

namespace {

TEST(PathSpelling, DevicePrefixesGiveThePlainFormAndOtherDevicesAreUnknown) {
  const struct { std::u16string in; PathSpelling spelling; std::u16string out; } cases[] = {
      {u"C:\\Users\\Public", SPELLING_PLAIN, u"C:\\Users\\Public"},
      {u"\\\\server\\share\\x", SPELLING_PLAIN, u"\\\\server\\share\\x"},
      {u"\\\\?\\C:\\Users\\Public", SPELLING_STRIPPED, u"C:\\Users\\Public"},
      {u"\\\\.\\c:\\x", SPELLING_STRIPPED, u"c:\\x"},
      {u"\\??\\C:\\x", SPELLING_STRIPPED, u"C:\\x"},
      {u"//?/C:/x", SPELLING_STRIPPED, u"C:/x"},
      {u"\\\\?\\UNC\\server\\share\\x", SPELLING_STRIPPED, u"\\\\server\\share\\x"},
      {u"\\??\\unc\\server\\share", SPELLING_STRIPPED, u"\\\\server\\share"},
      {u"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\x", SPELLING_UNKNOWN_DEVICE, u""},
      {u"\\\\?\\Volume{0b4c7e3a-1111-2222-3333-444455556666}\\x", SPELLING_UNKNOWN_DEVICE, u""},
      {u"\\\\.\\PhysicalDrive0", SPELLING_UNKNOWN_DEVICE, u""},
      {u"\\\\.\\C:", SPELLING_UNKNOWN_DEVICE, u""},  // the volume, not its root folder
      {u"\\\\?\\UNC\\", SPELLING_UNKNOWN_DEVICE, u""},
      {u"\\\\?\\\\\\?\\C:\\x", SPELLING_UNKNOWN_DEVICE, u""},
  };
  for (const auto& c : cases) {
    std::u16string path = c.in;
    EXPECT_EQ(SpellingOf(path.c_str()), c.spelling);
    EXPECT_EQ(IsUnsafeSpelling(path.c_str()), c.spelling == SPELLING_UNKNOWN_DEVICE);
    EXPECT_EQ(StripDevicePrefix(&path[0]), c.spelling) << std::string(c.in.begin(), c.in.end());
    EXPECT_EQ(path.c_str(), c.spelling == SPELLING_UNKNOWN_DEVICE ? c.in : c.out);
  }
}

TEST(PathSpelling, AColonAnywhereButAfterTheDriveLetterIsAStream) {
  for (const char16_t* path : {u"C:\\Users\\Public\\Desktop::$INDEX_ALLOCATION", u"C:\\App\\file.txt:hidden",
                               u"file:stream", u"\\\\?\\C:\\x:y", u"\\\\server\\share\\a:b", u"::$DATA", u"1:x"})
    EXPECT_TRUE(HasStreamColon(path) && IsUnsafeSpelling(path))
        << std::string(path, path + std::char_traits<char16_t>::length(path));
  for (const char16_t* path : {u"C:\\App\\file.txt", u"C:relative", u"\\\\?\\C:\\x", u"Samples\\*.*", u""})
    EXPECT_FALSE(HasStreamColon(path));
}

TEST(Wildcards, PatternsFollowThePlatformsRulesForStarDotQuestionMarkAndTrailingDots) {
  const struct { const char16_t *pattern, *name; bool matches; } cases[] = {
      {u"*.", u"README", true},        {u"*.", u".profile", false},      {u"*.", u"a.txt", false},
      {u"*.*", u"README", true},       {u"*.*", u".profile", true},      {u"*", u"a.b", true},
      {u"*.txt", u"a.b.txt", true},    {u"*.txt", u"a.txt.bak", false},  {u"*.doc", u"Report.docx", false},
      {u"*.TXT", u"x.txt", true},      {u"a*b", u"a.b", true},           {u"a?", u"a", true},
      {u"a?", u"ab", true},            {u"a?", u"abc", false},           {u"?b", u"b", false},
      {u"a??.txt", u"a.txt", true},    {u"a??.txt", u"ab.txt", true},    {u"a?c", u"a.c", false},
      {u"a.?", u"a", true},            {u"a.?", u"a.b", true},           {u"README.", u"README", true},
      {u"README..", u"readme", true},  {u"README.", u"README.txt", false}, {u"x\u0001", u"xy", false},
  };
  for (const auto& c : cases) {
    const std::u16string pattern = c.pattern, name = c.name;
    EXPECT_EQ(MatchesWildcard(c.name, c.pattern), c.matches)
        << std::string(pattern.begin(), pattern.end()) << " " << std::string(name.begin(), name.end());
  }
  EXPECT_FALSE(MatchesWildcard(u"a", std::u16string(RX_MAX_PATH, u'*').c_str()));
}

TEST(ProtectedRegistryKeys, SharedKeysInAnySpellingButNotTheirSubkeys) {
  const uint32_t hkcr = REGISTRY_CLASSES_ROOT, hkcu = REGISTRY_CURRENT_USER, hklm = REGISTRY_LOCAL_MACHINE,
                 hku = REGISTRY_USERS;
  const struct { uint32_t root; const char16_t* path; bool protectedKey; } cases[] = {
      {hklm, u"", true},
      {hklm, u"\\\\", true},
      {hkcu, u"SOFTWARE\\", true},
      {hklm, u"Software\\Wow6432Node", true},
      {hklm, u"Software64", true},
      {hklm, u"Software64\\Microsoft\\Windows\\CurrentVersion\\Uninstall", true},
      {hkcu, u"Software64", false},  // the alias is HKLM's alone
      {hklm, u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\", true},
      {hklm, u"software\\\\microsoft\\windows\\currentversion\\uninstall", true},
      {hklm, u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\MyApp", false},
      {hklm, u"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", true},
      {hkcu, u"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", true},
      {hklm, u"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", true},
      {hklm, u"Software\\Policies", true},
      {hkcu, u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", true},
      {hklm, u"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", true},
      {hklm, u"Software\\Microsoft\\Windows\\Run", false},
      {hklm, u"Software\\Vendor\\Windows\\CurrentVersion\\Run", false},
      {hklm, u"Software\\ODBC\\ODBCINST.INI", true},
      {hklm, u"Software\\Vendor", false},
      {hklm, u"Software\\Classes", true},
      {hklm, u"Software\\Classes\\CLSID", true},
      {hklm, u"Software\\Wow6432Node\\Classes\\TypeLib", true},
      {hkcu, u"Software\\Classes\\Wow6432Node\\CLSID", true},
      {hklm, u"Software\\Classes\\CLSID\\{01234567-89AB-CDEF-0123-456789ABCDEF}", false},
      {hkcr, u"", true},
      {hkcr, u"*", true},
      {hkcr, u"Interface", true},
      {hkcr, u"Wow6432Node\\AppID", true},
      {hkcr, u".myext", false},
      {hkcr, u"Directory\\Background\\shellex\\ContextMenuHandlers", true},
      {hkcr, u"Directory\\Background\\shellex\\ContextMenuHandlers\\MyMenu", false},
      {hkcr, u"Software", false},  // no such key below the classes
      {hkcu, u"Environment", true},
      {hkcu, u"Control Panel", true},
      {hku, u".DEFAULT", true},
      {hku, u"S-1-5-21-1-2-3-1000\\Software\\Microsoft", true},
      {hku, u"S-1-5-21-1-2-3-1000_Classes\\CLSID", true},
      {hku, u"S-1-5-21-1-2-3-1000\\Software\\Vendor", false},
      {hklm, u"System", true},
      {hklm, u"System\\CurrentControlSet\\Services", true},
      {hklm, u"SYSTEM\\ControlSet001\\Control\\Session Manager\\Environment", true},
      {hklm, u"System\\ControlSet002", true},
      {hklm, u"System\\ControlSetX\\Services", false},
      {hklm, u"System\\ControlSet\\Services", false},
      {hklm, u"System\\CurrentControlSet\\Services\\MyDriver", false},
      {hklm, u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\a\\b\\c\\d\\e\\f\\g\\h", false},
  };
  for (const auto& c : cases) {
    const std::u16string path = c.path;
    EXPECT_EQ(IsProtectedRegistryKey(c.root, c.path), c.protectedKey)
        << std::hex << c.root << " " << std::string(path.begin(), path.end());
  }
  EXPECT_TRUE(IsProtectedRegistryKey(hklm, nullptr));
}

}  // namespace
