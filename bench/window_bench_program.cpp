// The windows of a confirmed run, without an uninstall around them. Every
// way first makes a hidden top-level window, untimed, as every run of the
// program does (its main window), so that what a process pays for its first
// window falls outside the figure, as it does in a run without windows.
//
//   retrax_bench_window.exe platform [REPORT]
//       the platform's part of the progress window alone: a bare dialog
//       (bench/window_bench.rc: the progress dialog's template with the
//       caption and status text of a run written in, no dialog procedure
//       of substance) owned by the hidden window; 100 PBM_SETPOS, each
//       followed by one pass of the plain modeless-dialog pump (PeekMessage,
//       IsDialogMessage, TranslateMessage, DispatchMessage); DestroyWindow.
//   retrax_bench_window.exe retrax [REPORT]
//       the same through the program's own code (retrax_core) as a run
//       with the window calls it: CreateProgressWindow, SetProgress (1) to
//       SetProgress (100), DestroyWindow.
//   retrax_bench_window.exe box
//       a message box with the confirmation's style, owned by the hidden
//       window; the benchmark driver answers it.
//
// The window ways end with one more pump pass, so that what the destruction
// queues is counted too. The exit code is the time of the timed part in
// microseconds (-1 when a window could not be made): for the window ways
// from before the dialog's creation to after that last pass, for the box
// from the call of MessageBoxW to its return, answering included (the
// driver knows how long it took to answer and subtracts it). With REPORT, a
// file of that name receives the time of each step and the count of the
// messages the thread's windows handled during the 100 updates.
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include "driver/driver.h"
#include "driver/run_state.h"
#include "platform/system_calls.h"
#include "resources/resource.h"
#include "ui/ui.h"
#include "window_bench.h"

namespace {

const int kUpdates = 100;

double NowUs() {
  static LARGE_INTEGER frequency;
  if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return (double)now.QuadPart * 1e6 / (double)frequency.QuadPart;
}

struct Steps {
  double create;       // creation and the first pump pass
  double updates;      // the 100 updates
  double setPosition;  // of which inside SendMessage (PBM_SETPOS)
  double slowestUpdate;
  double destroy;  // DestroyWindow and one pump pass
};

// Messages handled by the windows of this thread during the updates, sent
// (WH_CALLWNDPROC) or taken from the queue (WH_GETMESSAGE).
struct Counts {
  bool on;
  long sent, posted;
  long setPosition, paint, eraseBackground, nonClientPaint, colourStatic, colourDialog, setText, other;
} counts;
HHOOK sentHook, postedHook;

void Count(UINT message) {
  switch (message) {
    case PBM_SETPOS: ++counts.setPosition; break;
    case WM_PAINT: ++counts.paint; break;
    case WM_ERASEBKGND: ++counts.eraseBackground; break;
    case WM_NCPAINT: ++counts.nonClientPaint; break;
    case WM_CTLCOLORSTATIC: ++counts.colourStatic; break;
    case WM_CTLCOLORDLG: ++counts.colourDialog; break;
    case WM_SETTEXT: ++counts.setText; break;
    default: ++counts.other; break;
  }
}

LRESULT CALLBACK CountSent(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && counts.on) {
    ++counts.sent;
    Count(((const CWPSTRUCT*)lParam)->message);
  }
  return CallNextHookEx(sentHook, code, wParam, lParam);
}

LRESULT CALLBACK CountPosted(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && counts.on && wParam == PM_REMOVE) {
    ++counts.posted;
    Count(((const MSG*)lParam)->message);
  }
  return CallNextHookEx(postedHook, code, wParam, lParam);
}

// PBM_SETPOS paints the bar before it returns; the rest of an update is the
// pump pass. For the program's code its table entry is wrapped, which
// changes nothing else.
double setPositionUs;
decltype(&::SendMessageW) realSendMessage;

LRESULT WINAPI TimedSendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != PBM_SETPOS) return realSendMessage(window, message, wParam, lParam);
  const double start = NowUs();
  const LRESULT result = realSendMessage(window, message, wParam, lParam);
  setPositionUs += NowUs() - start;
  return result;
}

// The platform's part: a plain hidden owner, a bare dialog, a plain pump.

HWND MakeHiddenOwner() {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(NULL);
  windowClass.lpszClassName = L"RetraxBenchOwner";
  if (RegisterClassW(&windowClass) == 0) return NULL;
  return CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 320, 200, NULL, NULL,
                         windowClass.hInstance, NULL);
}

INT_PTR CALLBACK BareDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

void PumpBare(HWND dialog) {
  MSG message;
  while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
    if (dialog != NULL && IsDialogMessageW(dialog, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

bool RunPlatform(Steps* steps) {
  HWND owner = MakeHiddenOwner();
  if (owner == NULL) return false;
  PumpBare(NULL);

  double t = NowUs();
  HWND dialog = CreateDialogParamW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDD_BENCH_BARE), owner, BareDialogProc, 0);
  if (dialog == NULL) return false;
  HWND bar = GetDlgItem(dialog, IDC_PROGRESS_BAR);
  PumpBare(dialog);
  steps->create = NowUs() - t;
  counts.on = true;
  for (int p = 1; p <= kUpdates; ++p) {
    const double start = NowUs();
    TimedSendMessage(bar, PBM_SETPOS, p, 0);
    PumpBare(dialog);
    const double took = NowUs() - start;
    if (took > steps->slowestUpdate) steps->slowestUpdate = took;
    steps->updates += took;
  }
  counts.on = false;
  t = NowUs();
  DestroyWindow(dialog);
  PumpBare(NULL);
  steps->destroy = NowUs() - t;
  DestroyWindow(owner);
  return true;
}

// The program's part, through its own functions: a run's start-up up to the
// hidden main window, then the progress window as the sequence drives it.
// The texts are those a run shows: the caption (message 0) and the file
// phase's status line (message 11).
RxChar* retraxMessages[] = {(RxChar*)L"Sample App Uninstall", (RxChar*)L"", (RxChar*)L"", (RxChar*)L"",
                            (RxChar*)L"", (RxChar*)L"", (RxChar*)L"", (RxChar*)L"", (RxChar*)L"", (RxChar*)L"",
                            (RxChar*)L"", (RxChar*)L"Removing files...", NULL};

bool RunRetrax(Steps* steps) {
  uninstallData.messages = retraxMessages;
  SelectSystemCalls();
  realSendMessage = sys.SendMessageW;
  sys.SendMessageW = TimedSendMessage;
  DetectPlatform();
  bool ok = InitialiseRun(GetModuleHandleW(NULL));
  if (ok) {
    RestrictVisualStyles();  // as for a payload that does not keep the styles
    ok = RegisterMainWindowClass() && CreateMainWindow();
  }
  if (ok) {
    PumpMessages();
    double t = NowUs();
    CreateProgressWindow();
    ok = run.progressDialog != NULL;
    steps->create = NowUs() - t;
    counts.on = true;
    for (int p = 1; ok && p <= kUpdates; ++p) {
      const double start = NowUs();
      SetProgress(p);
      const double took = NowUs() - start;
      if (took > steps->slowestUpdate) steps->slowestUpdate = took;
      steps->updates += took;
    }
    counts.on = false;
    t = NowUs();
    if (run.progressDialog != NULL) DestroyWindow(run.progressDialog);
    run.progressDialog = NULL;
    run.progressBar = NULL;
    PumpMessages();
    steps->destroy = NowUs() - t;
  }
  if (run.mainWindow != NULL) DestroyMainWindow();
  TeardownRun();
  uninstallData.messages = NULL;
  return ok;
}

double RunBox() {
  HWND owner = MakeHiddenOwner();
  if (owner == NULL) return -1;
  PumpBare(NULL);
  const double t = NowUs();
  MessageBoxW(owner, L"Do you want to remove Sample App and all of its components from this computer?",
              L"Sample App Uninstall", MB_OKCANCEL | MB_ICONINFORMATION);
  const double took = NowUs() - t;
  DestroyWindow(owner);
  return took;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  const wchar_t* mode = count > 1 ? arguments[1] : L"";
  const wchar_t* report = count > 2 ? arguments[2] : NULL;
  realSendMessage = SendMessageW;
  InitCommonControls();
  if (wcscmp(mode, L"box") == 0) {
    const double took = RunBox();
    return took < 0 ? -1 : (int)took;
  }
  const bool retrax = wcscmp(mode, L"retrax") == 0;
  if (!retrax && wcscmp(mode, L"platform") != 0) return -1;

  sentHook = SetWindowsHookExW(WH_CALLWNDPROC, CountSent, NULL, GetCurrentThreadId());
  postedHook = SetWindowsHookExW(WH_GETMESSAGE, CountPosted, NULL, GetCurrentThreadId());
  Steps steps = {};
  const bool ok = retrax ? RunRetrax(&steps) : RunPlatform(&steps);
  steps.setPosition = setPositionUs;
  const double total = steps.create + steps.updates + steps.destroy;
  if (report != NULL) {
    FILE* file = _wfopen(report, L"w");
    if (file != NULL) {
      fprintf(file,
              "%s: window part %.1f ms: creation %.1f, 100 updates %.1f (inside PBM_SETPOS %.1f, slowest update "
              "%.1f), destruction %.1f; during the updates %ld messages sent and %ld taken from the queue "
              "(PBM_SETPOS %ld, WM_PAINT %ld, WM_ERASEBKGND %ld, WM_NCPAINT %ld, WM_CTLCOLORSTATIC %ld, WM_CTLCOLORDLG %ld, "
              "WM_SETTEXT %ld, others %ld)\n",
              retrax ? "retrax" : "platform", total / 1000, steps.create / 1000, steps.updates / 1000,
              steps.setPosition / 1000, steps.slowestUpdate / 1000, steps.destroy / 1000, counts.sent,
              counts.posted, counts.setPosition, counts.paint, counts.eraseBackground, counts.nonClientPaint, counts.colourStatic,
              counts.colourDialog, counts.setText, counts.other);
      fclose(file);
    }
  }
  return ok ? (int)total : -1;
}
