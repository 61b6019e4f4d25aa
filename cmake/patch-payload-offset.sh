#!/bin/bash
# Post-link step of retrax.exe: writes the file's own length into the u32
# payloadOffset field behind the marker "wwgT)H", so that every built
# program is a valid uninstaller with an empty payload position, ready for
# an installer to append its payload at that offset.
#
#   patch-payload-offset.sh PROGRAM
#
# Fails when the marker is missing (the field was dropped or optimised away)
# or occurs more than once (an installer could not tell which one is the
# field).
set -eu
program=$1
marker='wwgT)H'

offsets=$(LC_ALL=C grep -obUaF -- "$marker" "$program" | cut -d: -f1) || true
count=$(printf '%s' "$offsets" | grep -c . || true)
if [ "$count" -ne 1 ]; then
  echo "patch-payload-offset: marker found $count times in $program (need exactly 1)" >&2
  exit 1
fi

field=$((offsets + ${#marker}))
length=$(stat -c %s -- "$program")
current=$(od -An -tu4 -j "$field" -N4 -- "$program" | tr -d ' ')
if [ "$current" != 0 ] && [ "$current" != "$length" ]; then
  echo "patch-payload-offset: field holds $current, expected 0 or $length" >&2
  exit 1
fi

printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' \
  $((length & 255)) $(((length >> 8) & 255)) $(((length >> 16) & 255)) $(((length >> 24) & 255)))" |
  dd of="$program" bs=1 seek="$field" conv=notrunc status=none

written=$(od -An -tu4 -j "$field" -N4 -- "$program" | tr -d ' ')
[ "$written" = "$length" ] || { echo "patch-payload-offset: write did not stick" >&2; exit 1; }
