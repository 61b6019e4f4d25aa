#include "harness/harness.h"

#include <stdio.h>

#include <algorithm>

#include <ostream>
#include <sstream>

namespace harness {

const wchar_t kSandboxRoot[] = L"C:\\retrax-tests";
const wchar_t kRegistryRoot[] = L"Software\\RetraxTests";

namespace {

// Test names may hold '/' (parameterised tests) and other characters that
// are not allowed in a file name.
std::wstring SafeName(const std::string& name) {
  std::wstring out;
  for (char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '_' || c == '-' || c == '.';
    out += plain ? static_cast<wchar_t>(c) : L'_';
  }
  return out;
}

bool IsBelowSandboxRoot(const std::wstring& path) {
  const size_t rootLength = wcslen(kSandboxRoot);
  if (path.size() <= rootLength + 1) return false;
  if (_wcsnicmp(path.c_str(), kSandboxRoot, rootLength) != 0) return false;
  if (path[rootLength] != L'\\') return false;
  // No way back up out of the root.
  return path.find(L"\\..") == std::wstring::npos && path.find(L'/') == std::wstring::npos;
}

bool MakeFolders(const std::wstring& path) {
  if (CreateDirectoryW(path.c_str(), NULL) || GetLastError() == ERROR_ALREADY_EXISTS) return true;
  const size_t cut = path.find_last_of(L'\\');
  if (cut == std::wstring::npos || cut < 3) return false;
  return MakeFolders(path.substr(0, cut)) &&
         (CreateDirectoryW(path.c_str(), NULL) || GetLastError() == ERROR_ALREADY_EXISTS);
}

bool RemoveTreeBelow(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  bool clean = true;
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      const DWORD attributes = found.dwFileAttributes;
      if (attributes & FILE_ATTRIBUTE_READONLY) {
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
      }
      if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        // A link is removed as it is, never entered.
        if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) clean = RemoveTreeBelow(path) && clean;
        clean = RemoveDirectoryW(path.c_str()) && clean;
      } else {
        clean = DeleteFileW(path.c_str()) && clean;
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  return clean;
}

// Deletes parent\name with everything below it, in one view.
void DeleteKeyTree(HKEY parent, const std::wstring& name, REGSAM view) {
  HKEY key;
  if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return;
  wchar_t child[256];
  for (;;) {
    DWORD length = 256;
    if (RegEnumKeyExW(key, 0, child, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
    const DWORD before = length;
    DeleteKeyTree(key, std::wstring(child, before), view);
    // A child that would not go ends the walk instead of looping on it.
    HKEY check;
    if (RegOpenKeyExW(key, child, 0, KEY_READ | view, &check) == ERROR_SUCCESS) {
      RegCloseKey(check);
      break;
    }
  }
  RegCloseKey(key);
  RegDeleteKeyExW(parent, name.c_str(), view, 0);
}

}  // namespace

bool LoadEmbeddedFile(const wchar_t* name, Bytes* out) {
  HRSRC found = FindResourceW(NULL, name, MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!found) return false;
  HGLOBAL loaded = LoadResource(NULL, found);
  const DWORD size = SizeofResource(NULL, found);
  const uint8_t* data = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
  if (!data || size == 0) return false;
  out->assign(data, data + size);
  return true;
}

const Bytes& RetraxProgram() {
  static const Bytes program = [] {
    Bytes bytes;
    LoadEmbeddedFile(L"RETRAX_EXE", &bytes);
    return bytes;
  }();
  return program;
}

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

bool ReadWholeFile(const std::wstring& path, Bytes* out) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart < (1LL << 30);
  if (ok) {
    out->resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    ok = out->empty() || (ReadFile(file, out->data(), static_cast<DWORD>(out->size()), &read, NULL) &&
                          read == out->size());
  }
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

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RemoveTree(const std::wstring& path) {
  if (!IsBelowSandboxRoot(path)) return false;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileW(path.c_str()) != 0;
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) RemoveTreeBelow(path);
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return RemoveDirectoryW(path.c_str()) != 0;
}

Sandbox::Sandbox() {
  std::string name = "unnamed";
  if (const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info()) {
    name = std::string(test->test_suite_name()) + "." + test->name();
  }
  wchar_t pid[16];
  swprintf(pid, 16, L"-%lu", GetCurrentProcessId());
  name_ = SafeName(name) + pid;
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

std::wstring Sandbox::Path(const std::wstring& relative) const {
  return relative.empty() ? root_ : root_ + L"\\" + relative;
}

bool Sandbox::MakeFolder(const std::wstring& relative) const {
  return ok_ && MakeFolders(Path(relative));
}

bool Sandbox::WriteFile(const std::wstring& relative, const Bytes& data) const {
  if (!ok_) return false;
  const std::wstring path = Path(relative);
  const size_t cut = path.find_last_of(L'\\');
  if (cut > root_.size() && !MakeFolders(path.substr(0, cut))) return false;
  return WriteWholeFile(path, data);
}

bool Sandbox::Exists(const std::wstring& relative) const {
  return FileExists(Path(relative));
}

std::wstring Sandbox::WriteUninstaller(const std::wstring& relative, const Bytes& payload) const {
  Bytes program;
  std::string error;
  if (RetraxProgram().empty() || !pack::AttachPayload(RetraxProgram(), payload, &program, &error)) {
    return std::wstring();
  }
  return WriteFile(relative, program) ? Path(relative) : std::wstring();
}

std::wstring Sandbox::WriteUninstaller(const std::wstring& relative, const pack::Payload& payload) const {
  return WriteUninstaller(relative, pack::EncodePayload(payload));
}

bool Sandbox::InstallFile(const std::wstring& relative, DWORD attributes, const std::string& content) const {
  if (!WriteFile(relative, Bytes(content.begin(), content.end()))) return false;
  return attributes == 0 || SetFileAttributesW(Path(relative).c_str(), attributes);
}

bool Sandbox::InstallShortcut(const std::wstring& relative) const {
  return InstallFile(relative, 0, "shortcut stand-in");
}

DWORD Sandbox::Attributes(const std::wstring& relative) const {
  return GetFileAttributesW(Path(relative).c_str());
}

void Sandbox::PrepareProcess(Process* process) const {
  const std::wstring temp = Path(L"temp");
  MakeFolders(temp);
  process->SetEnvironment(L"TMP", temp);
  process->SetEnvironment(L"TEMP", temp);
}

std::wstring Sandbox::RegistryKey(const std::wstring& relative) const {
  std::wstring key = std::wstring(kRegistryRoot) + L"\\" + name_;
  return relative.empty() ? key : key + L"\\" + relative;
}

bool Sandbox::MakeRegistryKey(HKEY root, RegistryView view, const std::wstring& relative) const {
  HKEY key;
  if (RegCreateKeyExW(root, RegistryKey(relative).c_str(), 0, NULL, 0, KEY_WRITE | view, NULL, &key, NULL) !=
      ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

bool Sandbox::SetRegistryValue(HKEY root, RegistryView view, const std::wstring& relative,
                               const std::wstring& name, const std::wstring& value) const {
  HKEY key;
  if (RegCreateKeyExW(root, RegistryKey(relative).c_str(), 0, NULL, 0, KEY_WRITE | view, NULL, &key, NULL) !=
      ERROR_SUCCESS) {
    return false;
  }
  const LONG result = RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

bool Sandbox::RegistryKeyExists(HKEY root, RegistryView view, const std::wstring& relative) const {
  HKEY key;
  if (RegOpenKeyExW(root, RegistryKey(relative).c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

bool Sandbox::RegistryValueExists(HKEY root, RegistryView view, const std::wstring& relative,
                                  const std::wstring& name) const {
  HKEY key;
  if (RegOpenKeyExW(root, RegistryKey(relative).c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  const LONG result = RegQueryValueExW(key, name.c_str(), NULL, NULL, NULL, NULL);
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

void Sandbox::RemoveRegistryKeys() const {
  const struct {
    HKEY root;
    RegistryView view;
  } places[] = {{HKEY_CURRENT_USER, kView32}, {HKEY_CURRENT_USER, kView64},
                {HKEY_LOCAL_MACHINE, kView32}, {HKEY_LOCAL_MACHINE, kView64}};
  for (const auto& place : places) {
    HKEY parent;
    if (RegOpenKeyExW(place.root, kRegistryRoot, 0, KEY_ALL_ACCESS | place.view, &parent) != ERROR_SUCCESS) {
      continue;
    }
    DeleteKeyTree(parent, name_, place.view);
    RegCloseKey(parent);
    // The shared parent goes with the last test that used it; while another
    // test's key is below it, the deletion fails and it stays.
    RegDeleteKeyExW(place.root, kRegistryRoot, place.view, 0);
  }
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

std::u16string U16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

RunResult RunProgram(const std::wstring& program, const std::wstring& arguments, const RunOptions& options) {
  Process process;
  if (options.sandbox) options.sandbox->PrepareProcess(&process);
  if (!process.Start(program, arguments, options.folder)) return RunResult();
  std::vector<HWND> answered;
  std::vector<ShownDialog> shown;
  if (options.dismissDialogs) {
    // Each dialog is recorded and ended once; an ended one may take a moment
    // to go away.
    while (!process.Ended() && process.ElapsedMs() < options.timeoutMs) {
      const Dialog dialog = WaitForDialog(process, 50, answered);
      if (!dialog) continue;
      answered.push_back(dialog.window());
      shown.push_back({dialog.Caption(), dialog.Text()});
      dialog.Press(dialog.HasButton(IDOK) ? IDOK : IDCANCEL);
    }
  }
  const DWORD elapsed = process.ElapsedMs();
  RunResult result = process.Finish(options.timeoutMs > elapsed ? options.timeoutMs - elapsed : 0);
  result.dialogs = shown;
  return result;
}

}  // namespace harness
