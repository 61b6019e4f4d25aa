// The registry phase in this process: which keys reach the system calls,
// and where a refused deletion stops a tree.
#include "removal_folders_test_support.h"

namespace {

std::vector<std::wstring> calls;  // "delete <path>" or "open <path>"

// Stand-ins that record and touch nothing: a fault of the guard must not
// delete the prefix's own Software key.
LONG WINAPI RecordDeleteKey(HKEY, LPCWSTR path) {
  calls.push_back(L"delete " + std::wstring(path));
  return ERROR_SUCCESS;
}
LONG WINAPI RecordOpenKey(HKEY, LPCWSTR path, DWORD, REGSAM, PHKEY) {
  calls.push_back(L"open " + std::wstring(path));
  return ERROR_FILE_NOT_FOUND;
}

class RegistryPhase : public PhaseTest {
 protected:
  void SetUp() override {
    PhaseTest::SetUp();
    calls.clear();
  }
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
  EXPECT_EQ(calls, std::vector<std::wstring>({L"delete Software64", L"delete Software\\Vendor",
                                              L"delete SoftwareVendor", L"open Software"}));
}

// Wine 8 grants DELETE whatever a key's DACL says, so the refusal comes from
// a stand-in for RegDeleteKeyExW.
LONG WINAPI RefuseB1(HKEY parent, LPCWSTR subkey, REGSAM view, DWORD) {
  calls.push_back(L"delete " + std::wstring(subkey));
  if (_wcsicmp(subkey, L"B1") == 0) return ERROR_ACCESS_DENIED;
  return RegDeleteKeyExW(parent, subkey, view, 0);
}

TEST_F(RegistryPhase, ARefusedSubkeyStopsItsTreeAndKeepsEverythingAboveIt) {
  const std::wstring tree = L"Software\\RetraxTests\\Tree-" + sandbox.name();
  for (const wchar_t* sub : {L"\\A\\A1", L"\\B\\B1", L"\\C"}) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (tree + sub).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  auto exists = [&](const wchar_t* sub) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, (tree + sub).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  };
  EXPECT_EQ(DeleteKeyRecursive(HKEY_CURRENT_USER, tree.c_str(), 0, RefuseB1), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(exists(L"\\A"));
  EXPECT_TRUE(exists(L"\\B\\B1"));
  EXPECT_TRUE(exists(L"\\C")) << "nothing after the refusal is tried";
  EXPECT_EQ(calls, std::vector<std::wstring>({L"delete A1", L"delete A", L"delete B1"}));
  EXPECT_EQ(DeleteKeyRecursive(HKEY_CURRENT_USER, L"", 0, RefuseB1), ERROR_BADKEY) << "the root itself";
  EXPECT_EQ(DeleteKeyRecursive(HKEY_CURRENT_USER, (tree + L"\\none").c_str(), 0, nullptr), ERROR_FILE_NOT_FOUND);
  RegDeleteTreeW(HKEY_CURRENT_USER, tree.c_str());
  RegDeleteKeyW(HKEY_CURRENT_USER, tree.c_str());
}

}  // namespace
