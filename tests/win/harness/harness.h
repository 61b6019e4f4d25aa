// Scenario harness: each test gets a Sandbox, C:\retrax-tests\<suite>.<test>-<pid>
// on the sandboxed prefix, and keys of that name under Software\RetraxTests
// of HKCU and of HKLM in both views, all removed when it ends; retrax.exe is
// written into it and run with a Process, whose windows the test answers
// like a person (Dialog).
#pragma once
#include <gtest/gtest.h>
#include <stdint.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "payload/writer.h"

namespace harness {

enum : DWORD { kDefaultRunTimeoutMs = 30000 };

// A dialog answered while RunProgram or FinishAnswering waited.
struct ShownDialog {
  std::wstring caption, text;
};

struct RunResult {
  bool started = false, timedOut = false;  // timedOut: killed at the limit
  DWORD exitCode = 0;                      // -1 reads 0xFFFFFFFF
  std::vector<ShownDialog> dialogs;
};

// Variables of this process until it goes; "" removes one.
class ScopedEnvironment {
 public:
  ~ScopedEnvironment();
  void Set(const std::wstring& name, const std::wstring& value);

 private:
  std::vector<std::pair<std::wstring, std::wstring>> saved_;  // with "\n" for none
};

class Process {
 public:
  Process() = default;
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  // For the child; "" removes the variable.
  void SetEnvironment(const std::wstring& name, const std::wstring& value) { environment_[name] = value; }
  // Command line "program" arguments, in folder or else the program's own.
  bool Start(const std::wstring& program, const std::wstring& arguments = L"", const std::wstring& folder = L"");

  bool started() const { return process_ != NULL; }
  DWORD id() const { return id_; }
  HANDLE handle() const { return process_; }
  DWORD ElapsedMs() const { return GetTickCount() - startTick_; }
  bool Ended() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; }
  RunResult Finish(DWORD timeoutMs = kDefaultRunTimeoutMs);  // killing all it started at the limit
  bool WaitForDescendants(DWORD timeoutMs);                  // true once nothing it started runs

 private:
  void Kill();

  std::map<std::wstring, std::wstring> environment_;
  HANDLE process_ = NULL, job_ = NULL;
  DWORD id_ = 0, startTick_ = 0;
};

// EXPECT_TRUE(ExitedWith(run, 0)): started, ended in time, with that code.
::testing::AssertionResult ExitedWith(const RunResult& result, DWORD expected);

// Dialogs are top-level "#32770" windows of the process (Wine's crash
// dialog is one too), taken only once ready: visible, enabled, and
// answering a sent message, which the program's thread does only where it
// waits for messages, so a ready box has been through WM_INITDIALOG, its
// texts set and its focus on its default button. (On a loaded machine a box
// was once taken with its text still empty, and the Enter posted to it went
// nowhere.) Answers are posted as a click or a key would be; the box's
// IsDialogMessageW makes IDCANCEL or the default button of Esc and Enter.
// No SendInput: without a window manager no window reliably has the focus.
enum : DWORD { kDefaultDialogTimeoutMs = 15000, kSettleMs = 200 };

struct Button {
  int id;
  std::wstring label;
};

class Dialog {
 public:
  Dialog() = default;
  explicit Dialog(HWND window) : window_(window) {}
  explicit operator bool() const { return window_ != NULL; }
  HWND window() const { return window_; }
  bool IsOpen() const { return window_ && IsWindow(window_) && IsWindowVisible(window_); }
  bool WaitClosed(DWORD timeoutMs = kDefaultDialogTimeoutMs) const;  // true once it went
  std::wstring Caption() const;
  std::wstring Text() const;            // a message box's (control 0xFFFF), or control 1000's
  std::vector<Button> Buttons() const;  // push buttons, left to right
  bool HasButton(int id) const { return GetDlgItem(window_, id) != NULL; }
  bool IsProgressDialog() const { return HasButton(1009); }  // its bar
  HWND Owner() const { return GetWindow(window_, GW_OWNER); }
  int ProgressPosition() const;  // -1 without a bar or an answer
  void Press(int id) const;
  void PressEsc() const { PressKey(VK_ESCAPE); }
  void PressEnter() const { PressKey(VK_RETURN); }
  void CloseWithCloseBox() const { PostMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0); }

 private:
  void PressKey(WORD key) const;

  HWND window_ = NULL;
};

std::vector<Dialog> OpenDialogs(const Process& process);

// A ready dialog not in except. With text, one that shows it, or at the
// limit one that shows another, so that the test's check says what came;
// without, a box without text once it has shown none for kSettleMs.
Dialog WaitForDialog(const Process& process, DWORD timeoutMs = kDefaultDialogTimeoutMs,
                     const std::vector<HWND>& except = {}, const std::wstring* text = nullptr,
                     bool skipProgress = false);

// The dialogs of one run in order, each once, passing over the progress
// dialog (it stays open behind the removal's questions).
class DialogSequence {
 public:
  explicit DialogSequence(const Process& process) : process_(process) {}
  Dialog Next(DWORD timeoutMs = kDefaultDialogTimeoutMs) { return Take(nullptr, timeoutMs); }
  Dialog Next(const std::wstring& text, DWORD timeoutMs = kDefaultDialogTimeoutMs) { return Take(&text, timeoutMs); }

 private:
  Dialog Take(const std::wstring* text, DWORD timeoutMs);
  const Process& process_;
  std::vector<HWND> seen_;
};

// No visible top-level window (the main window never is) until the end,
// within timeoutMs. Polled: one shown for a few milliseconds can slip by.
::testing::AssertionResult ExpectNoWindow(const Process& process, DWORD timeoutMs = kDefaultRunTimeoutMs);


typedef std::vector<uint8_t> Bytes;

bool LoadEmbeddedFile(const wchar_t* name, Bytes* out);
const Bytes& RetraxProgram();  // the built retrax.exe: payloadOffset = its length

std::string Narrow(const std::wstring& text);  // for messages: non-ASCII as '?'
inline std::u16string U16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }
inline std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

bool ReadWholeFile(const std::wstring& path, Bytes* out);
bool WriteWholeFile(const std::wstring& path, const Bytes& data);
std::vector<std::string> ReadLines(const std::wstring& path);  // without line ends; none when missing
inline bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
inline std::wstring CurrentFolder() {  // "" when longer than MAX_PATH
  wchar_t folder[MAX_PATH];
  const DWORD length = GetCurrentDirectoryW(MAX_PATH, folder);
  return std::wstring(folder, length < MAX_PATH ? length : 0);
}

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
  bool Exists(const std::wstring& relative) const { return FileExists(Path(relative)); }
  // program (retrax.exe when none) with payload attached; its full path, or "".
  std::wstring WriteUninstaller(const std::wstring& relative, const Bytes& payload,
                                const Bytes* program = nullptr) const;
  std::wstring WriteUninstaller(const std::wstring& relative, const pack::Payload& payload,
                                const Bytes* program = nullptr) const {
    return WriteUninstaller(relative, pack::EncodePayload(payload), program);
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

// Answers every dialog, with OK or else Cancel, recording it, until the
// end; then Process::Finish.
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

// Messages 0 to 15 of examples/sample-app; Message puts path for "%s".
std::wstring Message(int index, const std::wstring& path = L"");
pack::Payload StandardPayload();  // flags 0, the standard messages, empty lists
bool AddTestExtension(pack::Payload* payload);

// Holds a run inside the test extension library's call 53, before the
// removal (the progress dialog has just opened), while its windows are
// serviced (RXTEST_EXT_HOLD). Needs AddTestExtension; released at the end.
class RunHold {
 public:
  RunHold();
  ~RunHold();
  // At the first call of that ordinal (56: after the removal).
  void Prepare(Process* process, int ordinal = 53) const {
    process->SetEnvironment(L"RXTEST_EXT_HOLD", std::to_wstring(ordinal) + L"," + name_);
  }
  bool WaitHeld(const Process& process) const;  // false when it ended first
  bool IsHeld() const { return WaitForSingleObject(held_, 0) == WAIT_OBJECT_0; }
  void Release() const { SetEvent(release_); }

 private:
  std::wstring name_;
  HANDLE held_, release_;
};

}  // namespace harness
