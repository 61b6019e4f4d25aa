// Visual styles: the payload's header keeps them for the controls (flag
// bit 1), or leaves them to the window frames alone. Seen from outside
// through the theme handle that uxtheme attaches to a themed control; the
// property lives with the window, so GetWindowTheme answers for another
// process's controls.
//
// Not under Wine: its uxtheme (Wine 8, "Light" theme active in a new
// prefix) ignores SetThemeAppProperties for controls, which keep their
// theme whatever the flags, so there the restriction cannot be seen.
#include <string>
#include <vector>

#include "harness/harness.h"

using harness::Dialog;
using harness::ExitedWith;
using harness::Process;
using harness::RunHold;
using harness::WaitForDialog;

namespace {

typedef HANDLE(WINAPI* GetWindowThemeFunction)(HWND);

class VisualStyles : public harness::ScenarioTest {
 protected:
  void SetUp() override {
    harness::ScenarioTest::SetUp();
    if (harness::RunningUnderWine()) GTEST_SKIP() << "Wine themes controls whatever the application asks";
    theme_ = LoadLibraryW(L"uxtheme.dll");
    getWindowTheme_ = theme_ ? (GetWindowThemeFunction)(void*)GetProcAddress(theme_, "GetWindowTheme") : nullptr;
    if (!getWindowTheme_) GTEST_SKIP() << "no uxtheme";
  }
  void TearDown() override {
    if (theme_) FreeLibrary(theme_);
  }

  // Whether the progress bar of a confirmed run with these header flags
  // carries a theme.
  bool ProgressBarIsThemed(uint32_t headerFlags) {
    pack::Payload payload = harness::StandardPayload();
    payload.header.flags = headerFlags;
    EXPECT_TRUE(harness::AddTestExtension(&payload));
    RunHold hold(53);
    Process process;
    sandbox.PrepareProcess(&process);
    hold.Prepare(&process);
    EXPECT_TRUE(process.Start(sandbox.WriteUninstaller(L"uninstall-" + std::to_wstring(headerFlags) + L".exe", payload)));
    const Dialog confirmation = WaitForDialog(process);
    if (confirmation) confirmation.Press(IDOK);
    if (!hold.WaitHeld(process)) {
      ADD_FAILURE() << "the run did not reach the removal";
      return false;
    }
    const std::vector<Dialog> open = harness::OpenDialogs(process);
    EXPECT_EQ(open.size(), 1u);
    const bool themed = !open.empty() && getWindowTheme_(GetDlgItem(open[0].window(), 1009)) != nullptr;
    hold.Release();
    const Dialog closing = WaitForDialog(process, harness::kDefaultDialogTimeoutMs,
                                         {open.empty() ? nullptr : open[0].window()});
    if (closing) closing.Press(IDOK);
    EXPECT_TRUE(ExitedWith(process.Finish(), 0));
    return themed;
  }

  HMODULE theme_ = nullptr;
  GetWindowThemeFunction getWindowTheme_ = nullptr;
};

TEST_F(VisualStyles, ClassicControlsUnlessTheHeaderKeepsTheStyles) {
  EXPECT_FALSE(ProgressBarIsThemed(0));
  EXPECT_TRUE(ProgressBarIsThemed(HEADER_KEEP_VISUAL_STYLES));
}

}  // namespace
