// Library images that are cut short or lie about their own layout: never a
// read past the file. (Which images are self-registering, the scan shows.)
#include "pe_exports.h"

#include <gtest/gtest.h>

#include "pe_test_image.h"

namespace {

using packtool::PeExportCheck;

// The reader must check every offset before asking for it: a request past
// the end of the image fails the test.
PeExportCheck CheckWatched(const pack::Bytes& image, bool* outOfRange) {
  packtool::ReadAt read = [&](uint64_t offset, void* out, size_t size) {
    if (offset > image.size() || size > image.size() - offset) return !(*outOfRange = true);
    if (size) memcpy(out, image.data() + offset, size);
    return true;
  };
  return packtool::FindPeExport(read, image.size(), "DllRegisterServer");
}

TEST(PeExportsTest, LiesAndTruncationsAreNeverReadsPastTheFile) {
  const pack::Bytes good = packtest::MakePeImage(packtest::PeLayout());
  const uint32_t exports = 0x200;
  const struct { const char* what; uint32_t at, value; } lies[] = {
      {"e_lfanew far beyond the end", 0x3C, 0xFFFFFFF0u},
      {"4 billion export names", exports + 24, 0xFFFFFFFFu},
  };
  for (const auto& lie : lies) {
    pack::Bytes image = good;
    pack::WriteU32(&image[lie.at], lie.value);
    bool outOfRange = false;
    EXPECT_FALSE(CheckWatched(image, &outOfRange).hasExport) << lie.what;
    EXPECT_FALSE(outOfRange) << lie.what;
  }
  for (size_t length = 0; length < good.size(); ++length) {
    bool outOfRange = false;
    CheckWatched(pack::Bytes(good.begin(), good.begin() + length), &outOfRange);
    ASSERT_FALSE(outOfRange) << "cut at " << length;
  }
}

}  // namespace
