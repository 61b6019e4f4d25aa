#!/bin/bash
# The CMake package end to end: install the build into a scratch prefix,
# build the example installer against it with find_package(Retrax), let it
# pack a stand-in for retrax.exe, and read the payload back with the
# installed retrax-pack. Then the README's walk-through for installer
# authors, run as written with the installed tool.
#
# package_test.sh BUILD-DIR EXAMPLE-DIR GENERATOR CXX
set -eu -o pipefail
build=$1 example=$2 generator=$3 cxx=$4
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
test -f "$work/prefix/share/retrax/languages/de.json"

cmake -S "$example" -B "$work/example" -G "$generator" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_PREFIX_PATH="$work/prefix" >"$work/configure.log" ||
  { cat "$work/configure.log"; exit 1; }
cmake --build "$work/example" >"$work/build.log" || { cat "$work/build.log"; exit 1; }

# retrax.exe as the linker leaves it: MZ, then the marker and the u32
# payloadOffset holding the file's own length (64 bytes, little-endian).
{ printf 'MZ'; head -c 40 /dev/zero; printf 'wwgT)H\x40\x00\x00\x00'; head -c 12 /dev/zero; } \
  >"$work/retrax.exe"
test "$(stat -c %s "$work/retrax.exe")" -eq 64

"$work/example/example-installer" "$work/retrax.exe" "$work/uninstall.exe"
"$work/prefix/bin/retrax-pack" dump "$work/uninstall.exe" >"$work/dump.txt"
for expected in 'ExampleApp.exe' 'export.dll' 'Example App Uninstall' \
  'Software\Example Vendor\Example App' 'CHUNK_END'; do
  grep -qF -- "$expected" "$work/dump.txt" || { echo "missing: $expected"; cat "$work/dump.txt"; exit 1; }
done
"$work/prefix/bin/retrax-pack" verify "$work/uninstall.exe"
echo "package: installed, example built and its payload read back"

# The walk-through: the commands of the README's section in order, its
# edit of app.json applied after the first scan, and a new version staged
# before the --update.
section=$(sed -n '/^## For installer authors/,/^### /p' "$(dirname -- "$0")/../../README.md")
edit=$(printf '%s\n' "$section" | sed -n '/^ *```json/,/^ *```$/p' | sed '1d;$d')
walk=$work/walk
mkdir -p "$walk/stage/plugins"
printf 'app' >"$walk/stage/App.exe"
printf 'old' >"$walk/stage/plugins/old.dll"
cp "$work/retrax.exe" "$walk/retrax.exe"
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
