// Finding DllRegisterServer in library images, and surviving images that
// are cut short or lie about their own layout.
#include "pe_exports.h"

#include <gtest/gtest.h>

#include <random>

#include "pe_test_image.h"

namespace {

using packtest::MakePeImage;
using packtest::PeLayout;
using packtool::FindPeExport;
using packtool::PeExportCheck;

const char kExport[] = "DllRegisterServer";

// Reads from image, and notes any request that reaches past its end: the
// reader must check every offset before asking for it.
PeExportCheck CheckWatched(const pack::Bytes& image, bool* outOfRange) {
  packtool::ReadAt read = [&](uint64_t offset, void* out, size_t size) {
    if (offset > image.size() || size > image.size() - offset) {
      *outOfRange = true;
      return false;
    }
    if (size) memcpy(out, image.data() + offset, size);
    return true;
  };
  return FindPeExport(read, image.size(), kExport);
}

TEST(PeExportsTest, OnlyALibraryWithTheWholeNameIsSelfRegistering) {
  PeLayout wide, similar, program, none;
  wide.pe32plus = true;
  similar.exports = {"DllRegister", "DllRegisterServerEx", "DllUnregisterServer"};
  program.dll = false;  // a program is not registered by regsvr32
  none.exports = {};
  const struct { PeLayout layout; uint16_t machine; bool hasExport, selfRegistering; } cases[] = {
      {PeLayout(), 0x14C, true, true}, {wide, 0x8664, true, true}, {similar, 0x14C, false, false},
      {program, 0x14C, true, false},   {none, 0x14C, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    const PeExportCheck check = FindPeExport(MakePeImage(c.layout), kExport);
    EXPECT_EQ(check.verdict, PeExportCheck::IMAGE) << check.problem;
    EXPECT_EQ(check.machine, c.machine);
    EXPECT_EQ(check.hasExport, c.hasExport);
    EXPECT_EQ(packtool::IsSelfRegistering(check), c.selfRegistering);
  }
  // A DOS program: MZ, but no PE header where e_lfanew points.
  pack::Bytes dos(200, 0);
  dos[0] = 'M';
  dos[1] = 'Z';
  dos[0x3C] = 0x80;
  EXPECT_EQ(FindPeExport(dos, kExport).verdict, PeExportCheck::NOT_AN_IMAGE);
  EXPECT_EQ(FindPeExport(pack::Bytes{'M', 'Z'}, kExport).verdict, PeExportCheck::NOT_AN_IMAGE);
}

TEST(PeExportsTest, LiesTruncationsAndRandomDamageAreNeverReadsPastTheFile) {
  const pack::Bytes good = MakePeImage(PeLayout());
  const uint32_t pe = 0x40, optional = pe + 24, section = optional + 224, exports = 0x200;
  const struct { const char* what; uint32_t at, value; int width; } lies[] = {
      {"e_lfanew far beyond the end", 0x3C, 0xFFFFFFF0u, 4},
      {"65535 sections", pe + 6, 0xFFFF, 2},
      {"an optional header that is too short", pe + 20, 8, 2},
      {"an unknown optional header magic", optional, 0x1234, 2},
      {"an export directory at an RVA no section holds", optional + 96, 0x7FFFFFF0u, 4},
      {"4 billion export names", exports + 24, 0xFFFFFFFFu, 4},
      {"a name table beyond its section", exports + 32, 0x1FFF0, 4},
      {"a section whose raw data lies beyond the end", section + 20, 0xFFFFFF00u, 4},
      {"headers that claim the whole address space", optional + 60, 0xFFFFFFFFu, 4},
  };
  for (const auto& lie : lies) {
    pack::Bytes image = good;
    for (int i = 0; i < lie.width; ++i) image[lie.at + i] = (uint8_t)(lie.value >> (8 * i));
    bool outOfRange = false;
    PeExportCheck check = CheckWatched(image, &outOfRange);
    EXPECT_FALSE(outOfRange) << lie.what;
    EXPECT_FALSE(check.hasExport) << lie.what;
    if (check.verdict == PeExportCheck::DAMAGED) EXPECT_FALSE(check.problem.empty()) << lie.what;
  }

  for (bool wide : {false, true}) {
    PeLayout layout;
    layout.pe32plus = wide;
    const pack::Bytes good = MakePeImage(layout);
    for (size_t length = 0; length < good.size(); ++length) {
      pack::Bytes cut(good.begin(), good.begin() + length);
      bool outOfRange = false;
      CheckWatched(cut, &outOfRange);
      ASSERT_FALSE(outOfRange) << "cut at " << length;
    }
    // Damage where the reader looks: the headers, the section table and
    // the export data at the front of the section.
    std::mt19937 random(wide ? 7 : 11);
    for (int round = 0; round < 20000; ++round) {
      pack::Bytes image = good;
      int flips = 1 + (int)(random() % 8);
      for (int i = 0; i < flips; ++i) {
        size_t at = random() % 0x300;
        image[at] = (random() % 4 == 0) ? 0xFF : (uint8_t)random();
      }
      bool outOfRange = false;
      CheckWatched(image, &outOfRange);
      ASSERT_FALSE(outOfRange) << "round " << round;
    }
  }
}

}  // namespace
