// Lists of 100,000 entries, in one chunk and in 100,000 chunks of one
// record: read and walked to their end, taking exactly the few entries that
// exist among them (one in every 10,000).
//
// Under Wine every folder test of the removal phases costs 0.2-0.5 ms (the
// protected-folder test looks up the long form of the path, which Wine
// does by reading each folder on the way), and the folder-tree, shortcut
// and pruning phases make one for every entry: 100,000 of them take 20-25 s
// on an idle machine. A run is held a hang only after two minutes.
#include "hostile_support.h"

namespace {

const uint32_t kEntries = 100000, kEvery = 10000;

std::u16string Number(uint32_t n) { return harness::U16(std::to_wstring(n)); }

class HostileLists : public hostile::HostileScenario {
 protected:
  void SetUp() override {
    HostileScenario::SetUp();
    base = hostile::BasePayload();
    base.files.clear();
    base.shortcuts.clear();
    base.registry.clear();
    base.folderTrees.clear();
  }

  // Lists kEntries entries of a kind ('f' files, 't' trees, 's' shortcuts,
  // 'k' registry keys) and makes one in kEvery of them.
  void Add(char kind) {
    const std::u16string links = harness::U16(sandbox.Path(L"App\\links"));
    const std::u16string key = harness::U16(sandbox.RegistryKey());
    for (uint32_t i = 0; i < kEntries; ++i) {
      if (kind == 'f') base.files.push_back({u".\\files", u"f" + Number(i) + u".txt", 0});
      if (kind == 't') base.folderTrees.push_back(u"trees\\t" + Number(i) + u"\\*.*");
      if (kind == 's') base.shortcuts.push_back({0, links, u"", u"s" + Number(i) + u".lnk"});
      if (kind == 'k') base.registry.push_back({harness::kPayloadHkcu, key + u"\\k" + Number(i)});
    }
    for (uint32_t i = 0; i < kEntries; i += kEvery) {
      const std::wstring n = std::to_wstring(i);
      if (kind == 'k')
        ASSERT_TRUE(sandbox.MakeRegistryKey(HKEY_CURRENT_USER, harness::kDefaultView, L"k" + n));
      else
        ASSERT_TRUE(Install(Entry(kind, n) + (kind == 't' ? L"\\inside.txt" : L"")));
    }
  }
  static std::wstring Entry(char kind, const std::wstring& n) {
    return kind == 'f' ? L"App\\files\\f" + n + L".txt" : kind == 't' ? L"App\\trees\\t" + n : L"App\\links\\s" + n + L".lnk";
  }

  // Runs bytes silently: it must end with 0 within the limit, leaving
  // none of the entries it listed.
  void RunList(const hostile::Bytes& bytes) {
    const DWORD start = GetTickCount();
    EXPECT_TRUE(harness::ExitedWith(Run(bytes, L"/S", 120000), 0));
    RecordProperty("run_ms", (int)(GetTickCount() - start));
    EXPECT_TRUE(MarkersInPlace());
    for (uint32_t i = 0; i < kEntries; i += kEvery) {
      const std::wstring n = std::to_wstring(i);
      for (char kind : {'f', 't', 's'}) EXPECT_FALSE(sandbox.Exists(Entry(kind, n))) << harness::Narrow(Entry(kind, n));
      EXPECT_FALSE(sandbox.RegistryKeyExists(HKEY_CURRENT_USER, harness::kDefaultView, L"k" + n)) << i;
    }
  }

  pack::Payload base;
};

// The files' folder keeps a file of the user's: pruning tries it again for
// every entry, and it stays.
TEST_F(HostileLists, HundredThousandFilesAndRegistryEntriesInOneChunkEach) {
  ASSERT_NO_FATAL_FAILURE(Add('f'));
  ASSERT_NO_FATAL_FAILURE(Add('k'));
  ASSERT_TRUE(Install(L"App\\files\\unlisted.txt"));
  RunList(pack::EncodePayload(base));
  EXPECT_TRUE(sandbox.Exists(L"App\\files\\unlisted.txt"));
}

// Here the files' folder is emptied: the first entry prunes it, and the
// others find it already gone.
TEST_F(HostileLists, HundredThousandChunksOfOneFileEach) {
  ASSERT_NO_FATAL_FAILURE(Add('f'));
  hostile::Bytes chunks;
  for (const pack::FileRecord& file : base.files) pack::AppendChunk(&chunks, CHUNK_FILES, pack::EncodeFileList({file}));
  base.files.clear();
  hostile::Bytes bytes = pack::EncodePayload(base);
  bytes.insert(bytes.begin() + hostile::ChunkStarts(bytes).back(), chunks.begin(), chunks.end());
  RunList(bytes);
  EXPECT_FALSE(sandbox.Exists(L"App\\files")) << "emptied, so pruned";
}

TEST_F(HostileLists, HundredThousandFolderTrees) {
  ASSERT_NO_FATAL_FAILURE(Add('t'));
  RunList(pack::EncodePayload(base));
}

TEST_F(HostileLists, HundredThousandShortcutsInOneFolder) {
  ASSERT_NO_FATAL_FAILURE(Add('s'));
  RunList(pack::EncodePayload(base));
  EXPECT_FALSE(sandbox.Exists(L"App\\links")) << "emptied, so removed";
}

}  // namespace
