// The shipped message tables and a manifest's "language".
#include <gtest/gtest.h>

#include "languages.h"
#include "manifest.h"
#include "pack_test_util.h"

namespace {

using packtest::ScratchTest;

class LanguageTest : public ScratchTest {
 protected:
  std::vector<std::u16string> Messages(const std::string& json, std::string* error) {
    packtool::Manifest manifest;
    error->clear();
    if (!packtool::ParseManifest(json, dir_, &manifest, error)) return {};
    return manifest.payload.messages;
  }
};

TEST_F(LanguageTest, EveryShippedTableIsCompleteAndPassesVerify) {
  ASSERT_EQ(packtool::ShippedLanguageNames(), "en, de, fr, es");
  for (size_t i = 0; i < packtool::kShippedLanguageCount; ++i) {
    const std::string name = packtool::kShippedLanguages[i].name;
    const std::string file = std::string(RETRAX_LANGUAGES_DIR) + "/" + name + ".json";
    // The tool carries exactly the file that is installed beside it.
    EXPECT_EQ(packtest::ReadText(file), packtool::kShippedLanguages[i].fragment) << name;
    EXPECT_EQ(Pack({"verify", file}), 0) << out_;
    EXPECT_NE(out_.find("0 errors, 0 warnings"), std::string::npos) << out_;

    std::string error;
    std::vector<std::u16string> messages = Messages("{\"language\": \"" + name + "\"}", &error);
    ASSERT_EQ(messages.size(), 16u) << name << ": " << error;
    for (size_t index = 0; index < messages.size(); ++index)
      EXPECT_FALSE(messages[index].empty()) << name << " message " << index;
  }
}

TEST_F(LanguageTest, MessagesReplaceSingleIndicesOfAKnownLanguage) {
  std::string error;
  std::vector<std::u16string> german =
      Messages(R"({"messages": {"0": "Beispiel entfernen", "2": ""}, "language": "de"})", &error);
  ASSERT_EQ(german.size(), 16u) << error;
  EXPECT_EQ(german[0], u"Beispiel entfernen");
  EXPECT_EQ(german[1],
            u"Möchten Sie diese Anwendung und alle ihre Komponenten von diesem Computer entfernen?");
  EXPECT_EQ(german[2], u"") << "an explicit empty text keeps the closing box away";

  // The array form sets its leading indices only.
  std::vector<std::u16string> french = Messages(R"({"language": "FR", "messages": ["Ex"]})", &error);
  ASSERT_EQ(french.size(), 16u) << error;
  EXPECT_EQ(french[0], u"Ex");
  EXPECT_EQ(french[3], u"&Oui");

  // A replaced message is checked like any other.
  packtest::WriteText(Path("bad.json"), R"({"language": "es", "messages": {"9": "sin ruta"}})");
  EXPECT_EQ(Pack({"verify", Path("bad.json")}), 1);
  EXPECT_NE(out_.find("bad.json: messages[9]: error: holds 0 \"%s\""), std::string::npos) << out_;

  // An unknown language names the field.
  packtest::WriteText(Path("app.json"), R"({"language": "it"})");
  EXPECT_EQ(Pack({"build", Path("app.json"), "--payload-only", "-o", Path("p.bin")}), 1);
  EXPECT_NE(err_.find("app.json: language: unknown language \"it\" (known: en, de, fr, es)"),
            std::string::npos)
      << err_;
  EXPECT_FALSE(packtool::FileExists(Path("p.bin")));

  Messages(R"({"language": ["de"]})", &error);
  EXPECT_EQ(error, "language: must be the name of a language (en, de, fr, es)");
}

}  // namespace
