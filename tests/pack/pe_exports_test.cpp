// Library images that are cut short or lie about their own layout: never a
// read past the file. (Which images are self-registering, the scan shows.)
#include "pe_exports.h"

#include <gtest/gtest.h>

#include "pe_test_image.h"

namespace {

using packtool::PeExportCheck;

// The reader must check every offset before asking for it: a request past
// the end of the image fails the test.
PeExportCheck CheckWatched(const pack::Bytes& image, bool* outOfRange, std::string* level = nullptr) {
  packtool::ReadAt read = [&](uint64_t offset, void* out, size_t size) {
    if (offset > image.size() || size > image.size() - offset) return !(*outOfRange = true);
    if (size) memcpy(out, image.data() + offset, size);
    return true;
  };
  packtool::PeManifestLevel found = packtool::FindPeManifestLevel(read, image.size());
  if (level) *level = found.level;
  return packtool::FindPeExport(read, image.size(), "DllRegisterServer");
}

TEST(PeExportsTest, LiesAndTruncationsAreNeverReadsPastTheFile) {
  packtest::PeLayout layout;
  layout.manifest = "<requestedExecutionLevel level = 'asInvoker' uiAccess='false'/>";
  const pack::Bytes good = packtest::MakePeImage(layout);
  std::string level;
  bool outOfRange = false;
  EXPECT_TRUE(CheckWatched(good, &outOfRange, &level).hasExport);
  EXPECT_EQ(level, "asInvoker");
  const uint32_t exports = 0x200;
  const struct { const char* what; uint32_t at, value; } lies[] = {
      {"e_lfanew far beyond the end", 0x3C, 0xFFFFFFF0u},
      {"4 billion export names", exports + 24, 0xFFFFFFFFu},
      {"resources far beyond the sections", 0xC8, 0xFFFFFF00u},
  };
  for (const auto& lie : lies) {
    pack::Bytes image = good;
    pack::WriteU32(&image[lie.at], lie.value);
    outOfRange = false;
    EXPECT_FALSE(CheckWatched(image, &outOfRange, &level).hasExport && !level.empty()) << lie.what;
    EXPECT_FALSE(outOfRange) << lie.what;
  }
  for (size_t length = 0; length < good.size(); ++length) {
    outOfRange = false;
    CheckWatched(pack::Bytes(good.begin(), good.begin() + length), &outOfRange);
    ASSERT_FALSE(outOfRange) << "cut at " << length;
  }
}

}  // namespace
