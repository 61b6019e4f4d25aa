// The extension host with the test extension library (tests/win/extension),
// loaded in this process from payload data read as the program reads it.
// Whole runs (ExtensionRun, FileEntries, RegistryRemoval) show the calls around a
// run, the callbacks, vetoes and rewrites; these pin what decides whether
// and from where a library is loaded, the defaults, and the callbacks' bounds.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "driver/run_state.h"
#include "harness/harness.h"
#include "payload/extension_host.h"
#include "payload/memory.h"
#include "platform_test_support.h"

namespace {

using harness::Bytes;
typedef std::vector<std::string> Lines;

Bytes Embedded(const wchar_t* name) {
  Bytes bytes;
  harness::LoadEmbeddedFile(name, &bytes);
  return bytes;
}
const Bytes kLibrary = Embedded(L"RETRAX_TEST_EXTENSION_DLL");

class ExtensionHost : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = run;
    run.installDir = installDir_;
    live_ = MemLiveBlocks();
    Set(L"RXTEST_EXT_LOG", sandbox.Path(L"calls.log"));
  }
  void TearDown() override {
    Release();
    extensionImageWritten = nullptr;
    for (const std::wstring& name : variables_) SetEnvironmentVariableW(name.c_str(), nullptr);
    run = saved_;
    EXPECT_EQ(MemLiveBlocks(), live_);
  }
  void Set(const std::wstring& name, const std::wstring& value) {
    SetEnvironmentVariableW(name.c_str(), value.c_str());
    variables_.push_back(name);
  }
  // Reads a payload with this extension blob (none when empty) and loads it.
  void Load(const Bytes& content, bool corrupt = false) {
    Bytes bytes, blob = pack::EncodeExtensionBlob(content);
    pack::AppendChunk(&bytes, CHUNK_MESSAGES, pack::EncodeMessages({{u"Title", u"Confirm", u"Done %s"}}));
    if (corrupt) blob[4] ^= 1;
    if (!content.empty()) pack::AppendChunk(&bytes, CHUNK_EXTENSION, blob);
    pack::AppendEnd(&bytes);
    MemorySource memory = {bytes.data(), bytes.size(), 0};
    PayloadSource source = MakeMemorySource(&memory);
    ASSERT_EQ(ReadPayloadChunks(&source, &uninstallData), PAYLOAD_OK);
    LoadExtensionLibrary();
  }
  void Release() {
    UnloadExtensionLibrary();
    ReleasePayloadBlocks(&uninstallData);
  }
  Bytes PathTo(const wchar_t* resource, const std::wstring& name) {
    EXPECT_TRUE(sandbox.WriteFile(name, Embedded(resource)));
    const std::wstring path = sandbox.Path(name);
    return pack::ExtensionPathContent(std::u16string(path.begin(), path.end()));
  }
  Lines Log() {
    Lines lines;
    std::ifstream in(harness::Narrow(sandbox.Path(L"calls.log")));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  harness::Sandbox sandbox;
  ScratchFolder temp;  // TMP and TEMP

 private:
  RunState saved_;
  wchar_t installDir_[RX_MAX_PATH] = L"C:\\App\\";
  long live_ = 0;
  std::vector<std::wstring> variables_;
};

TEST_F(ExtensionHost, WithoutALibraryOrOneOfItsEntryPointsEachCallGivesItsDefault) {
  for (const Bytes& content : {Bytes(), pack::ExtensionPathContent(u"C:\\none.dll")}) {
    Load(content);
    EXPECT_FALSE(IsExtensionLoaded());
    for (int ordinal = EXT_LOADED; ordinal <= EXT_AFTER_REMOVAL; ++ordinal)
      EXPECT_EQ(CallExtension(ordinal, nullptr, 7), 7);
    Release();
  }
  Load(PathTo(L"RETRAX_TEST_EXTENSION_DLL", L"lib\\ext.dll"), true);
  EXPECT_EQ(uninstallData.extensionBlob, nullptr) << "a damaged blob";
  EXPECT_FALSE(IsExtensionLoaded());
  EXPECT_TRUE(Log().empty());
  Release();

  // A library with the per-file entry point alone.
  Set(L"RXTEST_EXT_VETO_FILE", L"C:\\App\\keep.txt");
  wchar_t path[RX_MAX_PATH] = L"C:\\App\\keep.txt";
  ExtensionFileInfo file = {path, RX_MAX_PATH};
  ExtensionRegistryInfo key = {0x80000002u, L"software\\keep"};
  Load(Embedded(L"RETRAX_TEST_EXTENSION_FILE_ONLY_DLL"));
  ASSERT_TRUE(IsExtensionLoaded());
  EXPECT_EQ(CallExtension(EXT_FILE, &file, 1), 0) << "the library's own answer";
  EXPECT_EQ(CallExtension(EXT_REGISTRY_ENTRY, &key, 1), 1);
  EXPECT_EQ(CallExtension(EXT_BEFORE_REMOVAL, nullptr, 0), 0);
}

TEST_F(ExtensionHost, ContentOf260BytesIsAPathAnd261AnImageWrittenToAFreeNumber) {
  Bytes content = PathTo(L"RETRAX_TEST_EXTENSION_DLL", L"lib\\ext.dll");
  content.resize(260, 0);
  Load(content);
  EXPECT_TRUE(IsExtensionLoaded());
  Release();
  EXPECT_TRUE(sandbox.Exists(L"lib\\ext.dll")) << "the installer's library stays";
  EXPECT_EQ(temp.CountEntries(), 0);

  content.resize(261, 0);  // an image, if a poor one: written, not loaded, removed at the end
  Load(content);
  EXPECT_FALSE(IsExtensionLoaded());
  EXPECT_TRUE(harness::FileExists(temp.Child(L"tmp1.tmp")));
  Release();
  EXPECT_EQ(temp.CountEntries(), 0);

  temp.MakeFile(L"tmp1.tmp", "theirs");
  temp.MakeFile(L"tmp2.tmp", "theirs");
  Load(kLibrary);
  ASSERT_TRUE(IsExtensionLoaded());
  const std::wstring image = temp.Child(L"tmp3.tmp");
  EXPECT_EQ(CreateFileW(image.c_str(), GENERIC_WRITE, 7, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  Release();
  EXPECT_FALSE(harness::FileExists(image));
  EXPECT_EQ(temp.CountEntries(), 2);
  EXPECT_EQ(Log(), (Lines{"51 null", "52 null", "51 null", "52 null"}));
}

// Another program swaps the file between its writing and the load: the
// comparison made under a read-only hold refuses it.
TEST_F(ExtensionHost, AnImageSwappedBeforeTheLoadIsRefused) {
  extensionImageWritten = [](const wchar_t* image) {
    harness::WriteWholeFile(image, Embedded(L"RETRAX_TEST_EXTENSION_FILE_ONLY_DLL"));
  };
  Load(kLibrary);
  EXPECT_FALSE(IsExtensionLoaded());
}

TEST_F(ExtensionHost, ALibraryNamedByPathFindsItsNeighboursAnImageNotThoseInTheTemporaryFolder) {
  PathTo(L"RETRAX_TEST_EXTENSION_HELPER_DLL", L"lib\\retrax_test_extension_helper.dll");
  Load(PathTo(L"RETRAX_TEST_EXTENSION_DEPENDENT_DLL", L"lib\\dependent.dll"));
  EXPECT_TRUE(IsExtensionLoaded());
  Release();
  harness::WriteWholeFile(temp.Child(L"retrax_test_extension_helper.dll"), Embedded(L"RETRAX_TEST_EXTENSION_HELPER_DLL"));
  Load(Embedded(L"RETRAX_TEST_EXTENSION_DEPENDENT_DLL"));
  EXPECT_FALSE(IsExtensionLoaded());
  EXPECT_EQ(Log(), (Lines{"helper 4242", "51 null", "52 null"}));
}

// Called from here as a library of another compiler calls them: one pointer
// to a table of thiscall slots.
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
