// The built retrax.exe as a file: what it imports, and the payloadOffset
// field the build wrote into it.
#include <algorithm>
#include <iostream>

#include "harness/harness.h"

using harness::Bytes;

namespace {

uint32_t U32At(const Bytes& b, size_t at) { return at + 4 <= b.size() ? pack::ReadU32(&b[at]) : 0; }
uint16_t U16At(const Bytes& b, size_t at) { return at + 2 <= b.size() ? uint16_t(b[at] | (b[at + 1] << 8)) : 0; }

// The lower-cased names of the libraries a PE32 file imports; false when
// its headers do not parse.
bool ListImportedLibraries(const Bytes& image, std::vector<std::string>* names) {
  const size_t pe = U32At(image, 0x3C), optional = pe + 24;
  if (U16At(image, 0) != 0x5A4D || U32At(image, pe) != 0x4550 || U16At(image, optional) != 0x10B) return false;
  const size_t sections = optional + U16At(image, pe + 20);
  auto toOffset = [&](uint32_t rva, size_t* offset) {
    for (size_t s = sections; s < sections + 40u * U16At(image, pe + 6); s += 40) {
      const uint32_t start = U32At(image, s + 12);
      if (rva >= start && rva - start < U32At(image, s + 16)) {
        *offset = U32At(image, s + 20) + (rva - start);
        return *offset < image.size();
      }
    }
    return false;
  };
  size_t descriptor, name;
  if (!toOffset(U32At(image, optional + 104), &descriptor)) return false;  // data directory 1
  for (; U32At(image, descriptor + 12) != 0; descriptor += 20) {
    if (!toOffset(U32At(image, descriptor + 12), &name)) return false;
    std::string text;
    while (name < image.size() && image[name] != 0) text += static_cast<char>(tolower(image[name++]));
    names->push_back(text);
  }
  return descriptor + 20 <= image.size();
}

TEST(ProgramFile, ImportsOnlyLibrariesOfTheSystem) {
  std::vector<std::string> imports;
  ASSERT_TRUE(ListImportedLibraries(harness::RetraxProgram(), &imports));
  const std::vector<std::string> allowed = {"kernel32.dll", "user32.dll", "gdi32.dll",    "advapi32.dll",
                                            "shell32.dll",  "ole32.dll",  "comctl32.dll", "msvcrt.dll"};
  std::cout << "retrax.exe imports:";
  for (const std::string& name : imports) {
    std::cout << " " << name;
    EXPECT_TRUE(std::count(allowed.begin(), allowed.end(), name) || name.compare(0, 15, "api-ms-win-crt-") == 0)
        << name << " is not a library every Windows system has";
  }
  std::cout << "\n";
  EXPECT_TRUE(std::count(imports.begin(), imports.end(), "kernel32.dll"));
}

TEST(ProgramFile, PayloadOffsetFieldHoldsTheFileLength) {
  const Bytes& program = harness::RetraxProgram();
  const long field = pack::FindPayloadOffsetField(program);  // also fails on a second marker
  ASSERT_GE(field, 0);
  EXPECT_EQ(program.size(), pack::ReadU32(&program[field]));
}

}  // namespace
