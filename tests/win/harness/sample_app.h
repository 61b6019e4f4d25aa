// Payloads and a sample application for scenarios.
//
//   pack::Payload p = harness::StandardPayload();
//   p.files = {{u".", u"app.exe", 0}};
//   const std::wstring program = sandbox.WriteUninstaller(L"App\\uninstall.exe", p);
//
// or, with something installed to remove:
//
//   harness::SampleApp app(sandbox);               // files, shortcut, keys
//   const std::wstring program = app.WriteUninstaller();
//   ... run it ...
//   EXPECT_EQ(app.Removed(), std::vector<std::wstring>{});
#pragma once
#include <string>
#include <vector>

#include "harness/harness.h"

namespace harness {

// Root key values as a payload's registry entries hold them.
enum : uint32_t { kPayloadHkcu = 0x80000001u, kPayloadHklm = 0x80000002u };

// The English texts of messages 0 to 15, those of the sample application
// in examples/sample-app (title "Sample App Uninstall", ...).
const std::vector<std::u16string>& StandardMessages();
// Header flags 0 (no command, no final page, visual styles kept for the
// frames only), the standard messages, empty lists.
pack::Payload StandardPayload();

// Puts the test extension library (tests/win/extension) into the payload,
// as an image. False when it was not embedded.
bool AddTestExtension(pack::Payload* payload);

// Holds a run half-way, inside a call of the test extension library, while
// the run's windows keep being serviced (RXTEST_EXT_HOLD): the way to look
// at the progress dialog, which otherwise lives only as long as the
// removal. Ordinals: 53 before the removal (the progress dialog has just
// opened), 54 the first file, 55 the first registry entry, 56 after the
// removal. The payload needs AddTestExtension; the destructor releases the
// run. With RXTEST_EXT_LOG set for the run, the library logs the fonts of
// the open dialogs as it begins to hold (tests/win/extension).
class RunHold {
 public:
  explicit RunHold(int ordinal);
  ~RunHold();
  RunHold(const RunHold&) = delete;
  RunHold& operator=(const RunHold&) = delete;

  // Before Start: tells the library of that run where to hold.
  void Prepare(Process* process) const;
  // True once the run holds; false when it ended first or did not get
  // there within the time limit.
  bool WaitHeld(const Process& process, DWORD timeoutMs = kDefaultDialogTimeoutMs) const;
  // Lets the run go on.
  void Release() const;

 private:
  int ordinal_;
  std::wstring name_;
  HANDLE held_;
  HANDLE release_;
};

// A small application installed into the sandbox, with the payload that
// lists it:
//   <folder>\app.exe                  normal
//   <folder>\readme.txt               read-only
//   <folder>\data\settings.ini        hidden
//   <folder>\data                     listed as a folder entry
//   <folder>\logs\today.log           a folder tree, logs\*.*
//   Start Menu\Sample App\Sample App.lnk, shortcut with 1 level
//   HKCU  <key>\Sample App, value Language = "en", and <key>\Sample App\Recent
//   HKLM  <key>\Sample App in the 32-bit view and in the 64-bit view (the
//         latter through the "Software64" alias of the payload)
// where <key> is the sandbox's RegistryKey(). The uninstaller is
// <folder>\uninstall.exe.
class SampleApp {
 public:
  explicit SampleApp(const Sandbox& sandbox, const std::wstring& folder = L"Sample App");

  // False when part of the installation failed.
  bool ok() const { return ok_; }
  // Full path of the install folder, without trailing backslash.
  std::wstring folder() const { return sandbox_.Path(folder_); }
  std::wstring uninstaller() const { return sandbox_.Path(folder_ + L"\\uninstall.exe"); }
  // The payload listing everything above; tests may change it before
  // writing the uninstaller.
  pack::Payload payload;

  // Writes <folder>\uninstall.exe with payload; its full path, or "" on
  // failure.
  std::wstring WriteUninstaller() const;

  // What is gone of the installed items, each named as above ("readme.txt",
  // "HKLM64 Sample App", ...); the uninstaller itself is not counted.
  std::vector<std::wstring> Removed() const;
  // What is still there.
  std::vector<std::wstring> Remaining() const;

 private:
  struct Item {
    std::wstring name;
    std::wstring file;  // relative to the sandbox, or empty for a registry item
    HKEY root;
    RegistryView view;
    std::wstring key;  // relative to the sandbox's registry key
    std::wstring value;
  };
  bool Present(const Item& item) const;

  const Sandbox& sandbox_;
  std::wstring folder_;
  std::vector<Item> items_;
  bool ok_ = true;
};

}  // namespace harness
