#!/bin/bash
# The README's walk-through for installer authors, run as written with the
# retrax-pack of the build installed into a scratch prefix. (The example
# installer is built against the release bundle's package by
# tests/release/bundle_test.sh.)
#
# package_test.sh BUILD-DIR
set -eu -o pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
test -f "$work/prefix/share/retrax/languages/de.json"

# The walk-through: the commands of the README's section in order, its
# edit of app.json applied after the first scan, and a new version staged
# before the --update.
section=$(sed -n '/^## For installer authors/,/^### /p' "$(dirname -- "$0")/../../README.md")
edit=$(printf '%s\n' "$section" | sed -n '/^ *```json/,/^ *```$/p' | sed '1d;$d')
walk=$work/walk
mkdir -p "$walk/stage/plugins"
printf 'app' >"$walk/stage/App.exe"
printf 'old' >"$walk/stage/plugins/old.dll"
# retrax.exe as the linker leaves it: MZ, then the marker and the u32
# payloadOffset holding the file's own length (64 bytes, little-endian).
{ printf 'MZ'; head -c 40 /dev/zero; printf 'wwgT)H\x40\x00\x00\x00'; head -c 12 /dev/zero; } \
  >"$walk/retrax.exe"
cd "$walk"
export PATH="$work/prefix/bin:$PATH" EDIT="$edit"
while IFS= read -r line; do
  case $line in *--update*) rm stage/plugins/old.dll; printf 'new' >stage/plugins/new.dll ;; esac
  eval "$line" >>walk.log 2>&1 || { echo "walk-through failed: $line"; cat walk.log; exit 1; }
  case $line in *" -o app.json"*)
    awk '$0 == "  \"shortcuts\": []," { print ENVIRON["EDIT"]; next } $0 == "  \"registry\": []," { next } { print }' \
      app.json >app.edited && mv app.edited app.json ;;
  esac
done < <(printf '%s\n' "$section" | grep -E '^ *retrax-pack ')
for expected in 'Start Menu\Programs\Example App" secondFolder "" fileName "Example App.lnk"' \
  'CurrentVersion\Uninstall\Example App' 'added .\plugins\new.dll' 'gone .\plugins\old.dll' \
  '1 added, 1 gone'; do
  grep -qF -- "$expected" walk.log || { echo "walk-through: missing: $expected"; cat walk.log; exit 1; }
done
grep -qF '${Programs}' app.json || { echo "walk-through: --update lost the edit"; cat app.json; exit 1; }
echo "walk-through: ran as the README writes it"
