// A small Windows library image for the tests: headers, one section at RVA
// 0x1000 holding an export directory, its name table and the names. Laid
// out the way a linker does, so the export reader sees what it would in a
// real DLL.
#pragma once
#include <string.h>

#include <string>
#include <vector>

#include "payload/writer.h"

namespace packtest {

struct PeLayout {
  bool pe32plus = false;  // a 64-bit image
  bool dll = true;
  std::vector<std::string> exports = {"DllCanUnloadNow", "DllRegisterServer",
                                      "DllUnregisterServer"};
};

inline pack::Bytes MakePeImage(const PeLayout& layout) {
  const uint32_t pe = 0x40, fileAlign = 0x200, sectionRva = 0x1000;
  const uint32_t optionalSize = layout.pe32plus ? 240 : 224;
  const uint32_t optional = pe + 24;
  const uint32_t sectionTable = optional + optionalSize;

  // The section: directory, function table, name table, ordinals, names.
  pack::Bytes section(40);
  const uint32_t count = (uint32_t)layout.exports.size();
  const uint32_t functions = 40, names = functions + 4 * count, ordinals = names + 4 * count;
  uint32_t strings = ordinals + 2 * count;
  section.resize(strings);
  for (uint32_t i = 0; i < count; ++i) {
    pack::WriteU32(&section[functions + 4 * i], 0x2000 + i);
    pack::WriteU32(&section[names + 4 * i], sectionRva + strings);
    section[ordinals + 2 * i] = (uint8_t)i;
    section.insert(section.end(), layout.exports[i].begin(), layout.exports[i].end());
    section.push_back(0);
    strings = (uint32_t)section.size();
  }
  pack::WriteU32(&section[16], 1);  // ordinal base
  pack::WriteU32(&section[20], count);
  pack::WriteU32(&section[24], count);
  pack::WriteU32(&section[28], sectionRva + functions);
  pack::WriteU32(&section[32], sectionRva + names);
  pack::WriteU32(&section[36], sectionRva + ordinals);
  const uint32_t rawSize = ((uint32_t)section.size() + fileAlign - 1) / fileAlign * fileAlign;
  section.resize(rawSize);

  pack::Bytes image(fileAlign);
  image[0] = 'M';
  image[1] = 'Z';
  pack::WriteU32(&image[0x3C], pe);
  memcpy(&image[pe], "PE\0\0", 4);
  image[pe + 4] = layout.pe32plus ? 0x64 : 0x4C;  // machine x64 / x86
  image[pe + 5] = layout.pe32plus ? 0x86 : 0x01;
  image[pe + 6] = 1;  // one section
  image[pe + 20] = (uint8_t)optionalSize;
  const uint16_t characteristics = 0x0102 | (layout.dll ? 0x2000 : 0);
  image[pe + 22] = (uint8_t)characteristics;
  image[pe + 23] = (uint8_t)(characteristics >> 8);
  image[optional] = 0x0B;
  image[optional + 1] = layout.pe32plus ? 0x02 : 0x01;
  pack::WriteU32(&image[optional + 60], fileAlign);  // SizeOfHeaders
  const uint32_t directories = optional + (layout.pe32plus ? 108 : 92);
  pack::WriteU32(&image[directories], 16);
  pack::WriteU32(&image[directories + 4], sectionRva);  // export table
  pack::WriteU32(&image[directories + 8], 40 + 10 * count);
  uint8_t* s = &image[sectionTable];
  memcpy(s, ".edata\0\0", 8);
  pack::WriteU32(s + 8, rawSize);      // VirtualSize
  pack::WriteU32(s + 12, sectionRva);  // VirtualAddress
  pack::WriteU32(s + 16, rawSize);     // SizeOfRawData
  pack::WriteU32(s + 20, fileAlign);   // PointerToRawData
  image.insert(image.end(), section.begin(), section.end());
  return image;
}

}  // namespace packtest
