// The hidden main window: the owner of every message box and dialog, so
// that they share one taskbar entry and close together.
#include "driver/run_state.h"
#include "platform/system_calls.h"
#include "resources/resource.h"
#include "ui/messages.h"
#include "ui/ui.h"

const wchar_t kMainWindowClass[] = L"RetraxClass";

namespace {
const DWORD MAIN_WINDOW_STYLE = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;  // 0x02CF0000
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    // The window may also go from outside (WM_CLOSE from a task manager,
    // whose default handling destroys it); the handle is dead from here on
    // and must not own boxes or be waited for.
    if (run.mainWindow == window) run.mainWindow = nullptr;
  }
  return sys.DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterMainWindowClass() {
  WNDCLASSW windowClass;
  ZeroMemory(&windowClass, sizeof windowClass);
  windowClass.style = CS_VREDRAW | CS_HREDRAW;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = run.instance;
  windowClass.hIcon = sys.LoadIconW(run.instance, MAKEINTRESOURCEW(IDI_MAIN));
  windowClass.hCursor = sys.LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = (HBRUSH)GetStockObject(NULL_BRUSH);
  windowClass.lpszClassName = kMainWindowClass;
  return sys.RegisterClassW(&windowClass) != 0;
}

void GetMainWindowOrigin(int screenWidth, int screenHeight, int* x, int* y) {
  *x = (screenWidth - MAIN_WINDOW_WIDTH) / 2;
  *y = (screenHeight - MAIN_WINDOW_HEIGHT) / 2;
  if (*x < 0) *x = 0;
  if (*y < 0) *y = 0;
}

bool CreateMainWindow() {
  int x, y;
  GetMainWindowOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), &x, &y);
  run.mainWindow = sys.CreateWindowExW(0, kMainWindowClass, GetMessageText(0, MSG_TITLE), MAIN_WINDOW_STYLE, x, y,
                                       MAIN_WINDOW_WIDTH, MAIN_WINDOW_HEIGHT, nullptr, nullptr, run.instance,
                                       nullptr);
  return run.mainWindow != nullptr;
}

void DestroyMainWindow() {
  HWND window = run.mainWindow;
  run.mainWindow = nullptr;
  // A window destroyed from outside posted its quit message long ago, and a
  // PumpMessages has dropped it since: waiting for another one would block
  // the program for good, before self-removal. Only a destruction done here
  // is waited for.
  if (window == nullptr || !IsWindow(window) || !DestroyWindow(window)) return;
  MSG message;
  // -1 is a failed call, not a message.
  while (sys.GetMessageW(&message, nullptr, 0, 0) > 0) sys.DispatchMessageW(&message);
}
