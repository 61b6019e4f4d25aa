#include "harness/harness.h"

#include <ctype.h>

namespace harness {

namespace {

const wchar_t kSandboxRoot[] = L"C:\\retrax-tests";
const wchar_t kRegistryRoot[] = L"Software\\RetraxTests";

bool IsBelowSandboxRoot(const std::wstring& path) {
  const size_t rootLength = wcslen(kSandboxRoot);
  return path.size() > rootLength + 1 && _wcsnicmp(path.c_str(), kSandboxRoot, rootLength) == 0 &&
         path[rootLength] == L'\\' && path.find(L"\\..") == std::wstring::npos && path.find(L'/') == std::wstring::npos;
}

bool MakeFolders(const std::wstring& path) {
  const size_t cut = path.find_last_of(L'\\');
  if (cut != std::wstring::npos && cut >= 3 && !FileExists(path.substr(0, cut))) MakeFolders(path.substr(0, cut));
  return CreateDirectoryW(path.c_str(), NULL) || GetLastError() == ERROR_ALREADY_EXISTS;
}

// A file or a folder tree, read-only files included; links are removed,
// never followed.
void RemoveBelow(const std::wstring& path, DWORD attributes) {
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    DeleteFileW(path.c_str());
    return;
  }
  WIN32_FIND_DATAW found;
  HANDLE search = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? INVALID_HANDLE_VALUE
                                                              : FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") RemoveBelow(path + L"\\" + name, found.dwFileAttributes);
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}

// Refuses anything not below kSandboxRoot.
void RemoveTree(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (IsBelowSandboxRoot(path) && attributes != INVALID_FILE_ATTRIBUTES) RemoveBelow(path, attributes);
}

// The caller closes the key.
HKEY OpenKey(HKEY root, RegistryView view, const std::wstring& path, bool create) {
  HKEY key = NULL;
  const LONG result = create ? RegCreateKeyExW(root, path.c_str(), 0, NULL, 0, KEY_WRITE | view, NULL, &key, NULL)
                             : RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key);
  return result == ERROR_SUCCESS ? key : NULL;
}

// The messages of examples/sample-app, '|' between them.
const char16_t kStandardMessages[] =
    u"Sample App Uninstall|Do you want to remove Sample App and all of its components from this computer?|"
    u"Sample App has been removed from your computer.|&Yes|Yes to &All|&No|N&o to All|"
    u"There is not enough memory to read the uninstall data of %s.|"
    u"The uninstall data of %s cannot be read. The file may be damaged.|"
    u"The file %s is read-only.\n\nDo you want to remove it anyway?|"
    u"No program uses the shared file %s any more.\n\nDo you want to remove it? If you are not sure, choose No: "
    u"keeping it does no harm.|Removing files...|Removing shortcuts...|Removing folders...|"
    u"Removing registry entries...|Sample App is still running. Close it, then choose Retry.";

}  // namespace

bool LoadEmbeddedFile(const wchar_t* name, Bytes* out) {
  HRSRC found = FindResourceW(NULL, name, MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  HGLOBAL loaded = found ? LoadResource(NULL, found) : NULL;
  const uint8_t* data = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
  const DWORD size = found ? SizeofResource(NULL, found) : 0;
  if (!data || size == 0) return false;
  out->assign(data, data + size);
  return true;
}

const Bytes& RetraxProgram() {
  static Bytes program;
  if (program.empty()) LoadEmbeddedFile(L"RETRAX_EXE", &program);
  return program;
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

bool ReadWholeFile(const std::wstring& path, Bytes* out) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, 0);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD read = 0, size = GetFileSize(file, NULL);
  out->resize(size == INVALID_FILE_SIZE ? 0 : size);
  const bool ok =
      size != INVALID_FILE_SIZE && (!size || (ReadFile(file, out->data(), size, &read, NULL) && read == size));
  CloseHandle(file);
  return ok;
}

bool WriteWholeFile(const std::wstring& path, const Bytes& data) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = data.empty() || (WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, NULL) &&
                                   written == data.size());
  return CloseHandle(file) && ok;
}

std::vector<std::string> ReadLines(const std::wstring& path) {
  Bytes data;
  std::vector<std::string> lines(1);
  if (!ReadWholeFile(path, &data)) return {};
  for (uint8_t c : data) {
    if (c == '\n') lines.emplace_back();
    if (c != '\n' && c != '\r') lines.back() += static_cast<char>(c);
  }
  if (lines.back().empty()) lines.pop_back();
  return lines;
}

Sandbox::Sandbox() {
  std::string name = "unnamed";
  if (const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info()) {
    name = std::string(test->test_suite_name()) + "." + test->name();
  }
  for (char c : name) {  // parameterised names hold '/'
    const bool plain = isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.';
    name_ += plain ? static_cast<wchar_t>(c) : L'_';
  }
  name_ += L"-" + std::to_wstring(GetCurrentProcessId());
  root_ = std::wstring(kSandboxRoot) + L"\\" + name_;
  RemoveTree(root_);  // what an earlier run with the same process id left
  RemoveRegistryKeys();
  ok_ = MakeFolders(root_);
}

Sandbox::~Sandbox() {
  if (ok_) RemoveTree(root_);
  RemoveRegistryKeys();
}

bool Sandbox::MakeFolder(const std::wstring& relative) const { return ok_ && MakeFolders(Path(relative)); }

bool Sandbox::WriteFile(const std::wstring& relative, const Bytes& data) const {
  const std::wstring path = Path(relative);
  const size_t cut = path.find_last_of(L'\\');
  return ok_ && (cut <= root_.size() || MakeFolders(path.substr(0, cut))) && WriteWholeFile(path, data);
}

bool Sandbox::InstallFile(const std::wstring& relative, DWORD attributes, const std::string& content) const {
  return WriteFile(relative, Bytes(content.begin(), content.end())) &&
         (attributes == 0 || SetFileAttributesW(Path(relative).c_str(), attributes));
}

std::wstring Sandbox::WriteUninstaller(const std::wstring& relative, const Bytes& payload,
                                       const Bytes* program) const {
  const Bytes& stub = program ? *program : RetraxProgram();
  Bytes uninstaller;
  std::string error;
  const bool ok = !stub.empty() && pack::AttachPayload(stub, payload, &uninstaller, &error) &&
                  WriteFile(relative, uninstaller);
  return ok ? Path(relative) : std::wstring();
}

void Sandbox::PrepareProcess(Process* process) const {
  MakeFolders(Path(L"temp"));
  for (const wchar_t* name : {L"TMP", L"TEMP"}) process->SetEnvironment(name, Path(L"temp"));
}

std::wstring Sandbox::RegistryKey(const std::wstring& relative) const {
  const std::wstring key = std::wstring(kRegistryRoot) + L"\\" + name_;
  return relative.empty() ? key : key + L"\\" + relative;
}

bool Sandbox::MakeRegistryKey(HKEY root, RegistryView view, const std::wstring& relative) const {
  HKEY key = OpenKey(root, view, RegistryKey(relative), true);
  return key && RegCloseKey(key) == ERROR_SUCCESS;
}

bool Sandbox::SetRegistryValue(HKEY root, RegistryView view, const std::wstring& relative, const std::wstring& name,
                               const std::wstring& value) const {
  HKEY key = OpenKey(root, view, RegistryKey(relative), true);
  const LONG result = key ? RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)))
                          : ERROR_INVALID_HANDLE;
  if (key) RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

bool Sandbox::RegistryKeyExists(HKEY root, RegistryView view, const std::wstring& relative) const {
  HKEY key = OpenKey(root, view, RegistryKey(relative), false);
  return key && RegCloseKey(key) == ERROR_SUCCESS;
}

bool Sandbox::RegistryValueExists(HKEY root, RegistryView view, const std::wstring& relative,
                                  const std::wstring& name) const {
  HKEY key = OpenKey(root, view, RegistryKey(relative), false);
  const bool found = key && RegQueryValueExW(key, name.c_str(), NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
  if (key) RegCloseKey(key);
  return found;
}

void Sandbox::RemoveRegistryKeys() const {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
      HKEY parent;
      if (RegOpenKeyExW(root, kRegistryRoot, 0, KEY_ALL_ACCESS | view, &parent) != ERROR_SUCCESS) continue;
      RegDeleteTreeW(parent, name_.c_str());  // below a handle of one view, in that view
      RegCloseKey(parent);
      RegDeleteKeyExW(root, kRegistryRoot, view, 0);  // goes with the last test that used it
    }
  }
}

RunResult FinishAnswering(Process* process, DWORD timeoutMs) {
  std::vector<HWND> answered;
  std::vector<ShownDialog> shown;
  while (!process->Ended() && process->ElapsedMs() < timeoutMs) {
    const Dialog dialog = WaitForDialog(*process, 5 * kSettleMs, answered);
    if (!dialog) continue;
    answered.push_back(dialog.window());
    shown.push_back({dialog.Caption(), dialog.Text()});
    dialog.Press(dialog.HasButton(IDOK) ? IDOK : IDCANCEL);
  }
  const DWORD elapsed = process->ElapsedMs();
  RunResult result = process->Finish(timeoutMs > elapsed ? timeoutMs - elapsed : 0);
  result.dialogs = shown;
  return result;
}

RunResult RunProgram(const std::wstring& program, const std::wstring& arguments, const RunOptions& options) {
  Process process;
  if (options.sandbox) options.sandbox->PrepareProcess(&process);
  if (!process.Start(program, arguments, options.folder)) return RunResult();
  return options.dismissDialogs ? FinishAnswering(&process, options.timeoutMs) : process.Finish(options.timeoutMs);
}

std::wstring Message(int index, const std::wstring& path) {
  std::wstring text = Wide(StandardPayload().messages[index]);
  const size_t at = text.find(L"%s");
  return at == std::wstring::npos ? text : text.replace(at, 2, path);
}

pack::Payload StandardPayload() {
  pack::Payload payload;
  payload.messages.emplace_back();
  for (const char16_t* c = kStandardMessages; *c; ++c) {
    if (*c == u'|') payload.messages.emplace_back();
    if (*c != u'|') payload.messages.back() += *c;
  }
  return payload;
}

bool AddTestExtension(pack::Payload* payload) {
  payload->hasExtension = LoadEmbeddedFile(L"RETRAX_TEST_EXTENSION_DLL", &payload->extensionContent);
  return payload->hasExtension;
}

RunHold::RunHold() : name_(L"RetraxTestHold-" + std::to_wstring(GetCurrentProcessId())) {
  held_ = CreateEventW(NULL, TRUE, FALSE, (name_ + L".held").c_str());
  release_ = CreateEventW(NULL, TRUE, FALSE, name_.c_str());
}

RunHold::~RunHold() {
  Release();
  CloseHandle(held_);
  CloseHandle(release_);
}

bool RunHold::WaitHeld(const Process& process) const {
  const HANDLE either[2] = {held_, process.handle()};
  return process.started() && WaitForMultipleObjects(2, either, FALSE, 15000) == WAIT_OBJECT_0;
}

ScopedEnvironment::~ScopedEnvironment() {
  for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
    SetEnvironmentVariableW(it->first.c_str(), it->second == L"\n" ? nullptr : it->second.c_str());
  }
}

void ScopedEnvironment::Set(const std::wstring& name, const std::wstring& value) {
  wchar_t old[2048];
  const DWORD length = GetEnvironmentVariableW(name.c_str(), old, 2048);
  saved_.push_back({name, length > 0 && length < 2048 ? std::wstring(old, length) : L"\n"});
  SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
}

Process::~Process() {
  if (process_) {
    Kill();
    CloseHandle(process_);
  }
  if (job_) CloseHandle(job_);  // kills whatever the job still holds
}

bool Process::Start(const std::wstring& program, const std::wstring& arguments, const std::wstring& folder) {
  if (process_) return false;  // one run per Process
  std::wstring commandLine = L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
  const std::wstring startFolder = folder.empty() ? program.substr(0, program.find_last_of(L'\\')) : folder;
  ScopedEnvironment environment;  // inherited by the child
  for (const auto& change : environment_) environment.Set(change.first, change.second);
  if (!job_) job_ = CreateJobObjectW(NULL, NULL);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job_) SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  startTick_ = GetTickCount();
  // Suspended until it is in the job, so that nothing it starts escapes.
  if (!CreateProcessW(program.c_str(), &commandLine[0], NULL, NULL, FALSE, CREATE_SUSPENDED, NULL, startFolder.c_str(),
                      &startup, &info)) {
    return false;
  }
  if (job_ && !AssignProcessToJobObject(job_, info.hProcess)) {
    CloseHandle(job_);
    job_ = NULL;
  }
  ResumeThread(info.hThread);
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  id_ = info.dwProcessId;
  return true;
}

RunResult Process::Finish(DWORD timeoutMs) {
  RunResult result;
  result.started = started();
  if (!result.started) return result;
  result.timedOut = WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0;
  if (result.timedOut) Kill();
  GetExitCodeProcess(process_, &result.exitCode);
  return result;
}

void Process::Kill() {
  if (job_) TerminateJobObject(job_, 0xDEADu);
  if (!Ended()) TerminateProcess(process_, 0xDEADu);
  WaitForSingleObject(process_, 5000);
  if (job_) WaitForDescendants(5000);  // until the last has gone, files may be held open
}

// Wine starts its desktop process (explorer.exe /desktop) from the first
// window of a run when none is running; started from a process of the job,
// it joins the job and lives on for half a minute. It is not the run's.
static bool IsWineDesktop(DWORD id) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
  if (!process) return false;
  wchar_t image[MAX_PATH];
  DWORD length = MAX_PATH;
  const bool desktop = QueryFullProcessImageNameW(process, 0, image, &length) && length >= 13 &&
                       _wcsicmp(image + length - 13, L"\\explorer.exe") == 0;
  CloseHandle(process);
  return desktop;
}

bool Process::WaitForDescendants(DWORD timeoutMs) {
  if (!job_) return WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
  for (const DWORD start = GetTickCount();; Sleep(20)) {
    struct {
      JOBOBJECT_BASIC_PROCESS_ID_LIST head;
      ULONG_PTR more[63];
    } list = {};
    list.head.NumberOfAssignedProcesses = 64;
    if (!QueryInformationJobObject(job_, JobObjectBasicProcessIdList, &list, sizeof(list), NULL)) return false;
    DWORD running = 0;
    for (DWORD i = 0; i < list.head.NumberOfProcessIdsInList; ++i)
      running += !IsWineDesktop(DWORD(list.head.ProcessIdList[i]));
    if (running == 0) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
  }
}

::testing::AssertionResult ExitedWith(const RunResult& result, DWORD expected) {
  if (result.started && !result.timedOut && result.exitCode == expected) return ::testing::AssertionSuccess();
  ::testing::AssertionResult failure = ::testing::AssertionFailure()
                                       << std::hex << "expected exit code 0x" << expected << ", got {started "
                                       << result.started << ", timedOut " << result.timedOut << ", exitCode 0x"
                                       << result.exitCode;
  for (const ShownDialog& dialog : result.dialogs) {
    failure << ", dialog \"" << Narrow(dialog.caption) << "\": \"" << Narrow(dialog.text) << "\"";
  }
  return failure << "}";
}

}  // namespace harness
