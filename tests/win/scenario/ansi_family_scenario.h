// Whole runs on the ANSI-only family (Windows 9x): retrax_ansi.exe, the
// program with its ANSI table forced at the entry point, run under a name of
// its own for which Wine reports Windows 98 (GetVersionExA: platform 1).
// Every text-bearing call then goes through the adapters and every family
// test of the program takes its 9x branch: the other Fonts key, RegDeleteKey
// for key trees, WININIT.INI for the self-removal copy.
//
// The prefix's C:\windows\WININIT.INI is saved before and written back
// after each test; the tests that touch it never run at the same time
// (RESOURCE_LOCK in tests/win/CMakeLists.txt).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "harness/harness.h"

namespace ansi_family {

const wchar_t kWininit[] = L"C:\\windows\\WININIT.INI";
const wchar_t kSharedLibrariesKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
// Where the 9x family registers fonts, and where the NT family does.
const wchar_t kFontsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Fonts";
const wchar_t kFontsKeyNT[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

class AnsiFamilyRun : public harness::ScenarioTest {
 protected:
  void SetUp() override {
    harness::ScenarioTest::SetUp();
    ASSERT_TRUE(harness::RunningUnderWine()) << "the Windows 98 version is Wine's per-program setting";
    ASSERT_TRUE(sandbox.MakeFolder(L"temp"));
    hadWininit_ = harness::ReadWholeFile(kWininit, &savedWininit_);
    ASSERT_TRUE(harness::LoadEmbeddedFile(L"RETRAX_ANSI_EXE", &program_)) << "retrax_ansi.exe is not embedded";
    // Wine matches the program by its file name: one name per test.
    exeName = sandbox.name() + L".exe";
    appDefaults_ = L"Software\\Wine\\AppDefaults\\" + exeName;
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, appDefaults_.c_str(), L"Version", REG_SZ, L"win98", 12), 0);
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, appDefaults_.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, appDefaults_.c_str());
    if (hadWininit_) {
      harness::WriteWholeFile(kWininit, savedWininit_);
    } else {
      DeleteFileW(kWininit);
    }
    for (const auto& value : machineValues_) RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, value.first, value.second.c_str());
    for (const wchar_t* key : madeKeys_) DeleteKeyIfEmpty(key);
  }

  // The ANSI program with payload as <relativeFolder>\<exeName>; its full
  // path, or "" on failure.
  std::wstring WriteUninstaller(const std::wstring& relativeFolder, const pack::Payload& payload) {
    harness::Bytes file;
    std::string error;
    if (!pack::AttachPayload(program_, pack::EncodePayload(payload), &file, &error)) return std::wstring();
    const std::wstring relative = relativeFolder + L"\\" + exeName;
    return sandbox.WriteFile(relative, file) ? sandbox.Path(relative) : std::wstring();
  }

  // A REG_SZ or REG_DWORD value under HKEY_LOCAL_MACHINE, in the view the
  // 32-bit uninstaller sees, removed when the test ends (and its key, if
  // the test made it and it is left empty).
  void SetMachineValue(const wchar_t* key, const std::wstring& name, DWORD type, const void* data, DWORD size) {
    HKEY existing;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &existing) == ERROR_SUCCESS) {
      RegCloseKey(existing);
    } else {
      madeKeys_.push_back(key);
    }
    machineValues_.push_back({key, name});
    EXPECT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, key, name.c_str(), type, data, size), 0) << harness::Narrow(name);
  }
  bool MachineValueExists(const wchar_t* key, const std::wstring& name) const {
    return RegGetValueW(HKEY_LOCAL_MACHINE, key, name.c_str(), RRF_RT_ANY, nullptr, nullptr, nullptr) == 0;
  }

  std::string Wininit() const {
    harness::Bytes bytes;
    harness::ReadWholeFile(kWininit, &bytes);
    return std::string(bytes.begin(), bytes.end());
  }

  std::wstring exeName;

 private:
  static void DeleteKeyIfEmpty(const wchar_t* path) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    DWORD subkeys = 1, values = 1;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    if (subkeys == 0 && values == 0) RegDeleteKeyW(HKEY_LOCAL_MACHINE, path);
  }

  harness::Bytes program_;
  bool hadWininit_ = false;
  harness::Bytes savedWininit_;
  std::wstring appDefaults_;
  std::vector<std::pair<const wchar_t*, std::wstring>> machineValues_;
  std::vector<const wchar_t*> madeKeys_;
};

}  // namespace ansi_family
