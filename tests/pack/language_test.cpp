// The shipped message tables and a manifest's "language".
#include <gtest/gtest.h>

#include "languages.h"
#include "manifest.h"
#include "pack_test_util.h"

namespace {

class LanguageTest : public packtest::ScratchTest {
 protected:
  std::vector<std::u16string> Messages(const std::string& json, std::string* error) {
    packtool::Manifest manifest;
    return packtool::ParseManifest(json, dir_, &manifest, error) ? manifest.payload.messages
                                                                  : std::vector<std::u16string>();
  }
};

TEST_F(LanguageTest, EveryShippedTableIsTheInstalledFileCompleteAndClean) {
  for (size_t i = 0; i < packtool::kShippedLanguageCount; ++i) {
    const std::string name = packtool::kShippedLanguages[i].name;
    const std::string file = std::string(RETRAX_LANGUAGES_DIR) + "/" + name + ".json";
    EXPECT_EQ(packtest::ReadText(file), packtool::kShippedLanguages[i].fragment) << name;
    EXPECT_EQ(Pack({"verify", file}), 0) << out_;
    EXPECT_TRUE(Said(out_, "0 errors, 0 warnings")) << out_;
    std::string error;
    std::vector<std::u16string> messages = Messages("{\"language\": \"" + name + "\"}", &error);
    ASSERT_EQ(messages.size(), 16u) << name << ": " << error;
    for (const std::u16string& message : messages) EXPECT_FALSE(message.empty()) << name;
  }
}

TEST_F(LanguageTest, MessagesReplaceSingleIndicesOfAKnownLanguage) {
  std::string error;
  std::vector<std::u16string> german = Messages(R"({"messages": {"0": "Beispiel", "2": ""}, "language": "de"})", &error);
  ASSERT_EQ(german.size(), 16u) << error;
  EXPECT_EQ(german[0], u"Beispiel");
  EXPECT_EQ(german[1], u"Möchten Sie diese Anwendung und alle ihre Komponenten von diesem Computer entfernen?");
  EXPECT_EQ(german[2], u"") << "an explicit empty text keeps the closing box away";
  Messages(R"({"language": "it"})", &error);
  EXPECT_EQ(error, "language: unknown language \"it\" (known: en, de, fr, es)");
}

}  // namespace
