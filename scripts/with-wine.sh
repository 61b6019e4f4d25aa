#!/bin/bash
# Runs a command with the server of a sandboxed prefix started beforehand
# and stopped afterwards; returns the command's exit status. Used around
# ctest and the demo, inside the virtual display.
#
#   with-wine.sh PREFIX COMMAND [ARGUMENTS...]
set -u
. "$(dirname -- "${BASH_SOURCE[0]}")/wine-common.sh"

[ $# -ge 2 ] || { echo "usage: with-wine.sh PREFIX COMMAND [ARGUMENTS...]" >&2; exit 2; }
prefix=$(realpath -m -- "$1")
shift

rx_ensure_prefix "$prefix" || exit 1
trap 'rx_stop_server "$prefix"' EXIT
rx_start_server "$prefix" || exit 1
"$@"
