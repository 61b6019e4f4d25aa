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

// Reads the headers and the section table into image. On return the
// check says IMAGE when they hold together; directoriesAt is then the file
// offset of the data directory count, followed by the directories.
PeExportCheck OpenImage(Image* image, uint64_t* directoriesAt, uint32_t* optionalLeft) {
  PeExportCheck check;
  uint8_t dos[DOS_HEADER_SIZE];
  if (!image->Read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return check;
  const uint64_t pe = U32(dos + DOS_LFANEW_AT);
  uint8_t header[FILE_HEADER_SIZE];
  // An MZ file without "PE\0\0" at e_lfanew is a DOS or 16-bit program.
  if (!image->Read(pe, header, sizeof header) || memcmp(header, "PE\0\0", 4) != 0) return check;

  check.machine = U16(header + 4);
  const uint32_t sectionCount = U16(header + 6);
  const uint32_t optionalSize = U16(header + 20);
  check.isDll = (U16(header + 22) & IMAGE_FILE_DLL) != 0;

  const uint64_t optional = pe + FILE_HEADER_SIZE;
  uint8_t magicBytes[2];
  if (optionalSize < 2 || !image->Read(optional, magicBytes, 2))
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
  if (!image->Read(optional + SIZE_OF_HEADERS_AT, sizeOfHeaders, 4))
    return Damaged(check, "the optional header is cut off");
  image->headerSize_ = U32(sizeOfHeaders);

  if (sectionCount > kMaxSections)
    return Damaged(check, std::to_string(sectionCount) + " sections (at most 96 load)");
  std::vector<uint8_t> table(sectionCount * SECTION_HEADER_SIZE);
  if (!table.empty() && !image->Read(optional + optionalSize, table.data(), table.size()))
    return Damaged(check, "the section table is cut off");
  for (uint32_t i = 0; i < sectionCount; ++i) {
    const uint8_t* s = table.data() + i * SECTION_HEADER_SIZE;
    image->sections_.push_back(Section{U32(s + 12), U32(s + 16), U32(s + 20)});
  }
  check.verdict = PeExportCheck::IMAGE;
  *directoriesAt = optional + rvaCountAt;
  *optionalLeft = optionalSize > rvaCountAt ? optionalSize - rvaCountAt : 0;
  return check;
}

// Data directory index (0 exports, 2 resources): its RVA and size, or
// false when the optional header has no room for it or it is empty.
bool Directory(const Image& image, uint64_t directoriesAt, uint32_t optionalLeft, uint32_t index,
               uint32_t* rva, uint32_t* size, bool* cutOff) {
  *cutOff = false;
  if (optionalLeft < 4 + 8 * (index + 1)) return false;
  uint8_t count[4], entry[8];
  if (!image.Read(directoriesAt, count, 4) || !image.Read(directoriesAt + 4 + 8 * index, entry, 8)) {
    *cutOff = true;
    return false;
  }
  *rva = U32(entry);
  *size = U32(entry + 4);
  return U32(count) > index && *rva != 0;
}

}  // namespace

PeExportCheck FindPeExport(const ReadAt& read, uint64_t fileSize, const char* exportName) {
  Image image(read, fileSize);
  uint64_t directoriesAt = 0;
  uint32_t optionalLeft = 0;
  PeExportCheck check = OpenImage(&image, &directoriesAt, &optionalLeft);
  if (check.verdict != PeExportCheck::IMAGE) return check;

  // The export table is data directory 0, right behind the directory count.
  uint32_t exportRva = 0, exportSize = 0;
  bool cutOff = false;
  if (!Directory(image, directoriesAt, optionalLeft, 0, &exportRva, &exportSize, &cutOff))
    return cutOff ? Damaged(check, "the data directories are cut off") : check;

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

namespace {

enum {
  RESOURCE_DIRECTORY_SIZE = 16,
  RESOURCE_ENTRY_SIZE = 8,
  RESOURCE_DATA_ENTRY_SIZE = 16,
  RT_MANIFEST_TYPE = 24,
  MANIFEST_RESOURCE_ID = 1,
};
// Manifests are a few kilobytes; a larger one is read only this far.
const uint32_t kManifestBytesRead = 64 * 1024;
// A resource tree is three levels deep: type, name, language.
const uint32_t kResourceEntriesRead = 4096;

// The entry of a resource directory at offset (from the resource base)
// whose id is id, or with id 0 the first entry; its OffsetToData word.
bool FindResourceEntry(const Image& image, uint32_t base, uint32_t offset, uint32_t id,
                       uint32_t* target, std::string* problem) {
  uint64_t at = 0;
  uint8_t directory[RESOURCE_DIRECTORY_SIZE];
  if (!image.OffsetOf(base + offset, sizeof directory, &at) || !image.Read(at, directory, sizeof directory)) {
    *problem = "a resource directory lies outside the file's sections";
    return false;
  }
  const uint32_t count = (uint32_t)U16(directory + 12) + U16(directory + 14);
  if (count > kResourceEntriesRead) {
    *problem = "a resource directory claims " + std::to_string(count) + " entries";
    return false;
  }
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t entry[RESOURCE_ENTRY_SIZE];
    if (!image.Read(at + sizeof directory + (uint64_t)i * RESOURCE_ENTRY_SIZE, entry, sizeof entry)) {
      *problem = "a resource directory is cut off";
      return false;
    }
    const uint32_t name = U32(entry);
    if (id == 0 || ((name & 0x80000000u) == 0 && name == id)) {
      *target = U32(entry + 4);
      return true;
    }
  }
  return false;
}

}  // namespace

PeManifestLevel FindPeManifestLevel(const ReadAt& read, uint64_t fileSize) {
  PeManifestLevel result;
  Image image(read, fileSize);
  uint64_t directoriesAt = 0;
  uint32_t optionalLeft = 0;
  PeExportCheck check = OpenImage(&image, &directoriesAt, &optionalLeft);
  result.verdict = check.verdict;
  result.problem = check.problem;
  if (check.verdict != PeExportCheck::IMAGE) return result;
  uint32_t base = 0, size = 0;
  bool cutOff = false;
  if (!Directory(image, directoriesAt, optionalLeft, 2, &base, &size, &cutOff)) {
    if (cutOff) result.verdict = PeExportCheck::DAMAGED, result.problem = "the data directories are cut off";
    return result;
  }
  // Type RT_MANIFEST, name 1, then the first language: each step a
  // subdirectory (high bit set) but the last, a data entry.
  uint32_t target = 0;
  std::string problem;
  const uint32_t ids[] = {RT_MANIFEST_TYPE, MANIFEST_RESOURCE_ID, 0};
  for (int level = 0; level < 3; ++level) {
    if (!FindResourceEntry(image, base, target & 0x7FFFFFFFu, ids[level], &target, &problem)) break;
    if (((target & 0x80000000u) != 0) != (level < 2)) {
      problem = "the resource tree has an entry at the wrong depth";
      break;
    }
    if (level < 2) continue;
    uint64_t at = 0;
    uint8_t data[RESOURCE_DATA_ENTRY_SIZE];
    if (!image.OffsetOf(base + target, sizeof data, &at) || !image.Read(at, data, sizeof data)) {
      problem = "the manifest's data entry lies outside the file's sections";
      break;
    }
    const uint32_t length = U32(data + 4) < kManifestBytesRead ? U32(data + 4) : kManifestBytesRead;
    std::string text(length, '\0');
    if (!image.OffsetOf(U32(data), length, &at) || !image.Read(at, &text[0], length)) {
      problem = "the manifest resource lies outside the file's sections";
      break;
    }
    result.hasManifest = true;
    // <requestedExecutionLevel level="asInvoker" .../>, either quote.
    size_t element = text.find("requestedExecutionLevel");
    size_t attribute = element == std::string::npos ? element : text.find("level", element + 23);
    size_t equals = attribute == std::string::npos ? attribute : text.find_first_not_of(" \t\r\n", attribute + 5);
    if (equals == std::string::npos || text[equals] != '=') break;
    size_t quote = text.find_first_not_of(" \t\r\n", equals + 1);
    if (quote == std::string::npos || (text[quote] != '"' && text[quote] != '\'')) break;
    size_t end = text.find(text[quote], quote + 1);
    if (end != std::string::npos && end - quote - 1 <= 64) result.level = text.substr(quote + 1, end - quote - 1);
  }
  if (!problem.empty()) result.verdict = PeExportCheck::DAMAGED, result.problem = problem;
  return result;
}

PeManifestLevel FindPeManifestLevel(const pack::Bytes& image) {
  ReadAt read = [&image](uint64_t offset, void* out, size_t size) {
    if (offset > image.size() || size > image.size() - offset) return false;
    if (size) memcpy(out, image.data() + offset, size);
    return true;
  };
  return FindPeManifestLevel(read, image.size());
}

}  // namespace packtool
