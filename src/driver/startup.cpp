// The program's own entry point, in place of the mingw-w64 start-up code
// (crt2.o with crtbegin.o and crtend.o): 6 KB of a program that counts its
// bytes. Linked into the program alone, with -nostartfiles; never into
// retrax_core or the unit tests (src/CMakeLists.txt).
//
// What the runtime's start-up does and why the program needs none of it:
//  - static constructors and destructors: the program has none (plain
//    structures; the system-call table is filled from the import stubs'
//    addresses, which the linker knows);
//  - thread-local storage and its callbacks: no thread_local data;
//  - the C runtime's arguments, environment, file modes, math-error and
//    invalid-parameter handlers, and the floating-point reset: WinMain reads
//    its command line with GetCommandLineW, and the program uses no stdio,
//    no floating point and no math functions;
//  - the unhandled-exception filter: it maps faults to C signals, of which
//    the program sets none, so it always passed them on;
//  - pseudo-relocations: the program is linked with --disable-auto-import,
//    so it has none;
//  - exit(): it runs the functions registered with atexit (none) before
//    ExitProcess, which ends the process here directly.
// The C runtime library itself (msvcrt.dll: memcpy, setjmp and longjmp)
// initialises itself when it is loaded, as any library does.
#include <windows.h>

// The program's own image; its address is the instance handle.
extern "C" IMAGE_DOS_HEADER __ImageBase;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int);

// The system calls it with a stack that may not be aligned as the compiler
// assumes for its own functions; force_align_arg_pointer realigns it.
extern "C" __attribute__((used, noreturn, force_align_arg_pointer)) void WinMainCRTStartup() {
  ExitProcess((UINT)WinMain((HINSTANCE)&__ImageBase, nullptr, nullptr, SW_SHOWDEFAULT));
}
