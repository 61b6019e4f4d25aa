// Folder trees removed by a silent run of retrax.exe: what a pattern takes,
// what resists, and what is never touched.
#include "folders_scenario_support.h"

#include <winioctl.h>

using harness::ExitedWith;

namespace {

class FolderTrees : public harness::RemovalScenario {};

TEST_F(FolderTrees, PatternsTakeTheirFilesAndEveryFolderLeftEmptyButNothingThatResists) {
  for (const wchar_t* file : {L"App\\cache\\a\\1.tmp", L"App\\cache\\b\\c\\2.tmp", L"App\\logs\\today.log",
                              L"App\\logs\\notes.txt", L"App\\logs\\old\\1.log", L"App\\data\\plain.txt",
                              L"App\\held\\in-use.dat", L"App\\held\\other\\x.dat", L"App\\x.bak",
                              L"App\\sub\\deep\\y.bak", L"App\\keep.txt"})
    ASSERT_TRUE(Install(file));
  ASSERT_TRUE(Install(L"App\\data\\locked\\readonly.txt", FILE_ATTRIBUTE_READONLY));
  HANDLE held = CreateFileW(sandbox.Path(L"App\\held\\in-use.dat").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);

  pack::Payload payload = harness::StandardPayload();
  payload.folderTrees = {u"cache\\*.*", u"logs\\*.log", u"data\\*.*", u"held\\*.*", u"*.bak"};
  const harness::RunResult result = RunUninstaller(payload);
  CloseHandle(held);
  EXPECT_TRUE(ExitedWith(result, 0));

  EXPECT_FALSE(sandbox.Exists(L"App\\cache"));
  EXPECT_FALSE(sandbox.Exists(L"App\\logs\\today.log"));
  EXPECT_FALSE(sandbox.Exists(L"App\\logs\\old"));
  EXPECT_TRUE(sandbox.Exists(L"App\\logs\\notes.txt")) << "not a *.log";
  EXPECT_FALSE(sandbox.Exists(L"App\\data\\plain.txt"));
  EXPECT_TRUE(sandbox.Exists(L"App\\data\\locked\\readonly.txt")) << "read-only files are not cleared";
  EXPECT_FALSE(sandbox.Exists(L"App\\held\\other"));
  EXPECT_TRUE(sandbox.Exists(L"App\\held\\in-use.dat"));
  // A text without a backslash is a pattern over the whole install folder.
  EXPECT_FALSE(sandbox.Exists(L"App\\x.bak"));
  EXPECT_FALSE(sandbox.Exists(L"App\\sub"));
  EXPECT_TRUE(sandbox.Exists(L"App\\keep.txt"));
}

// The program's temporary folder (TMP, here inside the tree) is protected.
TEST_F(FolderTrees, MacroTreesGoAndAProtectedFolderInsideATreeKeepsAllItHolds) {
  const std::wstring appData = harness::ShellFolder(CSIDL_APPDATA);
  ASSERT_FALSE(appData.empty());
  const std::wstring vendor = appData + L"\\" + sandbox.name();
  ASSERT_TRUE(CreateDirectoryW(vendor.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((vendor + L"\\Profiles").c_str(), nullptr));
  ASSERT_TRUE(harness::WriteWholeFile(vendor + L"\\Profiles\\settings.ini", {'x'}));
  ASSERT_TRUE(Install(L"App\\cache\\tmp\\in-use-by-the-system.tmp"));
  ASSERT_TRUE(Install(L"App\\cache\\tmp\\nested\\n.tmp"));
  ASSERT_TRUE(Install(L"App\\cache\\page.html"));

  pack::Payload payload = harness::StandardPayload();
  payload.folderTrees = {u"#AppData#\\" + harness::U16(sandbox.name()) + u"\\*.*", u"#InstallDir#\\cache\\*.*"};
  const std::wstring temp = sandbox.Path(L"App\\cache\\tmp");
  EXPECT_TRUE(ExitedWith(RunUninstaller(payload, {{L"TMP", temp}, {L"TEMP", temp}}), 0));

  const bool vendorLeft = harness::FileExists(vendor);
  EXPECT_FALSE(vendorLeft);
  EXPECT_FALSE(sandbox.Exists(L"App\\cache\\page.html"));
  EXPECT_TRUE(sandbox.Exists(L"App\\cache\\tmp\\in-use-by-the-system.tmp"));
  EXPECT_TRUE(sandbox.Exists(L"App\\cache\\tmp\\nested\\n.tmp"));
  if (vendorLeft) {
    DeleteFileW((vendor + L"\\Profiles\\settings.ini").c_str());
    RemoveDirectoryW((vendor + L"\\Profiles").c_str());
    RemoveDirectoryW(vendor.c_str());
  }
}

// A junction (mount point) to a folder outside the application: the tree
// walk must not enter it, and nothing may remove it. Windows makes one with
// FSCTL_SET_REPARSE_POINT; Wine 8 answers ERROR_NOT_SUPPORTED, and the
// in-process tests stand in for the platform there.
bool MakeJunction(const std::wstring& link, const std::wstring& target) {
  if (!CreateDirectoryW(link.c_str(), nullptr)) return false;
  HANDLE folder = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return false;
  const std::wstring substitute = L"\\??\\" + target;
  const WORD substituteBytes = (WORD)(substitute.size() * 2), printBytes = (WORD)(target.size() * 2);
  std::vector<BYTE> buffer(16 + substituteBytes + 2 + printBytes + 2);
  WORD* fields = reinterpret_cast<WORD*>(buffer.data());
  *reinterpret_cast<DWORD*>(buffer.data()) = IO_REPARSE_TAG_MOUNT_POINT;
  fields[2] = (WORD)(buffer.size() - 8);
  fields[4] = 0;
  fields[5] = substituteBytes;
  fields[6] = (WORD)(substituteBytes + 2);
  fields[7] = printBytes;
  memcpy(&buffer[16], substitute.c_str(), substituteBytes);
  memcpy(&buffer[16 + substituteBytes + 2], target.c_str(), printBytes);
  DWORD returned = 0;
  const BOOL made = DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, buffer.data(), (DWORD)buffer.size(), nullptr,
                                    0, &returned, nullptr);
  CloseHandle(folder);
  return made && (GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

TEST_F(FolderTrees, AJunctionInsideATreeIsNeitherFollowedNorRemoved) {
  ASSERT_TRUE(Install(L"Elsewhere\\precious.doc"));
  ASSERT_TRUE(Install(L"App\\plugins\\p.dll"));
  if (!MakeJunction(sandbox.Path(L"App\\plugins\\shared"), sandbox.Path(L"Elsewhere"))) {
    RemoveDirectoryW(sandbox.Path(L"App\\plugins\\shared").c_str());
    GTEST_SKIP() << "this platform cannot make a junction (Wine 8: FSCTL_SET_REPARSE_POINT is not supported)";
  }
  pack::Payload payload = harness::StandardPayload();
  payload.folderTrees = {u"plugins\\*.*", u"plugins\\shared\\*.*"};
  payload.files = {{At(L"App\\plugins\\shared"), u"", 0}};
  EXPECT_TRUE(ExitedWith(RunUninstaller(payload), 0));
  EXPECT_FALSE(sandbox.Exists(L"App\\plugins\\p.dll"));
  EXPECT_TRUE(sandbox.Exists(L"App\\plugins\\shared"));
  EXPECT_TRUE(sandbox.Exists(L"Elsewhere\\precious.doc"));
}

}  // namespace
