// Font files: the full name read from generated TrueType files, and the
// deregistration of a font this process loaded.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "driver_test_support.h"
#include "harness/harness.h"
#include "removal/removal.h"
#include "removal_files_sfnt.h"

namespace {

using sfnt::MacName;

class Fonts : public RunTest {
 protected:
  // The name read from a font file of these bytes, "(none)" for an empty
  // one. The buffer starts out holding an older name.
  std::wstring FaceName(const harness::Bytes& font, size_t capacity = 520) {
    EXPECT_TRUE(sandbox.WriteFile(L"font.ttf", font));
    wchar_t name[520] = L"Stale Name";
    ReadFontFaceName(sandbox.Path(L"font.ttf").c_str(), name, capacity);
    return name[0] != 0 ? name : L"(none)";
  }
  harness::Sandbox sandbox;
};

TEST_F(Fonts, FullNameIsTheLastMacintoshFullNameRecordInTheFirst40Tables) {
  EXPECT_EQ(FaceName(sfnt::Build(sfnt::FontNames("Rx Sans"))), L"Rx Sans Regular");
  // Several languages: the last record wins, whatever its language.
  EXPECT_EQ(FaceName(sfnt::Build({MacName(4, "Rx Sans Normal", 0), MacName(1, "Rx"),
                                  MacName(4, "Rx Sans Standard", 2), sfnt::WindowsName(4, "Rx Sans Win")})),
            L"Rx Sans Standard");
  EXPECT_EQ(FaceName(sfnt::Build({sfnt::WindowsName(4, "Rx Sans")})), L"(none)") << "Windows records are not read";
  EXPECT_EQ(FaceName(harness::Bytes(2000, 'x')), L"(none)") << "not a font";
  // Eight of the font's own tables sort before 'name'.
  EXPECT_EQ(FaceName(sfnt::Build(sfnt::FontNames("Rx"), 31)), L"Rx Regular") << "record 40";
  EXPECT_EQ(FaceName(sfnt::Build(sfnt::FontNames("Rx"), 32)), L"(none)") << "record 41";
}

// A cut file gives no name: neither the buffer's old text nor the name of
// an earlier record, nor a name whose tail is missing.
TEST_F(Fonts, FileCutShortOrNameTooLongGivesNoName) {
  const harness::Bytes font = sfnt::Build({MacName(4, "First Name"), MacName(4, "Second Name")});
  const std::string second = "Second Name";
  const size_t inSecond = std::search(font.begin(), font.end(), second.begin(), second.end()) - font.begin() + 4;
  for (size_t cut : {size_t(8), font.size() / 2, inSecond})
    EXPECT_EQ(FaceName(harness::Bytes(font.begin(), font.begin() + cut)), L"(none)") << cut;
  EXPECT_EQ(FaceName(sfnt::Build({MacName(4, std::string(600, 'n'))})), L"(none)") << "refused, not cut";
  EXPECT_EQ(FaceName(sfnt::Build({MacName(4, "Twelve chars")}), 12), L"(none)");
  EXPECT_EQ(FaceName(sfnt::Build({MacName(4, "Eleven char")}), 12), L"Eleven char");
}

// Counts the WM_FONTCHANGE broadcasts a top-level window of this thread gets.
LONG fontChanges = 0;
LRESULT CALLBACK CountFontChanges(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_FONTCHANGE) ++fontChanges;
  return DefWindowProcW(window, message, wParam, lParam);
}

// The font's value names it by full path, or by file name in the Fonts
// folder; another value of the same font name, for a copy elsewhere, stays
// with that copy.
TEST_F(Fonts, FontIsUnloadedAndOnlyItsOwnRegistrationGoes) {
  run.isNT = true;
  const std::string family = "Rx Unit " + std::to_string(GetCurrentProcessId());
  const std::wstring value = std::wstring(family.begin(), family.end()) + L" Regular (TrueType)";
  ASSERT_TRUE(sandbox.WriteFile(L"mine.ttf", sfnt::Build(sfnt::FontNames(family))));
  const std::wstring mine = sandbox.Path(L"mine.ttf");
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", 0,
                            nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  auto registerAs = [&](const std::wstring& data) {
    RegSetValueExW(key, value.c_str(), 0, REG_SZ, (const BYTE*)data.c_str(), DWORD(2 * data.size() + 2));
  };
  auto registered = [&] { return RegQueryValueExW(key, value.c_str(), nullptr, nullptr, nullptr, nullptr) == 0; };

  WNDCLASSW type = {};
  type.lpfnWndProc = CountFontChanges;
  type.lpszClassName = L"RetraxTestFontChanges";
  RegisterClassW(&type);
  HWND window = CreateWindowExW(0, type.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  fontChanges = 0;

  registerAs(sandbox.Path(L"theirs.ttf"));
  RemoveFontFile(mine.c_str());
  EXPECT_TRUE(registered()) << "the value names the other copy";
  EXPECT_EQ(fontChanges, 0) << "a font that was not loaded changes nothing to tell";

  ASSERT_GT(AddFontResourceW(mine.c_str()), 0);
  registerAs(L"C:\\RETRAX-TESTS\\" + mine.substr(16));  // another spelling of the same path
  RemoveFontFile(mine.c_str());
  EXPECT_FALSE(registered());
  EXPECT_FALSE(RemoveFontResourceW(mine.c_str())) << "the font is still loaded";
  EXPECT_EQ(fontChanges, 1) << "every window is told once the font is unloaded";
  DestroyWindow(window);

  wchar_t fonts[MAX_PATH];
  ASSERT_GT(GetWindowsDirectoryW(fonts, MAX_PATH - 40), 0u);
  const std::wstring name = L"rxunit" + std::to_wstring(GetCurrentProcessId()) + L".ttf";
  const std::wstring installed = std::wstring(fonts) + L"\\Fonts\\" + name;
  ASSERT_TRUE(harness::WriteWholeFile(installed, sfnt::Build(sfnt::FontNames(family))));
  registerAs(L"RXUNIT" + name.substr(6));
  RemoveFontFile(installed.c_str());
  EXPECT_FALSE(registered());
  DeleteFileW(installed.c_str());
  RegDeleteValueW(key, value.c_str());
  RegCloseKey(key);
}

}  // namespace
