#include "harness/harness.h"

#include <ctype.h>

namespace harness {

namespace {

// Every sandbox lives below this folder; RemoveTree refuses anything else.
const wchar_t kSandboxRoot[] = L"C:\\retrax-tests";
// Every test's registry keys live below this key of each root and view.
const wchar_t kRegistryRoot[] = L"Software\\RetraxTests";

bool IsBelowSandboxRoot(const std::wstring& path) {
  const size_t rootLength = wcslen(kSandboxRoot);
  return path.size() > rootLength + 1 && _wcsnicmp(path.c_str(), kSandboxRoot, rootLength) == 0 &&
         path[rootLength] == L'\\' && path.find(L"\\..") == std::wstring::npos && path.find(L'/') == std::wstring::npos;
}

bool MakeFolders(const std::wstring& path) {
  if (CreateDirectoryW(path.c_str(), NULL) || GetLastError() == ERROR_ALREADY_EXISTS) return true;
  const size_t cut = path.find_last_of(L'\\');
  return cut != std::wstring::npos && cut >= 3 && MakeFolders(path.substr(0, cut)) &&
         (CreateDirectoryW(path.c_str(), NULL) || GetLastError() == ERROR_ALREADY_EXISTS);
}

// Deletes a file or a folder tree, read-only files included; links are
// removed, never followed.
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

// RemoveBelow for what lies below kSandboxRoot, and for nothing else.
void RemoveTree(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (IsBelowSandboxRoot(path) && attributes != INVALID_FILE_ATTRIBUTES) RemoveBelow(path, attributes);
}

// Deletes parent\name with everything below it, in one view.
void DeleteKeyTree(HKEY parent, const std::wstring& name, REGSAM view) {
  HKEY key;
  if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return;
  wchar_t child[256];
  for (DWORD length = 256; RegEnumKeyExW(key, 0, child, &length, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
       length = 256) {
    DeleteKeyTree(key, std::wstring(child, length), view);
    HKEY check;  // a child that would not go ends the walk instead of looping on it
    if (RegOpenKeyExW(key, child, 0, KEY_READ | view, &check) == ERROR_SUCCESS) {
      RegCloseKey(check);
      break;
    }
  }
  RegCloseKey(key);
  RegDeleteKeyExW(parent, name.c_str(), view, 0);
}

// Opens (or with create, makes) the key; the caller closes it.
HKEY OpenKey(HKEY root, RegistryView view, const std::wstring& path, bool create) {
  HKEY key = NULL;
  const LONG result = create ? RegCreateKeyExW(root, path.c_str(), 0, NULL, 0, KEY_WRITE | view, NULL, &key, NULL)
                             : RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key);
  return result == ERROR_SUCCESS ? key : NULL;
}

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

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

bool ReadWholeFile(const std::wstring& path, Bytes* out) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  DWORD read = 0;
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart < (1LL << 30);
  if (ok) out->resize(static_cast<size_t>(size.QuadPart));
  ok = ok && (out->empty() ||
              (ReadFile(file, out->data(), static_cast<DWORD>(out->size()), &read, NULL) && read == out->size()));
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
  std::vector<std::string> lines;
  if (!ReadWholeFile(path, &data)) return lines;
  std::string line;
  for (uint8_t c : data) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else if (c != '\r') {
      line += static_cast<char>(c);
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

Sandbox::Sandbox() {
  std::string name = "unnamed";
  if (const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info()) {
    name = std::string(test->test_suite_name()) + "." + test->name();
  }
  // Test names may hold '/' (parameterised tests) and other characters not
  // allowed in a file name.
  for (char c : name) {
    const bool plain = isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.';
    name_ += plain ? static_cast<wchar_t>(c) : L'_';
  }
  name_ += L"-" + std::to_wstring(GetCurrentProcessId());
  root_ = std::wstring(kSandboxRoot) + L"\\" + name_;
  // What an earlier run with the same process id left goes first.
  RemoveTree(root_);
  RemoveRegistryKeys();
  ok_ = MakeFolders(root_);
}

Sandbox::~Sandbox() {
  if (ok_) RemoveTree(root_);
  RemoveRegistryKeys();
}

bool Sandbox::MakeFolder(const std::wstring& relative) const { return ok_ && MakeFolders(Path(relative)); }

bool Sandbox::WriteFile(const std::wstring& relative, const Bytes& data) const {
  if (!ok_) return false;
  const std::wstring path = Path(relative);
  const size_t cut = path.find_last_of(L'\\');
  return (cut <= root_.size() || MakeFolders(path.substr(0, cut))) && WriteWholeFile(path, data);
}

bool Sandbox::InstallFile(const std::wstring& relative, DWORD attributes, const std::string& content) const {
  return WriteFile(relative, Bytes(content.begin(), content.end())) &&
         (attributes == 0 || SetFileAttributesW(Path(relative).c_str(), attributes));
}

std::wstring Sandbox::WriteUninstaller(const std::wstring& relative, const Bytes& payload) const {
  Bytes program;
  std::string error;
  return !RetraxProgram().empty() && pack::AttachPayload(RetraxProgram(), payload, &program, &error) &&
                 WriteFile(relative, program)
             ? Path(relative)
             : std::wstring();
}

void Sandbox::PrepareProcess(Process* process) const {
  MakeFolders(Path(L"temp"));
  process->SetEnvironment(L"TMP", Path(L"temp"));
  process->SetEnvironment(L"TEMP", Path(L"temp"));
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
  if (!key) return false;
  const LONG result = RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

bool Sandbox::RegistryKeyExists(HKEY root, RegistryView view, const std::wstring& relative) const {
  HKEY key = OpenKey(root, view, RegistryKey(relative), false);
  return key && RegCloseKey(key) == ERROR_SUCCESS;
}

bool Sandbox::RegistryValueExists(HKEY root, RegistryView view, const std::wstring& relative,
                                  const std::wstring& name) const {
  HKEY key = OpenKey(root, view, RegistryKey(relative), false);
  if (!key) return false;
  const LONG result = RegQueryValueExW(key, name.c_str(), NULL, NULL, NULL, NULL);
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

void Sandbox::RemoveRegistryKeys() const {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
      HKEY parent;
      if (RegOpenKeyExW(root, kRegistryRoot, 0, KEY_ALL_ACCESS | view, &parent) != ERROR_SUCCESS) continue;
      DeleteKeyTree(parent, name_, view);
      RegCloseKey(parent);
      // The shared parent goes with the last test that used it.
      RegDeleteKeyExW(root, kRegistryRoot, view, 0);
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

}  // namespace harness
