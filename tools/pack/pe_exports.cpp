#include "pe_exports.h"

#include <string.h>

#include <vector>

namespace packtool {

namespace {

// Layout of the parts read, in bytes. Offsets into the optional header
// differ between PE32 and PE32+ only where the image base widens to 64 bits.
enum {
  DOS_HEADER_SIZE = 64,
  DOS_LFANEW_AT = 0x3C,
  FILE_HEADER_SIZE = 24,  // "PE\0\0" and the COFF file header
  SIZE_OF_HEADERS_AT = 60,
  PE32_MAGIC = 0x10B,
  PE32_RVA_COUNT_AT = 92,
  PE32PLUS_MAGIC = 0x20B,
  PE32PLUS_RVA_COUNT_AT = 108,
  SECTION_HEADER_SIZE = 40,
  EXPORT_DIRECTORY_SIZE = 40,
  IMAGE_FILE_DLL = 0x2000,
};
// The loader refuses images with more sections than this.
const uint32_t kMaxSections = 96;

uint16_t U16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) { return pack::ReadU32(p); }

struct Section {
  uint32_t address;  // RVA
  uint32_t rawSize;
  uint32_t rawOffset;
};

class Image {
 public:
  Image(const ReadAt& read, uint64_t size) : read_(read), size_(size) {}

  bool Read(uint64_t offset, void* out, size_t count) const {
    if (offset > size_ || count > size_ - offset) return false;
    return read_(offset, out, count);
  }

  // The file offset of count bytes at rva, when they lie in the headers or
  // in one section's raw data; bytes beyond a section's raw data are zero
  // fill in memory and have no place in the file.
  bool OffsetOf(uint32_t rva, uint64_t count, uint64_t* offset) const {
    if ((uint64_t)rva + count <= headerSize_) {
      *offset = rva;
      return true;
    }
    for (const Section& s : sections_) {
      if (rva < s.address) continue;
      uint64_t into = (uint64_t)rva - s.address;
      if (into + count > s.rawSize) continue;
      *offset = (uint64_t)s.rawOffset + into;
      return true;
    }
    return false;
  }

  const ReadAt& read_;
  uint64_t size_;
  uint64_t headerSize_ = 0;
  std::vector<Section> sections_;
};

PeExportCheck Damaged(PeExportCheck check, const std::string& problem) {
  check.verdict = PeExportCheck::DAMAGED;
  check.problem = problem;
  return check;
}

}  // namespace

PeExportCheck FindPeExport(const ReadAt& read, uint64_t fileSize, const char* exportName) {
  PeExportCheck check;
  Image image(read, fileSize);
  uint8_t dos[DOS_HEADER_SIZE];
  if (!image.Read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return check;
  const uint64_t pe = U32(dos + DOS_LFANEW_AT);
  uint8_t header[FILE_HEADER_SIZE];
  // An MZ file without "PE\0\0" at e_lfanew is a DOS or 16-bit program.
  if (!image.Read(pe, header, sizeof header) || memcmp(header, "PE\0\0", 4) != 0) return check;

  check.machine = U16(header + 4);
  const uint32_t sectionCount = U16(header + 6);
  const uint32_t optionalSize = U16(header + 20);
  check.isDll = (U16(header + 22) & IMAGE_FILE_DLL) != 0;

  const uint64_t optional = pe + FILE_HEADER_SIZE;
  uint8_t magicBytes[2];
  if (optionalSize < 2 || !image.Read(optional, magicBytes, 2))
    return Damaged(check, "the optional header is missing");
  const uint16_t magic = U16(magicBytes);
  uint32_t rvaCountAt;
  if (magic == PE32_MAGIC)
    rvaCountAt = PE32_RVA_COUNT_AT;
  else if (magic == PE32PLUS_MAGIC)
    rvaCountAt = PE32PLUS_RVA_COUNT_AT;
  else
    return Damaged(check, "the optional header has the unknown magic " + std::to_string(magic));
  if (optionalSize < SIZE_OF_HEADERS_AT + 4)
    return Damaged(check, "the optional header is too short");
  uint8_t sizeOfHeaders[4];
  if (!image.Read(optional + SIZE_OF_HEADERS_AT, sizeOfHeaders, 4))
    return Damaged(check, "the optional header is cut off");
  image.headerSize_ = U32(sizeOfHeaders);

  if (sectionCount > kMaxSections)
    return Damaged(check, std::to_string(sectionCount) + " sections (at most 96 load)");
  std::vector<uint8_t> table(sectionCount * SECTION_HEADER_SIZE);
  if (!table.empty() && !image.Read(optional + optionalSize, table.data(), table.size()))
    return Damaged(check, "the section table is cut off");
  for (uint32_t i = 0; i < sectionCount; ++i) {
    const uint8_t* s = table.data() + i * SECTION_HEADER_SIZE;
    image.sections_.push_back(Section{U32(s + 12), U32(s + 16), U32(s + 20)});
  }
  check.verdict = PeExportCheck::IMAGE;

  // The export table is data directory 0, right behind the directory count.
  if (optionalSize < rvaCountAt + 4 + 8) return check;
  uint8_t directory[12];
  if (!image.Read(optional + rvaCountAt, directory, sizeof directory))
    return Damaged(check, "the data directories are cut off");
  const uint32_t exportRva = U32(directory + 4);
  if (U32(directory) == 0 || exportRva == 0) return check;

  uint64_t at = 0;
  uint8_t exports[EXPORT_DIRECTORY_SIZE];
  if (!image.OffsetOf(exportRva, sizeof exports, &at) || !image.Read(at, exports, sizeof exports))
    return Damaged(check, "the export directory lies outside the file's sections");
  const uint32_t nameCount = U32(exports + 24);
  const uint32_t namesRva = U32(exports + 32);
  if (nameCount == 0) return check;
  // Each name takes a 4-byte entry in the file: a count the file cannot
  // hold is damage, and the bound keeps the allocation below the file size.
  if ((uint64_t)nameCount * 4 > fileSize)
    return Damaged(check, "the export table claims " + std::to_string(nameCount) + " names");
  std::vector<uint8_t> names((size_t)nameCount * 4);
  if (!image.OffsetOf(namesRva, names.size(), &at) || !image.Read(at, names.data(), names.size()))
    return Damaged(check, "the export name table lies outside the file's sections");

  const size_t wanted = strlen(exportName) + 1;  // with its NUL: no prefix matches
  std::vector<char> name(wanted);
  for (uint32_t i = 0; i < nameCount; ++i) {
    // A name that runs off the end of its section is no match, not damage:
    // shorter names near the end of a section are fine.
    if (image.OffsetOf(U32(&names[i * 4]), wanted, &at) && image.Read(at, name.data(), wanted) &&
        memcmp(name.data(), exportName, wanted) == 0) {
      check.hasExport = true;
      break;
    }
  }
  return check;
}

PeExportCheck FindPeExport(const pack::Bytes& image, const char* exportName) {
  ReadAt read = [&image](uint64_t offset, void* out, size_t size) {
    if (offset > image.size() || size > image.size() - offset) return false;
    if (size) memcpy(out, image.data() + offset, size);
    return true;
  };
  return FindPeExport(read, image.size(), exportName);
}

}  // namespace packtool
