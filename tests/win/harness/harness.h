// Scenario harness: runs retrax.exe as a user would, inside a folder of its
// own on the sandboxed prefix's C: drive, and reports what the run did.
//
// Each test gets a Sandbox: C:\retrax-tests\<suite>.<test>-<pid>, created
// empty and removed with everything in it when the test ends, and registry
// keys of the same name under Software\RetraxTests of HKCU and of HKLM in
// both views, removed likewise. The uninstaller is written into it (the
// built retrax.exe with a payload appended) and started with a Process
// (process.h), whose windows the test answers (dialogs.h); RunProgram is
// the short form for runs that need no answers. The sample application and
// the hold of a run half-way are in sample_app.h.
//
// Include this header only; it brings in the others.
#pragma once
#include <windows.h>
#include <stdint.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "harness/process.h"
#include "payload/writer.h"

namespace harness {

typedef std::vector<uint8_t> Bytes;

// Programs and libraries built with the tests travel inside the test
// program as RCDATA resources, by name ("RETRAX_EXE", "RETRAX_PACK_EXE",
// ...). False when missing.
bool LoadEmbeddedFile(const wchar_t* name, Bytes* out);
// The built retrax.exe as it left the build: payloadOffset = its length.
const Bytes& RetraxProgram();

// For failure messages: ASCII kept, everything else as '?'.
std::string Narrow(const std::wstring& text);
// Payload strings and Windows strings: both UTF-16 here.
inline std::u16string U16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }
inline std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// True under Wine (ntdll exports wine_get_version).
bool RunningUnderWine();

bool ReadWholeFile(const std::wstring& path, Bytes* out);
bool WriteWholeFile(const std::wstring& path, const Bytes& data);
// The lines of a text file without their line ends; empty when missing.
std::vector<std::string> ReadLines(const std::wstring& path);
inline bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Registry views for a 32-bit test on a 64-bit prefix: the default is the
// 32-bit view (HKLM\Software lands in Wow6432Node).
enum RegistryView : REGSAM { kDefaultView = 0, kView32 = KEY_WOW64_32KEY, kView64 = KEY_WOW64_64KEY };

class Sandbox {
 public:
  // Named after the running gtest test.
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  // False when the folder could not be made; the other members then fail.
  bool ok() const { return ok_; }
  // Full path, no trailing backslash.
  const std::wstring& root() const { return root_; }
  // <suite>.<test>-<pid>: the last part of root() and of RegistryKey().
  const std::wstring& name() const { return name_; }
  // root\relative.
  std::wstring Path(const std::wstring& relative) const { return relative.empty() ? root_ : root_ + L"\\" + relative; }

  // Folders are made with their missing parents, files replaced.
  bool MakeFolder(const std::wstring& relative) const;
  bool WriteFile(const std::wstring& relative, const Bytes& data) const;
  // WriteFile with content, then the attributes (0 leaves them normal).
  bool InstallFile(const std::wstring& relative, DWORD attributes = 0, const std::string& content = "installed") const;
  // A shortcut as the removal sees it: a small file, never resolved.
  bool InstallShortcut(const std::wstring& relative) const { return InstallFile(relative, 0, "shortcut"); }
  bool Exists(const std::wstring& relative) const { return FileExists(Path(relative)); }
  DWORD Attributes(const std::wstring& relative) const { return GetFileAttributesW(Path(relative).c_str()); }

  // Writes retrax.exe with payload attached; its full path, or "".
  std::wstring WriteUninstaller(const std::wstring& relative, const Bytes& payload) const;
  std::wstring WriteUninstaller(const std::wstring& relative, const pack::Payload& payload) const {
    return WriteUninstaller(relative, pack::EncodePayload(payload));
  }

  // The test's own key, Software\RetraxTests\<name>[\relative], as a
  // payload's registry entry names it (without the root).
  std::wstring RegistryKey(const std::wstring& relative = L"") const;
  bool MakeRegistryKey(HKEY root, RegistryView view, const std::wstring& relative) const;
  // A REG_SZ value, the key made as needed; "" names the default value.
  bool SetRegistryValue(HKEY root, RegistryView view, const std::wstring& relative, const std::wstring& name,
                        const std::wstring& value) const;
  bool RegistryKeyExists(HKEY root, RegistryView view, const std::wstring& relative) const;
  bool RegistryValueExists(HKEY root, RegistryView view, const std::wstring& relative, const std::wstring& name) const;

  // TMP and TEMP of a run point to the sandbox's "temp" folder (made here),
  // so that what the program leaves there is seen and goes with the test.
  void PrepareProcess(Process* process) const;

 private:
  void RemoveRegistryKeys() const;

  std::wstring name_;
  std::wstring root_;
  bool ok_ = false;
};

// Test fixture owning one Sandbox, failing early when it cannot be made.
class ScenarioTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sandbox.ok()) << "cannot make " << Narrow(sandbox.root()); }
  Sandbox sandbox;
};

// Answers every dialog of the run as it comes, with OK or else Cancel, and
// records it in the result, until the program ends; then Process::Finish.
RunResult FinishAnswering(Process* process, DWORD timeoutMs = kDefaultRunTimeoutMs);

struct RunOptions {
  DWORD timeoutMs = kDefaultRunTimeoutMs;
  std::wstring folder;  // the program's current folder; its own when empty
  // FinishAnswering instead of Finish. Without the virtual display message
  // boxes fail at once, as if cancelled.
  bool dismissDialogs = false;
  const Sandbox* sandbox = nullptr;  // when set, its PrepareProcess
};

// Starts program with the command line "program" arguments and waits for
// it to end, killing it at the time limit.
RunResult RunProgram(const std::wstring& program, const std::wstring& arguments,
                     const RunOptions& options = RunOptions());

}  // namespace harness

#include "harness/dialogs.h"
#include "harness/sample_app.h"
