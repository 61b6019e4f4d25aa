#!/bin/bash
# Retakes the screenshots of this folder by running packed uninstallers of
# the sample application under Wine in a virtual display, cutting their
# dialogs out of the display and answering them (answer-dialog.cpp, built
# here with mingw-w64, finds, waits for and answers a dialog):
# - confirmation.png: the first box of a run, answered Cancel;
# - progress.png: the progress window of a confirmed run of 2,000 files,
#   once its bar shows 30 percent;
# - read-only.png: a run with /S whose only file is read-only, its question
#   answered Yes.
# A picture whose pixels did not change keeps its file, so a retake makes no
# change in git when the dialogs look the same.
#
#   bash docs/screenshots/update.sh [BUILD_DIR [HOST_BUILD_DIR]]
#       defaults: build/win and build/host
#
# The Windows build must hold retrax.exe (scripts/test.sh makes it), and the
# host build retrax-pack.
set -eu -o pipefail
here=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")" && pwd)
root=$(cd -- "$here/../.." && pwd)
caption="Sample App Uninstall"
# Inside the prefix, as the file removal names it in the question.
app_dir="Program Files/Sample App"

# Writes the picture $1 as the PNG $2 unless $2 already shows the same
# pixels. ImageMagick writes a palette PNG when the picture has at most 256
# colours (the dialogs without an icon), so nothing is lost either way.
save_png() {
  local picture=$1 png=$2 fresh
  fresh=$(mktemp --suffix=.png)
  convert "$picture" -strip -define png:compression-level=9 -define png:compression-filter=0 "$fresh"
  if [ -f "$png" ] && [ "$(identify -format %wx%h "$png")" = "$(identify -format %wx%h "$fresh")" ] &&
    [ "$(compare -metric AE "$png" "$fresh" null: 2>&1)" = 0 ]; then
    rm -f -- "$fresh"
    echo "$png: unchanged"
  else
    mv -f -- "$fresh" "$png"
    chmod 644 -- "$png"
    echo "$png"
  fi
}

# Second half, run by the first inside the virtual display with the
# prefix's server started:
#   update.sh --pictures PREFIX ANSWER_DIALOG_EXE WORK_DIR
if [ "${1-}" = --pictures ]; then
  prefix=$2 answer=$3 work=$4
  run() { bash "$root/scripts/wine-run.sh" --prefix "$prefix" "$@"; }
  # cut PICTURE [PERCENT]: waits for the dialog and saves it with a margin
  # of 8 pixels.
  cut() {
    local found left top right bottom
    found=$(run "$answer" wait "$caption" ${2-} | tr -d '\r') || return 1
    read -r left top right bottom <<<"$(head -n 1 <<<"$found")"
    echo "$(basename -- "$1") at $left,$top-$right,$bottom:"
    tail -n +2 <<<"$found" | sed 's/^/  /'
    sleep 0.5  # painting follows the window's appearance
    import -window root -crop "$((right - left + 16))x$((bottom - top + 16))+$((left - 8))+$((top - 8))" \
      +repage "$1"
  }
  # uninstall NAME [SWITCH]: runs NAME.exe of the application's folder in
  # the background; nobody else answers, so a run that still waits after two
  # minutes is stopped.
  uninstall() {
    timeout 120 bash "$root/scripts/wine-run.sh" --prefix "$prefix" "$prefix/drive_c/$app_dir/$1.exe" ${2-} &
    uninstaller=$!
  }
  finish() {
    local status=0
    wait "$uninstaller" || status=$?
    [ "$status" = 0 ] || { echo "update.sh: the uninstaller exited with $status" >&2; exit 1; }
  }
  fail() {
    kill "$uninstaller"
    exit 1
  }
  uninstall confirm
  { cut "$work/confirmation.png" && run "$answer" press "$caption" 2; } || fail
  finish
  uninstall progress
  run "$answer" press "$caption" 1 || fail
  cut "$work/progress.png" 30 || fail
  run "$answer" press "$caption" 1 || fail  # the closing message
  finish
  uninstall read-only /S
  { cut "$work/read-only.png" && run "$answer" press "$caption" 6; } || fail
  finish
  [ ! -e "$prefix/drive_c/$app_dir/settings.ini" ] ||
    { echo "update.sh: the read-only file is still there after Yes" >&2; exit 1; }
  exit 0
fi

build=$(realpath -- "${1:-$root/build/win}")
host=$(realpath -- "${2:-$root/build/host}")
prefix="$build/wineprefix"
work="$build/screenshots"
pack="$host/tools/pack/retrax-pack"

[ -f "$build/retrax.exe" ] || { echo "update.sh: no retrax.exe in $build" >&2; exit 1; }
[ -x "$pack" ] || { echo "update.sh: no retrax-pack in $host (build the host tree)" >&2; exit 1; }

mkdir -p -- "$work"
i686-w64-mingw32-g++-posix -std=c++17 -Os -Wall -municode -static -s \
  -o "$work/answer-dialog.exe" "$here/answer-dialog.cpp"
bash "$root/scripts/wine-prefix.sh" "$prefix"
app="$prefix/drive_c/$app_dir"
rm -rf -- "$app"
mkdir -p -- "$app/many"
# uninstaller NAME FILES: NAME.exe in the application's folder, with the
# sample application's own messages where they name it, listing FILES (JSON
# records).
uninstaller() {
  cat >"$work/$1.json" <<EOF
{
  "installDir": "C:\\\\Program Files\\\\Sample App\\\\",
  "language": "en",
  "messages": {
    "0": "$caption",
    "1": "Do you want to remove Sample App and all of its components from this computer?",
    "2": "Sample App has been removed from your computer."
  },
  "files": [ $2 ]
}
EOF
  "$pack" build "$work/$1.json" --stub "$build/retrax.exe" -o "$app/$1.exe" >/dev/null
}
uninstaller confirm '{ "folder": ".", "name": "settings.ini" }'
uninstaller read-only '{ "folder": ".", "name": "settings.ini" }'
many=$(for i in $(seq 2000); do printf '{ "folder": ".\\\\many", "name": "f%d" },' "$i"; done)
uninstaller progress "${many%,}"
for i in $(seq 2000); do : >"$app/many/f$i"; done
printf '[Window]\r\nWidth=640\r\n' >"$app/settings.ini"
# Wine shows a file without write permission as read-only.
chmod a-w -- "$app/settings.ini"
rm -f -- "$work"/*.png
xvfb-run -a -s "-screen 0 1024x768x24" \
  bash "$root/scripts/with-wine.sh" "$prefix" \
  bash "$here/update.sh" --pictures "$prefix" "$work/answer-dialog.exe" "$work"
for picture in confirmation progress read-only; do save_png "$work/$picture.png" "$here/$picture.png"; done
rm -rf -- "$app"
