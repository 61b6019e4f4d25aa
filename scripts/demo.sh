#!/bin/bash
# The Retrax demo: builds everything, packs the sample application's
# uninstaller from examples/sample-app/manifest.json, installs the sample
# application (its files, its Start-menu shortcut and its registry entries)
# into a sandboxed Wine prefix, build/demo/wineprefix, and runs the
# uninstaller there under a virtual display, showing what was installed
# before and what is left after.
#
# The uninstaller runs with /S (silent: no questions, no progress window,
# no self-removal) because nobody is there to answer its boxes; set
# RETRAX_DEMO_SWITCHES to run it otherwise (e.g. "" with a real display).
set -u -o pipefail
root=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd)
cd -- "$root"

jobs=${RETRAX_JOBS:-2}
switches=${RETRAX_DEMO_SWITCHES-/S}
demo=$root/build/demo
prefix=$demo/wineprefix
c=$prefix/drive_c
sample=$root/examples/sample-app
# Where the sample's manifest says it lives, below drive_c.
install_dir="Program Files/Sample App"
shortcut_dir="ProgramData/Microsoft/Windows/Start Menu/Programs/Sample App"
# The sample's registry entries, in the 32-bit view the uninstaller sees.
registry_keys=('HKCU\Software\Retrax Sample' 'HKLM\Software\Retrax Sample')
# shared-data.txt is listed as shared: the demo installs it as used by one
# other application too (count 2), so the silent run keeps it with count 1
# and asks nothing. With count 1 the uninstaller would ask whether to remove
# it, even with /S, and nobody is there to answer.
shared_dlls='HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDLLs'
shared_file='C:\Program Files\Sample App\shared-data.txt'

step() { printf '\n== %s\n' "$*"; }
die() { echo "demo: $*" >&2; exit 1; }

show_files() {
  local listing
  listing=$(cd -- "$c" && find "$install_dir" "$shortcut_dir" 2>/dev/null | sort |
    sed 's#/#\\#g; s/^/  C:\\/')
  echo "${listing:-  nothing}"
}

show_registry() {
  local key
  for key in "${registry_keys[@]}"; do
    wine reg query "$key" /s /reg:32 2>/dev/null | tr -d '\r' | sed '/^$/d; s/^/  /' ||
      echo "  $key: gone"
  done
  echo "  SharedDLLs count of $shared_file:"
  wine reg query "$shared_dlls" /v "$shared_file" /reg:32 2>/dev/null | tr -d '\r' |
    grep -i REG_DWORD | sed 's/^ */    /' || echo "    none"
}

add_registry() {
  wine reg add 'HKCU\Software\Retrax Sample' /v Language /d en /f /reg:32 &&
    wine reg add 'HKCU\Software\Retrax Sample\Recent Files' /v 1 /d 'C:\notes.txt' /f /reg:32 &&
    wine reg add 'HKLM\Software\Retrax Sample' /v Version /d 1.0 /f /reg:32 &&
    wine reg add "$shared_dlls" /v "$shared_file" /t REG_DWORD /d 2 /f /reg:32
} >/dev/null 2>&1

# Second half, run by the first inside the virtual display with the
# prefix's server started (see the end of this script).
if [ "${1-}" = --inside ]; then
  export WINEPREFIX=$prefix WINEDEBUG=-all
  add_registry || die "cannot write the sample's registry entries"
  echo "files:"
  show_files
  echo "registry:"
  show_registry
  step "running C:\\${install_dir//\//\\}\\uninstall.exe $switches"
  # shellcheck disable=SC2086 # the switches are separate words
  # A run that waits for an answer nobody gives ends after two minutes.
  timeout 120 bash scripts/wine-run.sh --prefix "$prefix" "$c/$install_dir/uninstall.exe" $switches
  status=$?
  echo "exit code: $status$([ $status = 255 ] && echo ' (-1: the payload could not be read)')$([ $status = 124 ] && echo ' (stopped: it waited for an answer)')"
  step "left after the run"
  echo "files:"
  show_files
  echo "registry:"
  show_registry
  exit $status
fi

bash scripts/bootstrap.sh || die "bootstrap failed"

step "building retrax-pack (host) and retrax.exe (Windows)"
cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON >/dev/null &&
  cmake --build build/host -j "$jobs" --target retrax-pack || die "host build failed"
cmake -S . -B build/win -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DBUILD_TESTING=ON >/dev/null &&
  cmake --build build/win -j "$jobs" --target retrax || die "Windows build failed"
ls -l build/win/retrax.exe | awk '{print "retrax.exe: " $5 " bytes"}'

mkdir -p -- "$demo"
uninstaller=$demo/uninstall.exe
if [ -f "$sample/manifest.json" ]; then
  step "packing the sample's uninstaller"
  pack=$(find build/host -name retrax-pack -type f -perm -u+x -print -quit)
  [ -n "$pack" ] || die "retrax-pack was not built"
  "$pack" build "$sample/manifest.json" --stub build/win/retrax.exe -o "$uninstaller" ||
    die "retrax-pack build failed"
  "$pack" dump "$uninstaller" | head -n 60
else
  step "no examples/sample-app/manifest.json yet: the uninstaller carries no payload"
  cp -- build/win/retrax.exe "$uninstaller"
fi

step "installing the sample application into the sandboxed prefix"
bash scripts/wine-prefix.sh "$prefix" || die "cannot make the Wine prefix"
rm -rf -- "${c:?}/$install_dir" "${c:?}/$shortcut_dir"
mkdir -p -- "$c/$install_dir" "$c/$shortcut_dir"
if [ -d "$sample/files" ]; then
  cp -R -- "$sample/files/." "$c/$install_dir/"
  # Shortcuts belong in the Start menu, not in the install folder.
  find "$c/$install_dir" -maxdepth 1 -name '*.lnk' -exec mv -t "$c/$shortcut_dir/" -- {} +
fi
cp -- "$uninstaller" "$c/$install_dir/uninstall.exe"

step "running the sample's uninstaller (Wine, virtual display)"
xvfb-run -a -s "-screen 0 1024x768x24" \
  bash scripts/with-wine.sh "$prefix" bash "$0" --inside
