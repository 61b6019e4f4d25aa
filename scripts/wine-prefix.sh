#!/bin/bash
# Creates, or reuses, a sandboxed Wine prefix (see wine-common.sh for what
# "sandboxed" means and why). Scenario tests and scripts call this before
# they put anything into a prefix.
#
#   wine-prefix.sh PREFIX          make sure PREFIX exists and is sandboxed
#   wine-prefix.sh --start PREFIX  also start its server and services
#   wine-prefix.sh --stop PREFIX   stop its server
set -u
. "$(dirname -- "${BASH_SOURCE[0]}")/wine-common.sh"

action=ensure
case "${1-}" in
  --start) action=start; shift ;;
  --stop) action=stop; shift ;;
  -h | --help | "") sed -n '2,9p' "$0"; exit 2 ;;
esac
[ $# -eq 1 ] || { echo "usage: wine-prefix.sh [--start|--stop] PREFIX" >&2; exit 2; }
prefix=$(realpath -m -- "$1")
rx_check_prefix_path "$prefix"

case $action in
  ensure) rx_ensure_prefix "$prefix" ;;
  start) rx_ensure_prefix "$prefix" && rx_start_server "$prefix" ;;
  stop) rx_stop_server "$prefix" ;;
esac
