// Launching programs and documents. Not yet wired to the shell: nothing is
// started and the caller goes on as after a refused launch.
#include "driver/launch.h"

bool LaunchProgram(const wchar_t*, const wchar_t*, bool) { return false; }

void OpenFinalPage(const wchar_t*) {}
