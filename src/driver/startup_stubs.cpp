// Two pieces of the mingw-w64 start-up code that retrax.exe replaces by
// empty ones, 4.5 KB of a program that counts its bytes (with what they
// pull in: section lookup, VirtualProtect, fprintf to stderr). Linked into
// the program alone, never into retrax_core or the tests (src/CMakeLists.txt).
//
// _pei386_runtime_relocator applies the pseudo-relocations the linker
// makes for data imported from a library without __declspec(dllimport).
// The program is linked with --disable-auto-import, which turns any such
// import into a link error, so its list is always empty and the runtime's
// walk over it would do nothing.
//
// _matherr is what the C runtime's math functions call on a domain or
// range error; the runtime's own prints a line to stderr, which a GUI
// program has not got. The program calls no math functions, and 0 asks
// for the runtime's default handling, as the one it replaces returns.

extern "C" void _pei386_runtime_relocator(void) {}

extern "C" int _matherr(struct _exception*) { return 0; }
