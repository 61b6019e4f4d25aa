// Where each file entry's path comes from: the install folder for "."
// folders, the folder as written otherwise, and never a relative or cut
// path; and the progress the file phase reports.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "driver_test_support.h"
#include "removal/removal.h"

namespace {

class EntryPath : public RunTest {
 protected:
  void SetUp() override {
    RunTest::SetUp();
    wcscpy(run.installDir, L"C:\\Program Files\\App\\");
  }
  // The path built for folder and name, or "(refused)".
  std::wstring Build(const wchar_t* folder, const wchar_t* name) {
    wcscpy(run.workPath, L"stale");
    FileEntry entry = {folder, name, 0};
    if (!BuildEntryPath(&entry)) {
      EXPECT_STREQ(run.workPath, L"") << "a refused path leaves nothing to act on";
      return L"(refused)";
    }
    return run.workPath;
  }
};

TEST_F(EntryPath, DotFoldersAreTakenFromTheInstallFolder) {
  EXPECT_EQ(Build(L".", L"app.exe"), L"C:\\Program Files\\App\\app.exe");
  EXPECT_EQ(Build(L".\\sub", L"a.dll"), L"C:\\Program Files\\App\\sub\\a.dll");
  EXPECT_EQ(Build(L".\\sub\\", L"a.dll"), L"C:\\Program Files\\App\\sub\\a.dll");
  // Only ".\" opens a sub-path: "..\sub" names the install folder itself.
  EXPECT_EQ(Build(L"..\\sub", L"a.dll"), L"C:\\Program Files\\App\\a.dll");
  EXPECT_EQ(Build(L".", L""), L"C:\\Program Files\\App\\");
  EXPECT_EQ(Build(L".\\sub", L""), L"C:\\Program Files\\App\\sub");
}

TEST_F(EntryPath, AbsoluteFoldersAreTakenAsWritten) {
  EXPECT_EQ(Build(L"C:\\Shared", L"lib.dll"), L"C:\\Shared\\lib.dll");
  EXPECT_EQ(Build(L"C:\\Shared\\", L"lib.dll"), L"C:\\Shared\\lib.dll");
  EXPECT_EQ(Build(L"\\\\server\\share", L"lib.dll"), L"\\\\server\\share\\lib.dll");
  EXPECT_EQ(Build(L"C:\\Shared\\Empty", L""), L"C:\\Shared\\Empty");
}

// The current folder may be the system folder: "a.dll" there is not ours.
TEST_F(EntryPath, RelativePathsAreRefused) {
  EXPECT_EQ(Build(L"", L"a.dll"), L"(refused)");
  EXPECT_EQ(Build(L"sub", L"a.dll"), L"(refused)");
  EXPECT_EQ(Build(L"\\Windows", L"a.dll"), L"(refused)") << "a rooted path depends on the current drive";
  EXPECT_EQ(Build(L"C:sub", L"a.dll"), L"(refused)");
  EXPECT_EQ(Build(L"", L""), L"(refused)");
}

TEST_F(EntryPath, PathsLongerThanTheBufferAreRefusedNotCut) {
  const std::wstring folder = L"C:\\" + std::wstring(247, L'f');
  EXPECT_EQ(Build(folder.c_str(), L"12345.dll"), L"(refused)") << "one unit too long";
  EXPECT_EQ(Build(folder.c_str(), L"1234.dll"), folder + L"\\1234.dll") << "259 units fit";
  // The install folder and a long sub-path.
  const std::wstring sub = L".\\" + std::wstring(240, L's');
  EXPECT_EQ(Build(sub.c_str(), L"a.dll"), L"(refused)");
}

std::vector<WPARAM> positions;
WNDPROC barProc = nullptr;
LRESULT CALLBACK RecordingBar(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == PBM_SETPOS) positions.push_back(wp);
  return CallWindowProcW(barProc, w, m, wp, lp);
}

// Each entry reports the entries done before it; the files phase covers
// the first part of a span shared with the later phases.
TEST_F(EntryPath, ProgressCountsTheEntriesBeforeEach) {
  pack::Payload payload;
  payload.files = {{u".", u"absent1", 0}, {u".", u"absent2", 0}, {u".", u"absent3", 0}};
  Load(payload);
  ASSERT_TRUE(RegisterMainWindowClass() && CreateMainWindow());
  run.progressBar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD, 0, 0, 100, 10, run.mainWindow, nullptr,
                                    nullptr, nullptr);
  barProc = (WNDPROC)SetWindowLongPtrW(run.progressBar, GWLP_WNDPROC, (LONG_PTR)RecordingBar);
  positions.clear();
  run.lastProgress = 100;  // so that a first 0 shows
  run.progressTotal = 10;
  RemoveFiles();
  EXPECT_EQ(positions, (std::vector<WPARAM>{0, 10, 20}));
  EXPECT_STREQ(run.workPath, L"C:\\Program Files\\App\\absent1") << "the last path built, the first entry's";
}

}  // namespace
