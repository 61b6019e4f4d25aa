// Lists of 100,000 entries, in one chunk and in 100,000 chunks of one
// record: read and walked to their end, taking exactly the few entries that
// exist among them.
//
// Under Wine every folder test of the removal phases costs 0.2-0.5 ms (the
// protected-folder test looks up the long form of the path, which Wine
// does by reading each folder on the way), and the folder-tree, shortcut
// and pruning phases make one for every entry: 100,000 of them take 20-25 s
// on an idle machine. A run is held a hang only after kListLimitMs.
#include "hostile_support.h"

namespace {

using hostile::Bytes;
using hostile::HostileScenario;

const uint32_t kEntries = 100000;
// One entry in every 10,000 names something that exists.
const uint32_t kEvery = 10000;
const DWORD kListLimitMs = 120000;

std::u16string Number(uint32_t n) { return harness::U16(std::to_wstring(n)); }

class HostileLists : public HostileScenario {
 protected:
  void SetUp() override {
    HostileScenario::SetUp();
    base = hostile::BasePayload();
    base.files.clear();
    base.shortcuts.clear();
    base.registry.clear();
    base.folderTrees.clear();
  }

  // Runs payload silently: it must end with 0 within the limit.
  void RunList(const Bytes& bytes) {
    const DWORD start = GetTickCount();
    EXPECT_TRUE(harness::ExitedWith(Run(bytes, L"/S", kListLimitMs), 0));
    RecordProperty("run_ms", (int)(GetTickCount() - start));
    EXPECT_TRUE(MarkersInPlace());
  }

  // count entries of App\files\f<i>.txt, one in kEvery installed.
  void AddFiles(uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) base.files.push_back({u".\\files", u"f" + Number(i) + u".txt", 0});
    for (uint32_t i = 0; i < count; i += kEvery) ASSERT_TRUE(Install(L"App\\files\\f" + std::to_wstring(i) + L".txt"));
  }
  // count trees trees\t<i>\*.*, one in kEvery with a file in it.
  void AddTrees(uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) base.folderTrees.push_back(u"trees\\t" + Number(i) + u"\\*.*");
    for (uint32_t i = 0; i < count; i += kEvery)
      ASSERT_TRUE(Install(L"App\\trees\\t" + std::to_wstring(i) + L"\\inside.txt"));
  }
  // count shortcuts App\links\s<i>.lnk, one in kEvery installed.
  void AddShortcuts(uint32_t count) {
    const std::u16string links = harness::U16(sandbox.Path(L"App\\links"));
    for (uint32_t i = 0; i < count; ++i) base.shortcuts.push_back({0, links, u"", u"s" + Number(i) + u".lnk"});
    for (uint32_t i = 0; i < count; i += kEvery) ASSERT_TRUE(Install(L"App\\links\\s" + std::to_wstring(i) + L".lnk"));
  }
  // count keys <sandbox key>\k<i> of HKCU, one in kEvery made.
  void AddKeys(uint32_t count) {
    const std::u16string key = harness::U16(sandbox.RegistryKey());
    for (uint32_t i = 0; i < count; ++i) base.registry.push_back({harness::kPayloadHkcu, key + u"\\k" + Number(i)});
    for (uint32_t i = 0; i < count; i += kEvery)
      ASSERT_TRUE(sandbox.MakeRegistryKey(HKEY_CURRENT_USER, harness::kDefaultView, L"k" + std::to_wstring(i)));
  }

  // What exists of the installed entries: "f0", "t10000", "s0", "k90000", ...
  std::vector<std::string> Left(uint32_t count) const {
    std::vector<std::string> left;
    for (uint32_t i = 0; i < count; i += kEvery) {
      const std::wstring n = std::to_wstring(i);
      if (sandbox.Exists(L"App\\files\\f" + n + L".txt")) left.push_back("f" + std::to_string(i));
      if (sandbox.Exists(L"App\\trees\\t" + n)) left.push_back("t" + std::to_string(i));
      if (sandbox.Exists(L"App\\links\\s" + n + L".lnk")) left.push_back("s" + std::to_string(i));
      if (sandbox.RegistryKeyExists(HKEY_CURRENT_USER, harness::kDefaultView, L"k" + n))
        left.push_back("k" + std::to_string(i));
    }
    return left;
  }

  pack::Payload base;
};

// The files' folder keeps a file of the user's: pruning tries it again for
// every entry, and it stays.
TEST_F(HostileLists, HundredThousandFilesAndRegistryEntriesInOneChunkEach) {
  ASSERT_NO_FATAL_FAILURE(AddFiles(kEntries));
  ASSERT_NO_FATAL_FAILURE(AddKeys(kEntries));
  ASSERT_TRUE(Install(L"App\\files\\unlisted.txt"));
  RunList(pack::EncodePayload(base));
  EXPECT_EQ(Left(kEntries), std::vector<std::string>{});
  EXPECT_TRUE(sandbox.Exists(L"App\\files\\unlisted.txt"));
}

// Here the files' folder is emptied: the first entry prunes it, and the
// others find it already gone.
TEST_F(HostileLists, HundredThousandChunksOfOneFileEach) {
  ASSERT_NO_FATAL_FAILURE(AddFiles(kEntries));
  const std::vector<pack::FileRecord> files = base.files;
  base.files.clear();
  Bytes bytes = pack::EncodePayload(base);
  Bytes chunks;
  for (const pack::FileRecord& file : files) pack::AppendChunk(&chunks, CHUNK_FILES, pack::EncodeFileList({file}));
  bytes.insert(bytes.begin() + hostile::ChunkStarts(bytes).back(), chunks.begin(), chunks.end());
  RunList(bytes);
  EXPECT_EQ(Left(kEntries), std::vector<std::string>{});
  EXPECT_FALSE(sandbox.Exists(L"App\\files")) << "emptied, so pruned";
}

TEST_F(HostileLists, HundredThousandFolderTrees) {
  ASSERT_NO_FATAL_FAILURE(AddTrees(kEntries));
  RunList(pack::EncodePayload(base));
  EXPECT_EQ(Left(kEntries), std::vector<std::string>{});
}

TEST_F(HostileLists, HundredThousandShortcutsInOneFolder) {
  ASSERT_NO_FATAL_FAILURE(AddShortcuts(kEntries));
  RunList(pack::EncodePayload(base));
  EXPECT_EQ(Left(kEntries), std::vector<std::string>{});
  EXPECT_FALSE(sandbox.Exists(L"App\\links")) << "emptied, so removed";
}

}  // namespace
