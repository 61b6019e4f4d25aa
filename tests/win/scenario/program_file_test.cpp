// The built retrax.exe as a file: what it imports, the payloadOffset field
// the build wrote into it, and the resources installers and users see.
#include <string.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "harness/harness.h"

using harness::Bytes;

namespace {

uint32_t U32At(const Bytes& b, size_t at) {
  return at + 4 <= b.size() ? pack::ReadU32(&b[at]) : 0;
}
uint16_t U16At(const Bytes& b, size_t at) {
  return at + 2 <= b.size() ? static_cast<uint16_t>(b[at] | (b[at + 1] << 8)) : 0;
}

// Names of the DLLs in a 32-bit PE file's import table, lower-cased.
// Returns false when the headers do not parse.
bool ListImportedLibraries(const Bytes& image, std::vector<std::string>* names) {
  const uint32_t pe = U32At(image, 0x3C);
  if (U16At(image, 0) != 0x5A4D || U32At(image, pe) != 0x00004550) return false;
  const size_t fileHeader = pe + 4;
  const uint16_t sectionCount = U16At(image, fileHeader + 2);
  const uint16_t optionalSize = U16At(image, fileHeader + 16);
  const size_t optional = fileHeader + 20;
  if (U16At(image, optional) != 0x10B) return false;  // PE32
  const uint32_t importRva = U32At(image, optional + 96 + 8);  // data directory 1
  const size_t sections = optional + optionalSize;

  auto toOffset = [&](uint32_t rva, size_t* offset) {
    for (uint16_t i = 0; i < sectionCount; ++i) {
      const size_t s = sections + i * 40u;
      const uint32_t virtualAddress = U32At(image, s + 12);
      const uint32_t rawSize = U32At(image, s + 16);
      const uint32_t rawPointer = U32At(image, s + 20);
      if (rva >= virtualAddress && rva - virtualAddress < rawSize) {
        *offset = rawPointer + (rva - virtualAddress);
        return *offset < image.size();
      }
    }
    return false;
  };

  size_t descriptor;
  if (importRva == 0) return true;
  if (!toOffset(importRva, &descriptor)) return false;
  for (;; descriptor += 20) {
    if (descriptor + 20 > image.size()) return false;
    const uint32_t nameRva = U32At(image, descriptor + 12);
    if (nameRva == 0) return true;
    size_t name;
    if (!toOffset(nameRva, &name)) return false;
    std::string text;
    while (name < image.size() && image[name] != 0) text += static_cast<char>(tolower(image[name++]));
    names->push_back(text);
  }
}

TEST(ProgramFile, ImportsOnlyLibrariesOfTheSystem) {
  const Bytes& program = harness::RetraxProgram();
  ASSERT_FALSE(program.empty());
  std::vector<std::string> imports;
  ASSERT_TRUE(ListImportedLibraries(program, &imports));

  const char* const allowed[] = {"kernel32.dll", "user32.dll",  "gdi32.dll",    "advapi32.dll",
                                 "shell32.dll",  "ole32.dll",   "comctl32.dll", "msvcrt.dll"};
  std::string listed;
  for (const std::string& name : imports) {
    listed += name + " ";
    const bool known = std::find(std::begin(allowed), std::end(allowed), name) != std::end(allowed) ||
                       name.compare(0, 15, "api-ms-win-crt-") == 0;
    EXPECT_TRUE(known) << name << " is not a library every Windows system has";
  }
  std::cout << "retrax.exe imports: " << listed << "\n";
  EXPECT_NE(std::find(imports.begin(), imports.end(), "kernel32.dll"), imports.end());
}

TEST(ProgramFile, PayloadOffsetFieldHoldsTheFileLength) {
  const Bytes& program = harness::RetraxProgram();
  // FindPayloadOffsetField also fails when the marker occurs twice.
  const long field = pack::FindPayloadOffsetField(program);
  ASSERT_GE(field, 0);
  EXPECT_EQ(program.size(), pack::ReadU32(&program[field]));
}

// A loaded resource of the program file, or an empty byte string.
class ProgramResources : public harness::ScenarioTest {
 protected:
  void SetUp() override {
    harness::ScenarioTest::SetUp();
    const std::wstring path = sandbox.Path(L"retrax.exe");
    ASSERT_TRUE(harness::WriteWholeFile(path, harness::RetraxProgram()));
    module_ = LoadLibraryExW(path.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(module_ != NULL);
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }
  Bytes Resource(const wchar_t* type, WORD id) const {
    HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(id), type);
    HGLOBAL loaded = found ? LoadResource(module_, found) : NULL;
    const uint8_t* data = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
    return data ? Bytes(data, data + SizeofResource(module_, found)) : Bytes();
  }

 private:
  HMODULE module_ = NULL;
};

// One control of a classic dialog template. Class names are compared in
// upper case, as the platform compares them: windres writes "BUTTON" where
// other resource compilers write the ordinal 0x80; both make a button.
struct Control {
  uint32_t style;
  int16_t x, y, cx, cy;
  uint16_t id;
  std::u16string className;
  std::u16string text;
  bool operator==(const Control& o) const {
    return style == o.style && x == o.x && y == o.y && cx == o.cx && cy == o.cy && id == o.id &&
           className == o.className && text == o.text;
  }
};

void PrintTo(const Control& c, std::ostream* out) {
  *out << "{id " << c.id << ", style 0x" << std::hex << c.style << std::dec << ", " << c.x << "," << c.y
       << "," << c.cx << "," << c.cy << ", class " << pack::ToUtf8(c.className) << ", text \""
       << pack::ToUtf8(c.text) << "\"}";
}

struct Dialog {
  uint32_t style = 0, exStyle = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  std::u16string menu, className, title, font;
  uint16_t pointSize = 0;
  std::vector<Control> controls;
};

// Parses a classic DLGTEMPLATE; false for the extended form or bad bytes.
bool ParseDialog(const Bytes& t, Dialog* d) {
  size_t at = 0;
  auto u16 = [&]() { uint16_t v = U16At(t, at); at += 2; return v; };
  auto u32 = [&]() { uint32_t v = U32At(t, at); at += 4; return v; };
  auto sizeOrOrdinal = [&](std::u16string* out) {
    const uint16_t first = u16();
    if (first == 0xFFFF) {
      const uint16_t ordinal = u16();
      *out = ordinal == 0x80 ? u"BUTTON" : ordinal == 0x82 ? u"STATIC" : u"#other";
      return;
    }
    out->clear();
    for (uint16_t c = first; c != 0 && at <= t.size(); c = u16()) *out += static_cast<char16_t>(c);
  };
  if (t.size() < 18 || (U16At(t, 0) == 1 && U16At(t, 2) == 0xFFFF)) return false;
  d->style = u32();
  d->exStyle = u32();
  const uint16_t count = u16();
  d->x = u16(), d->y = u16(), d->cx = u16(), d->cy = u16();
  sizeOrOrdinal(&d->menu);
  sizeOrOrdinal(&d->className);
  sizeOrOrdinal(&d->title);
  if (d->style & DS_SETFONT) {
    d->pointSize = u16();
    sizeOrOrdinal(&d->font);
  }
  for (uint16_t i = 0; i < count; ++i) {
    at = (at + 3) & ~size_t(3);
    Control c;
    c.style = u32();
    u32();  // extended style
    c.x = u16(), c.y = u16(), c.cx = u16(), c.cy = u16();
    c.id = u16();
    sizeOrOrdinal(&c.className);
    for (char16_t& ch : c.className) ch = (ch >= u'a' && ch <= u'z') ? ch - u'a' + u'A' : ch;
    sizeOrOrdinal(&c.text);
    at += u16();  // creation data
    if (at > t.size()) return false;
    d->controls.push_back(c);
  }
  return true;
}

TEST_F(ProgramResources, QuestionDialogHasFourButtonsInOneRowUnderTheQuestion) {
  Dialog d;
  ASSERT_TRUE(ParseDialog(Resource(RT_DIALOG, 109), &d));
  EXPECT_EQ(0x80C800C0u, d.style);
  EXPECT_EQ(0u, d.exStyle);
  EXPECT_EQ(0, d.x);
  EXPECT_EQ(0, d.y);
  EXPECT_EQ(257, d.cx);
  EXPECT_EQ(73, d.cy);
  EXPECT_EQ(u"", d.menu);
  EXPECT_EQ(u"", d.className);
  EXPECT_EQ(u"", d.title);
  EXPECT_EQ(8, d.pointSize);
  EXPECT_EQ(u"Tahoma", d.font);
  const std::vector<Control> expected = {
      {0x50010001, 20, 52, 50, 14, 6, u"BUTTON", u""},
      {0x50010000, 75, 52, 50, 14, 1001, u"BUTTON", u""},
      {0x50020000, 7, 7, 243, 36, 1000, u"STATIC", u""},
      {0x50010000, 130, 52, 50, 14, 7, u"BUTTON", u""},
      {0x50010000, 186, 52, 50, 14, 1002, u"BUTTON", u""},
  };
  EXPECT_EQ(expected, d.controls);
}

TEST_F(ProgramResources, ProgressDialogIsVisibleWithTextAboveTheBar) {
  Dialog d;
  ASSERT_TRUE(ParseDialog(Resource(RT_DIALOG, 110), &d));
  EXPECT_EQ(0x90C800C0u, d.style);
  EXPECT_EQ(0u, d.exStyle);
  EXPECT_EQ(257, d.cx);
  EXPECT_EQ(73, d.cy);
  EXPECT_EQ(u"", d.title);
  EXPECT_EQ(8, d.pointSize);
  EXPECT_EQ(u"Tahoma", d.font);
  const std::vector<Control> expected = {
      {0x50020080, 7, 24, 243, 8, 1000, u"STATIC", u""},
      {0x50000000, 7, 38, 243, 12, 1009, u"MSCTLS_PROGRESS32", u"Progress1"},
  };
  EXPECT_EQ(expected, d.controls);
}

TEST_F(ProgramResources, IconGroupHasSmallAndLargeIcons) {
  const Bytes group = Resource(RT_GROUP_ICON, 800);
  ASSERT_GE(group.size(), 6u);
  std::vector<int> widths;
  for (size_t i = 0, count = U16At(group, 4); i < count && 6 + i * 14 + 14 <= group.size(); ++i) {
    widths.push_back(group[6 + i * 14]);  // bWidth
  }
  std::sort(widths.begin(), widths.end());
  EXPECT_EQ((std::vector<int>{16, 32}), widths);
}

TEST_F(ProgramResources, ManifestAsksForAdministratorAndCommonControls6) {
  const Bytes manifest = Resource(RT_MANIFEST, 1);
  const std::string text(manifest.begin(), manifest.end());
  for (const char* part : {"<description>Uninstall Program</description>",
                           "level=\"requireAdministrator\"",
                           "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
                           "{e2011457-1546-43c5-a5fe-008deee3d3f0}",   // Vista
                           "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",   // 7
                           "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",   // 8
                           "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",   // 8.1
                           "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {  // 10
    EXPECT_NE(std::string::npos, text.find(part)) << part;
  }
}

}  // namespace
