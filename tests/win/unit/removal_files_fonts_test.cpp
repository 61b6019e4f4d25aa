// Font files: the full name read from generated TrueType files, and the
// registration value that goes with the file.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "driver_test_support.h"
#include "harness/harness.h"
#include "removal/removal.h"
#include "removal_files_sfnt.h"

namespace {

class Fonts : public RunTest {
 protected:
  harness::Sandbox sandbox;
};

// The last Macintosh full-name record. A cut file gives no name: neither
// the buffer's old text nor an earlier record's name, nor one whose tail
// is missing.
TEST_F(Fonts, FullNameIsTheLastMacintoshFullNameRecordOrNone) {
  const harness::Bytes two = sfnt::Build({{1, 4, "First"}, {1, 1, "Rx"}, {1, 4, "Second"}, {3, 4, "Win"}});
  const struct {
    harness::Bytes font;
    size_t capacity;
    const wchar_t* name;  // "" for none
  } cases[] = {
      {sfnt::Build(sfnt::FontNames("Rx Sans")), 520, L"Rx Sans Regular"},
      {two, 520, L"Second"},
      {harness::Bytes(two.begin(), two.end() - 4), 520, L""},
      {harness::Bytes(2000, 'x'), 520, L""},
      {sfnt::Build({{1, 4, "Eleven char"}}), 12, L"Eleven char"},
      {sfnt::Build({{1, 4, "Twelve chars"}}), 12, L""},  // refused, not cut
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(sandbox.WriteFile(L"font.ttf", c.font));
    wchar_t name[520] = L"Stale Name";
    ReadFontFaceName(sandbox.Path(L"font.ttf").c_str(), name, c.capacity);
    EXPECT_STREQ(name, c.name);
  }
}

// The font's value names it by full path, or by file name in the Fonts
// folder; a value of the same font name for a copy elsewhere stays.
TEST_F(Fonts, OnlyTheRegistrationThatNamesThisFileGoes) {
  run.isNT = true;
  const std::string family = "Rx Unit " + std::to_string(GetCurrentProcessId());
  const std::wstring value = std::wstring(family.begin(), family.end()) + L" Regular (TrueType)";
  ASSERT_TRUE(sandbox.WriteFile(L"mine.ttf", sfnt::Build(sfnt::FontNames(family))));
  const std::wstring mine = sandbox.Path(L"mine.ttf");
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", 0, nullptr,
                            0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  auto removedWith = [&](const std::wstring& data, const std::wstring& font) {
    RegSetValueExW(key, value.c_str(), 0, REG_SZ, (const BYTE*)data.c_str(), DWORD(2 * data.size() + 2));
    RemoveFontFile(font.c_str());
    return RegQueryValueExW(key, value.c_str(), nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS;
  };
  EXPECT_FALSE(removedWith(sandbox.Path(L"theirs.ttf"), mine));
  std::wstring upper = mine;
  std::transform(upper.begin(), upper.end(), upper.begin(), towupper);
  EXPECT_TRUE(removedWith(upper, mine));

  wchar_t fonts[MAX_PATH];
  ASSERT_GT(GetWindowsDirectoryW(fonts, MAX_PATH - 40), 0u);
  const std::wstring name = L"rxunit" + std::to_wstring(GetCurrentProcessId()) + L".ttf";
  const std::wstring installed = std::wstring(fonts) + L"\\Fonts\\" + name;
  ASSERT_TRUE(harness::WriteWholeFile(installed, sfnt::Build(sfnt::FontNames(family))));
  EXPECT_TRUE(removedWith(L"RXUNIT" + name.substr(6), installed));
  DeleteFileW(installed.c_str());
  RegDeleteValueW(key, value.c_str());
  RegCloseKey(key);
}

}  // namespace
