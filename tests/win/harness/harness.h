// Scenario harness: each test gets a Sandbox, C:\retrax-tests\<suite>.<test>-<pid>
// on the sandboxed prefix, and keys of that name under Software\RetraxTests
// of HKCU and of HKLM in both views, all removed when it ends; retrax.exe is
// written into it and run with a Process (process.h), whose windows the test
// answers (dialogs.h). Include this header only.
#pragma once
#include <gtest/gtest.h>
#include <stdint.h>
#include <windows.h>

#include <string>
#include <vector>

#include "harness/process.h"
#include "payload/writer.h"

namespace harness {

typedef std::vector<uint8_t> Bytes;

// Programs built with the tests, embedded as RCDATA ("RETRAX_EXE", ...).
bool LoadEmbeddedFile(const wchar_t* name, Bytes* out);
const Bytes& RetraxProgram();  // the built retrax.exe: payloadOffset = its length

std::string Narrow(const std::wstring& text);  // for messages: non-ASCII as '?'
inline std::u16string U16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }
inline std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

bool ReadWholeFile(const std::wstring& path, Bytes* out);
bool WriteWholeFile(const std::wstring& path, const Bytes& data);
std::vector<std::string> ReadLines(const std::wstring& path);  // without line ends; none when missing
inline bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// For a 32-bit test on a 64-bit prefix the default is the 32-bit view.
enum RegistryView : REGSAM { kDefaultView = 0, kView32 = KEY_WOW64_32KEY, kView64 = KEY_WOW64_64KEY };

class Sandbox {
 public:
  Sandbox();  // named after the running test
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;
  bool ok() const { return ok_; }                     // the folder was made
  const std::wstring& root() const { return root_; }  // no trailing backslash
  const std::wstring& name() const { return name_; }  // <suite>.<test>-<pid>
  std::wstring Path(const std::wstring& relative) const { return relative.empty() ? root_ : root_ + L"\\" + relative; }

  // Parents are made, files replaced.
  bool MakeFolder(const std::wstring& relative) const;
  bool WriteFile(const std::wstring& relative, const Bytes& data) const;
  bool InstallFile(const std::wstring& relative, DWORD attributes = 0, const std::string& content = "installed") const;
  bool InstallShortcut(const std::wstring& relative) const { return InstallFile(relative, 0, "shortcut"); }
  bool Exists(const std::wstring& relative) const { return FileExists(Path(relative)); }
  DWORD Attributes(const std::wstring& relative) const { return GetFileAttributesW(Path(relative).c_str()); }
  // retrax.exe with payload attached; its full path, or "".
  std::wstring WriteUninstaller(const std::wstring& relative, const Bytes& payload) const;
  std::wstring WriteUninstaller(const std::wstring& relative, const pack::Payload& payload) const {
    return WriteUninstaller(relative, pack::EncodePayload(payload));
  }
  // Software\RetraxTests\<name>[\relative], as a payload names it.
  std::wstring RegistryKey(const std::wstring& relative = L"") const;
  bool MakeRegistryKey(HKEY root, RegistryView view, const std::wstring& relative) const;
  // REG_SZ, the key made as needed; "" names the default value.
  bool SetRegistryValue(HKEY root, RegistryView view, const std::wstring& relative, const std::wstring& name,
                        const std::wstring& value) const;
  bool RegistryKeyExists(HKEY root, RegistryView view, const std::wstring& relative) const;
  bool RegistryValueExists(HKEY root, RegistryView view, const std::wstring& relative, const std::wstring& name) const;
  // TMP and TEMP of a run: the sandbox's "temp" folder (made here).
  void PrepareProcess(Process* process) const;

 private:
  void RemoveRegistryKeys() const;

  std::wstring name_, root_;
  bool ok_ = false;
};

class ScenarioTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sandbox.ok()) << "cannot make " << Narrow(sandbox.root()); }
  Sandbox sandbox;
};

// Answers every dialog as it comes, with OK or else Cancel, recording it
// in the result, until the program ends; then Process::Finish.
RunResult FinishAnswering(Process* process, DWORD timeoutMs = kDefaultRunTimeoutMs);

struct RunOptions {
  DWORD timeoutMs = kDefaultRunTimeoutMs;
  std::wstring folder;               // current folder; the program's own when empty
  bool dismissDialogs = false;       // FinishAnswering instead of Finish
  const Sandbox* sandbox = nullptr;  // when set, its PrepareProcess
};

// Starts "program" arguments and waits for its end, killing it at the limit.
RunResult RunProgram(const std::wstring& program, const std::wstring& arguments,
                     const RunOptions& options = RunOptions());

enum : uint32_t { kPayloadHkcu = 0x80000001u, kPayloadHklm = 0x80000002u };  // registry roots

// The English messages 0 to 15 of examples/sample-app ("Sample App
// Uninstall", ...); Message gives one with path in place of its "%s".
const std::vector<std::u16string>& StandardMessages();
std::wstring Message(int index, const std::wstring& path = L"");
pack::Payload StandardPayload();  // flags 0, the standard messages, empty lists
// The test extension library (tests/win/extension) as the payload's image.
bool AddTestExtension(pack::Payload* payload);

// Holds a run inside a call of the test extension library while its
// windows are serviced (RXTEST_EXT_HOLD): 53 before the removal (the
// progress dialog just opened), 54 the first file, 55 the first registry
// entry, 56 after the removal. Needs AddTestExtension; released at the end.
class RunHold {
 public:
  explicit RunHold(int ordinal);
  ~RunHold();
  RunHold(const RunHold&) = delete;
  RunHold& operator=(const RunHold&) = delete;
  void Prepare(Process* process) const { process->SetEnvironment(L"RXTEST_EXT_HOLD", setting_); }
  // True once the run holds; false when it ended first or timed out.
  bool WaitHeld(const Process& process, DWORD timeoutMs = 15000) const;
  void Release() const { SetEvent(release_); }

 private:
  std::wstring setting_;
  HANDLE held_, release_;
};

}  // namespace harness

#include "harness/dialogs.h"
