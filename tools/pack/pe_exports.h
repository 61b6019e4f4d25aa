// Looks for a named export in a Windows image (PE32 or PE32+) without
// loading it: the headers, the section table and the export directory are
// read through a bounded reader, and every offset, count and RVA taken from
// the file is checked against the file's length before it is used. A
// damaged or hostile image gives a verdict, never a read past the data.
#pragma once
#include <stdint.h>

#include <functional>
#include <string>

#include "payload/writer.h"

namespace packtool {

// Reads size bytes at offset into out; false when the file holds fewer.
typedef std::function<bool(uint64_t offset, void* out, size_t size)> ReadAt;

struct PeExportCheck {
  enum Verdict {
    NOT_AN_IMAGE,  // no MZ header, or a DOS/16-bit program without a PE header
    DAMAGED,       // MZ and PE signatures, but the headers do not hold together
    IMAGE,         // readable; isDll and hasExport are meaningful
  };
  Verdict verdict = NOT_AN_IMAGE;
  bool isDll = false;      // IMAGE_FILE_DLL in the file header
  uint16_t machine = 0;    // 0x14C x86, 0x8664 x64, ...
  bool hasExport = false;  // the name is in the export name table
  std::string problem;     // for DAMAGED: what does not fit, in words
};

PeExportCheck FindPeExport(const ReadAt& read, uint64_t fileSize, const char* exportName);
PeExportCheck FindPeExport(const pack::Bytes& image, const char* exportName);

// A library that registers itself: a DLL exporting DllRegisterServer.
inline bool IsSelfRegistering(const PeExportCheck& check) {
  return check.verdict == PeExportCheck::IMAGE && check.isDll && check.hasExport;
}

// The execution level a program's manifest (resource RT_MANIFEST, name 1)
// requests: "asInvoker", "requireAdministrator", "highestAvailable", or ""
// when the program carries no manifest or its manifest names no level.
struct PeManifestLevel {
  PeExportCheck::Verdict verdict = PeExportCheck::NOT_AN_IMAGE;
  bool hasManifest = false;
  std::string level;
  std::string problem;  // for DAMAGED
};
PeManifestLevel FindPeManifestLevel(const ReadAt& read, uint64_t fileSize);
PeManifestLevel FindPeManifestLevel(const pack::Bytes& image);

}  // namespace packtool
