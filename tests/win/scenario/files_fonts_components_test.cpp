// Fonts and self-registering components are deregistered before the file
// phase deletes them.
#include <string>

#include "files_scenario.h"
#include "../unit/removal_files_sfnt.h"

namespace {

using files::FileScenario;
using harness::ExitedWith;

const wchar_t kFontsKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

// A top-level window of this process on a thread of its own, counting the
// WM_FONTCHANGE broadcasts it receives.
class FontChangeWatcher {
 public:
  FontChangeWatcher() {
    ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
    WaitForSingleObject(ready_, 5000);
  }
  ~FontChangeWatcher() {
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    WaitForSingleObject(thread_, 5000);
    CloseHandle(thread_);
    CloseHandle(ready_);
  }
  LONG count() const { return count_; }

 private:
  static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_FONTCHANGE) InterlockedIncrement(&static_cast<FontChangeWatcher*>((void*)GetWindowLongPtrW(w, GWLP_USERDATA))->count_);
    return DefWindowProcW(w, m, wp, lp);
  }
  static DWORD WINAPI Run(void* self) {
    WNDCLASSW type = {};
    type.lpfnWndProc = Proc;
    type.lpszClassName = L"RetraxTestFontWatcher";
    RegisterClassW(&type);
    HWND window = CreateWindowExW(0, type.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(window, GWLP_USERDATA, (LONG_PTR)self);
    SetEvent(static_cast<FontChangeWatcher*>(self)->ready_);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    DestroyWindow(window);
    return 0;
  }
  HANDLE ready_, thread_;
  DWORD threadId_ = 0;
  volatile LONG count_ = 0;
};

typedef FileScenario FontFiles;

TEST_F(FontFiles, FontIsUnloadedUnregisteredAndDeleted) {
  const std::string family = "Rx Scenario " + std::to_string(GetCurrentProcessId());
  const std::wstring value = std::wstring(family.begin(), family.end()) + L" Regular (TrueType)";
  const std::wstring font = Path(L"App\\fonts\\face.ttf");
  ASSERT_TRUE(sandbox.WriteFile(L"App\\fonts\\face.ttf", sfnt::Build(sfnt::FontNames(family))));
  ASSERT_GT(AddFontResourceW(font.c_str()), 0);
  ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kFontsKey, value.c_str(), REG_SZ, font.c_str(),
                            DWORD(2 * font.size() + 2)),
            0);
  List(L"App\\fonts\\face.ttf", FileFont);
  FontChangeWatcher watcher;
  Start();
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_FALSE(Exists(L"App\\fonts\\face.ttf"));
  EXPECT_NE(RegGetValueW(HKEY_LOCAL_MACHINE, kFontsKey, value.c_str(), RRF_RT_ANY, nullptr, nullptr, nullptr), 0);
  EXPECT_GT(watcher.count(), 0) << "the uninstaller unloaded the font and told every window";
  RemoveFontResourceW(font.c_str());
  RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kFontsKey, value.c_str());
}

class Components : public FileScenario {
 protected:
  void TearDown() override {
    if (!version_.empty()) RegDeleteTreeW(HKEY_CURRENT_USER, version_.c_str());
    FileScenario::TearDown();
  }
  // The component, listed; its log's path.
  std::wstring InstallComponent(const wchar_t* resource, const std::wstring& relative) {
    harness::Bytes dll;
    EXPECT_TRUE(harness::LoadEmbeddedFile(resource, &dll));
    EXPECT_TRUE(sandbox.WriteFile(relative, dll));
    List(relative, FileComponent);
    return Path(relative + L".log");
  }
  // The uninstaller, named after the test, sees Windows XP.
  std::wstring AsWindowsXp() {
    const std::wstring exe = sandbox.name() + L".exe";
    version_ = L"Software\\Wine\\AppDefaults\\" + exe;
    EXPECT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, version_.c_str(), L"Version", REG_SZ, L"winxp", 12), 0);
    return exe;
  }
  std::string Log(const std::wstring& path) {
    harness::Bytes log;
    harness::ReadWholeFile(path, &log);
    return std::string(log.begin(), log.end());
  }

 private:
  std::wstring version_;
};

TEST_F(Components, Nt6HandsTheComponentToRegsvr32) {
  const std::wstring log = InstallComponent(L"RETRAX_TEST_COMPONENT_DLL", L"App\\bin\\component.dll");
  Start();
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_EQ(Log(log).substr(0, 13), "regsvr32.exe|");
  EXPECT_FALSE(Exists(L"App\\bin\\component.dll"));
}

TEST_F(Components, OlderSystemsUnregisterInProcessFromTheComponentsFolder) {
  const std::wstring log = InstallComponent(L"RETRAX_TEST_COMPONENT_DLL", L"App\\bin\\component.dll");
  const std::wstring exe = AsWindowsXp();
  Start(L"/S", exe);
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_EQ(Log(log), harness::Narrow(exe + L"|" + Path(L"App\\bin")) + "\n");
  EXPECT_FALSE(Exists(L"App\\bin\\component.dll"));
}

// The run goes on after the fault: the crashing component and the file
// after it are deleted.
TEST_F(Components, FaultingComponentDoesNotEndTheRun) {
  Install(L"App\\after.txt");
  const std::wstring log = InstallComponent(L"RETRAX_TEST_COMPONENT_CRASH_DLL", L"App\\bin\\crash.dll");
  Start(L"/S", AsWindowsXp());
  EXPECT_TRUE(ExitedWith(process.Finish(), 0));
  EXPECT_NE(Log(log), "") << "DllUnregisterServer ran";
  EXPECT_FALSE(Exists(L"App\\bin\\crash.dll"));
  EXPECT_FALSE(Exists(L"App\\after.txt"));
}

}  // namespace
