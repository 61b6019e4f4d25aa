// Lists of 100,000 entries, in one chunk and in 100,000 chunks of one
// record: read and walked to their end, taking exactly the few entries that
// exist among them (one in every 10,000). Under Wine each file entry costs
// 0.2-0.5 ms in the removal phases; a run is held a hang only after two
// minutes.
#include "removal_scenario.h"

namespace {

class HostileLists : public hostile::HostileScenario {};

TEST_F(HostileLists, HundredThousandFileChunksAndRegistryEntries) {
  pack::Payload base = hostile::BasePayload();
  base.files.clear();
  base.registry.clear();
  const std::u16string key = harness::U16(sandbox.RegistryKey());
  hostile::Bytes chunks;
  for (uint32_t i = 0; i < 100000; ++i) {
    const std::u16string n = harness::U16(std::to_wstring(i));
    pack::AppendChunk(&chunks, CHUNK_FILES, pack::EncodeFileList({{u".\\files", u"f" + n + u".txt", 0}}));
    base.registry.push_back({harness::kPayloadHkcu, key + u"\\k" + n});
  }
  for (uint32_t i = 0; i < 100000; i += 10000) {
    ASSERT_TRUE(sandbox.InstallFile(L"App\\files\\f" + std::to_wstring(i) + L".txt", 0));
    ASSERT_TRUE(sandbox.MakeRegistryKey(HKEY_CURRENT_USER, harness::kDefaultView, L"k" + std::to_wstring(i)));
  }
  hostile::Bytes bytes = pack::EncodePayload(base);
  bytes.insert(bytes.end() - 12, chunks.begin(), chunks.end());  // before the end chunk
  const DWORD start = GetTickCount();
  EXPECT_TRUE(Completed(Run(bytes, 120000)));
  RecordProperty("run_ms", (int)(GetTickCount() - start));
  EXPECT_TRUE(MarkersInPlace());
  EXPECT_FALSE(sandbox.Exists(L"App\\files")) << "emptied, so pruned";
  for (uint32_t i = 0; i < 100000; i += 10000)
    EXPECT_FALSE(sandbox.RegistryKeyExists(HKEY_CURRENT_USER, harness::kDefaultView, L"k" + std::to_wstring(i))) << i;
}

}  // namespace
