// The extension host with the test libraries (tests/win/extension) in this
// process. Whole runs show the calls, vetoes and rewrites of an image; these
// pin whether and from where a library is loaded, and the callbacks' bounds.
#include "payload/extension_host.h"
#include "unit_test_support.h"

namespace {

using harness::Bytes;

Bytes Embedded(const wchar_t* name) {
  Bytes bytes;
  harness::LoadEmbeddedFile(name, &bytes);
  return bytes;
}

class ExtensionHost : public RunTest {
 protected:
  void SetUp() override {
    RunTest::SetUp();
    wcscpy(run.installDir, L"C:\\App\\");
    environment.Set(L"RXTEST_EXT_LOG", scratch.Path(L"calls.log"));
  }
  void TearDown() override {
    extensionImageWritten = nullptr;
    RunTest::TearDown();
  }
  // Reads a payload with this extension content (none when empty) and loads it.
  void Load(const Bytes& content) {
    pack::Payload payload;
    payload.messages = {u"Title"};
    payload.hasExtension = !content.empty();
    payload.extensionContent = content;
    RunTest::Load(payload);
    LoadExtensionLibrary();
  }
  // The content that names the library `resource`, written to `name`.
  Bytes PathTo(const wchar_t* resource, const std::wstring& name) {
    EXPECT_TRUE(scratch.WriteFile(name, Embedded(resource)));
    return pack::ExtensionPathContent(harness::U16(scratch.Path(name)));
  }
  ScratchFolder scratch;
  harness::ScopedEnvironment environment;
};

// An image is written to a numbered temporary file, checked before the
// load, and removed with the library.
TEST_F(ExtensionHost, ContentOf260BytesIsAPathAnd261AnImageWrittenAndChecked) {
  Bytes content = PathTo(L"RETRAX_TEST_EXTENSION_DLL", L"lib\\ext.dll");
  content.resize(260, 0);
  Load(content);
  EXPECT_TRUE(IsExtensionLoaded());
  ReleaseUninstallData();
  EXPECT_TRUE(scratch.Exists(L"lib\\ext.dll")) << "the installer's library stays";

  content.resize(261, 0);  // an image, if a poor one: written, not loaded
  Load(content);
  EXPECT_FALSE(IsExtensionLoaded());
  EXPECT_TRUE(harness::FileExists(scratch.Temp(L"tmp1.tmp")));
  ReleaseUninstallData();
  EXPECT_FALSE(harness::FileExists(scratch.Temp(L"tmp1.tmp")));

  // Swapped between its writing and the load: the comparison under a
  // read-only hold refuses it.
  extensionImageWritten = [](const wchar_t* image) {
    harness::WriteWholeFile(image, Embedded(L"RETRAX_TEST_EXTENSION_FILE_ONLY_DLL"));
  };
  Load(Embedded(L"RETRAX_TEST_EXTENSION_DLL"));
  EXPECT_FALSE(IsExtensionLoaded());
}

TEST_F(ExtensionHost, ALibraryNamedByPathFindsItsNeighboursAnImageNotThoseInTheTemporaryFolder) {
  PathTo(L"RETRAX_TEST_EXTENSION_HELPER_DLL", L"lib\\retrax_test_extension_helper.dll");
  Load(PathTo(L"RETRAX_TEST_EXTENSION_DEPENDENT_DLL", L"lib\\dependent.dll"));
  EXPECT_TRUE(IsExtensionLoaded());
  ReleaseUninstallData();
  PathTo(L"RETRAX_TEST_EXTENSION_HELPER_DLL", L"temp\\retrax_test_extension_helper.dll");
  Load(Embedded(L"RETRAX_TEST_EXTENSION_DEPENDENT_DLL"));
  EXPECT_FALSE(IsExtensionLoaded());
  const std::vector<std::string> calls = {"helper 4242", "51 null", "52 null"};
  EXPECT_EQ(harness::ReadLines(scratch.Path(L"calls.log")), calls);
}

// Called as another compiler's library calls them: thiscall slots. A
// library without an entry point is not asked: the default answers.
TEST_F(ExtensionHost, CallbacksStayInTheCallersBufferAndAMissingEntryPointGivesTheDefault) {
  typedef int(__attribute__((thiscall)) * Expand)(void*, wchar_t*, const wchar_t*, int);
  typedef const wchar_t*(__attribute__((thiscall)) * Message)(void*, int, int);
  static_assert(sizeof(ExtensionCallbacks) == sizeof(void*), "one pointer, nothing else");
  Load(Embedded(L"RETRAX_TEST_EXTENSION_FILE_ONLY_DLL"));
  ASSERT_TRUE(IsExtensionLoaded());
  EXPECT_EQ(CallExtension(EXT_REGISTRY_ENTRY, nullptr, 7), 7);
  void* object = &extensionCallbacks;
  void* const* table = *static_cast<void* const* const*>(object);
  wchar_t out[8] = L"???????";
  EXPECT_EQ(((Expand)table[0])(object, out, L"#InstallDir#\\x", 8), 8);
  EXPECT_EQ(std::wstring(out, 8), L"C:\\App\\x") << "full, so unterminated";
  EXPECT_EQ(((Expand)table[0])(object, out, L"#InstallDir#", -1), 6) << "a negative count writes nothing";
  EXPECT_EQ(std::wstring(out, 8), L"C:\\App\\x");
  EXPECT_STREQ(((Message)table[1])(object, 0, 0), L"Title");
  EXPECT_STREQ(((Message)table[1])(object, 0, 9), L"") << "no such message";
}

}  // namespace
