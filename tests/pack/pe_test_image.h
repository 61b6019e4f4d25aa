// A small Windows library image for the tests: headers, one section at RVA
// 0x1000 holding an export directory, its name table and the names, laid
// out the way a linker does; with a manifest, a resource tree behind them
// (RT_MANIFEST, name 1, one language).
#pragma once
#include <string.h>

#include <string>
#include <vector>

#include "payload/writer.h"

namespace packtest {

struct PeLayout {
  bool dll = true;
  std::vector<std::string> exports = {"DllCanUnloadNow", "DllRegisterServer", "DllUnregisterServer"};
  std::string manifest;  // empty: no resources
};

inline pack::Bytes MakePeImage(const PeLayout& layout) {
  const uint32_t pe = 0x40, align = 0x200, rva = 0x1000, optional = pe + 24;
  const uint32_t count = (uint32_t)layout.exports.size();
  // The section: directory, function table, name table, ordinals, names.
  const uint32_t functions = 40, names = functions + 4 * count, ordinals = names + 4 * count;
  pack::Bytes section(ordinals + 2 * count);
  for (uint32_t i = 0; i < count; ++i) {
    pack::WriteU32(&section[functions + 4 * i], 0x2000 + i);
    pack::WriteU32(&section[names + 4 * i], rva + (uint32_t)section.size());
    section[ordinals + 2 * i] = (uint8_t)i;
    section.insert(section.end(), layout.exports[i].begin(), layout.exports[i].end());
    section.push_back(0);
  }
  const uint32_t directory[] = {1, count, count, rva + functions, rva + names, rva + ordinals};  // from offset 16
  for (int i = 0; i < 6; ++i) pack::WriteU32(&section[16 + 4 * i], directory[i]);
  // Resources: three directories of one entry each, the data entry, the text.
  const uint32_t resources = ((uint32_t)section.size() + 3) / 4 * 4;
  if (!layout.manifest.empty()) {
    section.resize(resources + 3 * 24 + 16);
    const uint32_t entries[][2] = {{24, 0x80000018u}, {1, 0x80000030u}, {0x409, 0x48}};
    for (int i = 0; i < 3; ++i) {
      section[resources + 24 * i + 14] = 1;  // one id entry
      pack::WriteU32(&section[resources + 24 * i + 16], entries[i][0]);
      pack::WriteU32(&section[resources + 24 * i + 20], entries[i][1]);
    }
    pack::WriteU32(&section[resources + 0x48], rva + (uint32_t)section.size());
    pack::WriteU32(&section[resources + 0x4C], (uint32_t)layout.manifest.size());
    section.insert(section.end(), layout.manifest.begin(), layout.manifest.end());
  }
  const uint32_t raw = ((uint32_t)section.size() + align - 1) / align * align;
  section.resize(raw);

  pack::Bytes image(align);
  image[0] = 'M', image[1] = 'Z';
  pack::WriteU32(&image[0x3C], pe);
  memcpy(&image[pe], "PE\0\0", 4);
  pack::WriteU32(&image[pe + 4], 0x1014C);  // machine x86, one section
  const uint32_t optionalSize = 224;
  pack::WriteU32(&image[pe + 20], optionalSize | (0x0102u | (layout.dll ? 0x2000u : 0)) << 16);
  image[optional] = 0x0B, image[optional + 1] = 0x01;
  pack::WriteU32(&image[optional + 60], align);  // SizeOfHeaders
  const uint32_t directories = optional + 92;
  const uint32_t header[] = {16, rva, 40 + 10 * count};  // directory count, export table RVA and size
  for (int i = 0; i < 3; ++i) pack::WriteU32(&image[directories + 4 * i], header[i]);
  if (!layout.manifest.empty()) {
    pack::WriteU32(&image[directories + 20], rva + resources);
    pack::WriteU32(&image[directories + 24], (uint32_t)section.size() - resources);
  }
  const uint32_t sectionHeader[] = {raw, rva, raw, align};  // sizes, address, file position (name left empty)
  for (int i = 0; i < 4; ++i) pack::WriteU32(&image[optional + optionalSize + 8 + 4 * i], sectionHeader[i]);
  image.insert(image.end(), section.begin(), section.end());
  return image;
}

}  // namespace packtest
