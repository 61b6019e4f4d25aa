#!/bin/bash
# Runs one Windows program under Wine in a sandboxed prefix; the Windows
# build's CMAKE_CROSSCOMPILING_EMULATOR, so ctest runs every test through it.
#
#   wine-run.sh --prefix PREFIX PROGRAM [ARGUMENTS...]
#
# A program outside the prefix (a test built in the build tree) is first
# copied to C:\retrax-run and started from there, with C:\retrax-run as its
# current folder: seen from inside, every path of the run is then on C:.
# Started from the host's folder, its module path and current folder would
# be "\\?\unix\..." paths, which Wine resolves on the host's file system.
# The exit code is the program's, modulo 256 (a crash gives 5, from
# 0xC0000005; a program that returns -1 gives 255).
set -u
. "$(dirname -- "${BASH_SOURCE[0]}")/wine-common.sh"

[ "${1-}" = --prefix ] && [ $# -ge 3 ] || {
  echo "usage: wine-run.sh --prefix PREFIX PROGRAM [ARGUMENTS...]" >&2
  exit 2
}
prefix=$(realpath -m -- "$2")
program=$(realpath -- "$3") || exit 2
shift 3

rx_ensure_prefix "$prefix" || exit 125
# When no server runs (a ctest started by hand), start one that ends 30 s
# after its last program; scripts/test.sh starts and stops its own.
rx_start_server "$prefix" 30 || exit 125

case "$program" in
  "$prefix/drive_c/"*)
    cd -- "$(dirname -- "$program")" || exit 125
    ;;
  *)
    stage="$prefix/drive_c/retrax-run"
    staged="$stage/$(basename -- "$program")"
    mkdir -p -- "$stage" || exit 125
    if [ ! -f "$staged" ] || [ "$program" -nt "$staged" ] ||
      [ "$(stat -c %s -- "$program")" != "$(stat -c %s -- "$staged")" ]; then
      # Copy then rename: a parallel test may be running the old copy.
      cp -- "$program" "$staged.$$" && touch -r "$program" "$staged.$$" &&
        mv -f -- "$staged.$$" "$staged" || exit 125
    fi
    program=$staged
    cd -- "$stage" || exit 125
    ;;
esac

exec wine "$program" "$@"
