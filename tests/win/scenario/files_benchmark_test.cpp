// How long the file phase takes over 10,000 plain files, next to a bare
// DeleteFileW loop over the same files in the same run, and to a run that
// lists nothing. Prints the three times; they are for reading, not for
// passing or failing.
#include <stdio.h>

#include <string>

#include "files_scenario.h"

namespace {

using files::FileScenario;
using harness::ExitedWith;

const int kFolders = 100, kFilesPerFolder = 100;

class FilePhaseTiming : public FileScenario {
 protected:
  // In folders of 100: Wine looks through a folder for another case of a
  // name before it makes a file, which makes one folder of 10,000 slow to
  // fill.
  std::wstring Name(int i) {
    return L"App\\bench\\" + std::to_wstring(i / kFilesPerFolder) + L"\\" + std::to_wstring(i) + L".dat";
  }
  void CreateAll() {
    for (int f = 0; f < kFolders; ++f) ASSERT_TRUE(sandbox.MakeFolder(L"App\\bench\\" + std::to_wstring(f)));
    for (int i = 0; i < kFolders * kFilesPerFolder; ++i) {
      HANDLE file = CreateFileW(Path(Name(i)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
      ASSERT_NE(file, INVALID_HANDLE_VALUE) << i;
      CloseHandle(file);
    }
  }
  DWORD TimeRun(const std::wstring& name, const pack::Payload& listed) {
    const std::wstring program = sandbox.WriteUninstaller(L"App\\" + name, listed);
    harness::Process run;
    sandbox.PrepareProcess(&run);
    const DWORD start = GetTickCount();
    EXPECT_TRUE(run.Start(program, L"/S"));
    EXPECT_TRUE(ExitedWith(run.Finish(120000), 0));
    return GetTickCount() - start;
  }
};

TEST_F(FilePhaseTiming, TenThousandFilesAgainstADeleteLoop) {
  const int count = kFolders * kFilesPerFolder;
  const DWORD empty = TimeRun(L"empty.exe", payload);
  CreateAll();
  for (int i = 0; i < count; ++i) List(Name(i));
  const DWORD uninstall = TimeRun(L"uninstall.exe", payload);
  EXPECT_FALSE(Exists(Name(0)));
  EXPECT_FALSE(Exists(Name(count - 1)));

  CreateAll();
  const DWORD start = GetTickCount();
  for (int i = 0; i < count; ++i) EXPECT_TRUE(DeleteFileW(Path(Name(i)).c_str()));
  const DWORD loop = GetTickCount() - start;
  printf("[ timing   ] %d files: uninstaller /S %lu ms, DeleteFileW loop %lu ms, "
         "uninstaller listing nothing %lu ms\n",
         count, (unsigned long)uninstall, (unsigned long)loop, (unsigned long)empty);
}

}  // namespace
