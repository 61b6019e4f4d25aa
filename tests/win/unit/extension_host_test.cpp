// The extension host with the test extension libraries (tests/win/extension)
// in this process. Whole runs (ExtensionRun, FileEntries) show the calls,
// vetoes and rewrites; these pin whether and from where a library is loaded,
// the defaults, and the callbacks' bounds.
#include "driver/run_state.h"
#include "payload/extension_host.h"
#include "payload/memory.h"
#include "unit_test_support.h"

namespace {

using harness::Bytes;
typedef std::vector<std::string> Lines;

Bytes Embedded(const wchar_t* name) {
  Bytes bytes;
  harness::LoadEmbeddedFile(name, &bytes);
  return bytes;
}

class ExtensionHost : public ::testing::Test {
 protected:
  void SetUp() override {
    run.installDir = installDir_;
    environment.Set(L"RXTEST_EXT_LOG", scratch.Path(L"calls.log"));
  }
  void TearDown() override {
    Release();
    extensionImageWritten = nullptr;
    run = saved_;
  }
  // Reads a payload with this extension blob (none when empty) and loads it.
  void Load(const Bytes& content, bool damaged = false) {
    Bytes bytes, blob = pack::EncodeExtensionBlob(content);
    pack::AppendChunk(&bytes, CHUNK_MESSAGES, pack::EncodeMessages({{u"Title", u"Confirm", u"Done %s"}}));
    if (damaged) blob[4] ^= 1;
    if (!content.empty()) pack::AppendChunk(&bytes, CHUNK_EXTENSION, blob);
    pack::AppendEnd(&bytes);
    MemorySource memory = {bytes.data(), bytes.size(), 0};
    PayloadSource source = MakeMemorySource(&memory);
    ASSERT_EQ(ReadPayloadChunks(&source, &uninstallData), PAYLOAD_OK);
    LoadExtensionLibrary();
  }
  void Release() { UnloadExtensionLibrary(), ReleasePayloadBlocks(&uninstallData); }
  // The content that names the library `resource`, written to `name`.
  Bytes PathTo(const wchar_t* resource, const std::wstring& name) {
    EXPECT_TRUE(scratch.WriteFile(name, Embedded(resource)));
    return pack::ExtensionPathContent(harness::U16(scratch.Path(name)));
  }
  Lines Log() { return harness::ReadLines(scratch.Path(L"calls.log")); }
  ScratchFolder scratch;
  harness::ScopedEnvironment environment;
  const RunState saved_ = run;
  wchar_t installDir_[RX_MAX_PATH] = L"C:\\App\\";
};

TEST_F(ExtensionHost, ADamagedBlobLoadsNothingAndMissingEntryPointsGiveTheDefault) {
  Load(PathTo(L"RETRAX_TEST_EXTENSION_DLL", L"lib\\ext.dll"), true);
  EXPECT_FALSE(IsExtensionLoaded());
  EXPECT_EQ(CallExtension(EXT_FILE, nullptr, 7), 7);
  Release();

  environment.Set(L"RXTEST_EXT_VETO_FILE", L"C:\\App\\keep.txt");
  wchar_t path[RX_MAX_PATH] = L"C:\\App\\keep.txt";
  ExtensionFileInfo file = {path, RX_MAX_PATH};
  ExtensionRegistryInfo key = {0x80000002u, L"software\\keep"};
  Load(Embedded(L"RETRAX_TEST_EXTENSION_FILE_ONLY_DLL"));
  ASSERT_TRUE(IsExtensionLoaded());
  EXPECT_EQ(CallExtension(EXT_FILE, &file, 1), 0) << "the library's own answer";
  EXPECT_EQ(CallExtension(EXT_REGISTRY_ENTRY, &key, 1), 1);
}

// An image goes to the first free number, is checked before the load, and
// only that file is removed.
TEST_F(ExtensionHost, ContentOf260BytesIsAPathAnd261AnImageWrittenToAFreeNumberAndChecked) {
  Bytes content = PathTo(L"RETRAX_TEST_EXTENSION_DLL", L"lib\\ext.dll");
  content.resize(260, 0);
  Load(content);
  EXPECT_TRUE(IsExtensionLoaded());
  Release();
  EXPECT_TRUE(scratch.Exists(L"lib\\ext.dll")) << "the installer's library stays";

  ASSERT_TRUE(scratch.InstallFile(L"temp\\tmp1.tmp"));
  content.resize(261, 0);  // an image, if a poor one: written, not loaded
  Load(content);
  EXPECT_FALSE(IsExtensionLoaded());
  EXPECT_TRUE(harness::FileExists(scratch.Temp(L"tmp2.tmp")));
  Release();
  Load(Embedded(L"RETRAX_TEST_EXTENSION_DLL"));
  EXPECT_TRUE(IsExtensionLoaded());
  Release();
  EXPECT_FALSE(harness::FileExists(scratch.Temp(L"tmp2.tmp")));
  EXPECT_TRUE(harness::FileExists(scratch.Temp(L"tmp1.tmp")));
  EXPECT_EQ(Log(), (Lines{"51 null", "52 null", "51 null", "52 null"}));

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
  Release();
  PathTo(L"RETRAX_TEST_EXTENSION_HELPER_DLL", L"temp\\retrax_test_extension_helper.dll");
  Load(Embedded(L"RETRAX_TEST_EXTENSION_DEPENDENT_DLL"));
  EXPECT_FALSE(IsExtensionLoaded());
  EXPECT_EQ(Log(), (Lines{"helper 4242", "51 null", "52 null"}));
}

// Called as another compiler's library calls them: thiscall slots.
TEST_F(ExtensionHost, CallbacksStayInTheCallersBuffer) {
  typedef int(__attribute__((thiscall)) * Expand)(void*, wchar_t*, const wchar_t*, int);
  typedef const wchar_t*(__attribute__((thiscall)) * Message)(void*, int, int);
  static_assert(sizeof(ExtensionCallbacks) == sizeof(void*), "one pointer, nothing else");
  Load(Bytes());
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
