/* A library the dependent build of the test extension imports from: it
 * stands for the DLLs an installer ships beside its extension library. */
#include <windows.h>

__declspec(dllexport) int RxTestHelperValue(void) { return 4242; }
