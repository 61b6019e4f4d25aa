// Scenario harness: runs retrax.exe as a user would, inside a folder of its
// own on the sandboxed prefix's C: drive, and reports what the run did.
//
// Each test gets a Sandbox: C:\retrax-tests\<suite>.<test>-<pid>, created
// empty and removed with everything in it when the test ends. Programs are
// written there (the built retrax.exe with a payload appended) and started
// with RunProgram, which waits with a time limit and kills a program that
// overruns it.
#pragma once
#include <windows.h>
#include <stdint.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

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

bool ReadWholeFile(const std::wstring& path, Bytes* out);
bool WriteWholeFile(const std::wstring& path, const Bytes& data);
bool FileExists(const std::wstring& path);

// Every sandbox lives below this folder; RemoveTree refuses anything else.
extern const wchar_t kSandboxRoot[];  // L"C:\\retrax-tests"

// Deletes a folder tree below kSandboxRoot, read-only files included.
// Links are removed, never followed. True when nothing is left.
bool RemoveTree(const std::wstring& path);

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
  // root\relative.
  std::wstring Path(const std::wstring& relative) const;

  // Creates the folder and any missing parents.
  bool MakeFolder(const std::wstring& relative) const;
  // Creates parents as needed and replaces an existing file.
  bool WriteFile(const std::wstring& relative, const Bytes& data) const;
  bool Exists(const std::wstring& relative) const;

  // Writes retrax.exe with payload attached (pack::AttachPayload) and
  // returns the file's full path, or an empty string on failure.
  std::wstring WriteUninstaller(const std::wstring& relative, const Bytes& payload) const;

 private:
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

// A dialog or message box the program showed while RunProgram waited.
struct ShownDialog {
  std::wstring caption;
  std::wstring text;  // a message box's text (its static control 0xFFFF)
};

struct RunResult {
  bool started = false;   // CreateProcessW succeeded
  bool timedOut = false;  // killed at the time limit
  DWORD exitCode = 0;     // as GetExitCodeProcess reports it: -1 is 0xFFFFFFFF
  std::vector<ShownDialog> dialogs;  // recorded only with dismissDialogs
};

enum : DWORD { kDefaultRunTimeoutMs = 30000 };

struct RunOptions {
  DWORD timeoutMs = kDefaultRunTimeoutMs;
  std::wstring folder;  // the program's current folder; its own folder when empty
  // Record every visible dialog of the program (class #32770: message boxes
  // and dialog templates alike) and end it with OK, or Cancel where it has
  // no OK. Needs the virtual display; without one, message boxes fail at
  // once and the program goes on as if they had been cancelled.
  bool dismissDialogs = false;
};

// Starts program with the command line "program" arguments and waits for
// it to end, killing it at the time limit.
RunResult RunProgram(const std::wstring& program, const std::wstring& arguments,
                     const RunOptions& options = RunOptions());

// EXPECT_TRUE(ExitedWith(run, 0)): the program started, ended within its
// time limit and returned that code; the failure message shows the run.
::testing::AssertionResult ExitedWith(const RunResult& result, DWORD expected);
void PrintTo(const RunResult& result, std::ostream* out);

}  // namespace harness
