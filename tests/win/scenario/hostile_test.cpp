// Hostile payloads and bounds in whole silent runs, each of which ends with
// 0, or with -1 after the read-error report, and loses no marker: the
// damaged and stretched payloads of tests/hostile, payloadOffset aimed
// anywhere, lists of 100,000 entries, the program's own path at the
// 260-character bound of its buffers, and a folder tree far deeper than any
// path buffer reaches. (Under Wine, unlike Windows, such paths can be made
// without the \\?\ form.)
#include "removal_scenario.h"

namespace {

class HostileContainer : public hostile::HostileScenario {};
typedef HostileContainer HostileLists;
typedef HostileContainer HostilePaths;

TEST_F(HostileContainer, EveryHostilePayloadEndsInItsOutcome) {
  std::vector<hostile::Case> cases = hostile::ContainerCases();
  for (hostile::Case& c : hostile::MessageCases()) cases.push_back(std::move(c));
  for (const hostile::Case& c : cases) {
    SCOPED_TRACE(c.name + ": " + c.why);
    ASSERT_TRUE(InstallApp());
    ExpectOutcome(Run(c.payload), c.outcome == hostile::Outcome::kCompletes, &c);
  }
}

// payloadOffset where the build put it, at the program's length, finds the
// payload. Aimed past the file's end it finds none: a report without
// caption or text (the messages are not read yet), even in a quiet run but
// not under /N. Aimed into the program itself, it reads the program's own
// bytes as chunks; whatever the walk makes of them, it ends cleanly.
TEST_F(HostileContainer, APayloadOffsetFindsThePayloadOrEndsCleanly) {
  const harness::Bytes& stub = harness::RetraxProgram();
  const long field = pack::FindPayloadOffsetField(stub);  // fails on a second marker too
  ASSERT_GE(field, 0);
  const uint32_t length = (uint32_t)stub.size();
  EXPECT_EQ(pack::ReadU32(&stub[field]), length) << "the build wrote the file's length";
  hostile::Bytes whole;
  std::string error;
  ASSERT_TRUE(pack::AttachPayload(stub, pack::EncodePayload(hostile::BasePayload()), &whole, &error)) << error;
  const uint32_t past = (uint32_t)whole.size() + 100;
  const hostile::Case untitled{"", {}, hostile::Outcome::kDamagedUntitled, "", {u"", false}};
  const std::pair<uint32_t, const wchar_t*> runs[] = {
      {length, L"/S"}, {past, L"/S"}, {past, L"/N /S"}, {0x40, L"/S"}, {(uint32_t)field, L"/S"}, {length - 1, L"/S"}};
  for (const auto& r : runs) {
    SCOPED_TRACE(harness::Narrow(r.second) + " at " + std::to_string(r.first));
    ASSERT_TRUE(InstallApp());
    pack::WriteU32(&whole[field], r.first);
    ASSERT_TRUE(sandbox.WriteFile(L"App\\uninstall.exe", whole));
    const harness::RunResult run = harness::RunProgram(sandbox.Path(L"App\\uninstall.exe"), r.second, Options());
    if (r.first == past) ExpectOutcome(run, false, &untitled, r.second[1] == L'N' ? 0 : 1);
    if (r.first != past) ExpectOutcome(run, r.first == length || run.exitCode == 0);
  }
}

// Lists of 100,000 entries, in one chunk and in 100,000 chunks of one
// record: read and walked to their end, taking exactly the few entries that
// exist among them (one in every 10,000). Under Wine each file entry costs
// 0.2-0.5 ms in the removal phases; a run is held a hang only after two
// minutes.
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
  ExpectOutcome(Run(bytes, 120000), true);
  RecordProperty("run_ms", (int)(GetTickCount() - start));
  EXPECT_FALSE(sandbox.Exists(L"App\\files")) << "emptied, so pruned";
  for (uint32_t i = 0; i < 100000; i += 10000)
    EXPECT_FALSE(sandbox.RegistryKeyExists(HKEY_CURRENT_USER, harness::kDefaultView, L"k" + std::to_wstring(i))) << i;
}

// At 259 characters the program reads its payload; at 260 the system hands
// its path back cut, so it reads nothing and ends with -1, silently.
TEST_F(HostilePaths, AnUninstallerPathOf260CharactersReadsNothing) {
  pack::Payload payload = hostile::BasePayload();
  payload.files = {{u".", u"app.exe", 0}};
  for (size_t length : {259, 260}) {
    SCOPED_TRACE(length);
    std::wstring folder = L"long-";
    folder.resize(length - sandbox.root().size() - 1 - 14, L'_');  // root\folder\uninstall.exe
    ASSERT_TRUE(sandbox.InstallFile(folder + L"\\app.exe", 0));
    program = sandbox.WriteUninstaller(folder + L"\\uninstall.exe", payload);
    ASSERT_EQ(program.size(), length);
    harness::RunOptions options = Options();
    options.folder = sandbox.Path(folder);
    // Wine starts no program by a full path of 260 characters or more, but
    // does by its bare name from the folder that holds it.
    wchar_t here[MAX_PATH];
    ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, here), 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(options.folder.c_str()));
    const harness::RunResult run = harness::RunProgram(L"uninstall.exe", L"/S", options);
    SetCurrentDirectoryW(here);
    ExpectOutcome(run, length == 259, nullptr, 0);
    EXPECT_EQ(sandbox.Exists(folder + L"\\app.exe"), length != 259);
  }
}

// 200 levels of App\deep\d\...: the walk takes what a 259-character path
// can name and leaves the rest, with every folder above it.
TEST_F(HostilePaths, ATree200LevelsDeepGoesOrStaysWithoutCrashOrHang) {
  std::wstring level = L"App\\deep";
  std::vector<std::wstring> levels;
  for (int depth = 0; depth < 200; ++depth) {
    levels.push_back(level += L"\\d");
    ASSERT_TRUE(sandbox.InstallFile(level + L"\\f.tmp", 0)) << depth;
  }
  ASSERT_TRUE(sandbox.InstallFile(L"App\\beside.tmp", 0));
  pack::Payload payload = hostile::BasePayload();
  payload.folderTrees = {u"deep\\*.tmp", u"#InstallDir#\\deep\\d\\*.*"};
  ExpectOutcome(Run(pack::EncodePayload(payload)), true);
  for (size_t i = 0; i < levels.size(); ++i) {
    EXPECT_NE(sandbox.Exists(levels[i] + L"\\f.tmp"), sandbox.Path(levels[i]).size() <= 259) << "level " << i + 1;
    EXPECT_TRUE(sandbox.Exists(levels[i])) << "level " << i + 1;
  }
  EXPECT_TRUE(sandbox.Exists(L"App\\beside.tmp")) << "outside the tree";
}

}  // namespace
