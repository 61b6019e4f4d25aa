// Scenario harness: runs retrax.exe as a user would, inside a folder of its
// own on the sandboxed prefix's C: drive, and reports what the run did.
//
// Each test gets a Sandbox: C:\retrax-tests\<suite>.<test>-<pid>, created
// empty and removed with everything in it when the test ends, and registry
// keys of the same name under Software\RetraxTests of HKCU and of HKLM in
// both views, removed likewise. A sample application is "installed" there
// (files with attributes, shortcuts, keys and values), the uninstaller is
// written beside it (the built retrax.exe with a payload appended), and
// the run is started with a Process (process.h), whose windows the test
// answers (dialogs.h). RunProgram is the short form for runs that need no
// answers. RunHold (sample_app.h) keeps a run half-way, for the windows
// that live only during the removal. Screenshots are taken from inside,
// with BitBlt of the screen (dialogs.h; docs/screenshots/update.sh).
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

// Programs built with the tests travel inside the test program as RCDATA
// resources, by name: "RETRAX_EXE" (retrax.exe) and, when the tool is built
// for Windows, "RETRAX_PACK_EXE" (retrax-pack.exe). False when missing.
bool LoadEmbeddedFile(const wchar_t* name, Bytes* out);
// The built retrax.exe as it left the build: payloadOffset = its length.
// Empty when it was not embedded.
const Bytes& RetraxProgram();

// For failure messages: ASCII kept, everything else as '?'.
std::string Narrow(const std::wstring& text);
// Payload strings and Windows strings: both UTF-16 here.
std::u16string U16(const std::wstring& text);
std::wstring Wide(const std::u16string& text);

// True under Wine (ntdll exports wine_get_version), for the few checks that
// only Windows can answer.
bool RunningUnderWine();

bool ReadWholeFile(const std::wstring& path, Bytes* out);
bool WriteWholeFile(const std::wstring& path, const Bytes& data);
// The lines of a text file (a log of the test extension library), without
// their line ends; empty when the file is missing.
std::vector<std::string> ReadLines(const std::wstring& path);
// True for files and folders alike.
bool FileExists(const std::wstring& path);

// Every sandbox lives below this folder; RemoveTree refuses anything else.
extern const wchar_t kSandboxRoot[];  // L"C:\\retrax-tests"
// Every test's registry keys live below this key of each root and view.
extern const wchar_t kRegistryRoot[];  // L"Software\\RetraxTests"

// Deletes a folder tree below kSandboxRoot, read-only files included.
// Links are removed, never followed. True when nothing is left.
bool RemoveTree(const std::wstring& path);

// Registry views for a 32-bit test on a 64-bit prefix: Default is what a
// 32-bit program gets without asking (the 32-bit view: HKLM\Software lands
// in Wow6432Node); View32 and View64 ask for one explicitly.
enum RegistryView : REGSAM { kDefaultView = 0, kView32 = KEY_WOW64_32KEY, kView64 = KEY_WOW64_64KEY };

class Sandbox {
 public:
  // Named after the running gtest test (or "unnamed" outside one).
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
  std::wstring Path(const std::wstring& relative) const;

  // Creates the folder and any missing parents.
  bool MakeFolder(const std::wstring& relative) const;
  // Creates parents as needed and replaces an existing file.
  bool WriteFile(const std::wstring& relative, const Bytes& data) const;
  // WriteFile with content, then the attributes (FILE_ATTRIBUTE_READONLY,
  // _HIDDEN, ...; 0 leaves the file normal).
  bool InstallFile(const std::wstring& relative, DWORD attributes = 0, const std::string& content = "installed")
      const;
  // A shortcut as the removal sees it: a small file named *.lnk (it is
  // deleted as a file, never resolved).
  bool InstallShortcut(const std::wstring& relative) const;
  bool Exists(const std::wstring& relative) const;
  // INVALID_FILE_ATTRIBUTES when missing.
  DWORD Attributes(const std::wstring& relative) const;

  // Writes retrax.exe with payload attached (pack::AttachPayload) and
  // returns the file's full path, or an empty string on failure.
  std::wstring WriteUninstaller(const std::wstring& relative, const Bytes& payload) const;
  std::wstring WriteUninstaller(const std::wstring& relative, const pack::Payload& payload) const;

  // The test's own key, Software\RetraxTests\<name>[\relative], as it
  // stands in a payload's registry entry (without the root). The same key
  // of HKCU and of HKLM in both views is removed when the test ends.
  std::wstring RegistryKey(const std::wstring& relative = L"") const;
  bool MakeRegistryKey(HKEY root, RegistryView view, const std::wstring& relative) const;
  // Creates the key as needed; a REG_SZ value ("" names the default value).
  bool SetRegistryValue(HKEY root, RegistryView view, const std::wstring& relative, const std::wstring& name,
                        const std::wstring& value) const;
  bool RegistryKeyExists(HKEY root, RegistryView view, const std::wstring& relative) const;
  bool RegistryValueExists(HKEY root, RegistryView view, const std::wstring& relative,
                           const std::wstring& name) const;

  // Environment for a program run in this test: TMP and TEMP point to the
  // sandbox's "temp" folder (made here), so that what the program leaves in
  // its temporary folder is seen by the test and goes with the sandbox.
  void PrepareProcess(Process* process) const;

 private:
  void RemoveRegistryKeys() const;

  std::wstring name_;
  std::wstring root_;
  bool ok_ = false;
};

// Test fixture owning one Sandbox, failing the test early when it cannot
// be made.
class ScenarioTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sandbox.ok()) << "cannot make " << Narrow(sandbox.root()); }
  Sandbox sandbox;
};

struct RunOptions {
  DWORD timeoutMs = kDefaultRunTimeoutMs;
  std::wstring folder;  // the program's current folder; its own folder when empty
  // Record every visible dialog of the program (class #32770: message boxes
  // and dialog templates alike) and end it with OK, or Cancel where it has
  // no OK. Needs the virtual display; without one, message boxes fail at
  // once and the program goes on as if they had been cancelled.
  bool dismissDialogs = false;
  // When set, the run gets that sandbox's environment (PrepareProcess): its
  // temporary folder is the sandbox's "temp".
  const Sandbox* sandbox = nullptr;
};

// Starts program with the command line "program" arguments and waits for
// it to end, killing it at the time limit.
RunResult RunProgram(const std::wstring& program, const std::wstring& arguments,
                     const RunOptions& options = RunOptions());

}  // namespace harness

#include "harness/dialogs.h"
#include "harness/sample_app.h"
