// The registry phase in this process: which keys reach the system calls,
// where a refused deletion stops a tree, and what the phase hands to the
// bar. Keys live below HKCU\Software\RetraxTests\<test>-<process>.
#include "removal_folders_test_support.h"

namespace {

struct Call {
  std::wstring what;
  std::wstring path;
  bool operator==(const Call& other) const { return what == other.what && path == other.path; }
};
void PrintTo(const Call& call, std::ostream* out) { *out << harness::Narrow(call.what) << " " << harness::Narrow(call.path); }
std::vector<Call> calls;

// Stand-ins that record and touch nothing: a fault of the guard must not
// delete the prefix's own Software key.
LONG WINAPI RecordDeleteKey(HKEY, LPCWSTR path) {
  calls.push_back({L"delete", path});
  return ERROR_SUCCESS;
}
LONG WINAPI RecordOpenKey(HKEY, LPCWSTR path, DWORD, REGSAM, PHKEY) {
  calls.push_back({L"open", path});
  return ERROR_FILE_NOT_FOUND;
}

class RegistryPhase : public PhaseTest {
 protected:
  void SetUp() override {
    PhaseTest::SetUp();
    calls.clear();
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    key_ = L"Software\\RetraxTests\\" + std::wstring(test->name(), test->name() + strlen(test->name())) + L"-" +
           std::to_wstring(GetCurrentProcessId());
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, key_.c_str());
    PhaseTest::TearDown();
  }
  void Make(const std::wstring& relative) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (key_ + L"\\" + relative).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  bool Exists(const std::wstring& relative) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, (key_ + L"\\" + relative).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
      return false;
    RegCloseKey(key);
    return true;
  }
  std::u16string Key(const std::wstring& relative) { return U16(key_ + L"\\" + relative); }
  std::wstring key_;
};

const uint32_t kCurrentUser = 0x80000001u, kLocalMachine = 0x80000002u;

TEST_F(RegistryPhase, TopLevelKeysAreNeverReachedWhateverTheirSpelling) {
  run.isNT = false;  // deletions then go through the table, where they are recorded
  sys.RegDeleteKeyW = RecordDeleteKey;
  sys.RegOpenKeyExW = RecordOpenKey;
  pack::Payload payload;
  for (const char16_t* path : {u"Software", u"SYSTEM", u"software\\", u"System\\\\", u"Software\\\\\\", u"\\",
                               u"\\\\", u"Software\\Wow6432Node", u"SOFTWARE\\WOW6432NODE\\"}) {
    payload.registry.push_back({kCurrentUser, path});
    payload.registry.push_back({kLocalMachine, path});
  }
  for (const char16_t* path : {u"Software64", u"SOFTWARE64\\", u"software64\\\\", u"Software64\\Wow6432Node"})
    payload.registry.push_back({kLocalMachine, path});
  payload.registry.push_back({kCurrentUser, u"Software64"});          // a key of that name
  payload.registry.push_back({kLocalMachine, u"Software64\\Vendor"});  // only shortened on this family
  payload.registry.push_back({kLocalMachine, u"Software64Vendor"});
  payload.registry.push_back({kCurrentUser, u"Software\\\\Value"});  // a value of Software, not the key
  Load(payload);
  RemoveRegistryEntries();
  const std::vector<Call> expected = {
      {L"delete", L"Software64"},
      {L"delete", L"Software\\Vendor"},
      {L"delete", L"SoftwareVendor"},
      {L"open", L"Software"},
  };
  EXPECT_EQ(calls, expected);
}

// Wine 8 grants DELETE whatever a key's DACL says, so the refusal comes from
// a stand-in for RegDeleteKeyExW.
LONG WINAPI RefuseB1(HKEY parent, LPCWSTR subkey, REGSAM view, DWORD) {
  calls.push_back({L"delete", subkey});
  if (_wcsicmp(subkey, L"B1") == 0) return ERROR_ACCESS_DENIED;
  return RegDeleteKeyExW(parent, subkey, view, 0);
}

TEST_F(RegistryPhase, ARefusedSubkeyStopsItsTreeAndKeepsEverythingAboveIt) {
  Make(L"Tree\\A\\A1");
  Make(L"Tree\\B\\B1");
  Make(L"Tree\\C");
  const std::wstring tree = key_ + L"\\Tree";
  EXPECT_EQ(DeleteKeyRecursive(HKEY_CURRENT_USER, tree.c_str(), 0, RefuseB1), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(Exists(L"Tree\\A"));
  EXPECT_TRUE(Exists(L"Tree\\B\\B1"));
  EXPECT_TRUE(Exists(L"Tree\\C")) << "nothing after the refusal is tried";
  const std::vector<Call> expected = {{L"delete", L"A1"}, {L"delete", L"A"}, {L"delete", L"B1"}};
  EXPECT_EQ(calls, expected);
  EXPECT_EQ(DeleteKeyRecursive(HKEY_CURRENT_USER, L"", 0, RefuseB1), ERROR_BADKEY) << "the root itself";
  EXPECT_EQ(DeleteKeyRecursive(HKEY_CURRENT_USER, (tree + L"\\none").c_str(), 0, nullptr), ERROR_FILE_NOT_FOUND);
}

// F = 1, S = 1, R = 4: total 7, registry entries at F + S + i; a value
// entry sends nothing, a skipped top-level key its update as usual.
TEST_F(RegistryPhase, ValueEntriesLeaveTheBarToTheNextEntry) {
  Make(L"K1");
  Make(L"K2");
  pack::Payload payload;
  payload.files = {{u".", u"a", 0}};
  payload.shortcuts = {{0, u"", u"", u""}};
  payload.registry = {{kCurrentUser, Key(L"K1")},
                      {kCurrentUser, Key(L"K2\\\\v")},
                      {kCurrentUser, Key(L"K2")},
                      {kCurrentUser, u"Software"}};
  Load(payload);
  RecordBar();
  RemoveRegistryEntries();
  EXPECT_EQ(BarValues(), std::vector<uint32_t>({28, 57, 71}));
  EXPECT_FALSE(Exists(L"K2"));
}

}  // namespace
