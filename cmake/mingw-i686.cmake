# Toolchain for the Windows build: 32-bit mingw-w64, posix thread variant
# (googletest needs std::mutex, which the win32 variant lacks), every program
# linked statically so that nothing needs libwinpthread-1.dll or the GCC
# runtime DLLs. Programs and tests run under Wine through the emulator
# wrapper, in a sandboxed prefix inside the build tree.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# --no-insert-timestamp: the PE header's time stamp stays 0, so that the same
# sources give the same bytes (release bundles are reproducible).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-Wl,--no-insert-timestamp")

get_filename_component(_retrax_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(RETRAX_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${_retrax_root}/scripts/wine-run.sh;--prefix;${RETRAX_WINEPREFIX}")
