#include "harness/sample_app.h"

namespace harness {

const std::vector<std::u16string>& StandardMessages() {
  static const std::vector<std::u16string> messages = {
      u"Sample App Uninstall",
      u"Do you want to remove Sample App and all of its components from this computer?",
      u"Sample App has been removed from your computer.",
      u"&Yes",
      u"Yes to &All",
      u"&No",
      u"N&o to All",
      u"There is not enough memory to read the uninstall data of %s.",
      u"The uninstall data of %s cannot be read. The file may be damaged.",
      u"The file %s is read-only.\n\nDo you want to remove it anyway?",
      u"No program uses the shared file %s any more.\n\nDo you want to remove it? If you are not sure, "
      u"choose No: keeping it does no harm.",
      u"Removing files...",
      u"Removing shortcuts...",
      u"Removing folders...",
      u"Removing registry entries...",
      u"Sample App is still running. Close it, then choose Retry.",
  };
  return messages;
}

pack::Payload StandardPayload() {
  pack::Payload payload;
  payload.messages = StandardMessages();
  return payload;
}

bool AddTestExtension(pack::Payload* payload) {
  payload->hasExtension = LoadEmbeddedFile(L"RETRAX_TEST_EXTENSION_DLL", &payload->extensionContent);
  return payload->hasExtension;
}

RunHold::RunHold(int ordinal) : ordinal_(ordinal) {
  static LONG count = 0;
  wchar_t name[64];
  swprintf(name, 64, L"RetraxTestHold-%lu-%ld", GetCurrentProcessId(), InterlockedIncrement(&count));
  name_ = name;
  held_ = CreateEventW(NULL, TRUE, FALSE, (name_ + L".held").c_str());
  release_ = CreateEventW(NULL, TRUE, FALSE, name_.c_str());
}

RunHold::~RunHold() {
  Release();
  if (held_) CloseHandle(held_);
  if (release_) CloseHandle(release_);
}

void RunHold::Prepare(Process* process) const {
  process->SetEnvironment(L"RXTEST_EXT_HOLD", std::to_wstring(ordinal_) + L"," + name_);
}

bool RunHold::WaitHeld(const Process& process, DWORD timeoutMs) const {
  if (!held_ || !process.started()) return false;
  const HANDLE either[2] = {held_, process.handle()};
  return WaitForMultipleObjects(2, either, FALSE, timeoutMs) == WAIT_OBJECT_0;
}

void RunHold::Release() const {
  if (release_) SetEvent(release_);
}

SampleApp::SampleApp(const Sandbox& sandbox, const std::wstring& folder)
    : payload(StandardPayload()), sandbox_(sandbox), folder_(folder) {
  const std::wstring in = folder_ + L"\\";
  const std::wstring shortcutFolder = L"Start Menu\\Sample App";
  items_ = {
      {L"app.exe", in + L"app.exe", NULL, kDefaultView, L"", L""},
      {L"readme.txt", in + L"readme.txt", NULL, kDefaultView, L"", L""},
      {L"data\\settings.ini", in + L"data\\settings.ini", NULL, kDefaultView, L"", L""},
      {L"data", in + L"data", NULL, kDefaultView, L"", L""},
      {L"logs\\today.log", in + L"logs\\today.log", NULL, kDefaultView, L"", L""},
      {L"Sample App.lnk", shortcutFolder + L"\\Sample App.lnk", NULL, kDefaultView, L"", L""},
      {L"Start Menu\\Sample App", shortcutFolder, NULL, kDefaultView, L"", L""},
      {L"HKCU Sample App\\Language", L"", HKEY_CURRENT_USER, kDefaultView, L"Sample App", L"Language"},
      {L"HKCU Sample App\\Recent", L"", HKEY_CURRENT_USER, kDefaultView, L"Sample App\\Recent", L""},
      {L"HKCU Sample App", L"", HKEY_CURRENT_USER, kDefaultView, L"Sample App", L""},
      {L"HKLM32 Sample App", L"", HKEY_LOCAL_MACHINE, kView32, L"Sample App", L""},
      {L"HKLM64 Sample App", L"", HKEY_LOCAL_MACHINE, kView64, L"Sample App", L""},
  };
  ok_ = sandbox.InstallFile(in + L"app.exe", 0, "MZ") &&
        sandbox.InstallFile(in + L"readme.txt", FILE_ATTRIBUTE_READONLY) &&
        sandbox.InstallFile(in + L"data\\settings.ini", FILE_ATTRIBUTE_HIDDEN) &&
        sandbox.InstallFile(in + L"logs\\today.log") &&
        sandbox.InstallShortcut(shortcutFolder + L"\\Sample App.lnk") &&
        sandbox.SetRegistryValue(HKEY_CURRENT_USER, kDefaultView, L"Sample App", L"Language", L"en") &&
        sandbox.MakeRegistryKey(HKEY_CURRENT_USER, kDefaultView, L"Sample App\\Recent") &&
        sandbox.MakeRegistryKey(HKEY_LOCAL_MACHINE, kView32, L"Sample App") &&
        sandbox.MakeRegistryKey(HKEY_LOCAL_MACHINE, kView64, L"Sample App");

  const std::wstring key = sandbox.RegistryKey(L"Sample App");
  // "Software64" is the payload's way to the 64-bit view of HKLM.
  const std::wstring key64 = L"Software64" + key.substr(wcslen(L"Software"));
  payload.files = {{u".", u"app.exe", 0},
                   {u".", u"readme.txt", 0},
                   {u".\\data", u"settings.ini", 0},
                   {u".\\data", u"", 0}};
  payload.folderTrees = {u"logs\\*.*"};
  payload.shortcuts = {{1, U16(sandbox.Path(shortcutFolder)), u"", u"Sample App.lnk"}};
  payload.registry = {{kPayloadHkcu, U16(key + L"\\\\Language")},
                      {kPayloadHkcu, U16(key + L"\\Recent")},
                      {kPayloadHkcu, U16(key)},
                      {kPayloadHklm, U16(key)},
                      {kPayloadHklm, U16(key64)}};
}

std::wstring SampleApp::WriteUninstaller() const {
  return sandbox_.WriteUninstaller(folder_ + L"\\uninstall.exe", payload);
}

bool SampleApp::Present(const Item& item) const {
  if (!item.file.empty()) return sandbox_.Exists(item.file);
  if (!item.value.empty()) return sandbox_.RegistryValueExists(item.root, item.view, item.key, item.value);
  return sandbox_.RegistryKeyExists(item.root, item.view, item.key);
}

std::vector<std::wstring> SampleApp::Removed() const {
  std::vector<std::wstring> names;
  for (const Item& item : items_) {
    if (!Present(item)) names.push_back(item.name);
  }
  return names;
}

std::vector<std::wstring> SampleApp::Remaining() const {
  std::vector<std::wstring> names;
  for (const Item& item : items_) {
    if (Present(item)) names.push_back(item.name);
  }
  return names;
}

}  // namespace harness
