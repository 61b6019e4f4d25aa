#include "harness/dialogs.h"

#include <commctrl.h>
#include <stdio.h>

#include "harness/harness.h"

namespace harness {

namespace {

const DWORD kPollMs = 5;
const UINT kAnswerTimeoutMs = 1000;
const int kMessageBoxTextId = 0xFFFF;
const int kDialogTextId = 1000;
const int kProgressBarId = 1009;

std::wstring TextOf(HWND window) {
  wchar_t text[2048];
  const int length = window ? GetWindowTextW(window, text, 2048) : 0;
  return std::wstring(text, length > 0 ? length : 0);
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64];
  const int length = GetClassNameW(window, name, 64);
  return std::wstring(name, length > 0 ? length : 0);
}

struct WindowSearch {
  DWORD processId;
  bool dialogsOnly;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindows(HWND window, LPARAM context) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && IsWindowVisible(window) &&
      (!search->dialogsOnly || ClassOf(window) == L"#32770")) {
    search->found.push_back(window);
  }
  return TRUE;
}

std::vector<HWND> VisibleWindows(DWORD processId, bool dialogsOnly) {
  WindowSearch search = {processId, dialogsOnly, {}};
  EnumWindows(CollectWindows, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* answer) {
  return window && SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, answer);
}

}  // namespace

bool Dialog::IsOpen() const { return window_ && IsWindow(window_) && IsWindowVisible(window_); }

bool Dialog::WaitClosed(DWORD timeoutMs) const {
  const DWORD start = GetTickCount();
  while (IsOpen()) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(kPollMs);
  }
  return true;
}

std::wstring Dialog::Caption() const { return TextOf(window_); }

std::wstring Dialog::Text() const {
  HWND text = GetDlgItem(window_, kMessageBoxTextId);
  return TextOf(text ? text : GetDlgItem(window_, kDialogTextId));
}

std::wstring Dialog::ItemText(int id) const { return TextOf(GetDlgItem(window_, id)); }

std::vector<Button> Dialog::Buttons() const {
  std::vector<Button> buttons;
  for (HWND child = GetWindow(window_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (_wcsicmp(ClassOf(child).c_str(), L"Button") != 0) continue;
    const LONG type = GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK;
    if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON) continue;
    buttons.push_back({GetDlgCtrlID(child), TextOf(child)});
  }
  return buttons;
}

RECT Dialog::Rect() const {
  RECT rect = {};
  GetWindowRect(window_, &rect);
  return rect;
}

int Dialog::ProgressPosition() const {
  DWORD_PTR position = 0;
  return Ask(GetDlgItem(window_, kProgressBarId), PBM_GETPOS, 0, 0, &position) ? static_cast<int>(position) : -1;
}

HFONT Dialog::Font(int id) const {
  DWORD_PTR handle = 0;
  return Ask(id == 0 ? window_ : GetDlgItem(window_, id), WM_GETFONT, 0, 0, &handle) ? reinterpret_cast<HFONT>(handle)
                                                                                    : NULL;
}

bool Dialog::ControlFont(int id, LOGFONTW* font) const {
  // Under Wine the handle may well name another font of this process.
  if (RunningUnderWine()) return false;
  const HFONT handle = Font(id);
  return handle && GetObjectW(handle, sizeof(*font), font) == sizeof(*font);
}

void Dialog::Press(int id) const {
  PostMessageW(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window_, id)));
}

void Dialog::PressKey(WORD key) const {
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  const DWORD thread = GetWindowThreadProcessId(window_, NULL);
  HWND target = window_;
  if (GetGUIThreadInfo(thread, &info) && info.hwndFocus &&
      (info.hwndFocus == window_ || IsChild(window_, info.hwndFocus))) {
    target = info.hwndFocus;
  }
  const UINT scan = MapVirtualKeyW(key, 0 /* MAPVK_VK_TO_VSC */);
  PostMessageW(target, WM_KEYDOWN, key, 1 | (scan << 16));
  PostMessageW(target, WM_KEYUP, key, 1 | (scan << 16) | (1u << 30) | (1u << 31));
}

void Dialog::PressEsc() const { PressKey(VK_ESCAPE); }
void Dialog::PressEnter() const { PressKey(VK_RETURN); }

void Dialog::CloseWithCloseBox() const { PostMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0); }

std::vector<Dialog> OpenDialogs(const Process& process) {
  std::vector<Dialog> dialogs;
  for (HWND window : VisibleWindows(process.id(), true)) dialogs.push_back(Dialog(window, process.ElapsedMs()));
  return dialogs;
}

Dialog WaitForDialog(const Process& process, DWORD timeoutMs, const std::vector<HWND>& except) {
  if (!process.started()) return Dialog();
  const DWORD start = GetTickCount();
  for (;;) {
    // Looked at once more after the end: a box may have come just before.
    const bool ended = process.Ended();
    for (HWND window : VisibleWindows(process.id(), true)) {
      bool known = false;
      for (HWND handled : except) known = known || handled == window;
      if (!known) return Dialog(window, process.ElapsedMs());
    }
    if (ended || GetTickCount() - start >= timeoutMs) return Dialog();
    Sleep(kPollMs);
  }
}

Dialog DialogSequence::Next(DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD spent = GetTickCount() - start;
    const Dialog dialog = WaitForDialog(process_, spent < timeoutMs ? timeoutMs - spent : 0, seen_);
    if (!dialog) return dialog;
    seen_.push_back(dialog.window());
    if (!dialog.IsProgressDialog()) return dialog;
  }
}

::testing::AssertionResult ExpectNoWindow(const Process& process, DWORD timeoutMs, WindowKind kind) {
  if (!process.started()) return ::testing::AssertionFailure() << "the process did not start";
  const DWORD start = GetTickCount();
  for (;;) {
    const bool ended = process.Ended();
    std::vector<HWND> windows = VisibleWindows(process.id(), kind == kMessageBox);
    if (kind == kMessageBox) {
      std::vector<HWND> boxes;
      for (HWND window : windows) {
        if (GetDlgItem(window, kMessageBoxTextId)) boxes.push_back(window);
      }
      windows = boxes;
    }
    if (!windows.empty()) {
      return ::testing::AssertionFailure() << "a window of class \"" << Narrow(ClassOf(windows[0]))
                                           << "\" appeared after " << process.ElapsedMs() << " ms, caption \""
                                           << Narrow(TextOf(windows[0])) << "\", text \""
                                           << Narrow(Dialog(windows[0]).Text()) << "\"";
    }
    if (ended) return ::testing::AssertionSuccess();
    if (GetTickCount() - start >= timeoutMs) {
      return ::testing::AssertionFailure() << "no window, but the process still ran after " << timeoutMs << " ms";
    }
    Sleep(kPollMs);
  }
}

bool SaveScreenshot(const std::wstring& path, const RECT* area) {
  RECT whole = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  RECT rect;
  if (!IntersectRect(&rect, area ? area : &whole, &whole)) return false;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;

  BITMAPINFOHEADER header = {};
  header.biSize = sizeof(header);
  header.biWidth = width;
  header.biHeight = height;  // bottom-up, as BMP files store it
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const DWORD stride = (width * 3 + 3) & ~3u;
  header.biSizeImage = stride * height;

  HDC screen = GetDC(NULL);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = NULL;
  HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, NULL, 0);
  bool ok = false;
  if (bitmap && memory) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY | CAPTUREBLT) != 0;
    GdiFlush();
    SelectObject(memory, old);
  }
  if (ok) {
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + header.biSizeImage;
    Bytes data(reinterpret_cast<const uint8_t*>(&file), reinterpret_cast<const uint8_t*>(&file) + sizeof(file));
    data.insert(data.end(), reinterpret_cast<const uint8_t*>(&header),
                reinterpret_cast<const uint8_t*>(&header) + sizeof(header));
    data.insert(data.end(), static_cast<const uint8_t*>(bits), static_cast<const uint8_t*>(bits) + header.biSizeImage);
    ok = WriteWholeFile(path, data);
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  ReleaseDC(NULL, screen);
  return ok;
}

void SaveScreenshotForDocs(const Dialog& dialog, const std::wstring& name) {
  wchar_t folder[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"RETRAX_SCREENSHOT_DIR", folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH || !dialog) return;
  CreateDirectoryW(folder, NULL);
  Sleep(300);  // painting follows the window's appearance
  RECT rect = dialog.Rect();
  InflateRect(&rect, 8, 8);
  const std::wstring path = std::wstring(folder) + L"\\" + name + L".bmp";
  EXPECT_TRUE(SaveScreenshot(path, &rect)) << "screenshot " << Narrow(path);
}

}  // namespace harness
