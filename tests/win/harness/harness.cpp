#include "harness/harness.h"

#include <stdio.h>

#include <algorithm>

#include <ostream>
#include <sstream>

namespace harness {

const wchar_t kSandboxRoot[] = L"C:\\retrax-tests";

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
  root_ = std::wstring(kSandboxRoot) + L"\\" + SafeName(name) + pid;
  // A folder left by an earlier run with the same process id goes first.
  RemoveTree(root_);
  ok_ = MakeFolders(root_);
}

Sandbox::~Sandbox() {
  if (ok_) RemoveTree(root_);
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

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

namespace {

struct DialogSearch {
  DWORD processId;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectDialogs(HWND window, LPARAM context) {
  DialogSearch* search = reinterpret_cast<DialogSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t className[16];
  // Filtered by process: Wine's own crash dialog is a #32770 as well.
  if (owner == search->processId && IsWindowVisible(window) &&
      GetClassNameW(window, className, 16) && wcscmp(className, L"#32770") == 0) {
    search->found.push_back(window);
  }
  return TRUE;
}

std::wstring WindowText(HWND window) {
  wchar_t text[1024];
  const int length = window ? GetWindowTextW(window, text, 1024) : 0;
  return std::wstring(text, length > 0 ? length : 0);
}

// Records and ends the dialogs the process shows now; answered holds the
// ones already ended, which may take a moment to go away.
void DismissDialogs(DWORD processId, std::vector<HWND>* answered, RunResult* result) {
  DialogSearch search = {processId, {}};
  EnumWindows(CollectDialogs, reinterpret_cast<LPARAM>(&search));
  for (HWND dialog : search.found) {
    if (std::find(answered->begin(), answered->end(), dialog) != answered->end()) continue;
    answered->push_back(dialog);
    result->dialogs.push_back({WindowText(dialog), WindowText(GetDlgItem(dialog, 0xFFFF))});
    const int button = GetDlgItem(dialog, IDOK) ? IDOK : IDCANCEL;
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
  }
}

}  // namespace

RunResult RunProgram(const std::wstring& program, const std::wstring& arguments,
                     const RunOptions& options) {
  RunResult result;
  std::wstring commandLine = L"\"" + program + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  std::wstring startFolder = options.folder;
  if (startFolder.empty()) {
    const size_t cut = program.find_last_of(L'\\');
    if (cut != std::wstring::npos) startFolder = program.substr(0, cut);
  }

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  std::vector<wchar_t> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back(L'\0');
  if (!CreateProcessW(program.c_str(), mutableLine.data(), NULL, NULL, FALSE, 0, NULL,
                      startFolder.empty() ? NULL : startFolder.c_str(), &startup, &process)) {
    return result;
  }
  result.started = true;
  CloseHandle(process.hThread);

  const DWORD started = GetTickCount();
  const DWORD pollMs = options.dismissDialogs ? 50 : options.timeoutMs;
  std::vector<HWND> answered;
  for (;;) {
    if (WaitForSingleObject(process.hProcess, pollMs) != WAIT_TIMEOUT) break;
    if (GetTickCount() - started >= options.timeoutMs) {
      result.timedOut = true;
      TerminateProcess(process.hProcess, 0xDEADu);
      WaitForSingleObject(process.hProcess, 5000);
      break;
    }
    if (options.dismissDialogs) DismissDialogs(process.dwProcessId, &answered, &result);
  }
  GetExitCodeProcess(process.hProcess, &result.exitCode);
  CloseHandle(process.hProcess);
  return result;
}

::testing::AssertionResult ExitedWith(const RunResult& result, DWORD expected) {
  if (result.started && !result.timedOut && result.exitCode == expected) {
    return ::testing::AssertionSuccess();
  }
  char text[64];
  snprintf(text, sizeof(text), "expected exit code 0x%08lX, got ", static_cast<unsigned long>(expected));
  std::ostringstream described;
  PrintTo(result, &described);
  return ::testing::AssertionFailure() << text << described.str();
}

void PrintTo(const RunResult& result, std::ostream* out) {
  char text[96];
  snprintf(text, sizeof(text), "{started %d, timedOut %d, exitCode 0x%08lX", result.started ? 1 : 0,
           result.timedOut ? 1 : 0, static_cast<unsigned long>(result.exitCode));
  *out << text;
  for (const ShownDialog& dialog : result.dialogs) {
    *out << ", dialog \"" << Narrow(dialog.caption) << "\": \"" << Narrow(dialog.text) << "\"";
  }
  *out << "}";
}

}  // namespace harness
