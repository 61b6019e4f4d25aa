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
    for (char& c : name) c = c == '/' ? '_' : c;
    path_ = std::wstring(temp) + std::wstring(name.begin(), name.end());
    Remove();
    EXPECT_TRUE(CreateDirectoryW(path_.c_str(), nullptr));
    for (int i = 0; i < 2; ++i) {
      wchar_t value[1024];
      const DWORD size = GetEnvironmentVariableW(kVariables[i], value, 1024);
      had_[i] = size > 0 && size < 1024;
      saved_[i] = had_[i] ? value : L"";
      SetEnvironmentVariableW(kVariables[i], path_.c_str());
    }
  }
  ~ScratchFolder() {
    for (int i = 0; i < 2; ++i) SetEnvironmentVariableW(kVariables[i], had_[i] ? saved_[i].c_str() : nullptr);
    Remove();
  }
  const std::wstring& Path() const { return path_; }
  std::wstring Child(const std::wstring& name) const { return path_ + L"\\" + name; }

  void MakeFile(const std::wstring& name, const char* content = "") const {
    HANDLE file = CreateFileW(Child(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, content, (DWORD)strlen(content), &written, nullptr);
    CloseHandle(file);
  }
  // Calls `visit` with each entry but "." and "..", and gives their number.
  template <typename Visit>
  int ForEachEntry(Visit visit) const {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Child(L"*").c_str(), &found);
    int count = 0;
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
      if (wcscmp(found.cFileName, L".") == 0 || wcscmp(found.cFileName, L"..") == 0) continue;
      visit(found);
      ++count;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
  }
  int CountEntries() const {
    return ForEachEntry([](const WIN32_FIND_DATAW&) {});
  }

 private:
  void Remove() const {
    ForEachEntry([this](const WIN32_FIND_DATAW& found) {
      const std::wstring child = Child(found.cFileName);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveDirectoryW(child.c_str());
      } else {
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(child.c_str());
      }
    });
    // A program a test started in the folder holds it as its current folder
    // for a moment after its handle has been signalled (Wine ends the
    // process's handles just after).
    for (int attempt = 0; attempt < 40 && !RemoveDirectoryW(path_.c_str()) &&
                          GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES;
         ++attempt) {
      Sleep(50);
    }
  }

  static constexpr const wchar_t* kVariables[2] = {L"TMP", L"TEMP"};
  std::wstring path_, saved_[2];
  bool had_[2] = {false, false};
};
