// The shipped message tables and a manifest's "language".
#include <gtest/gtest.h>

#include "languages.h"
#include "manifest.h"
#include "pack_test_util.h"

namespace {

class LanguageTest : public packtest::ScratchTest {};

TEST_F(LanguageTest, ShippedTablesAreCompleteCleanAndReplaceableOneIndexAtATime) {
  packtool::Manifest manifest;
  std::string error;
  for (size_t i = 0; i < packtool::kShippedLanguageCount; ++i) {
    const std::string name = packtool::kShippedLanguages[i].name;
    const std::string file = std::string(RETRAX_LANGUAGES_DIR) + "/" + name + ".json";
    EXPECT_EQ(packtest::ReadText(file), packtool::kShippedLanguages[i].fragment) << "the installed file, " << name;
    EXPECT_EQ(Pack({"verify", file}), 0) << out_;
    EXPECT_TRUE(Said(out_, "0 errors, 0 warnings")) << out_;
    ASSERT_TRUE(packtool::ParseManifest("{\"language\": \"" + name + "\"}", dir_, &manifest, &error)) << error;
    ASSERT_EQ(manifest.payload.messages.size(), 16u) << name;
    for (const std::u16string& message : manifest.payload.messages) EXPECT_FALSE(message.empty()) << name;
    // Windows labels Yes/No and Retry/Cancel in its own language: no question names a button.
    for (const char* button : {"Nein", "Wiederholen", "Non\u00a0", "R\u00e9essayer", "\u00abNo\u00bb", "Reintentar"})
      for (size_t index : {10, 15}) EXPECT_FALSE(Said(pack::ToUtf8(manifest.payload.messages[index]), button)) << name;
  }
  ASSERT_TRUE(packtool::ParseManifest(R"({"messages": {"2": ""}, "language": "de"})", dir_, &manifest, &error));
  EXPECT_EQ(manifest.payload.messages[1].substr(0, 12), u"Möchten Sie ");
  EXPECT_EQ(manifest.payload.messages[2], u"") << "an explicit empty text keeps the closing box away";
  EXPECT_FALSE(packtool::ParseManifest(R"({"language": "it"})", dir_, &manifest, &error));
  EXPECT_EQ(error, "language: unknown language \"it\" (known: en, de, fr, es)");
}

}  // namespace
