// Shared set-up of the platform and path tests: the ANSI table for the span
// of a test, and a private scratch folder that is also the temporary folder.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/system_calls.h"

// Switches the table to the ANSI adapters and back to the wide functions,
// as the program itself never does, so that each adapter can be checked
// against the real ANSI function.
struct TableSelection {
  explicit TableSelection(bool wide) { SelectSystemCallsForPlatform(wide); }
  ~TableSelection() { SelectSystemCallsForPlatform(true); }
};

inline std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
  return folder + L"\\" + name;
}

// A fresh folder under the process's temporary folder, named after the test,
// that TMP and TEMP point at while it lives. Only files and empty folders
// made by the test are expected in it; removal goes one level down and never
// follows anything but plain folders.
class ScratchFolder {
 public:
  ScratchFolder() {
    wchar_t temp[MAX_PATH];
    DWORD length = GetTempPathW(MAX_PATH, temp);
    EXPECT_TRUE(length > 0 && length < MAX_PATH);
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("rx_") + test->test_suite_name() + "_" + test->name();
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    path_ = std::wstring(temp) + std::wstring(name.begin(), name.end());
    Remove();
    EXPECT_TRUE(CreateDirectoryW(path_.c_str(), nullptr));
    SaveVariable(L"TMP", &savedTmp_, &hadTmp_);
    SaveVariable(L"TEMP", &savedTemp_, &hadTemp_);
    SetEnvironmentVariableW(L"TMP", path_.c_str());
    SetEnvironmentVariableW(L"TEMP", path_.c_str());
  }
  ~ScratchFolder() {
    SetEnvironmentVariableW(L"TMP", hadTmp_ ? savedTmp_.c_str() : nullptr);
    SetEnvironmentVariableW(L"TEMP", hadTemp_ ? savedTemp_.c_str() : nullptr);
    Remove();
  }
  const std::wstring& Path() const { return path_; }
  std::wstring Child(const std::wstring& name) const { return JoinPath(path_, name); }

  void MakeFile(const std::wstring& name, const char* content = "") const {
    HANDLE file = CreateFileW(Child(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, content, (DWORD)strlen(content), &written, nullptr);
    CloseHandle(file);
  }
  int CountEntries() const {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Child(L"*").c_str(), &found);
    int count = 0;
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
      if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0) ++count;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
  }

 private:
  static void SaveVariable(const wchar_t* name, std::wstring* value, bool* had) {
    wchar_t buffer[1024];
    DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    *had = length > 0 && length < 1024;
    if (*had) *value = buffer;
  }
  void Remove() const {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Child(L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        std::wstring child = Child(found.cFileName);
        if (wcscmp(found.cFileName, L".") == 0 || wcscmp(found.cFileName, L"..") == 0) continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveDirectoryW(child.c_str());
        } else {
          SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
          DeleteFileW(child.c_str());
        }
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    // A program a test started in the folder holds it as its current folder
    // for a moment after its handle has been signalled (Wine ends the
    // process's handles just after).
    for (int attempt = 0; attempt < 40 && !RemoveDirectoryW(path_.c_str()) &&
                          GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES;
         ++attempt) {
      Sleep(50);
    }
  }

  std::wstring path_;
  std::wstring savedTmp_, savedTemp_;
  bool hadTmp_ = false, hadTemp_ = false;
};
