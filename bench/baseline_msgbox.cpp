// The baseline of the start-up benchmark: a program that only shows a
// message box, built like retrax.exe (static, size-optimised) but with
// nothing else to do before the box. The box has the style of the
// confirmation (OK and Cancel, the information icon).
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  MessageBoxW(nullptr, L"Start-up baseline", L"Retrax benchmark", MB_OKCANCEL | MB_ICONINFORMATION);
  return 0;
}
