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

std::wstring Message(int index, const std::wstring& path) {
  std::wstring text = Wide(StandardMessages()[index]);
  const size_t at = text.find(L"%s");
  return at == std::wstring::npos ? text : text.replace(at, 2, path);
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

RunHold::RunHold(int ordinal) {
  static LONG count = 0;
  const std::wstring name = L"RetraxTestHold-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(InterlockedIncrement(&count));
  setting_ = std::to_wstring(ordinal) + L"," + name;
  held_ = CreateEventW(NULL, TRUE, FALSE, (name + L".held").c_str());
  release_ = CreateEventW(NULL, TRUE, FALSE, name.c_str());
}

RunHold::~RunHold() {
  Release();
  if (held_) CloseHandle(held_);
  if (release_) CloseHandle(release_);
}

void RunHold::Prepare(Process* process) const { process->SetEnvironment(L"RXTEST_EXT_HOLD", setting_); }

bool RunHold::WaitHeld(const Process& process, DWORD timeoutMs) const {
  const HANDLE either[2] = {held_, process.handle()};
  return held_ && process.started() && WaitForMultipleObjects(2, either, FALSE, timeoutMs) == WAIT_OBJECT_0;
}

SampleApp::SampleApp(const Sandbox& sandbox, const std::wstring& folder)
    : payload(StandardPayload()), sandbox_(sandbox), folder_(folder) {
  const std::wstring in = folder_ + L"\\", shortcuts = L"Start Menu\\Sample App";
  for (const wchar_t* file : {L"app.exe", L"readme.txt", L"data\\settings.ini", L"data", L"logs\\today.log"}) {
    items_.push_back({file, in + file, NULL, kDefaultView, L"", L""});
  }
  items_.push_back({L"Sample App.lnk", shortcuts + L"\\Sample App.lnk", NULL, kDefaultView, L"", L""});
  items_.push_back({shortcuts, shortcuts, NULL, kDefaultView, L"", L""});
  items_.push_back({L"HKCU Sample App\\Language", L"", HKEY_CURRENT_USER, kDefaultView, L"Sample App", L"Language"});
  items_.push_back({L"HKCU Sample App\\Recent", L"", HKEY_CURRENT_USER, kDefaultView, L"Sample App\\Recent", L""});
  items_.push_back({L"HKCU Sample App", L"", HKEY_CURRENT_USER, kDefaultView, L"Sample App", L""});
  items_.push_back({L"HKLM32 Sample App", L"", HKEY_LOCAL_MACHINE, kView32, L"Sample App", L""});
  items_.push_back({L"HKLM64 Sample App", L"", HKEY_LOCAL_MACHINE, kView64, L"Sample App", L""});
  ok_ = sandbox.InstallFile(in + L"app.exe", 0, "MZ") &&
        sandbox.InstallFile(in + L"readme.txt", FILE_ATTRIBUTE_READONLY) &&
        sandbox.InstallFile(in + L"data\\settings.ini", FILE_ATTRIBUTE_HIDDEN) &&
        sandbox.InstallFile(in + L"logs\\today.log") && sandbox.InstallShortcut(shortcuts + L"\\Sample App.lnk") &&
        sandbox.SetRegistryValue(HKEY_CURRENT_USER, kDefaultView, L"Sample App", L"Language", L"en") &&
        sandbox.MakeRegistryKey(HKEY_CURRENT_USER, kDefaultView, L"Sample App\\Recent") &&
        sandbox.MakeRegistryKey(HKEY_LOCAL_MACHINE, kView32, L"Sample App") &&
        sandbox.MakeRegistryKey(HKEY_LOCAL_MACHINE, kView64, L"Sample App");

  const std::wstring key = sandbox.RegistryKey(L"Sample App");
  payload.files = {
      {u".", u"app.exe", 0}, {u".", u"readme.txt", 0}, {u".\\data", u"settings.ini", 0}, {u".\\data", u"", 0}};
  payload.folderTrees = {u"logs\\*.*"};
  payload.shortcuts = {{1, U16(sandbox.Path(shortcuts)), u"", u"Sample App.lnk"}};
  payload.registry = {{kPayloadHkcu, U16(key + L"\\\\Language")},
                      {kPayloadHkcu, U16(key + L"\\Recent")},
                      {kPayloadHkcu, U16(key)},
                      {kPayloadHklm, U16(key)},
                      {kPayloadHklm, U16(L"Software64" + key.substr(wcslen(L"Software")))}};
}

std::vector<std::wstring> SampleApp::Items(bool present) const {
  std::vector<std::wstring> names;
  for (const Item& item : items_) {
    const bool there = !item.file.empty()    ? sandbox_.Exists(item.file)
                       : !item.value.empty() ? sandbox_.RegistryValueExists(item.root, item.view, item.key, item.value)
                                             : sandbox_.RegistryKeyExists(item.root, item.view, item.key);
    if (there == present) names.push_back(item.name);
  }
  return names;
}

}  // namespace harness
