// Payloads and a sample application for scenarios:
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

// The English texts of messages 0 to 15 of examples/sample-app ("Sample
// App Uninstall", ...).
const std::vector<std::u16string>& StandardMessages();
// Standard message index, with path in place of its "%s".
std::wstring Message(int index, const std::wstring& path = L"");
// Header flags 0, the standard messages, empty lists.
pack::Payload StandardPayload();

// Puts the test extension library (tests/win/extension) into the payload,
// as an image. False when it was not embedded.
bool AddTestExtension(pack::Payload* payload);

// Holds a run half-way, inside a call of the test extension library, while
// the run's windows keep being serviced (RXTEST_EXT_HOLD): the way to look
// at the progress dialog, which otherwise lives only as long as the
// removal. Ordinals: 53 before the removal (the progress dialog has just
// opened), 54 the first file, 55 the first registry entry, 56 after the
// removal. The payload needs AddTestExtension; the destructor releases.
class RunHold {
 public:
  explicit RunHold(int ordinal);
  ~RunHold();
  RunHold(const RunHold&) = delete;
  RunHold& operator=(const RunHold&) = delete;

  // Before Start: tells the library of that run where to hold.
  void Prepare(Process* process) const;
  // True once the run holds; false when it ended first or timed out.
  bool WaitHeld(const Process& process, DWORD timeoutMs = kDefaultDialogTimeoutMs) const;
  void Release() const { SetEvent(release_); }

 private:
  std::wstring setting_;
  HANDLE held_;
  HANDLE release_;
};

// A small application installed into the sandbox, with the payload that
// lists it:
//   <folder>\app.exe, readme.txt (read-only), data\settings.ini (hidden),
//   data (a folder entry), logs\today.log (the folder tree logs\*.*);
//   Start Menu\Sample App\Sample App.lnk, a shortcut with 1 level;
//   HKCU <key>\Sample App with value Language and subkey Recent;
//   HKLM <key>\Sample App in the 32-bit view and in the 64-bit view (the
//   latter through the payload's "Software64" alias);
// where <key> is the sandbox's RegistryKey(). The uninstaller is
// <folder>\uninstall.exe.
class SampleApp {
 public:
  explicit SampleApp(const Sandbox& sandbox, const std::wstring& folder = L"Sample App");

  bool ok() const { return ok_; }
  // Full path of the install folder, without trailing backslash.
  std::wstring folder() const { return sandbox_.Path(folder_); }
  std::wstring uninstaller() const { return sandbox_.Path(folder_ + L"\\uninstall.exe"); }
  // The payload listing everything above; tests may change it.
  pack::Payload payload;

  // Writes <folder>\uninstall.exe; its full path, or "".
  std::wstring WriteUninstaller() const { return sandbox_.WriteUninstaller(folder_ + L"\\uninstall.exe", payload); }

  // The installed items that are gone, or still there, each named as in
  // "readme.txt", "HKLM64 Sample App"; the uninstaller is not counted.
  std::vector<std::wstring> Removed() const { return Items(false); }
  std::vector<std::wstring> Remaining() const { return Items(true); }

 private:
  struct Item {
    std::wstring name;
    std::wstring file;  // relative to the sandbox, or empty for a registry item
    HKEY root;
    RegistryView view;
    std::wstring key;  // relative to the sandbox's registry key
    std::wstring value;
  };
  std::vector<std::wstring> Items(bool present) const;

  const Sandbox& sandbox_;
  std::wstring folder_;
  std::vector<Item> items_;
  bool ok_ = true;
};

}  // namespace harness
