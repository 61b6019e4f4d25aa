// Payloads that name what must never go by another spelling: a protected
// folder behind a device prefix in each record kind, and the registry keys
// that hold other programs' data. (Stream colons and device paths without a
// plain form are refused before any call: removal_folders_test.cpp.)
#include "hostile_support.h"

namespace {

class HostileSpellings : public hostile::HostileScenario {};

// Each run makes its own empty folder the temporary one, which the program
// protects, and aims one record kind at it through "\\?\" or "\\.\": a
// folder entry, a shortcut folder one level below it, a file below it (the
// pruning that follows), and a folder tree over it (#TempDir# is the folder).
TEST_F(HostileSpellings, ADevicePrefixInAnyRecordKindLeavesAnEmptyProtectedFolder) {
  const struct { const wchar_t* inside; const char16_t* prefix; const char* kind; } runs[] = {
      {nullptr, u"\\\\?\\", "folder entry"}, {L"Menu", u"\\\\.\\", "shortcut folder"},
      {L"gone.txt", u"\\\\?\\", "file, then pruning"}, {L"x.tmp", u"\\\\.\\", "folder tree"}};
  int n = 0;
  for (const auto& r : runs) {
    SCOPED_TRACE(r.kind);
    const std::wstring guarded = L"Guarded" + std::to_wstring(++n);
    ASSERT_TRUE(sandbox.MakeFolder(guarded));
    if (r.inside != nullptr)
      ASSERT_TRUE(r.inside == std::wstring(L"Menu") ? sandbox.MakeFolder(guarded + L"\\Menu")
                                                    : Install(guarded + L"\\" + r.inside));
    const std::u16string folder = r.prefix + At(guarded);
    pack::Payload payload = harness::StandardPayload();
    if (n == 1) payload.files = {{folder, u"", 0}};
    if (n == 2) payload.shortcuts = {{1, folder + u"\\Menu", u"", u""}};
    if (n == 3) payload.files = {{folder, u"gone.txt", 0}};
    if (n == 4) payload.folderTrees = {r.prefix + std::u16string(u"#TempDir#\\*.tmp")};
    const std::wstring temp = sandbox.Path(guarded);
    EXPECT_TRUE(harness::ExitedWith(RunUninstaller(payload, {{L"TMP", temp}, {L"TEMP", temp}}), 0));
    EXPECT_TRUE(sandbox.Exists(guarded));
  }
  EXPECT_TRUE(MarkersInPlace());
}

// Sentinels below Uninstall and in Run, in HKCU and in HKLM's 64-bit view:
// the payload names the shared keys themselves (one by the Software64
// alias, one with a doubled backslash), and an entry and a value of its own.
TEST_F(HostileSpellings, KeysThatHoldOtherProgramsDataStayTheirSubkeysAndValuesGo) {
  const std::wstring version = L"Software\\Microsoft\\Windows\\CurrentVersion\\";
  const std::wstring kept = L"retrax-sentinel-" + sandbox.name(), gone = L"retrax-gone-" + sandbox.name();
  const struct { HKEY root; REGSAM view; } hives[] = {{HKEY_CURRENT_USER, 0}, {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY}};
  auto make = [&](HKEY root, REGSAM view, const std::wstring& key, const wchar_t* value) {
    HKEY handle;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &handle, nullptr)) return false;
    const bool ok = !value || !RegSetValueExW(handle, value, 0, REG_SZ, (const BYTE*)L"s", 4);
    return RegCloseKey(handle), ok;
  };
  auto exists = [&](HKEY root, REGSAM view, const std::wstring& key, const wchar_t* value) {
    HKEY handle;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &handle)) return false;
    const bool found = !value || !RegQueryValueExW(handle, value, nullptr, nullptr, nullptr, nullptr);
    return RegCloseKey(handle), found;
  };
  for (const auto& h : hives)
    for (const std::wstring& name : {kept, gone})
      ASSERT_TRUE(make(h.root, h.view, version + L"Uninstall\\" + name, nullptr) &&
                  make(h.root, h.view, version + L"Run", name.c_str()));
  pack::Payload payload = harness::StandardPayload();
  const std::u16string v = harness::U16(version), g = harness::U16(gone);
  for (uint32_t root : {harness::kPayloadHkcu, harness::kPayloadHklm}) {
    const std::u16string base = root == harness::kPayloadHklm ? u"Software64" + v.substr(8) : v;
    payload.registry.push_back({root, base + u"Uninstall"});
    payload.registry.push_back({root, u"software\\\\microsoft\\windows\\currentversion\\run\\"});
    payload.registry.push_back({root, base + u"Uninstall\\" + g});
    payload.registry.push_back({root, base + u"Run\\\\" + g});
  }
  payload.registry.push_back({harness::kPayloadHkcu, u"Software\\Classes\\CLSID"});
  EXPECT_TRUE(harness::ExitedWith(RunUninstaller(payload), 0));
  for (const auto& h : hives) {
    EXPECT_TRUE(exists(h.root, h.view, version + L"Uninstall\\" + kept, nullptr));
    EXPECT_TRUE(exists(h.root, h.view, version + L"Run", kept.c_str()));
    EXPECT_FALSE(exists(h.root, h.view, version + L"Uninstall\\" + gone, nullptr)) << "the payload's own entry";
    EXPECT_FALSE(exists(h.root, h.view, version + L"Run", gone.c_str())) << "the payload's own value";
    HKEY handle;
    if (!RegOpenKeyExW(h.root, (version + L"Run").c_str(), 0, KEY_SET_VALUE | h.view, &handle)) {
      RegDeleteValueW(handle, kept.c_str());
      RegCloseKey(handle);
    }
    RegDeleteKeyExW(h.root, (version + L"Uninstall\\" + kept).c_str(), h.view, 0);
  }
  EXPECT_TRUE(MarkersInPlace());
}

}  // namespace
